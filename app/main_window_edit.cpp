// Main window: undo and redo, unsaved changes, the status texts and the
// matrix tooltips.
#include "app/main_window.h"
#include "gui/message_box.h"
#include "model/catalogue.h"
#include "model/file_names.h"
#include "rules/cell_tooltip.h"
#include "rules/key_assignment.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>

namespace quillan {

namespace {

// Commands that change neither the definition nor the controls; what they
// do change (packed strings of a build, the file-name field) is not an edit.
constexpr int kNonEditCommands[] = {ID_GENERATE, ID_SAVE,  ID_TEST_KEYBOARD, ID_CHECK_PRESENCE,
                                    ID_PROGRAM,  ID_ABOUT, ID_EXIT,          ID_USB_DOWNLOAD};

bool isEditCommand(int id) {
    for (int other : kNonEditCommands)
        if (other == id)
            return false;
    return true;
}

QString absolute(const QString& name) {
    return QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath());
}

} // namespace

void MainWindow::createEditMenu() {
    QMenu* edit = menuBar()->addMenu("&Edit");
    undoAction_ = edit->addAction("&Undo");
    undoAction_->setObjectName("undo");
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redoAction_ = edit->addAction("&Redo");
    redoAction_->setObjectName("redo");
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(undoAction_, &QAction::triggered, this, &MainWindow::undo);
    connect(redoAction_, &QAction::triggered, this, &MainWindow::redo);
    statusBar()->setObjectName("status");
}

void MainWindow::connectEditHooks() {
    const std::pair<int, const char*> combos[] = {{ID_REPEAT_DELAY, "Default repeat delay"},
                                                  {ID_REPEAT_RATE, "Default repeat rate"},
                                                  {ID_MAX_SCAN_ROWS, "Max Scan rows"},
                                                  {ID_POINT_DEVICE, "Point Device"}};
    for (const auto& [id, label] : combos)
        connect(control<QComboBox>(id), &QComboBox::activated, this,
                [this, label] { commitEdit(label); });
    const std::pair<int, const char*> edits[] = {{ID_DEBOUNCE, "Debounce Time"},
                                                 {ID_SERIAL, "Serial number"},
                                                 {ID_BEEP_LENGTH, "Beep length"}};
    for (const auto& [id, label] : edits)
        connect(control<QLineEdit>(id), &QLineEdit::editingFinished, this,
                [this, label] { commitEdit(label); });
    // The keyboard version is a display.
    auto* version = control<QLineEdit>(ID_KEYBOARD_VERSION);
    version->setReadOnly(true);
    version->setFocusPolicy(Qt::NoFocus);
    QPalette palette = version->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    version->setPalette(palette);
}

EditState MainWindow::editState() const {
    return EditState{state_.def, controlValues()};
}

void MainWindow::resetHistory() {
    history_.reset(editState());
    updateEditState();
}

void MainWindow::commitEdit(const QString& label) {
    history_.commit(editState(), label.toStdString());
    updateEditState();
}

QString MainWindow::commandLabel(int id) const {
    if (id >= kFirstCellControlId && id < kFirstCellControlId + kCells) {
        const int cell = id - kFirstCellControlId;
        return QString("Key %1/%2").arg(cell % kColumns).arg(cell / kColumns);
    }
    if (isLedButton(id))
        return QString("Led %1").arg(ledSlotOf(id) + 1);
    if (auto* button = control<QAbstractButton>(id))
        return button->text();
    return "Edit";
}

void MainWindow::afterCommand(int id) {
    if (isEditCommand(id))
        commitEdit(commandLabel(id));
    else
        history_.absorb(editState());
    updateEditState();
}

void MainWindow::applyEditState(const EditState& state) {
    const int row = state_.def.currentRow;
    const int column = state_.def.currentColumn;
    state_.def = state.def;
    state_.def.currentRow = row;
    state_.def.currentColumn = column;
    applyControlValues(state.values);
    control(ID_POINT_DEVICE)->setEnabled(state_.def.EnableBits & 2);
    refreshFromDefinition();
    repaint();
}

void MainWindow::undo() {
    const QString label = QString::fromStdString(history_.undoLabel());
    if (const EditState* state = history_.undo()) {
        applyEditState(*state);
        setStatusText(QString("Undone: %1").arg(label));
    }
    updateEditState();
}

void MainWindow::redo() {
    const QString label = QString::fromStdString(history_.redoLabel());
    if (const EditState* state = history_.redo()) {
        applyEditState(*state);
        setStatusText(QString("Redone: %1").arg(label));
    }
    updateEditState();
}

void MainWindow::updateEditState() {
    if (undoAction_) {
        const QString undoLabel = QString::fromStdString(history_.undoLabel());
        const QString redoLabel = QString::fromStdString(history_.redoLabel());
        undoAction_->setText(undoLabel.isEmpty() ? "&Undo" : "&Undo " + undoLabel);
        redoAction_->setText(redoLabel.isEmpty() ? "&Redo" : "&Redo " + redoLabel);
        undoAction_->setEnabled(history_.canUndo());
        redoAction_->setEnabled(history_.canRedo());
    }
    setWindowModified(history_.modified());
}

bool MainWindow::maybeKeepChanges() {
    // A field being typed in counts as changed.
    commitEdit("Edit");
    if (!history_.modified())
        return true;
    const auto answer = MessageBox::show(
        this, "The keyboard definition has unsaved changes. Save them?", "Quillan",
        MessageIcon::Warning, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Save) {
        saveCommand();
        return !history_.modified();
    }
    return true;
}

void MainWindow::setStatusText(const QString& text) {
    statusBar()->showMessage(text);
}

QString MainWindow::statusText() const {
    return statusBar()->currentMessage();
}

void MainWindow::showImageFilesWritten() {
    setStatusText(QString("EEPROM files written: %1, %2")
                      .arg(absolute(kImageBinaryFile), absolute(kImageTextFile)));
}

void MainWindow::showSaved(const QString& name) {
    history_.absorb(editState());
    history_.markSaved();
    updateEditState();
    setStatusText(QString("Settings saved to %1 (readable copy %2)")
                      .arg(absolute(name), absolute(kSavedTextFile)));
}

void MainWindow::commitAsSaved(const QString& label) {
    commitEdit(label);
    history_.markSaved();
    updateEditState();
}

void MainWindow::showLoadedAsSaved(const QString& label) {
    commitAsSaved(label);
    setStatusText(QString("Settings loaded from %1").arg(absolute(sharedFileName_)));
}

void MainWindow::showProgrammed() {
    setStatusText(QString("Keyboard programmed (V%1) at %2")
                      .arg(state_.keyboardVersion, 4, 10, QChar('0'))
                      .arg(QDateTime::currentDateTime().toString("HH:mm:ss")));
}

void MainWindow::updateCellToolTips() {
    for (int index = 0; index < kCells; ++index)
        cells_[index]->setToolTip(QString::fromStdString(cellToolTip(state_.def, index)));
}

} // namespace quillan
