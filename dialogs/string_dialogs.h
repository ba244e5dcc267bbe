// The string definition dialog (add and delete the definition's strings,
// re-encoded into the packed string store on OK) and the string selection
// dialog (pick one string for a layer).
#pragma once

#include "dialogs/dialogs.h"
#include "rules/string_text.h"

#include <QDialog>
#include <vector>

class QListWidget;

namespace quillan {

enum StringDialogId : int {
    SD_OK = 1,
    SD_DELETE_STRING = 35104,
    SD_ADD_STRING = 35105,
    SD_LIST = 35106,
    SD_EDIT = 35107,
    SS_LIST = 35116,
};

class StringDefinitionDialog : public QDialog {
    Q_OBJECT

  public:
    StringDefinitionDialog(DialogContext& ctx, QWidget* parent = nullptr);

    // Runs a command as its control sends it.
    void command(int id);
    // OK: writes the list into the packed store (closing the window does
    // the same: there is no Cancel). A list the store cannot hold is
    // refused with a message and the dialog stays open.
    void accept() override;
    void reject() override { accept(); }

    const std::vector<StringCells>& strings() const { return editor_.strings(); }

  private:
    void addString();
    void deleteString();

    DialogContext& ctx_;
    StringListEditor editor_; // the list entries' cells and the rules on them
    QListWidget* list_ = nullptr;
};

class StringSelectionDialog : public QDialog {
    Q_OBJECT

  public:
    // current: the layer's string number, selected when the list has it.
    StringSelectionDialog(DialogContext& ctx, int current, QWidget* parent = nullptr);

    // The list position chosen by OK; -1 when nothing is selected or the
    // dialog was closed without OK.
    int selected() const { return selected_; }
    void accept() override;

  private:
    int selected_ = -1;
    QListWidget* list_ = nullptr;
};

// Runs the string selection; returns the chosen string number or -1.
int runStringSelectionDialog(QWidget* parent, DialogContext& ctx, int current);

} // namespace quillan
