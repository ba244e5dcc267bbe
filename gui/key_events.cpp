#include "gui/key_events.h"

#include <QKeyEvent>
#include <array>

namespace quillan {

namespace {

// One evdev key: its scan set 1 code (E0-prefixed keys extended) and the
// virtual-key code the desktop's key messages carry for it (0 = none).
struct EvdevKey {
    uint16_t evdev;
    uint8_t scan;
    bool extended;
    uint8_t virtualKey;
};

// clang-format off
constexpr std::array<EvdevKey, 134> kEvdevKeys = {{
    // evdev scan  ext    vk         key
    {   1, 0x01, false,  27 },    // Escape
    {   2, 0x02, false,  49 },    // 1
    {   3, 0x03, false,  50 },    // 2
    {   4, 0x04, false,  51 },    // 3
    {   5, 0x05, false,  52 },    // 4
    {   6, 0x06, false,  53 },    // 5
    {   7, 0x07, false,  54 },    // 6
    {   8, 0x08, false,  55 },    // 7
    {   9, 0x09, false,  56 },    // 8
    {  10, 0x0A, false,  57 },    // 9
    {  11, 0x0B, false,  48 },    // 0
    {  12, 0x0C, false, 189 },    // minus (OEM_MINUS)
    {  13, 0x0D, false, 187 },    // equal (OEM_PLUS)
    {  14, 0x0E, false,   8 },    // Backspace
    {  15, 0x0F, false,   9 },    // Tab
    {  16, 0x10, false,  81 },    // Q
    {  17, 0x11, false,  87 },    // W
    {  18, 0x12, false,  69 },    // E
    {  19, 0x13, false,  82 },    // R
    {  20, 0x14, false,  84 },    // T
    {  21, 0x15, false,  89 },    // Y
    {  22, 0x16, false,  85 },    // U
    {  23, 0x17, false,  73 },    // I
    {  24, 0x18, false,  79 },    // O
    {  25, 0x19, false,  80 },    // P
    {  26, 0x1A, false, 219 },    // left bracket (OEM_4)
    {  27, 0x1B, false, 221 },    // right bracket (OEM_6)
    {  28, 0x1C, false,  13 },    // Return
    {  29, 0x1D, false,  17 },    // left Ctrl
    {  30, 0x1E, false,  65 },    // A
    {  31, 0x1F, false,  83 },    // S
    {  32, 0x20, false,  68 },    // D
    {  33, 0x21, false,  70 },    // F
    {  34, 0x22, false,  71 },    // G
    {  35, 0x23, false,  72 },    // H
    {  36, 0x24, false,  74 },    // J
    {  37, 0x25, false,  75 },    // K
    {  38, 0x26, false,  76 },    // L
    {  39, 0x27, false, 186 },    // semicolon (OEM_1)
    {  40, 0x28, false, 222 },    // apostrophe (OEM_7)
    {  41, 0x29, false, 192 },    // grave (OEM_3)
    {  42, 0x2A, false,  16 },    // left Shift
    {  43, 0x2B, false, 220 },    // backslash (OEM_5)
    {  44, 0x2C, false,  90 },    // Z
    {  45, 0x2D, false,  88 },    // X
    {  46, 0x2E, false,  67 },    // C
    {  47, 0x2F, false,  86 },    // V
    {  48, 0x30, false,  66 },    // B
    {  49, 0x31, false,  78 },    // N
    {  50, 0x32, false,  77 },    // M
    {  51, 0x33, false, 188 },    // comma (OEM_COMMA)
    {  52, 0x34, false, 190 },    // period (OEM_PERIOD)
    {  53, 0x35, false, 191 },    // slash (OEM_2)
    {  54, 0x36, false,  16 },    // right Shift
    {  55, 0x37, false, 106 },    // keypad *
    {  56, 0x38, false,  18 },    // left Alt
    {  57, 0x39, false,  32 },    // Space
    {  58, 0x3A, false,  20 },    // Caps Lock
    {  59, 0x3B, false, 112 },    // F1
    {  60, 0x3C, false, 113 },    // F2
    {  61, 0x3D, false, 114 },    // F3
    {  62, 0x3E, false, 115 },    // F4
    {  63, 0x3F, false, 116 },    // F5
    {  64, 0x40, false, 117 },    // F6
    {  65, 0x41, false, 118 },    // F7
    {  66, 0x42, false, 119 },    // F8
    {  67, 0x43, false, 120 },    // F9
    {  68, 0x44, false, 121 },    // F10
    {  69, 0x45, true,  144 },    // Num Lock
    {  70, 0x46, false, 145 },    // Scroll Lock
    {  71, 0x47, false, 103 },    // keypad 7
    {  72, 0x48, false, 104 },    // keypad 8
    {  73, 0x49, false, 105 },    // keypad 9
    {  74, 0x4A, false, 109 },    // keypad -
    {  75, 0x4B, false, 100 },    // keypad 4
    {  76, 0x4C, false, 101 },    // keypad 5
    {  77, 0x4D, false, 102 },    // keypad 6
    {  78, 0x4E, false, 107 },    // keypad +
    {  79, 0x4F, false,  97 },    // keypad 1
    {  80, 0x50, false,  98 },    // keypad 2
    {  81, 0x51, false,  99 },    // keypad 3
    {  82, 0x52, false,  96 },    // keypad 0
    {  83, 0x53, false, 110 },    // keypad .
    {  86, 0x56, false, 226 },    // key 102 (OEM_102)
    {  87, 0x57, false, 122 },    // F11
    {  88, 0x58, false, 123 },    // F12
    {  89, 0x73, false, 193 },    // Ro
    {  92, 0x79, false,  28 },    // Henkan (convert)
    {  93, 0x70, false,   0 },    // Katakana/Hiragana
    {  94, 0x7B, false,  29 },    // Muhenkan (non-convert)
    {  96, 0x1C, true,   13 },    // keypad Enter
    {  97, 0x1D, true,   17 },    // right Ctrl
    {  98, 0x35, true,  111 },    // keypad /
    {  99, 0x37, true,   44 },    // Print Screen
    { 100, 0x38, true,   18 },    // right Alt
    { 102, 0x47, true,   36 },    // Home
    { 103, 0x48, true,   38 },    // Up
    { 104, 0x49, true,   33 },    // Page Up
    { 105, 0x4B, true,   37 },    // Left
    { 106, 0x4D, true,   39 },    // Right
    { 107, 0x4F, true,   35 },    // End
    { 108, 0x50, true,   40 },    // Down
    { 109, 0x51, true,   34 },    // Page Down
    { 110, 0x52, true,   45 },    // Insert
    { 111, 0x53, true,   46 },    // Delete
    { 113, 0x20, true,  173 },    // Mute
    { 114, 0x2E, true,  174 },    // Volume down
    { 115, 0x30, true,  175 },    // Volume up
    { 116, 0x5E, true,    0 },    // System power
    { 117, 0x59, false,   0 },    // keypad =
    { 119, 0x45, false,  19 },    // Pause
    { 121, 0x7E, false, 108 },    // keypad comma (SEPARATOR)
    { 124, 0x7D, false,   0 },    // Yen
    { 125, 0x5B, true,   91 },    // left Windows
    { 126, 0x5C, true,   92 },    // right Windows
    { 127, 0x5D, true,   93 },    // Menu (APPS)
    { 142, 0x5F, true,   95 },    // System sleep
    { 143, 0x63, true,    0 },    // System wake
    { 163, 0x19, true,  176 },    // Next track
    { 164, 0x22, true,  179 },    // Play/Pause
    { 165, 0x10, true,  177 },    // Previous track
    { 166, 0x24, true,  178 },    // Stop
    { 183, 0x64, false, 124 },    // F13
    { 184, 0x65, false, 125 },    // F14
    { 185, 0x66, false, 126 },    // F15
    { 186, 0x67, false, 127 },    // F16
    { 187, 0x68, false, 128 },    // F17
    { 188, 0x69, false, 129 },    // F18
    { 189, 0x6A, false, 130 },    // F19
    { 190, 0x6B, false, 131 },    // F20
    { 191, 0x6C, false, 132 },    // F21
    { 192, 0x6D, false, 133 },    // F22
    { 193, 0x6E, false, 134 },    // F23
    { 194, 0x76, false, 135 },    // F24
}};
// clang-format on
static_assert(kEvdevKeys.size() == 134);

const EvdevKey* findEvdev(int evdevCode) {
    for (const EvdevKey& key : kEvdevKeys)
        if (key.evdev == evdevCode)
            return &key;
    return nullptr;
}

// Qt keys of synthetic events -> evdev codes. Keypad variants first so that a
// keypad event finds them; the plain rows follow.
struct QtKeyRow {
    int qtKey;
    bool keypad;
    uint16_t evdev;
};

// clang-format off
constexpr std::array<QtKeyRow, 68> kQtKeys = {{
    // Qt key              keypad evdev
    { Qt::Key_0,            true,  82 },
    { Qt::Key_1,            true,  79 },
    { Qt::Key_2,            true,  80 },
    { Qt::Key_3,            true,  81 },
    { Qt::Key_4,            true,  75 },
    { Qt::Key_5,            true,  76 },
    { Qt::Key_6,            true,  77 },
    { Qt::Key_7,            true,  71 },
    { Qt::Key_8,            true,  72 },
    { Qt::Key_9,            true,  73 },
    { Qt::Key_Asterisk,     true,  55 },
    { Qt::Key_Plus,         true,  78 },
    { Qt::Key_Minus,        true,  74 },
    { Qt::Key_Period,       true,  83 },
    { Qt::Key_Slash,        true,  98 },
    { Qt::Key_Enter,        true,  96 },
    { Qt::Key_Enter,        false, 96 },
    { Qt::Key_0,            false, 11 },
    { Qt::Key_Escape,       false,  1 },
    { Qt::Key_Minus,        false, 12 },
    { Qt::Key_Equal,        false, 13 },
    { Qt::Key_Backspace,    false, 14 },
    { Qt::Key_Tab,          false, 15 },
    { Qt::Key_BracketLeft,  false, 26 },
    { Qt::Key_BracketRight, false, 27 },
    { Qt::Key_Return,       false, 28 },
    { Qt::Key_Control,      false, 29 },
    { Qt::Key_Semicolon,    false, 39 },
    { Qt::Key_Apostrophe,   false, 40 },
    { Qt::Key_QuoteLeft,    false, 41 },
    { Qt::Key_Shift,        false, 42 },
    { Qt::Key_Backslash,    false, 43 },
    { Qt::Key_Comma,        false, 51 },
    { Qt::Key_Period,       false, 52 },
    { Qt::Key_Slash,        false, 53 },
    { Qt::Key_Alt,          false, 56 },
    { Qt::Key_Space,        false, 57 },
    { Qt::Key_CapsLock,     false, 58 },
    { Qt::Key_NumLock,      false, 69 },
    { Qt::Key_ScrollLock,   false, 70 },
    { Qt::Key_F11,          false, 87 },
    { Qt::Key_F12,          false, 88 },
    { Qt::Key_Print,        false, 99 },
    { Qt::Key_AltGr,        false, 100 },
    { Qt::Key_Home,         false, 102 },
    { Qt::Key_Up,           false, 103 },
    { Qt::Key_PageUp,       false, 104 },
    { Qt::Key_Left,         false, 105 },
    { Qt::Key_Right,        false, 106 },
    { Qt::Key_End,          false, 107 },
    { Qt::Key_Down,         false, 108 },
    { Qt::Key_PageDown,     false, 109 },
    { Qt::Key_Insert,       false, 110 },
    { Qt::Key_Delete,       false, 111 },
    { Qt::Key_VolumeMute,   false, 113 },
    { Qt::Key_VolumeDown,   false, 114 },
    { Qt::Key_VolumeUp,     false, 115 },
    { Qt::Key_Pause,        false, 119 },
    { Qt::Key_Meta,         false, 125 },
    { Qt::Key_Menu,         false, 127 },
    { Qt::Key_MediaNext,    false, 163 },
    { Qt::Key_MediaPrevious,false, 165 },
    { Qt::Key_MediaTogglePlayPause, false, 164 },
    { Qt::Key_MediaPlay,    false, 164 },
    { Qt::Key_MediaStop,    false, 166 },
    { Qt::Key_PowerOff,     false, 116 },
    { Qt::Key_Sleep,        false, 142 },
    { Qt::Key_WakeUp,       false, 143 },
}};
// clang-format on
static_assert(kQtKeys.size() == 68);

// Media and system keys -> the catalogue rows of their consumer and system
// keys.
struct MediaKey {
    uint16_t evdev;
    uint8_t row;
};
constexpr std::array<MediaKey, 10> kMediaKeys = {{
    {116, 136}, // System power
    {142, 137}, // System sleep
    {143, 138}, // System wake
    {163, 139}, // Next track
    {165, 140}, // Prev track
    {166, 141}, // Stop
    {164, 142}, // Play-Pause
    {113, 143}, // Mute
    {115, 144}, // Volume up
    {114, 145}, // Volume down
}};

// Letters and digits 1..9 in their keyboard rows.
constexpr std::array<uint8_t, 26> kLetterEvdev = {30, 48, 46, 32, 18, 33, 34, 35, 23,
                                                  36, 37, 38, 50, 49, 24, 25, 16, 19,
                                                  31, 20, 22, 47, 17, 45, 21, 44};
static_assert(kLetterEvdev.size() == 26);

constexpr int kAltKey = 18;
constexpr int kControlKey = 17;
constexpr int kF10Key = 121;
constexpr int kLeftAlt = 56, kRightAlt = 100, kLeftCtrl = 29, kRightCtrl = 97;

} // namespace

ScanSet1Code scanSet1FromEvdev(int evdevCode) {
    const EvdevKey* key = findEvdev(evdevCode);
    if (!key)
        return {};
    return {key->scan, key->extended};
}

uint8_t virtualKeyFromEvdev(int evdevCode) {
    const EvdevKey* key = findEvdev(evdevCode);
    return key ? key->virtualKey : 0;
}

int mediaKeyRow(int evdevCode) {
    for (const MediaKey& key : kMediaKeys)
        if (key.evdev == evdevCode)
            return key.row;
    return 0;
}

int evdevCodeOf(const QKeyEvent& event) {
    const quint32 native = event.nativeScanCode();
    if (native > 8 && native < 256 + 8 &&
        (findEvdev(static_cast<int>(native) - 8) || mediaKeyRow(static_cast<int>(native) - 8)))
        return static_cast<int>(native) - 8;
    return evdevFromQtKey(event.key(), event.modifiers() & Qt::KeypadModifier);
}

int evdevFromQtKey(int qtKey, bool keypad) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return kLetterEvdev[qtKey - Qt::Key_A];
    if (!keypad && qtKey >= Qt::Key_1 && qtKey <= Qt::Key_9)
        return 2 + (qtKey - Qt::Key_1);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F10)
        return 59 + (qtKey - Qt::Key_F1);
    if (qtKey >= Qt::Key_F13 && qtKey <= Qt::Key_F24)
        return 183 + (qtKey - Qt::Key_F13);
    for (const QtKeyRow& row : kQtKeys)
        if (row.qtKey == qtKey && (row.keypad == keypad || !row.keypad))
            return row.evdev;
    return 0;
}

KeyMessage KeyEventTranslator::translate(const QKeyEvent& event, bool press) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    return translateEvdev(evdevCodeOf(event), press, event.isAutoRepeat(),
                          modifiers & Qt::AltModifier, modifiers & Qt::ControlModifier);
}

KeyMessage KeyEventTranslator::translateEvdev(int evdevCode, bool press, bool autoRepeat,
                                              bool altModifier, bool ctrlModifier) {
    const ScanSet1Code scan = scanSet1FromEvdev(evdevCode);
    const uint8_t virtualKey = virtualKeyFromEvdev(evdevCode);
    const int slot = (evdevCode > 0 && evdevCode < 256) ? evdevCode : 0;
    const bool isAlt = virtualKey == kAltKey;

    bool previous = true;
    bool sys = false;
    if (press) {
        previous = down_[slot] || autoRepeat;
        down_[slot] = true;
        if (isAlt && !altDown_)
            altAlone_ = true;
        else if (!isAlt)
            altAlone_ = false;
    } else {
        down_[slot] = false;
    }
    altDown_ = down_[kLeftAlt] || down_[kRightAlt];
    ctrlDown_ = down_[kLeftCtrl] || down_[kRightCtrl];
    const bool alt = altDown_ || (altModifier && !(isAlt && !press));
    const bool ctrl = ctrlDown_ || ctrlModifier || virtualKey == kControlKey;

    if (press) {
        sys = (alt && !ctrl) || (virtualKey == kF10Key && !ctrl);
    } else if (isAlt) {
        // Alt released with no other key in between: a system key-up.
        sys = altAlone_ && !ctrl;
        altAlone_ = false;
    } else {
        sys = (alt && !ctrl) || (virtualKey == kF10Key && !ctrl);
    }

    KeyMessage message;
    message.kind = press ? (sys ? KeyMessageKind::SysKeyDown : KeyMessageKind::KeyDown)
                         : (sys ? KeyMessageKind::SysKeyUp : KeyMessageKind::KeyUp);
    message.virtualKey = virtualKey;
    message.keyData = 1u | (uint32_t{scan.code} << 16);
    if (scan.extended)
        message.keyData |= 1u << 24;
    if (alt)
        message.keyData |= 1u << 29;
    if (previous)
        message.keyData |= 1u << 30;
    if (!press)
        message.keyData |= 1u << 31;
    return message;
}

} // namespace quillan
