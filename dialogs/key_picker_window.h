// The key picker window "Key Macro Tool": edits one layer of a key cell as a
// list of key lines. Keys typed on the keyboard add lines naming their IBM
// keys, buttons add the keys that cannot be typed, eight toggles set the mode
// columns, and OK writes the list into the layer.
#pragma once

#include "gui/key_events.h"
#include "model/definition.h"
#include "model/log.h"
#include "rules/key_assignment.h"

#include <QStringList>
#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;

namespace quillan {

// Control ids of the key picker.
enum KeyPickerId : int {
    PICKER_OK = 1,
    PICKER_CANCEL = 2,
    PICKER_LEFT_MOUSE = 35128,
    PICKER_MIDDLE_MOUSE = 35129,
    PICKER_RIGHT_MOUSE = 35130,
    PICKER_DELETE = 35131,
    PICKER_CLEAR = 35132,
    PICKER_ALT = 35133,
    PICKER_CTRL_LEFT = 35134,
    PICKER_SHIFT_LEFT = 35135,
    PICKER_BASE = 35136,
    PICKER_REPEAT_OFF = 35137,
    PICKER_ALT_GR = 35138,
    PICKER_LIST = 35139,
    PICKER_FN1 = 35140,
    PICKER_FN2 = 35141,
    PICKER_GET_FOCUS = 35142,
    PICKER_TYPED_CHARACTER = 35147,
    PICKER_SYSTEM_POWER = 35150, // 35150..35157: the other consumer and system keys
    PICKER_MUTE = 35157,
    PICKER_VOLUME_UP = 35158,
    PICKER_VOLUME_DOWN = 35159,
    PICKER_CTRL_RIGHT = 35160,
    PICKER_SHIFT_RIGHT = 35161,
    PICKER_STOP_SUN = 35165,
    PICKER_HEADINGS = 35188, // the column headings above the list
};

class KeyPickerWindow : public QWidget {
    Q_OBJECT

  public:
    KeyPickerWindow(KeyboardDefinition& def, Log& log, QWidget* parent = nullptr);

    // Empties the list, fills it from the layer and shows the window.
    void showForLayer(int row, int column, int layer);
    // Called after OK has written the layer (the Key Settings dialog refills).
    void setAssignedHandler(std::function<void()> handler) { assigned_ = std::move(handler); }

    // Runs a command as its control (or a special-key id without one) sends it.
    void command(int id);
    // Handles one key message; typedText is the character the key types.
    void keyMessage(const KeyMessage& message, const QString& typedText);

    QStringList lines() const;
    const ModeToggles& toggles() const { return toggles_; }
    const PickerTarget& target() const { return target_; }

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void addLine(const std::string& line);
    void keyDown(const KeyMessage& message, const QString& typedText);
    void keyUp(const KeyMessage& message);
    void flipToggle(int id);
    void listNotification();
    void syncChecks();
    void confirm();
    void takeFocus();
    bool* toggleFor(int id);

    KeyboardDefinition& def_;
    Log& log_;
    KeyEventTranslator translator_;
    ModeToggles toggles_;
    PickerTarget target_;
    std::function<void()> assigned_;
    QListWidget* list_ = nullptr;
    QLabel* typed_ = nullptr;
};

} // namespace quillan
