// Creation of table-described controls.
#include "gui/control_table.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace quillan {

namespace {

constexpr int kDropListHeight = 22; // the visible field of a drop list

QWidget* makeEdit(QWidget* parent, const ControlRow& row) {
    auto* edit = new QLineEdit(QString::fromLatin1(row.text), parent);
    edit->setFrame(!(row.flags & kNoBorder));
    if (row.flags & kCentred)
        edit->setAlignment(Qt::AlignCenter);
    if (row.flags & kNumber)
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
    return edit;
}

QWidget* makeList(QWidget* parent, const ControlRow& row) {
    auto* list = new QListWidget(parent);
    if (row.flags & kSorted)
        list->setSortingEnabled(true);
    if (row.flags & kScrollBar)
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return list;
}

QWidget* makeDropList(QWidget* parent, const ControlRow& row) {
    auto* combo = new QComboBox(parent);
    if (row.flags & kDroppedHeight)
        combo->setMaxVisibleItems(row.height / kDropListHeight);
    combo->setEditable(row.kind == ControlKind::DropDown);
    return combo;
}

QWidget* makeWidget(QWidget* parent, const ControlRow& row, const OwnerDrawFactory& ownerDraw) {
    const QString text = QString::fromLatin1(row.text);
    switch (row.kind) {
    case ControlKind::Push: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault(row.flags & kDefault);
        return button;
    }
    case ControlKind::Check:
        return new CommandCheckBox(text, parent);
    case ControlKind::Group:
        return new QGroupBox(text, parent);
    case ControlKind::Label:
        return new QLabel(text, parent);
    case ControlKind::Edit:
        return makeEdit(parent, row);
    case ControlKind::List:
        return makeList(parent, row);
    case ControlKind::DropList:
    case ControlKind::DropDown:
        return makeDropList(parent, row);
    case ControlKind::OwnerDraw:
        if (ownerDraw)
            return ownerDraw(parent, row);
        break;
    }
    return new QWidget(parent);
}

} // namespace

QWidget* createControl(QWidget* parent, const ControlRow& row, const OwnerDrawFactory& ownerDraw) {
    QWidget* widget = makeWidget(parent, row, ownerDraw);
    if (row.id != 0)
        widget->setObjectName(idName(row.id));
    const bool oneLine = row.flags & kDroppedHeight;
    widget->setGeometry(row.x, row.y, row.width, oneLine ? kDropListHeight : row.height);
    if (row.flags & kDisabled)
        widget->setEnabled(false);
    widget->setVisible(!(row.flags & kHidden));
    return widget;
}

} // namespace quillan
