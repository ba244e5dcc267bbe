// The static key tables: the IBM key catalogue (147 rows), the key type names
// and the character table that maps text characters to catalogue rows.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace quillan {

// Key type codes. The values are stored in files and images: they are
// spelled out, never taken from enumerator positions.
enum KeyType : uint8_t {
    NORMAL_KEY = 0,
    KEYPAD_ENTER_KEY = 1,
    CURSOR_KEY = 2,
    KEYPAD_KEY = 3,
    PRINTSCREEEN_KEY = 4,
    PAUSE_KEY = 5,
    LOCAL_SHIFT_RIGHT_KEY = 6,
    LOCAL_SHIFT_LEFT_KEY = 7,
    SHIFT_RIGHT_KEY = 8,
    SHIFT_LEFT_KEY = 9,
    CTRL_RIGHT_KEY = 10,
    CTRL_LEFT_KEY = 11,
    ALT_RIGHT_OR_GR_KEY = 12,
    ALT_LEFT_KEY = 13,
    ALPHA_LOCK_KEY = 14,
    UNUSED_KEY = 15,
    MOUSE_BUTTON_KEY = 16,
    STRING_KEY = 17,
    CONSUMER_KEY = 18,
    SYSTEM_KEY = 19,
    LOCAL_ILLUMIATION_KEY = 20,
    FN2_KEY = 21,
};
constexpr int kKeyTypeCount = 22;

constexpr int kCatalogueRows = 147;
constexpr int kNoCatalogueRow = 147; // what a search by codes yields when nothing matches

struct IbmKeyRow {
    uint8_t ibmKey; // equal to the row number
    uint8_t scan2;
    uint8_t scan3;
    uint8_t usb;
    const char* name;
    uint8_t keyType;
};

struct CharEntry {
    uint8_t code;     // the character code itself
    uint8_t row;      // catalogue row of the key that types it
    uint8_t modifier; // USB modifier byte: 00 none, 02 left Shift
};

// Row r (0 <= r < 147); nullptr outside.
const IbmKeyRow* catalogueRow(int row);
// Name of row r, or "" outside the catalogue.
const char* catalogueName(int row);
// First row from 0 whose four values all match; kNoCatalogueRow when none.
int findRowByCodes(uint8_t scan2, uint8_t scan3, uint8_t usb, uint8_t keyType);
// Every row with this USB code, in row order.
std::vector<int> rowsByUsb(uint8_t usb);
// First row whose name equals name (whole, case-sensitive); -1 when none.
int findRowByName(const char* name);
// Enumerator name of a key type code 0..21 ("NORMAL_KEY", ...); "" outside.
const char* keyTypeName(int code);
// Character table entry for code 0..127; nullptr outside.
const CharEntry* charEntry(int code);

} // namespace quillan
