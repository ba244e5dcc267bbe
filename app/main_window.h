// The main window: the key matrix as 128 picture buttons, the global
// settings that live in its controls, and the commands that build, save,
// load, program, read back and detect the keyboard.
#pragma once

#include "app/main_controls.h"
#include "app/undo_history.h"
#include "dialogs/dialogs.h"
#include "eeprom/image.h"
#include "hidlink/link.h"
#include "model/definition.h"
#include "model/log.h"
#include "workflow/session.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>

class QAbstractButton;
class QAction;
class QMenu;
class QProgressBar;

namespace quillan {

// Control and command ids of the main window.
enum MainId : int {
    ID_ABOUT = 104,
    ID_EXIT = 105,
    ID_GENERATE = 35072,
    ID_SAVE = 35073,
    ID_LOAD = 35074,
    ID_USB_DOWNLOAD = 35075,
    ID_TEST_KEYBOARD = 35076,
    ID_OUTPUT_NAME = 35077,
    ID_INPUT_NAME = 35078,
    ID_STD_REPEAT = 35079,
    ID_GLOBAL_REPEAT_DISABLE = 35080,
    ID_ANY_KEY_RELEASE = 35081,
    ID_REPEAT_DELAY = 35082,
    ID_REPEAT_RATE = 35083,
    ID_DEBOUNCE = 35084,
    ID_MAX_SCAN_ROWS = 35090,
    ID_PREFIX_MAKE_BREAK = 35091,
    ID_LED1 = 35093,
    ID_LED2 = 35094,
    ID_LED3 = 35095,
    ID_NEW = 35096,
    ID_PROGRAM_VERSION = 35097,
    ID_PROGRAM = 35098,
    ID_CHECK_PRESENCE = 35099,
    ID_POINT_DEVICE = 35100,
    ID_ENABLE_KEYBOARD = 35101,
    ID_ENABLE_POINTING = 35102,
    ID_DEFINE_STRINGS = 35103,
    ID_READ_EEPROM = 35118,
    ID_SERIAL = 35119,
    ID_LED4 = 35120,
    ID_ACTIVATE_BEEP = 35148,
    ID_BEEP_LENGTH = 35149,
    ID_LIST = 35162,
    ID_POINT_DEV_SET = 35166,
    ID_KEYBOARD_VERSION = 35187,
};

// The LED slot 0..3 of an LED button id.
inline bool isLedButton(int id) {
    return id == ID_LED1 || id == ID_LED2 || id == ID_LED3 || id == ID_LED4;
}
inline int ledSlotOf(int id) {
    return id == ID_LED4 ? 3 : id - ID_LED1;
}

// What the application owns for the whole run and the main window works on:
// the workflow session (its control values are synchronised with the
// controls around every workflow step).
using AppState = Session;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kBeepMax = 200;
    static constexpr int kBeepDefault = 100;
    static constexpr int kProgressRange = 2048;

    explicit MainWindow(AppState& state);

    // Wiring done by the application after creation.
    void setDialogContext(DialogContext* context) { dialogs_ = context; }
    void setTestWindow(QWidget* window) { testWindow_ = window; }
    void createProgressBar();

    // Runs the command of a control or menu id as a click would (nothing for
    // an id without a command, or a keyboard command while they are off).
    void command(int id);
    // The commands that use the keyboard (Program, Read, Check presence),
    // buttons and menu entries; off while a production run has the bus.
    void setKeyboardCommandsEnabled(bool on);
    bool keyboardCommandsEnabled() const { return keyboardCommandsEnabled_; }
    // The menu entry that runs the command id (nullptr when there is none).
    QAction* commandAction(int id) const;
    // Loads a settings file as "Load settings from file" does once a name is
    // chosen; false (and nothing changed) when it cannot be loaded.
    bool openSettings(const QString& name);
    // "Export as JSON…" and "Import JSON…" once a name is chosen (an export
    // adds ".json" to a name without suffix). An import
    // replaces the definition as a load does; a refused document changes
    // nothing and says why. False when nothing was written or imported.
    bool exportJson(const QString& name);
    bool importJson(const QString& name);

    // The settings held by the controls, for the builder and the writer.
    ControlValues controlValues() const;
    void applyControlValues(const ControlValues& values);
    // Check boxes and beep length from the definition; repaints the matrix.
    void refreshFromDefinition();

    // Access for the application and for tests.
    QWidget* control(int id) const;
    template <class T> T* control(int id) const { return qobject_cast<T*>(control(id)); }
    PictureButton* cellButton(int row, int column) const { return cells_[row * kColumns + column]; }
    QProgressBar* progressBar() const { return progress_; }
    QWidget* clientArea() const { return centralWidget(); }
    bool keyDialogOpen() const { return keyDialogOpen_; }
    ProgressSink progressSink();
    const QString& sharedFileName() const { return sharedFileName_; }

    // The "Keyboard" menu: "Verify after programming" (remembered) and
    // "Production run…", which asks the application for its window.
    void createWorkflowMenu();
    bool verifyAfterProgramming() const;
    void setVerifyAfterProgramming(bool on);
    // Undo, redo and unsaved changes (main_window_edit.cpp).
    void resetHistory();
    void undo();
    void redo();
    const UndoHistory& history() const { return history_; }
    bool hasUnsavedChanges() const { return history_.modified(); }
    // Asks "Save / Discard / Cancel" when there are unsaved changes; false
    // when the user keeps them (Cancel, or a save that did not happen).
    bool maybeKeepChanges();
    QString statusText() const;
    QAction* undoAction() const { return undoAction_; }
    QAction* redoAction() const { return redoAction_; }

  signals:
    void closed();
    void productionRunRequested();
    // The definition was replaced as a whole (Load, New, read-back, import).
    void definitionReplaced();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class CommandScope;
    using CommandSlot = void (MainWindow::*)();
    struct CommandEntry {
        int id;
        CommandSlot run;
    };
    static const CommandEntry* findCommand(int id);
    // Runs a command as one undo step.
    void runCommand(int id, const std::function<void()>& run);
    // What a click on the control of id (or its menu entry) runs; empty
    // for an id without a command.
    std::function<void()> commandFor(int id);
    void connectCommand(QAbstractButton* button, int id);
    QAction* addCommandAction(QMenu* menu, const QString& text, int id,
                              const QKeySequence& shortcut = {});
    // The session with the controls' values copied in: what every workflow
    // step is handed.
    Session& workflowSession();
    void createMenu();
    void createFileCommandMenu(QMenu* file);
    void createEditMenu();
    void connectEditHooks();
    EditState editState() const;
    void commitEdit(const QString& label);
    void afterCommand(int id);
    QString commandLabel(int id) const;
    void applyEditState(const EditState& state);
    void updateEditState();
    void setStatusText(const QString& text);
    void showImageFilesWritten();
    void showSaved(const QString& name);
    void showProgrammed();
    void showLoadedAsSaved(const QString& label);
    void commitAsSaved(const QString& label);
    void updateCellToolTips();
    void createCellButtons();
    void createControls();
    void fillComboBoxes();
    void orderTabs();
    // The owner-drawn matrix and LED buttons.
    QWidget* createCellButton(QWidget* parent, int index);
    QWidget* createLedButton(QWidget* parent, const ControlRow& row);

    void cellCommand(int cell);
    void ledCommand(int slot);
    bool build(bool writeFiles);
    void saveCommand();
    void loadCommand();
    void showLoaded(const QString& label = "Load settings from file");
    bool loadSettingsFile(const std::string& name, QWidget* owner);
    // Runs load on the session's definition and control values; on success the
    // controls, the pointing-device list and the string slots follow.
    bool replaceDefinition(const std::function<bool()>& load);
    void exportJsonCommand();
    void importJsonCommand();
    void newCommand();
    void programCommand();
    void checkPresenceCommand();
    void showPresence();
    void readCommand();
    void generateCommand();
    void testKeyboardCommand();
    void stdRepeatCommand();
    void globalRepeatDisableCommand();
    void anyKeyReleaseCommand();
    void prefixMakeBreakCommand();
    void enableKeyboardCommand();
    void defineStringsCommand();
    void pointDevSetCommand();
    void exitCommand();
    void toggleFlag(uint8_t& flag, int checkId);
    void enablePointingCommand();
    void activateBeepCommand();
    void beepLengthChanged(const QString& text);
    void debounceEditingFinished();
    void aboutCommand();
    void setChecked(int id, bool on);
    void setTextCut(int id, const std::string& text);
    void blockInput(bool blocked);
    void showProgressText(const QString& text);

    AppState& state_;
    DialogContext* dialogs_ = nullptr;
    QWidget* testWindow_ = nullptr;
    std::array<PictureButton*, kCells> cells_{};
    QProgressBar* progress_ = nullptr;
    bool keyDialogOpen_ = false;
    int ledSlot_ = 0;
    bool settingBeepText_ = false;
    QString sharedFileName_;
    UndoHistory history_;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    int commandDepth_ = 0;
    bool keyboardCommandsEnabled_ = true;
    std::map<int, QAction*> commandActions_;
};

// Wraps one command: when the outermost command ends, its change of the
// definition or the controls becomes an undo step.
class CommandScope {
  public:
    CommandScope(MainWindow& window, int id) : window_(window), id_(id) { ++window_.commandDepth_; }
    ~CommandScope() {
        if (--window_.commandDepth_ == 0)
            window_.afterCommand(id_);
    }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

  private:
    MainWindow& window_;
    int id_;
};

// "%02d.%02d" of the program version 4.0.
QString programVersionText();

} // namespace quillan
