// Translates Qt key events into the key messages the test window and the key
// picker work with: a virtual-key code and the key data word (repeat count in
// bits 0..15, scan set 1 code in 16..23, extended key 24, Alt context 29,
// previous state 30, transition 31). On Linux the native scan code of an
// event is an evdev code plus 8.
#pragma once

#include <cstdint>

class QKeyEvent;

namespace quillan {

enum class KeyMessageKind { KeyDown, KeyUp, SysKeyDown, SysKeyUp };

struct KeyMessage {
    KeyMessageKind kind = KeyMessageKind::KeyDown;
    uint32_t virtualKey = 0; // 0..255
    uint32_t keyData = 0;
    int repeatCount() const { return static_cast<int16_t>(keyData & 0xFFFF); }
    int scanCode() const { return (keyData >> 16) & 0xFF; }
    bool extended() const { return keyData & (1u << 24); }
    bool altHeld() const { return keyData & (1u << 29); }
    bool previouslyDown() const { return keyData & (1u << 30); }
    bool released() const { return keyData & (1u << 31); }
};

struct ScanSet1Code {
    uint8_t code = 0;      // 0 = no translation
    bool extended = false; // E0-prefixed key
};

// evdev key code -> scan set 1 code with its extended bit. Num Lock is
// reported extended and Pause as plain 45, as the desktop's key messages do.
ScanSet1Code scanSet1FromEvdev(int evdevCode);
// evdev key code -> virtual-key code (0 when none).
uint8_t virtualKeyFromEvdev(int evdevCode);
// The evdev code of a Qt key for events that carry no native scan code
// (synthetic events); keypad selects the keypad variant. 0 when unknown.
int evdevFromQtKey(int qtKey, bool keypad);

// The evdev code of a key event: its native scan code when it names a key,
// else the code of its Qt key.
int evdevCodeOf(const QKeyEvent& event);
// Catalogue row of a media or system key (System power .. Volume down) by
// its evdev code; 0 for every other key.
int mediaKeyRow(int evdevCode);

// Builds the key message for a press or release. Keeps track of which keys
// are down (previous state, Alt context) across calls.
class KeyEventTranslator {
  public:
    KeyMessage translate(const QKeyEvent& event, bool press);
    // The same from an evdev code (what translate uses once it knows it).
    KeyMessage translateEvdev(int evdevCode, bool press, bool autoRepeat, bool altModifier,
                              bool ctrlModifier);

  private:
    bool down_[256] = {};
    bool altDown_ = false;
    bool ctrlDown_ = false;
    bool altAlone_ = false; // Alt pressed with no other key since
};

} // namespace quillan
