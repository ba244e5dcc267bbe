// Main window commands: the cell and LED buttons and the command table.
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/pictures.h"
#include "gui/message_box.h"
#include "gui/modal.h"
#include "workflow/program.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>

namespace quillan {

namespace {

void showMessage(QWidget* parent, const QString& text, const QString& caption,
                 MessageIcon icon = MessageIcon::None) {
    MessageBox::show(parent, text, caption, icon);
}

constexpr const char* kVerifySetting = "verifyAfterProgramming";

// The commands that talk to the keyboard.
constexpr int kKeyboardCommands[] = {ID_PROGRAM, ID_READ_EEPROM, ID_CHECK_PRESENCE};

bool isKeyboardCommand(int id) {
    return std::find(std::begin(kKeyboardCommands), std::end(kKeyboardCommands), id) !=
           std::end(kKeyboardCommands);
}

// The About box: the icon and the program's name and version.
class AboutDialog : public QDialog {
  public:
    explicit AboutDialog(QWidget* parent) : QDialog(parent) {
        setWindowTitle("About");
        setObjectName("about");
        auto* icon = new QLabel(this);
        icon->setPixmap(applicationIcon().pixmap(32, 32));
        auto* text = new QLabel("Quillan Version 4.0", this);
        text->setObjectName("aboutText");
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
        connect(buttons, &QDialogButtonBox::accepted, this, [this] { done(QDialog::Accepted); });
        auto* row = new QHBoxLayout;
        row->addWidget(icon);
        row->addWidget(text);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(row);
        layout->addWidget(buttons);
    }
};

} // namespace

// Each command id and the slot its button or menu entry runs.
const MainWindow::CommandEntry* MainWindow::findCommand(int id) {
    static constexpr CommandEntry kCommands[] = {
        {ID_GENERATE, &MainWindow::generateCommand},
        {ID_SAVE, &MainWindow::saveCommand},
        {ID_LOAD, &MainWindow::loadCommand},
        {ID_TEST_KEYBOARD, &MainWindow::testKeyboardCommand},
        {ID_STD_REPEAT, &MainWindow::stdRepeatCommand},
        {ID_GLOBAL_REPEAT_DISABLE, &MainWindow::globalRepeatDisableCommand},
        {ID_ANY_KEY_RELEASE, &MainWindow::anyKeyReleaseCommand},
        {ID_PREFIX_MAKE_BREAK, &MainWindow::prefixMakeBreakCommand},
        {ID_NEW, &MainWindow::newCommand},
        {ID_PROGRAM, &MainWindow::programCommand},
        {ID_CHECK_PRESENCE, &MainWindow::checkPresenceCommand},
        {ID_ENABLE_KEYBOARD, &MainWindow::enableKeyboardCommand},
        {ID_ENABLE_POINTING, &MainWindow::enablePointingCommand},
        {ID_DEFINE_STRINGS, &MainWindow::defineStringsCommand},
        {ID_READ_EEPROM, &MainWindow::readCommand},
        {ID_ACTIVATE_BEEP, &MainWindow::activateBeepCommand},
        {ID_POINT_DEV_SET, &MainWindow::pointDevSetCommand},
        {ID_ABOUT, &MainWindow::aboutCommand},
        {ID_EXIT, &MainWindow::exitCommand},
    };
    for (const CommandEntry& entry : kCommands)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

void MainWindow::runCommand(int id, const std::function<void()>& run) {
    if (!keyboardCommandsEnabled_ && isKeyboardCommand(id))
        return;
    const CommandScope scope(*this, id);
    run();
}

std::function<void()> MainWindow::commandFor(int id) {
    if (id >= kFirstCellControlId && id < kFirstCellControlId + kCells)
        return
            [this, id] { runCommand(id, [this, id] { cellCommand(id - kFirstCellControlId); }); };
    if (isLedButton(id))
        return [this, id] { runCommand(id, [this, id] { ledCommand(ledSlotOf(id)); }); };
    if (const CommandEntry* entry = findCommand(id))
        return [this, id, run = entry->run] { runCommand(id, [this, run] { (this->*run)(); }); };
    return {};
}

void MainWindow::connectCommand(QAbstractButton* button, int id) {
    if (std::function<void()> run = commandFor(id))
        connect(button, &QAbstractButton::clicked, this, run);
}

QAction* MainWindow::addCommandAction(QMenu* menu, const QString& text, int id,
                                      const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString("command%1").arg(id));
    action->setShortcut(shortcut);
    if (std::function<void()> run = commandFor(id))
        connect(action, &QAction::triggered, this, run);
    commandActions_[id] = action;
    return action;
}

QAction* MainWindow::commandAction(int id) const {
    const auto found = commandActions_.find(id);
    return found == commandActions_.end() ? nullptr : found->second;
}

void MainWindow::command(int id) {
    if (std::function<void()> run = commandFor(id))
        run();
}

void MainWindow::setKeyboardCommandsEnabled(bool on) {
    keyboardCommandsEnabled_ = on;
    for (int id : kKeyboardCommands) {
        control(id)->setEnabled(on);
        if (QAction* action = commandAction(id))
            action->setEnabled(on);
    }
}

void MainWindow::generateCommand() {
    if (build(true))
        showImageFilesWritten();
}

void MainWindow::testKeyboardCommand() {
    if (!testWindow_)
        return;
    testWindow_->show();
    testWindow_->raise();
    testWindow_->activateWindow();
    testWindow_->setFocus();
}

void MainWindow::stdRepeatCommand() {
    toggleFlag(state_.def.StdRepeat, ID_STD_REPEAT);
}

void MainWindow::globalRepeatDisableCommand() {
    toggleFlag(state_.def.GlobalRepeatDisable, ID_GLOBAL_REPEAT_DISABLE);
}

void MainWindow::anyKeyReleaseCommand() {
    toggleFlag(state_.def.AnyKeyRelease, ID_ANY_KEY_RELEASE);
}

void MainWindow::prefixMakeBreakCommand() {
    toggleFlag(state_.def.PrefixMakeBreak, ID_PREFIX_MAKE_BREAK);
}

void MainWindow::enableKeyboardCommand() {
    state_.def.EnableBits ^= 1;
    setChecked(ID_ENABLE_KEYBOARD, state_.def.EnableBits & 1);
}

void MainWindow::defineStringsCommand() {
    if (dialogs_)
        runStringDefinitionDialog(this, *dialogs_);
}

void MainWindow::pointDevSetCommand() {
    if (dialogs_)
        runPointingDeviceDialog(this, *dialogs_);
}

void MainWindow::exitCommand() {
    close();
}

void MainWindow::cellCommand(int cell) {
    state_.def.currentRow = cell / kColumns;
    state_.def.currentColumn = cell % kColumns;
    keyDialogOpen_ = true;
    cells_[cell]->repaint();
    if (dialogs_)
        runKeySettingsDialog(this, *dialogs_);
    keyDialogOpen_ = false;
    refreshFromDefinition();
    repaint();
}

void MainWindow::ledCommand(int slot) {
    ledSlot_ = slot;
    if (dialogs_)
        runLedDialog(this, *dialogs_, slot);
    refreshFromDefinition();
}

Session& MainWindow::workflowSession() {
    state_.controls = controlValues();
    return state_;
}

bool MainWindow::build(bool writeFiles) {
    return buildDefinition(workflowSession(), writeFiles).ok;
}

void MainWindow::saveCommand() {
    build(true);
    FileDialog::runSave(this, sharedFileName_);
    if (sharedFileName_.isEmpty())
        return; // Cancel or no name: the field and the files stay as they were
    const std::string name = sharedFileName_.toStdString();
    const bool saved = saveDefinitionNamed(workflowSession(), name, name);
    control<QLineEdit>(ID_INPUT_NAME)->setText(QString::fromStdString(state_.controls.fileName));
    if (saved)
        showSaved(sharedFileName_);
}

bool MainWindow::loadSettingsFile(const std::string& name, QWidget* owner) {
    return replaceDefinition([&] {
        const MessageSink messages = state_.messages;
        state_.messages = MessageBox::sinkFor(owner); // the file dialog's messages
        const bool loaded = loadDefinition(state_, name);
        state_.messages = messages;
        return loaded;
    });
}

bool MainWindow::replaceDefinition(const std::function<bool()>& load) {
    workflowSession();
    if (!load())
        return false; // definition and controls are left as they were
    applyControlValues(state_.controls);
    control(ID_POINT_DEVICE)->setEnabled(state_.controls.PointDevice != 0);
    return true;
}

void MainWindow::loadCommand() {
    if (!maybeKeepChanges())
        return;
    const SettingsLoader loader = [this](const std::string& name, QWidget* owner) {
        return loadSettingsFile(name, owner);
    };
    if (FileDialog::runLoad(this, loader, sharedFileName_) == 1)
        showLoaded();
}

bool MainWindow::openSettings(const QString& name) {
    if (!loadSettingsFile(name.toStdString(), this))
        return false;
    sharedFileName_ = name.left(FileListDialog::kSharedBufferSize);
    showLoaded();
    return true;
}

void MainWindow::showLoaded(const QString& label) {
    control<QLineEdit>(ID_INPUT_NAME)->setText(sharedFileName_.left(kTextSize - 1));
    build(false);
    refreshFromDefinition();
    repaint();
    showLoadedAsSaved(label);
    emit definitionReplaced();
}

void MainWindow::newCommand() {
    if (!maybeKeepChanges())
        return;
    Session& session = workflowSession();
    newDefinition(session.def, session.controls);
    applyControlValues(session.controls);
    control<QLineEdit>(ID_OUTPUT_NAME)->setText("out.dat");
    control<QLineEdit>(ID_INPUT_NAME)->setText("in.dat");
    control<QLineEdit>(ID_DEBOUNCE)->setText("30");
    refreshFromDefinition();
    repaint();
    commitAsSaved("New");
    emit definitionReplaced();
}

ProgressSink MainWindow::progressSink() {
    ProgressSink sink;
    sink.setRange = [this](int range) {
        if (progress_) {
            progress_->setTextVisible(false); // the last result goes
            progress_->setRange(0, range);
            progress_->setValue(0);
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    sink.setPosition = [this](int position) {
        if (progress_ && progress_->value() != position) {
            progress_->setValue(position);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    };
    return sink;
}

// A result shown on the progress bar: seen without a further click.
void MainWindow::showProgressText(const QString& text) {
    if (!progress_)
        return;
    progress_->setFormat(text);
    progress_->setTextVisible(true);
}

void MainWindow::blockInput(bool blocked) {
    // The client area and the menu, not the window itself, so that the
    // message boxes it owns stay usable.
    centralWidget()->setEnabled(!blocked);
    menuBar()->setEnabled(!blocked);
}

void MainWindow::checkPresenceCommand() {
    checkPresence(workflowSession());
    showPresence();
}

// The version field and the status bar say what the last search found.
void MainWindow::showPresence() {
    const bool found = state_.keyboardVersion != 0;
    const QString version = QString::fromStdString(versionLabel(state_.keyboardVersion));
    control<QLineEdit>(ID_KEYBOARD_VERSION)->setText(version);
    setStatusText(found ? QString("Keyboard %1 found").arg(version) : "No keyboard found");
}

void MainWindow::programCommand() {
    if (!build(false))
        return;
    blockInput(true);
    showMessage(this, "Plug in the keyboard to program !", "Download", MessageIcon::Information);
    // The workflow looks for the keyboard once and shows "No Keyboard Found!"
    // or "Programming failed" (with the differing bytes when the read-back
    // did not match); success on the bar.
    ProgramOptions options;
    options.verify = verifyAfterProgramming();
    const ProgramReport report = programAndVerify(workflowSession(), options);
    showPresence();
    if (report.passed()) {
        showProgressText(QString::fromStdString(programSummary(report)));
        showProgrammed();
    }
    blockInput(false);
}

void MainWindow::readCommand() {
    if (!maybeKeepChanges())
        return;
    showMessage(this, "Plug in the keyboard to read !", "", MessageIcon::Information);
    blockInput(true);
    // A failed read leaves the image and the matrix alone.
    std::string versionText;
    bool dumped = false; // "eepraw.txt" written; a failure has been shown
    const bool ok = readBack(workflowSession(), versionText, &dumped);
    if (!versionText.empty())
        control<QLineEdit>(ID_KEYBOARD_VERSION)->setText(QString::fromStdString(versionText));
    blockInput(false);
    if (!ok)
        return; // "No keyboard detected or Upload not supported!" was shown
    applyControlValues(state_.controls);
    control(ID_POINT_DEVICE)->setEnabled(state_.def.EnableBits & 2);
    refreshFromDefinition();
    repaint();
    showProgressText(QString("Read %1 bytes").arg(kTransferBytes));
    emit definitionReplaced();
    if (dumped)
        sayKeyboardRead(state_);
}

void MainWindow::toggleFlag(uint8_t& flag, int checkId) {
    flag = flag ? 0 : 1;
    setChecked(checkId, flag);
}

void MainWindow::enablePointingCommand() {
    KeyboardDefinition& def = state_.def;
    def.EnableBits ^= 2;
    const bool on = def.EnableBits & 2;
    auto* combo = control<QComboBox>(ID_POINT_DEVICE);
    combo->setCurrentIndex(on ? 1 : 0);
    combo->setEnabled(on);
    setChecked(ID_ENABLE_POINTING, on);
}

void MainWindow::activateBeepCommand() {
    KeyboardDefinition& def = state_.def;
    def.BeepLength = def.BeepLength != 0 ? 0 : kBeepDefault;
    refreshFromDefinition();
}

void MainWindow::beepLengthChanged(const QString& text) {
    if (settingBeepText_)
        return;
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok);
    if (!ok)
        return; // not a number: the stored length stays
    KeyboardDefinition& def = state_.def;
    def.BeepLength = static_cast<uint8_t>(value > kBeepMax ? kBeepMax : value);
    if (value > kBeepMax) {
        settingBeepText_ = true;
        control<QLineEdit>(ID_BEEP_LENGTH)->setText(QString::number(kBeepMax));
        settingBeepText_ = false;
    }
    if (value == 0) {
        control(ID_BEEP_LENGTH)->setEnabled(false);
        setChecked(ID_ACTIVATE_BEEP, false);
    }
}

void MainWindow::createWorkflowMenu() {
    QMenu* keyboard = new QMenu("&Keyboard", this);
    QAction* help = menuBar()->actions().last(); // before Help, after File and Edit
    menuBar()->insertMenu(help, keyboard);
    QAction* verify = keyboard->addAction("Verify after programming");
    verify->setObjectName("verifyAfterProgramming");
    verify->setCheckable(true);
    verify->setChecked(verifyAfterProgramming());
    connect(verify, &QAction::toggled, this, &MainWindow::setVerifyAfterProgramming);
    QAction* production = keyboard->addAction("Production run\u2026");
    production->setObjectName("productionRun");
    connect(production, &QAction::triggered, this, &MainWindow::productionRunRequested);
    keyboard->addSeparator();
    addCommandAction(keyboard, "&Program Keyboard", ID_PROGRAM, QKeySequence(Qt::CTRL | Qt::Key_P));
    addCommandAction(keyboard, "&Read Keyboard EEProm", ID_READ_EEPROM);
    addCommandAction(keyboard, "&Check keyboard presence", ID_CHECK_PRESENCE);
    setKeyboardCommandsEnabled(keyboardCommandsEnabled_);
}

bool MainWindow::verifyAfterProgramming() const {
    return QSettings("Quillan", "Quillan").value(kVerifySetting, true).toBool();
}

void MainWindow::setVerifyAfterProgramming(bool on) {
    QSettings("Quillan", "Quillan").setValue(kVerifySetting, on);
}

void MainWindow::aboutCommand() {
    AboutDialog about(this);
    runModal(about);
}

} // namespace quillan
