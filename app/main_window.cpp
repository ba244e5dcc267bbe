// Main window: creation of the matrix buttons and the controls, the values
// held by the controls, and the refresh from the definition. The commands
// are in main_window_commands.cpp.
#include "app/main_window.h"

#include "app/string_table.h"
#include "gui/tab_order.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>

namespace quillan {

namespace {

// The client area: draws the three lines that frame the matrix headings.
class ClientArea : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(Qt::black, 3));
        painter.drawLine(0, 0, 35, 35);
        painter.drawLine(0, 35, 200, 35);
        painter.drawLine(35, 0, 35, 360);
    }
};

// "244 mS" .. "976 mS".
QStringList repeatDelayEntries() {
    QStringList entries;
    for (int i = 1; i <= 4; ++i)
        entries << QString("%1 mS").arg(244 * i);
    return entries;
}

// 32..64 step 4, 72..128 step 8, 144..256 step 16, 288..480 step 32.
QStringList repeatRateEntries() {
    struct Run {
        int first, last, step;
    };
    constexpr Run runs[] = {{32, 64, 4}, {72, 128, 8}, {144, 256, 16}, {288, 480, 32}};
    QStringList entries;
    for (const Run& run : runs)
        for (int ms = run.first; ms <= run.last; ms += run.step)
            entries << QString("%1 mS").arg(ms);
    return entries;
}

void setComboIndex(QComboBox* combo, int index) {
    if (combo)
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
}

int comboIndex(const QComboBox* combo) {
    return combo && combo->currentIndex() >= 0 ? combo->currentIndex() : 0;
}

// Digits typed into the debounce field, brought into 1..255.
int debounceFromText(const QString& text) {
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value < 1)
        return 1;
    return value > 255 ? 255 : static_cast<int>(value);
}

std::string cut(const QString& text) {
    return text.left(kTextSize - 1).toStdString();
}

} // namespace

QString programVersionText() {
    return QString::asprintf("%02d.%02d", 4, 0);
}

MainWindow::MainWindow(AppState& state) : state_(state) {
    QString title;
    stringTableText(IDS_APP_TITLE, title);
    setWindowTitle(title + "[*]"); // "Quillan*" while there are unsaved changes
    setObjectName("QUILLAN");
    auto* client = new ClientArea(this);
    client->setObjectName("client");
    client->setFocusPolicy(Qt::ClickFocus);
    setCentralWidget(client);
    createMenu();
    resize(720, 610);

    // Creation: reset the definition, then the buttons and controls.
    startSession(state_);
    createCellButtons();
    createControls();
    orderTabs();
    fillComboBoxes();
    applyControlValues(state_.controls);
    control<QLabel>(ID_PROGRAM_VERSION)->setText(programVersionText());
    state_.def.Led.fill(0);
    clearStringDefinitions(state_.def, true);
    refreshFromDefinition();
    resetHistory();
}

void MainWindow::createMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    addCommandAction(file, "E&xit", ID_EXIT);
    // Export and import of the readable JSON form of the definition.
    file->addSeparator();
    connect(file->addAction("Export as JSON…"), &QAction::triggered, this,
            [this] { exportJsonCommand(); });
    connect(file->addAction("Import JSON…"), &QAction::triggered, this,
            [this] { importJsonCommand(); });
    createFileCommandMenu(file);
    createEditMenu();
    QMenu* help = menuBar()->addMenu("&Help");
    addCommandAction(help, "&About ...", ID_ABOUT);
}

// The buttons' file commands, with the shortcuts a desktop user expects.
void MainWindow::createFileCommandMenu(QMenu* file) {
    file->addSeparator();
    addCommandAction(file, "&New", ID_NEW, QKeySequence(Qt::CTRL | Qt::Key_N));
    addCommandAction(file, "&Load settings from file…", ID_LOAD,
                     QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommandAction(file, "&Save settings to file…", ID_SAVE, QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommandAction(file, "&Generate EEPROM File", ID_GENERATE);
}

void MainWindow::createCellButtons() {
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const int index = row * kColumns + column;
            KeyCell& cell = state_.def.cells[index];
            cell.controlId = kFirstCellControlId + index;
            cell.x = 40 + 20 * column;
            cell.y = 40 + 20 * row;
            cell.width = 16;
            cell.height = 16;
            const ControlRow cellRow{
                ControlKind::OwnerDraw, "", 0, cell.x, cell.y, cell.width, cell.height,
                cell.controlId};
            auto* button = static_cast<PictureButton*>(createControl(
                centralWidget(), cellRow, [this, index](QWidget* parent, const ControlRow&) {
                    return createCellButton(parent, index);
                }));
            connectCommand(button, cell.controlId);
            for (LayerAssignment& layer : cell.layers)
                layer.ibmkey = 0;
            cells_[index] = button;
        }
    }
}

QWidget* MainWindow::createCellButton(QWidget* parent, int index) {
    return new PictureButton(parent, [this, index] {
        const bool open =
            keyDialogOpen_ && state_.def.currentRow * kColumns + state_.def.currentColumn == index;
        return cellPicture(state_.def.cells[index], open);
    });
}

QWidget* MainWindow::createLedButton(QWidget* parent, const ControlRow& row) {
    const int slot = ledSlotOf(row.id);
    return new PictureButton(parent, [this, slot] { return ledPicture(state_.def.Led[slot]); });
}

void MainWindow::createControls() {
    int unnamed = 0;
    const OwnerDrawFactory ledButton = [this](QWidget* parent, const ControlRow& row) {
        return createLedButton(parent, row);
    };
    for (const ControlRow& row : mainControlTable()) {
        QWidget* widget = createControl(centralWidget(), row, ledButton);
        if (row.id == 0) {
            widget->setObjectName(QString("static%1").arg(unnamed++));
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            connectCommand(button, row.id);
    }
    auto* serial = control<QLineEdit>(ID_SERIAL);
    serial->setMaxLength(kTextSize - 1);
    auto* beep = control<QLineEdit>(ID_BEEP_LENGTH);
    beep->setMaxLength(10);
    connect(beep, &QLineEdit::textChanged, this, &MainWindow::beepLengthChanged);
    connect(control<QLineEdit>(ID_DEBOUNCE), &QLineEdit::editingFinished, this,
            &MainWindow::debounceEditingFinished);
    connectEditHooks();
}

// Top to bottom, left to right; the matrix is one block at its top-left
// corner, its cells row by row.
void MainWindow::orderTabs() {
    const QPoint matrix(cells_[0]->x(), cells_[0]->y());
    orderTabsByPosition(centralWidget(), [matrix](const QWidget* widget) {
        const int id = widget->objectName().toInt();
        if (id >= kFirstCellControlId && id < kFirstCellControlId + kCells)
            return TabPlace{matrix.y(), matrix.x(), id - kFirstCellControlId};
        return TabPlace{widget->y(), widget->x(), 0};
    });
}

void MainWindow::fillComboBoxes() {
    auto fill = [this](int id, const QStringList& entries, int selection) {
        auto* combo = control<QComboBox>(id);
        combo->clear();
        combo->addItems(entries);
        combo->setCurrentIndex(selection);
    };
    QStringList rows;
    for (int i = 1; i <= kRows; ++i)
        rows << QString::number(i);
    fill(ID_REPEAT_DELAY, repeatDelayEntries(), 1);
    fill(ID_REPEAT_RATE, repeatRateEntries(), 7);
    fill(ID_MAX_SCAN_ROWS, rows, 13);
    fill(ID_POINT_DEVICE, {"None", "Trackerball", "Gyro Parex"}, 0);
}

void MainWindow::createProgressBar() {
    progress_ = new QProgressBar(centralWidget());
    progress_->setObjectName("progress");
    progress_->setTextVisible(false);
    progress_->setRange(0, kProgressRange);
    progress_->setValue(0);
    resizeEvent(nullptr);
    progress_->show();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    if (event)
        QMainWindow::resizeEvent(event);
    if (!progress_)
        return;
    // Along the bottom of the client area, one scroll-bar arrow high, 5 up.
    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QRect client = centralWidget()->rect();
    progress_->setGeometry(client.left(), client.bottom() + 1 - arrow - 5, client.width(), arrow);
}

QWidget* MainWindow::control(int id) const {
    return controlById<QWidget>(centralWidget(), id);
}

ControlValues MainWindow::controlValues() const {
    ControlValues values;
    values.DefRepDelay = comboIndex(control<QComboBox>(ID_REPEAT_DELAY));
    values.DefRepRate = comboIndex(control<QComboBox>(ID_REPEAT_RATE));
    values.DebounceTime = debounceFromText(control<QLineEdit>(ID_DEBOUNCE)->text());
    values.MaxScanRow = comboIndex(control<QComboBox>(ID_MAX_SCAN_ROWS)) + 1;
    values.PointDevice = comboIndex(control<QComboBox>(ID_POINT_DEVICE));
    values.fileName = cut(control<QLineEdit>(ID_INPUT_NAME)->text());
    values.serialNumber = cut(control<QLineEdit>(ID_SERIAL)->text());
    return values;
}

void MainWindow::applyControlValues(const ControlValues& values) {
    setComboIndex(control<QComboBox>(ID_REPEAT_DELAY), values.DefRepDelay);
    setComboIndex(control<QComboBox>(ID_REPEAT_RATE), values.DefRepRate);
    setComboIndex(control<QComboBox>(ID_MAX_SCAN_ROWS), values.MaxScanRow - 1);
    setComboIndex(control<QComboBox>(ID_POINT_DEVICE), values.PointDevice);
    control<QLineEdit>(ID_DEBOUNCE)->setText(QString::number(values.DebounceTime));
    setTextCut(ID_INPUT_NAME, values.fileName);
    setTextCut(ID_SERIAL, values.serialNumber);
}

void MainWindow::setTextCut(int id, const std::string& text) {
    control<QLineEdit>(id)->setText(QString::fromStdString(text).left(kTextSize - 1));
}

void MainWindow::setChecked(int id, bool on) {
    control<QAbstractButton>(id)->setChecked(on);
}

void MainWindow::refreshFromDefinition() {
    const KeyboardDefinition& def = state_.def;
    setChecked(ID_ENABLE_KEYBOARD, def.EnableBits & 1);
    setChecked(ID_ENABLE_POINTING, def.EnableBits & 2);
    setChecked(ID_ACTIVATE_BEEP, def.BeepLength != 0);
    auto* beep = control<QLineEdit>(ID_BEEP_LENGTH);
    const QString beepText = QString::number(def.BeepLength);
    if (beep->text() != beepText) {
        settingBeepText_ = true;
        beep->setText(beepText);
        settingBeepText_ = false;
    }
    beep->setEnabled(def.BeepLength != 0);
    setChecked(ID_STD_REPEAT, def.StdRepeat);
    setChecked(ID_GLOBAL_REPEAT_DISABLE, def.GlobalRepeatDisable);
    setChecked(ID_ANY_KEY_RELEASE, def.AnyKeyRelease);
    setChecked(ID_PREFIX_MAKE_BREAK, def.PrefixMakeBreak);
    for (PictureButton* button : cells_)
        button->update();
    for (int id : {ID_LED1, ID_LED2, ID_LED3, ID_LED4})
        control(id)->update();
    updateCellToolTips();
}

void MainWindow::debounceEditingFinished() {
    auto* edit = control<QLineEdit>(ID_DEBOUNCE);
    edit->setText(QString::number(debounceFromText(edit->text())));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!maybeKeepChanges()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace quillan
