// Dialog controls created from static tables of (kind, text, position, size,
// id). Every control's objectName is its id, so handlers and tests find
// controls by id.
#pragma once

#include <QString>
#include <QWidget>

namespace quillan {

enum class ControlKind {
    Push,     // push button
    Check,    // check box whose state the program sets itself
    Group,    // group box frame
    Label,    // static text
    Edit,     // single-line edit with a border
    List,     // list box
    DropList, // drop-down list (no typing)
    DropDown, // drop-down combo
};

struct ControlSpec {
    ControlKind kind;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    int id; // 0 = a label that nothing addresses
};

// Creates one control as a child of parent at its position and size.
QWidget* createControl(QWidget* parent, const ControlSpec& entry);

inline QString idName(int id) {
    return QString::number(id);
}

// The child control with this id (nullptr when there is none).
template <class T> T* controlById(const QWidget* parent, int id) {
    return parent->findChild<T*>(idName(id));
}

} // namespace quillan
