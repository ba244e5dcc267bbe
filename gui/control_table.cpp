// Creation of table-described dialog controls.
#include "gui/control_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quillan {

namespace {

QWidget* makeWidget(QWidget* parent, const ControlSpec& entry) {
    const QString text = QString::fromLatin1(entry.text);
    switch (entry.kind) {
    case ControlKind::Push: {
        // Enter presses OK (id 1) and no other button.
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault(entry.id == 1);
        return button;
    }
    case ControlKind::Check:
        return new QCheckBox(text, parent);
    case ControlKind::Group:
        return new QGroupBox(text, parent);
    case ControlKind::Label:
        return new QLabel(text, parent);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(text, parent);
        edit->setFrame(true);
        return edit;
    }
    case ControlKind::List: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return list;
    }
    case ControlKind::DropList:
        return new QComboBox(parent);
    case ControlKind::DropDown: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        return combo;
    }
    }
    return new QWidget(parent);
}

} // namespace

QWidget* createControl(QWidget* parent, const ControlSpec& entry) {
    QWidget* widget = makeWidget(parent, entry);
    if (entry.id != 0)
        widget->setObjectName(idName(entry.id));
    widget->setGeometry(entry.x, entry.y, entry.width, entry.height);
    return widget;
}

} // namespace quillan
