// The key picker window "Key Macro Tool".
#include "dialogs/key_picker_window.h"

#include "gui/control_table.h"
#include "gui/message_box.h"
#include "model/catalogue.h"
#include "model/key_labels.h"

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
constexpr std::array<ControlRow, 31> kPickerControls = {{
    // kind               text            flags         x    y    w    h    id
    {ControlKind::Push,  "Left Mouse",   0,          520,  30, 100,  20, PICKER_LEFT_MOUSE},
    {ControlKind::Push,  "Middle Mouse", 0,          570,  10, 100,  20, PICKER_MIDDLE_MOUSE},
    {ControlKind::Push,  "Right Mouse",  0,          620,  30, 100,  20, PICKER_RIGHT_MOUSE},
    {ControlKind::Push,  "Delete",       0,          620,  90,  50,  20, PICKER_DELETE},
    {ControlKind::Push,  "Clear",        0,          620, 110,  50,  20, PICKER_CLEAR},
    {ControlKind::Push,  "OK",           kDefault,   620, 190,  50,  20, PICKER_OK},
    {ControlKind::Push,  "Cancel",       0,          620, 210,  50,  20, PICKER_CANCEL},
    {ControlKind::Check, "Alt",          0,          520, 110,  80,  20, PICKER_ALT},
    {ControlKind::Check, "Ctrl left",    0,          520, 130,  80,  20, PICKER_CTRL_LEFT},
    {ControlKind::Check, "Shift left",   0,          520, 150,  80,  20, PICKER_SHIFT_LEFT},
    {ControlKind::Check, "Base",         0,          520, 170,  80,  20, PICKER_BASE},
    {ControlKind::Check, "Repeat Off",   0,          520, 190, 100,  20, PICKER_REPEAT_OFF},
    {ControlKind::Check, "Alt-Gr",       0,          520, 210,  80,  20, PICKER_ALT_GR},
    {ControlKind::List,  "",             kScrollBar,  10,  30, 500, 208, PICKER_LIST},
    {ControlKind::Push,  "Fn1",          0,          520,  50, 100,  20, PICKER_FN1},
    {ControlKind::Push,  "Fn2",          0,          620,  50, 100,  20, PICKER_FN2},
    {ControlKind::Push,  "Get Focus",    0,           10, 240, 300,  20, PICKER_GET_FOCUS},
    {ControlKind::Label, "",             0,           10, 265, 300,  15, PICKER_TYPED_CHARACTER},
    {ControlKind::Push,  "Volume up",    0,          110, 370, 100,  20, PICKER_VOLUME_UP},
    {ControlKind::Push,  "Volume down",  0,          110, 390, 100,  20, PICKER_VOLUME_DOWN},
    {ControlKind::Push,  "Stop SUN",     0,          110, 410, 100,  20, PICKER_STOP_SUN},
    {ControlKind::Check, "Ctrl right",   0,          620, 130,  80,  20, PICKER_CTRL_RIGHT},
    {ControlKind::Check, "Shift right",  0,          620, 150,  80,  20, PICKER_SHIFT_RIGHT},
    // The other consumer and system keys, so that every catalogue row can be entered.
    {ControlKind::Push,  "System power", 0,           10, 370, 100,  20, PICKER_SYSTEM_POWER + 0},
    {ControlKind::Push,  "System sleep", 0,           10, 390, 100,  20, PICKER_SYSTEM_POWER + 1},
    {ControlKind::Push,  "System wake",  0,           10, 410, 100,  20, PICKER_SYSTEM_POWER + 2},
    {ControlKind::Push,  "Next track",   0,          210, 370, 100,  20, PICKER_SYSTEM_POWER + 3},
    {ControlKind::Push,  "Prev track",   0,          210, 390, 100,  20, PICKER_SYSTEM_POWER + 4},
    {ControlKind::Push,  "Stop",         0,          210, 410, 100,  20, PICKER_SYSTEM_POWER + 5},
    {ControlKind::Push,  "Play-Pause",   0,          310, 370, 100,  20, PICKER_SYSTEM_POWER + 6},
    {ControlKind::Push,  "Mute",         0,          310, 390, 100,  20, PICKER_MUTE},
}};
// clang-format on
static_assert(kPickerControls.size() == 31);

// Scan set 1 codes with their own handling.
constexpr int kScanCtrl = 29;
constexpr int kScanLeftShift = 42;
constexpr int kScanRightShift = 54;
constexpr int kScanPrintScreen = 55; // with the extended bit
constexpr int kScanAlt = 56;

// Where the list draws a line's parts: the key (with what it is) first,
// then the six mode columns under their headings.
struct LineLayout {
    int nameWidth;
    int columnWidth;
};

constexpr std::array<const char*, kKeyLineColumns> kColumnHeadings = {"Alt",  "Ctrl",    "Shift",
                                                                      "Base", "Rep Off", "Alt Gr"};

LineLayout lineLayout(const QFontMetrics& metrics, int width) {
    const int column = metrics.horizontalAdvance("Rep Off") + metrics.averageCharWidth();
    return {std::max(width - kKeyLineColumns * column, 8 * metrics.averageCharWidth()), column};
}

// The key of a line as it is shown: "IBM Key 31 (A)".
QString shownName(const std::string& line) {
    const std::string name = lineName(line);
    const int row = findRowByName(name.c_str());
    return QString::fromStdString(row >= 0 ? describedKeyName(row) : name);
}

void drawParts(QPainter* painter, const QRect& rect, const QString& name,
               const std::array<QString, kKeyLineColumns>& columns) {
    const QFontMetrics metrics = painter->fontMetrics();
    const LineLayout layout = lineLayout(metrics, rect.width());
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    QRect part(rect.left(), rect.top(), layout.nameWidth - 4, rect.height());
    painter->drawText(part, flags, metrics.elidedText(name, Qt::ElideRight, part.width()));
    for (int c = 0; c < kKeyLineColumns; ++c) {
        part = QRect(rect.left() + layout.nameWidth + c * layout.columnWidth, rect.top(),
                     layout.columnWidth, rect.height());
        painter->drawText(part, flags, columns[c]);
    }
}

// Draws key lines in columns; the line text itself stays as it is.
class KeyLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const std::string line = opt.text.toStdString();
        opt.text.clear();
        const QWidget* widget = opt.widget;
        if (QStyle* style = widget ? widget->style() : nullptr)
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        std::array<QString, kKeyLineColumns> columns;
        const auto texts = lineColumns(line);
        for (int c = 0; c < kKeyLineColumns; ++c)
            columns[c] = QString::fromStdString(texts[c]);
        painter->save();
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        drawParts(painter, opt.rect.adjusted(2, 0, -2, 0), shownName(line), columns);
        painter->restore();
    }
};

// The headings above the list, at the list's column positions.
class HeadingsLabel : public QLabel {
  public:
    HeadingsLabel(QWidget* parent, QListWidget* list) : QLabel(parent), list_(list) {
        setGeometry(10, 10, 500, 20);
        setObjectName(idName(PICKER_HEADINGS));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        std::array<QString, kKeyLineColumns> columns;
        for (int c = 0; c < kKeyLineColumns; ++c)
            columns[c] = kColumnHeadings[c];
        const QRect viewport = list_->viewport()->geometry();
        drawParts(&painter, QRect(viewport.left() + 2, 0, viewport.width() - 4, height()), "Key",
                  columns);
    }

  private:
    QListWidget* list_;
};

} // namespace

KeyPickerWindow::KeyPickerWindow(KeyboardDefinition& def, Log& log, QWidget* parent)
    : QWidget(parent, Qt::Window), def_(def), log_(log) {
    setWindowTitle(QStringLiteral("Key Macro Tool"));
    // Its controls end at y 430: without the empty strip below them it fits
    // beside the Key Settings dialog on a 1024-pixel-high screen.
    resize(750, 445);
    setFocusPolicy(Qt::StrongFocus);
    // While it edits a layer nothing else may change the definition.
    setWindowModality(Qt::ApplicationModal);
    createControls();
}

void KeyPickerWindow::createControls() {
    for (const ControlRow& entry : kPickerControls) {
        QWidget* control = createControl(this, entry);
        // Keys go to the window, never to its controls.
        control->setFocusPolicy(Qt::NoFocus);
        const int id = entry.id;
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            connect(button, &QAbstractButton::clicked, this, [this, id] { command(id); });
    }
    list_ = controlById<QListWidget>(this, PICKER_LIST);
    list_->setItemDelegate(new KeyLineDelegate(list_));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    new HeadingsLabel(this, list_);
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
        addLine(line);
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
    auto* item = new QListWidgetItem(QString::fromStdString(line), list_);
    item->setToolTip(shownName(line));
    list_->scrollToItem(item);
}

void KeyPickerWindow::confirm() {
    std::vector<std::string> listed;
    for (const QString& line : lines())
        listed.push_back(line.toStdString());
    const Outcome outcome = confirmPickerList(def_, target_, listed, toggles_, log_);
    if (!outcome.ok) {
        // The window stays open so that the list can be shortened.
        MessageBox::show(this, QString::fromStdString(outcome.message.text),
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
        // Media and system keys add their consumer or system row.
        if (const int row = mediaKeyRow(evdevCodeOf(*key)); row != 0) {
            if (press && !key->isAutoRepeat())
                addLine(std::string(catalogueName(row)) + "\t\t\t\t\t\t\t");
            return true;
        }
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
