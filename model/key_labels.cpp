#include "model/key_labels.h"

#include "model/catalogue.h"

#include <array>

namespace quillan {

namespace {

// clang-format off
// Keyboard page usages 0x00..0x73 (0 = unnamed).
constexpr std::array<const char*, 0x74> kUsageNames = {{
    nullptr, nullptr, nullptr, nullptr,
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
    "Enter", "Esc", "Backspace", "Tab", "Space", "-", "=", "[", "]", "\\", "# (non-US)",
    ";", "'", "`", ",", ".", "/", "Caps Lock",
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
    "Print Screen", "Scroll Lock", "Pause", "Insert", "Home", "Page Up", "Delete", "End",
    "Page Down", "Right", "Left", "Down", "Up", "Num Lock",
    "Keypad /", "Keypad *", "Keypad -", "Keypad +", "Keypad Enter",
    "Keypad 1", "Keypad 2", "Keypad 3", "Keypad 4", "Keypad 5", "Keypad 6", "Keypad 7",
    "Keypad 8", "Keypad 9", "Keypad 0", "Keypad .", "\\ (non-US)", "Menu", "Power",
    "Keypad =", "F13", "F14", "F15", "F16", "F17", "F18", "F19", "F20", "F21", "F22", "F23",
    "F24",
}};
// Modifier usages 0xE0..0xE7.
constexpr std::array<const char*, 8> kModifierNames = {
    "Left Ctrl", "Left Shift", "Left Alt", "Left GUI",
    "Right Ctrl", "Right Shift", "Right Alt", "Right GUI"};
// clang-format on
static_assert(kUsageNames[0x04][0] == 'A' && kUsageNames[0x3D][1] == '4');

bool sendsNoKey(uint8_t keyType) {
    return keyType == UNUSED_KEY || keyType == MOUSE_BUTTON_KEY || keyType == STRING_KEY ||
           keyType == LOCAL_SHIFT_RIGHT_KEY || keyType == LOCAL_SHIFT_LEFT_KEY ||
           keyType == ALPHA_LOCK_KEY || keyType == FN2_KEY;
}

} // namespace

const char* keyboardUsageName(int usage) {
    if (usage >= 0 && usage < static_cast<int>(kUsageNames.size()) && kUsageNames[usage])
        return kUsageNames[usage];
    if (usage >= 0xE0 && usage <= 0xE7)
        return kModifierNames[usage - 0xE0];
    switch (usage) {
    case 0x78:
        return "Stop";
    case 0x85:
        return "Keypad ,";
    case 0x87:
        return "Ro";
    default:
        return "";
    }
}

KeyUsage usageOfRow(int row) {
    const IbmKeyRow* entry = catalogueRow(row);
    if (!entry || sendsNoKey(entry->keyType))
        return {};
    if (entry->keyType == CONSUMER_KEY)
        return {PAGE_CONSUMER, entry->usb};
    if (entry->keyType == SYSTEM_KEY)
        return {PAGE_SYSTEM, entry->usb};
    return {PAGE_KEYBOARD, entry->usb};
}

std::string keyLabel(int row) {
    const KeyUsage usage = usageOfRow(row);
    if (usage.page != PAGE_KEYBOARD || std::string(catalogueName(row)).rfind("IBM Key", 0) != 0)
        return "";
    return keyboardUsageName(usage.usage);
}

std::string describedKeyName(int row) {
    const std::string name = catalogueName(row);
    const std::string label = keyLabel(row);
    return label.empty() ? name : name + " (" + label + ")";
}

} // namespace quillan
