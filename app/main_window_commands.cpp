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

namespace quillan {

namespace {

void showMessage(QWidget* parent, const QString& text, const QString& caption,
                 MessageIcon icon = MessageIcon::None) {
    MessageBox::show(parent, text, caption, icon);
}

constexpr const char* kVerifySetting = "verifyAfterProgramming";

int ledSlotOf(int id) {
    return id == ID_LED4 ? 3 : id - ID_LED1;
}

bool isLedButton(int id) {
    return id == ID_LED1 || id == ID_LED2 || id == ID_LED3 || id == ID_LED4;
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

void MainWindow::command(int id) {
    const CommandScope scope(*this, id);
    if (id >= kFirstCellControlId && id < kFirstCellControlId + kCells) {
        cellCommand(id - kFirstCellControlId);
        return;
    }
    if (isLedButton(id)) {
        ledCommand(ledSlotOf(id));
        return;
    }
    KeyboardDefinition& def = state_.def;
    switch (id) {
    case ID_GENERATE:
        if (build(true))
            showImageFilesWritten();
        break;
    case ID_SAVE:
        saveCommand();
        break;
    case ID_LOAD:
        loadCommand();
        break;
    case ID_TEST_KEYBOARD:
        if (testWindow_) {
            testWindow_->show();
            testWindow_->raise();
            testWindow_->activateWindow();
            testWindow_->setFocus();
        }
        break;
    case ID_STD_REPEAT:
        toggleFlag(def.StdRepeat, id);
        break;
    case ID_GLOBAL_REPEAT_DISABLE:
        toggleFlag(def.GlobalRepeatDisable, id);
        break;
    case ID_ANY_KEY_RELEASE:
        toggleFlag(def.AnyKeyRelease, id);
        break;
    case ID_PREFIX_MAKE_BREAK:
        toggleFlag(def.PrefixMakeBreak, id);
        break;
    case ID_NEW:
        newCommand();
        break;
    case ID_PROGRAM:
        programCommand();
        break;
    case ID_CHECK_PRESENCE:
        checkPresenceCommand();
        break;
    case ID_ENABLE_KEYBOARD:
        def.EnableBits ^= 1;
        setChecked(id, def.EnableBits & 1);
        break;
    case ID_ENABLE_POINTING:
        enablePointingCommand();
        break;
    case ID_DEFINE_STRINGS:
        if (dialogs_)
            runStringDefinitionDialog(this, *dialogs_);
        break;
    case ID_READ_EEPROM:
        readCommand();
        break;
    case ID_ACTIVATE_BEEP:
        activateBeepCommand();
        break;
    case ID_POINT_DEV_SET:
        if (dialogs_)
            runPointingDeviceDialog(this, *dialogs_);
        break;
    case ID_ABOUT:
        aboutCommand();
        break;
    case ID_EXIT:
        close();
        break;
    default:
        break;
    }
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

bool MainWindow::build(bool writeFiles) {
    state_.controls = controlValues();
    return buildDefinition(state_, writeFiles);
}

void MainWindow::saveCommand() {
    build(true);
    FileDialog::runSave(this, sharedFileName_);
    if (sharedFileName_.isEmpty())
        return; // Cancel or no name: the field and the files stay as they were
    control<QLineEdit>(ID_INPUT_NAME)->setText(sharedFileName_.left(kTextSize - 1));
    state_.controls = controlValues();
    if (saveDefinition(state_, sharedFileName_.toStdString()))
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
    state_.controls = controlValues();
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

void MainWindow::showLoaded() {
    control<QLineEdit>(ID_INPUT_NAME)->setText(sharedFileName_.left(kTextSize - 1));
    build(false);
    refreshFromDefinition();
    repaint();
    showLoadedAsSaved();
}

void MainWindow::newCommand() {
    if (!maybeKeepChanges())
        return;
    ControlValues values = controlValues();
    newDefinition(state_.def, values);
    applyControlValues(values);
    control<QLineEdit>(ID_OUTPUT_NAME)->setText("out.dat");
    control<QLineEdit>(ID_INPUT_NAME)->setText("in.dat");
    control<QLineEdit>(ID_DEBOUNCE)->setText("30");
    refreshFromDefinition();
    repaint();
    commitAsSaved("New");
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
    checkPresence(state_);
    control<QLineEdit>(ID_KEYBOARD_VERSION)
        ->setText(QString::fromStdString(versionLabel(state_.keyboardVersion)));
}

void MainWindow::programCommand() {
    if (!build(false))
        return;
    blockInput(true);
    showMessage(this, "Plug in the keyboard to program !", "Download", MessageIcon::Information);
    state_.keyboardVersion = 0;
    command(ID_CHECK_PRESENCE);
    if (state_.keyboardVersion != 0) {
        // Failures are shown as "Programming failed" (with the differing
        // bytes when the read-back did not match); success on the bar.
        ProgramOptions options;
        options.verify = verifyAfterProgramming();
        const ProgramReport report = programAndVerify(state_, options);
        if (report.passed()) {
            showProgressText(QString::fromStdString(programSummary(report)));
            showProgrammed();
        }
    } else {
        showMessage(this, "No Keyboard Found!", "Programming");
    }
    blockInput(false);
}

void MainWindow::readCommand() {
    if (!maybeKeepChanges())
        return;
    showMessage(this, "Plug in the keyboard to read !", "", MessageIcon::Information);
    blockInput(true);
    // A failed read leaves the image and the matrix alone.
    state_.controls = controlValues();
    std::string versionText;
    const bool ok = readBack(state_, versionText);
    if (!versionText.empty())
        control<QLineEdit>(ID_KEYBOARD_VERSION)->setText(QString::fromStdString(versionText));
    blockInput(false);
    if (!ok)
        return; // "No keyboard detected or Upload not supported!" was shown
    applyControlValues(state_.controls);
    control(ID_POINT_DEVICE)->setEnabled(state_.def.EnableBits & 2);
    refreshFromDefinition();
    repaint();
    showMessage(this, "Keyboard read !", "Reading");
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
