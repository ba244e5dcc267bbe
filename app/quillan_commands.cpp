// Main window commands: the cell and LED buttons and the command table.
#include "app/file_dialogs.h"
#include "app/message_box.h"
#include "app/modal.h"
#include "app/pictures.h"
#include "app/quillan.h"
#include "eeprom/image_files.h"
#include "model/settings_file.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QVBoxLayout>

namespace quillan {

namespace {

void showMessage(QWidget* parent, const QString& text, const QString& caption,
                 MessageIcon icon = MessageIcon::None) {
    MessageBox::show(parent, text, caption, icon);
}

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

ModalHook& modalHook() {
    static ModalHook hook;
    return hook;
}

} // namespace

void setModalHook(ModalHook hook) {
    modalHook() = std::move(hook);
}

int runModal(QDialog& dialog) {
    return modalHook() ? modalHook()(dialog) : dialog.exec();
}

void MainWindow::command(int id) {
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
        build(true);
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
    const BuildResult result =
        buildImage(state_.def, controlValues(), state_.image, state_.log, writeFiles);
    state_.log.flush();
    if (!result.ok)
        showMessage(this, QString::fromStdString(result.message),
                    QString::fromStdString(result.caption), MessageIcon::Warning);
    return result.ok;
}

void MainWindow::saveCommand() {
    build(true);
    FileDialog::runSave(this, sharedFileName_);
    if (sharedFileName_.isEmpty())
        return; // Cancel or no name: the field and the files stay as they were
    control<QLineEdit>(ID_INPUT_NAME)->setText(sharedFileName_.left(kTextSize - 1));
    saveSettings(state_.def, controlValues(), sharedFileName_.toStdString(),
                 MessageBox::sinkFor(this));
}

bool MainWindow::loadSettingsFile(const std::string& name, QWidget* owner) {
    return replaceDefinition([&](KeyboardDefinition& def, ControlValues& values) {
        return loadSettings(def, values, name, MessageBox::sinkFor(owner)).loaded;
    });
}

bool MainWindow::replaceDefinition(
    const std::function<bool(KeyboardDefinition&, ControlValues&)>& load) {
    ControlValues values = controlValues();
    if (!load(state_.def, values))
        return false; // definition and controls are left as they were
    applyControlValues(values);
    control(ID_POINT_DEVICE)->setEnabled(values.PointDevice != 0);
    unpackStrings(state_.def);
    return true;
}

void MainWindow::loadCommand() {
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
}

void MainWindow::newCommand() {
    ControlValues values = controlValues();
    newDefinition(state_.def, values);
    applyControlValues(values);
    control<QLineEdit>(ID_OUTPUT_NAME)->setText("out.dat");
    control<QLineEdit>(ID_INPUT_NAME)->setText("in.dat");
    control<QLineEdit>(ID_DEBOUNCE)->setText("30");
    refreshFromDefinition();
    repaint();
}

ProgressSink MainWindow::progressSink() {
    ProgressSink sink;
    sink.setRange = [this](int range) {
        if (progress_) {
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

LinkContext MainWindow::linkContext() {
    return LinkContext{*state_.backend, state_.keyboardVersion, MessageBox::sinkFor(this),
                       progressSink(), state_.clock};
}

void MainWindow::blockInput(bool blocked) {
    // The client area and the menu, not the window itself, so that the
    // message boxes it owns stay usable.
    centralWidget()->setEnabled(!blocked);
    menuBar()->setEnabled(!blocked);
}

void MainWindow::checkPresenceCommand() {
    LinkContext context = linkContext();
    FoundDevice found;
    FindKeyboard(context, found);
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
        LinkContext context = linkContext();
        if (!ProgramKeyboard(context, state_.image))
            showMessage(this, "Programming failed", "Programming");
    } else {
        showMessage(this, "No Keyboard Found!", "Programming");
    }
    blockInput(false);
}

void MainWindow::readCommand() {
    showMessage(this, "Plug in the keyboard to read !", "", MessageIcon::Information);
    blockInput(true);
    // Read into a copy: a failed read leaves the image and the matrix alone.
    EepromImage readBack = state_.image;
    std::string versionText;
    LinkContext context = linkContext();
    const bool ok = ReadKeyboard(context, readBack, versionText);
    if (!versionText.empty())
        control<QLineEdit>(ID_KEYBOARD_VERSION)->setText(QString::fromStdString(versionText));
    blockInput(false);
    if (!ok) {
        showMessage(this, "No keyboard detected or Upload not supported!", "Read Keyboard EEProm");
        return;
    }
    state_.image = readBack;
    resetMatrix(state_.def);
    clearStringDefinitions(state_.def, true);
    ControlValues values = controlValues();
    refillFromImage(state_.def, values, state_.image, state_.log);
    state_.log.flush();
    applyControlValues(values);
    control(ID_POINT_DEVICE)->setEnabled(state_.def.EnableBits & 2);
    writeReadbackDump(state_.image);
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

void MainWindow::aboutCommand() {
    AboutDialog about(this);
    runModal(about);
}

} // namespace quillan
