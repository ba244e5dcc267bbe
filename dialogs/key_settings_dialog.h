// The Key Settings dialog: edits the current key cell in place (used,
// enabled, legend, and per Fn layer its use, mode bits, IBM key and key
// type), hands a layer to the key picker or the string selection, and steps
// through the enabled cells of the matrix.
#pragma once

#include "dialogs/dialogs.h"

#include <QDialog>

namespace quillan {

// Control ids of the Key Settings dialog.
enum KeySettingsId : int {
    KS_OK = 1,
    KS_CANCEL = 2,
    KS_KEY_USED = 1000,
    KS_ENABLE_KEY = 1001,
    KS_LAYER_USED = 1002,  // + layer
    KS_IBM_KEY = 1006,     // + layer
    KS_MODE = 1010,        // + 6 * layer + bit number
    KS_LAYER_GROUP = 1039, // + layer
    KS_LEGEND = 1049,
    KS_PREVIOUS = 1050,
    KS_NEXT = 1051,
    KS_COL_ROW = 1052,
    KS_ASSIGN_STRING = 35108, // + layer
    KS_KEY_TYPE = 35112,      // + layer
    KS_ASSIGN_MACRO = 35143,  // + layer
};

constexpr int kModeBoxesPerLayer = 6;
constexpr int kListedKeyTypes = 20; // key types 0..19 in the key type combos

// "Key Settings – row 2, column 1: Esc" (no colon part without a legend).
QString keySettingsTitle(int row, int column, const QString& legend);

class KeySettingsDialog : public QDialog {
    Q_OBJECT

  public:
    KeySettingsDialog(DialogContext& ctx, QWidget* parent = nullptr);
    ~KeySettingsDialog() override;

    // Shows the current cell in the controls.
    void fill();
    // Copies the legend and the combo selections into the cell, sets its
    // complete flag and redraws the matrix.
    void storeEveryThing();
    // Runs a command as its control sends it.
    void command(int id);

    void accept() override;
    void reject() override;

  private:
    void createRunTimeControls();
    void fillControls(bool withLegend);
    void flipCheck(int id);
    void assignString(int layer);
    void assignMacro(int layer);
    void step(int direction);
    void redraw();
    KeyCell& cell() { return ctx_.def.currentCell(); }

    DialogContext& ctx_;
};

} // namespace quillan
