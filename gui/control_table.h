// Every window's controls are created from static tables of rows (kind,
// text, flags, position, size, id). A control with an id has the id as its
// objectName, so handlers and tests find it by id.
#pragma once

#include <QCheckBox>
#include <QString>
#include <QWidget>
#include <functional>

namespace quillan {

enum class ControlKind {
    Push,      // push button
    Check,     // check box whose state the program sets itself
    Group,     // group box frame
    Label,     // static text
    Edit,      // single-line edit
    List,      // list box
    DropList,  // drop-down list (no typing)
    DropDown,  // drop-down combo
    OwnerDraw, // a widget the window makes itself (see OwnerDrawFactory)
};

enum ControlFlags : int {
    kHidden = 1,
    kDisabled = 2,
    kNumber = 4,         // edit: digits only
    kNoBorder = 8,       // edit: no frame
    kCentred = 16,       // edit: text centred
    kDefault = 32,       // push button: Enter presses it
    kScrollBar = 64,     // list: vertical scroll bar always shown
    kSorted = 128,       // list: items kept sorted
    kDroppedHeight = 256 // drop list: the height is the opened list's; the box is one line
};

struct ControlRow {
    ControlKind kind;
    const char* text;
    int flags;
    int x, y, width, height;
    int id; // 0 for a control that nothing addresses
};

// Makes the widget of an OwnerDraw row.
using OwnerDrawFactory = std::function<QWidget*(QWidget* parent, const ControlRow& row)>;

// Creates one control as a child of parent at its position and size, hidden
// or disabled as its flags say.
QWidget* createControl(QWidget* parent, const ControlRow& row,
                       const OwnerDrawFactory& ownerDraw = {});

inline QString idName(int id) {
    return QString::number(id);
}

// The child control with this id (nullptr when there is none).
template <class T> T* controlById(const QWidget* parent, int id) {
    return parent->findChild<T*>(idName(id));
}

// A check box the program sets itself: a click only reports the command.
class CommandCheckBox : public QCheckBox {
    Q_OBJECT
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {}
};

} // namespace quillan
