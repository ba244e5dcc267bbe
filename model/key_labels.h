// What a catalogue row is, for people and for the key check: the readable
// name of its key ("A", "F4", "Left Shift") and the USB usage it sends.
#pragma once

#include <cstdint>
#include <string>

namespace quillan {

// USB usage pages a catalogue row sends on.
enum UsagePage : uint8_t {
    PAGE_NONE = 0,
    PAGE_SYSTEM = 0x01,   // generic desktop: system control
    PAGE_KEYBOARD = 0x07, // keyboard / keypad
    PAGE_CONSUMER = 0x0C,
};

struct KeyUsage {
    uint8_t page = PAGE_NONE;
    uint8_t usage = 0;
    bool valid() const { return page != PAGE_NONE; }
    bool operator==(const KeyUsage&) const = default;
    auto operator<=>(const KeyUsage&) const = default;
};

// Name of a keyboard-page usage ("A", "Enter", "F4"); "" when unnamed.
const char* keyboardUsageName(int usage);
// The key a row stands for in words: the usage name of a keyboard row,
// "" for rows whose catalogue name says it already (mouse, media, Fn) and
// for rows without a key.
std::string keyLabel(int row);
// "IBM Key 31 (A)": the catalogue name with its label when it has one.
std::string describedKeyName(int row);
// The usage a row's key sends; invalid for rows without a key (No Key,
// unused numbers, mouse buttons, Fn1, Fn2, String).
KeyUsage usageOfRow(int row);

} // namespace quillan
