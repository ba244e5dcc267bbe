// The key picker window "Key Macro Tool".
#include "dialogs/key_picker_window.h"

#include "app/message_box.h"
#include "dialogs/control_table.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <array>

namespace quillan {

namespace {

// clang-format off
constexpr std::array<ControlSpec, 23> kPickerControls = {{
    // kind               text            x    y    w    h    id
    {ControlKind::Push,  "Left Mouse",   520,  30, 100,  20, PICKER_LEFT_MOUSE},
    {ControlKind::Push,  "Middle Mouse", 570,  10, 100,  20, PICKER_MIDDLE_MOUSE},
    {ControlKind::Push,  "Right Mouse",  620,  30, 100,  20, PICKER_RIGHT_MOUSE},
    {ControlKind::Push,  "Delete",       620,  90,  50,  20, PICKER_DELETE},
    {ControlKind::Push,  "Clear",        620, 110,  50,  20, PICKER_CLEAR},
    {ControlKind::Push,  "OK",           620, 190,  50,  20, PICKER_OK},
    {ControlKind::Push,  "Cancel",       620, 210,  50,  20, PICKER_CANCEL},
    {ControlKind::Check, "Alt",          520, 110,  80,  20, PICKER_ALT},
    {ControlKind::Check, "Ctrl left",    520, 130,  80,  20, PICKER_CTRL_LEFT},
    {ControlKind::Check, "Shift left",   520, 150,  80,  20, PICKER_SHIFT_LEFT},
    {ControlKind::Check, "Base",         520, 170,  80,  20, PICKER_BASE},
    {ControlKind::Check, "Repeat Off",   520, 190, 100,  20, PICKER_REPEAT_OFF},
    {ControlKind::Check, "Alt-Gr",       520, 210,  80,  20, PICKER_ALT_GR},
    {ControlKind::List,  "",              10,  10, 500, 240, PICKER_LIST},
    {ControlKind::Push,  "Fn1",          520,  50, 100,  20, PICKER_FN1},
    {ControlKind::Push,  "Fn2",          620,  50, 100,  20, PICKER_FN2},
    {ControlKind::Push,  "Get Focus",     10, 240, 300,  20, PICKER_GET_FOCUS},
    {ControlKind::Label, "",              10, 265, 300,  15, PICKER_TYPED_CHARACTER},
    {ControlKind::Push,  "Volume up",    110, 370, 100,  20, PICKER_VOLUME_UP},
    {ControlKind::Push,  "Volume down",  110, 390, 100,  20, PICKER_VOLUME_DOWN},
    {ControlKind::Push,  "Stop SUN",     110, 410, 100,  20, PICKER_STOP_SUN},
    {ControlKind::Check, "Ctrl right",   620, 130,  80,  20, PICKER_CTRL_RIGHT},
    {ControlKind::Check, "Shift right",  620, 150,  80,  20, PICKER_SHIFT_RIGHT},
}};
// clang-format on
static_assert(kPickerControls.size() == 23);

// Tab stops of the list, in dialog units (a quarter of the average character width).
constexpr std::array<int, 7> kListTabStops = {45, 70, 100, 130, 160, 200, 210};

// Scan set 1 codes with their own handling.
constexpr int kScanCtrl = 29;
constexpr int kScanLeftShift = 42;
constexpr int kScanRightShift = 54;
constexpr int kScanPrintScreen = 55; // with the extended bit
constexpr int kScanAlt = 56;

// Draws key lines with the list's tab stops so that the columns line up.
class KeyLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        if (style)
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const qreal unit = opt.fontMetrics.averageCharWidth() / 4.0;
        QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
        QList<QTextOption::Tab> tabs;
        for (int stop : kListTabStops)
            tabs.append(QTextOption::Tab(stop * unit, QTextOption::LeftTab));
        textOption.setTabs(tabs);
        textOption.setWrapMode(QTextOption::NoWrap);
        painter->save();
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRectF(opt.rect.adjusted(2, 0, -2, 0)), text, textOption);
        painter->restore();
    }
};

} // namespace

KeyPickerWindow::KeyPickerWindow(KeyboardDefinition& def, Log& log, QWidget* parent)
    : QWidget(parent, Qt::Window), def_(def), log_(log) {
    setWindowTitle(QStringLiteral("Key Macro Tool"));
    resize(750, 520);
    setFocusPolicy(Qt::StrongFocus);
    // While it edits a layer nothing else may change the definition.
    setWindowModality(Qt::ApplicationModal);
    createControls();
}

void KeyPickerWindow::createControls() {
    for (const ControlSpec& entry : kPickerControls) {
        QWidget* control = createControl(this, entry);
        // Keys go to the window, never to its controls.
        control->setFocusPolicy(Qt::NoFocus);
        const int id = entry.id;
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            connect(button, &QAbstractButton::clicked, this, [this, id] { command(id); });
    }
    list_ = controlById<QListWidget>(this, PICKER_LIST);
    list_->setItemDelegate(new KeyLineDelegate(list_));
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { listNotification(); });
    connect(list_, &QListWidget::itemClicked, this, [this] { listNotification(); });
    typed_ = controlById<QLabel>(this, PICKER_TYPED_CHARACTER);
    toggles_ = {};
    syncChecks();
}

void KeyPickerWindow::showForLayer(int row, int column, int layer) {
    target_ = {row, column, layer, false};
    list_->clear();
    for (const std::string& line : layerToList(def_, target_))
        list_->addItem(QString::fromStdString(line));
    show();
    raise();
    activateWindow();
    takeFocus();
}

QStringList KeyPickerWindow::lines() const {
    QStringList result;
    for (int i = 0; i < list_->count(); ++i)
        result << list_->item(i)->text();
    return result;
}

void KeyPickerWindow::command(int id) {
    const std::string special = specialKeyLine(id);
    if (!special.empty()) {
        addLine(special);
        takeFocus();
        return;
    }
    if (toggleFor(id) != nullptr) {
        flipToggle(id);
        takeFocus();
        return;
    }
    switch (id) {
    case PICKER_DELETE:
        if (QListWidgetItem* item = list_->currentItem(); item && item->isSelected())
            delete list_->takeItem(list_->row(item));
        break;
    case PICKER_CLEAR:
        list_->clear();
        break;
    case PICKER_OK:
        confirm();
        return;
    case PICKER_CANCEL:
        hide();
        return;
    default:
        break;
    }
    takeFocus();
}

bool* KeyPickerWindow::toggleFor(int id) {
    switch (id) {
    case PICKER_ALT:
        return &toggles_.alt;
    case PICKER_CTRL_LEFT:
        return &toggles_.ctrlLeft;
    case PICKER_SHIFT_LEFT:
        return &toggles_.shiftLeft;
    case PICKER_BASE:
        return &toggles_.base;
    case PICKER_REPEAT_OFF:
        return &toggles_.repeatOff;
    case PICKER_ALT_GR:
        return &toggles_.altGr;
    case PICKER_CTRL_RIGHT:
        return &toggles_.ctrlRight;
    case PICKER_SHIFT_RIGHT:
        return &toggles_.shiftRight;
    default:
        return nullptr;
    }
}

// A toggle flips, its box follows, and the selected line takes the new columns.
void KeyPickerWindow::flipToggle(int id) {
    bool* toggle = toggleFor(id);
    *toggle = !*toggle;
    syncChecks();
    QListWidgetItem* item = list_->currentItem();
    if (item && item->isSelected())
        item->setText(QString::fromStdString(rebuildLine(item->text().toStdString(), toggles_)));
}

// Selecting a line shows its columns in the toggles.
void KeyPickerWindow::listNotification() {
    QListWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected())
        return;
    toggles_ = togglesFromLine(item->text().toStdString());
    syncChecks();
}

void KeyPickerWindow::syncChecks() {
    for (int id : {PICKER_ALT, PICKER_CTRL_LEFT, PICKER_SHIFT_LEFT, PICKER_BASE, PICKER_REPEAT_OFF,
                   PICKER_ALT_GR, PICKER_CTRL_RIGHT, PICKER_SHIFT_RIGHT})
        controlById<QCheckBox>(this, id)->setChecked(*toggleFor(id));
}

void KeyPickerWindow::addLine(const std::string& line) {
    list_->addItem(QString::fromStdString(line));
}

void KeyPickerWindow::confirm() {
    std::vector<std::string> listed;
    for (const QString& line : lines())
        listed.push_back(line.toStdString());
    const AssignOutcome outcome = listToLayer(def_, target_, listed, toggles_, log_);
    if (!outcome.ok) {
        // The window stays open so that the list can be shortened.
        MessageBox::show(this, QString::fromStdString(outcome.message),
                         QStringLiteral("Key Macro Tool"), MessageIcon::Warning);
        return;
    }
    hide();
    if (assigned_)
        assigned_();
}

void KeyPickerWindow::takeFocus() {
    setFocus(Qt::OtherFocusReason);
}

void KeyPickerWindow::keyMessage(const KeyMessage& message, const QString& typedText) {
    switch (message.kind) {
    case KeyMessageKind::KeyDown:
        keyDown(message, typedText);
        break;
    case KeyMessageKind::SysKeyDown:
        keyDown(message, typedText);
        keyUp(message);
        break;
    case KeyMessageKind::KeyUp:
    case KeyMessageKind::SysKeyUp:
        keyUp(message);
        break;
    }
    syncChecks();
}

void KeyPickerWindow::keyDown(const KeyMessage& message, const QString& typedText) {
    const int scan = message.scanCode();
    const bool extended = message.extended();
    if (scan == kScanCtrl) {
        (extended ? toggles_.ctrlRight : toggles_.ctrlLeft) = true;
    } else if (scan == kScanLeftShift) {
        toggles_.shiftLeft = true;
    } else if (scan == kScanRightShift) {
        toggles_.shiftRight = true;
    } else if (scan == kScanAlt) {
        toggles_.alt = message.altHeld();
    } else if (!(scan == kScanPrintScreen && extended)) {
        // Print Screen adds its line when it is released.
        toggles_.alt = message.altHeld();
        if (const int ibmKey = ibmKeyFromScan(scan, extended); ibmKey != 0)
            addLine(typedKeyLine(ibmKey, toggles_));
        typed_->setText(typedText);
    }
}

void KeyPickerWindow::keyUp(const KeyMessage& message) {
    const int scan = message.scanCode();
    const bool extended = message.extended();
    if (scan == kScanCtrl)
        (extended ? toggles_.ctrlRight : toggles_.ctrlLeft) = false;
    else if (scan == kScanLeftShift)
        toggles_.shiftLeft = false;
    else if (scan == kScanRightShift)
        toggles_.shiftRight = false;
    else if (scan == kScanPrintScreen && extended)
        addLine(printScreenLine());
    else if (scan == kScanAlt)
        toggles_.alt = message.altHeld();
}

bool KeyPickerWindow::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Every key is captured: no shortcut may take it.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool press = event->type() == QEvent::KeyPress;
        keyMessage(translator_.translate(*key, press), key->text());
        return true;
    }
    default:
        return QWidget::event(event);
    }
}

void KeyPickerWindow::closeEvent(QCloseEvent* event) {
    // Closing the window is Cancel: it is only hidden.
    event->ignore();
    hide();
}

} // namespace quillan
