// The static key tables: the IBM key catalogue, the key type names and the
// character table used by the string dialogs.
#include "model/catalogue.h"

#include <cstring>

namespace quillan {
namespace {

// One row per IBM key number. Rows the keyboard does not have carry the
// " Not Used!" suffix, no scan codes and UNUSED_KEY. Rows 130..146 are the
// mouse buttons, the string key, the Fn buttons and the system and consumer
// keys; for the latter scan set 3 holds the set 2 code sent after E0.
// clang-format off
constexpr std::array<IbmKeyRow, kCatalogueRows> kCatalogue = {{
    // row set2  set3  USB   name                     key type
    {  0, 0xFF, 0xFF, 0x00, "No Key",                 UNUSED_KEY},
    {  1, 0x0E, 0x0E, 0x35, "IBM Key 1",              NORMAL_KEY},
    {  2, 0x16, 0x16, 0x1E, "IBM Key 2",              NORMAL_KEY},
    {  3, 0x1E, 0x1E, 0x1F, "IBM Key 3",              NORMAL_KEY},
    {  4, 0x26, 0x26, 0x20, "IBM Key 4",              NORMAL_KEY},
    {  5, 0x25, 0x25, 0x21, "IBM Key 5",              NORMAL_KEY},
    {  6, 0x2E, 0x2E, 0x22, "IBM Key 6",              NORMAL_KEY},
    {  7, 0x36, 0x36, 0x23, "IBM Key 7",              NORMAL_KEY},
    {  8, 0x3D, 0x3D, 0x24, "IBM Key 8",              NORMAL_KEY},
    {  9, 0x3E, 0x3E, 0x25, "IBM Key 9",              NORMAL_KEY},
    { 10, 0x46, 0x46, 0x26, "IBM Key 10",             NORMAL_KEY},
    { 11, 0x45, 0x45, 0x27, "IBM Key 11",             NORMAL_KEY},
    { 12, 0x4E, 0x4E, 0x2D, "IBM Key 12",             NORMAL_KEY},
    { 13, 0x55, 0x55, 0x2E, "IBM Key 13",             NORMAL_KEY},
    { 14, 0x00, 0x00, 0x00, "IBM Key 14 Not Used!",   UNUSED_KEY},
    { 15, 0x66, 0x66, 0x2A, "IBM Key 15",             NORMAL_KEY},
    { 16, 0x0D, 0x0D, 0x2B, "IBM Key 16",             NORMAL_KEY},
    { 17, 0x15, 0x15, 0x14, "IBM Key 17",             NORMAL_KEY},
    { 18, 0x1D, 0x1D, 0x1A, "IBM Key 18",             NORMAL_KEY},
    { 19, 0x24, 0x24, 0x08, "IBM Key 19",             NORMAL_KEY},
    { 20, 0x2D, 0x2D, 0x15, "IBM Key 20",             NORMAL_KEY},
    { 21, 0x2C, 0x2C, 0x17, "IBM Key 21",             NORMAL_KEY},
    { 22, 0x35, 0x35, 0x1C, "IBM Key 22",             NORMAL_KEY},
    { 23, 0x3C, 0x3C, 0x18, "IBM Key 23",             NORMAL_KEY},
    { 24, 0x43, 0x43, 0x0C, "IBM Key 24",             NORMAL_KEY},
    { 25, 0x44, 0x44, 0x12, "IBM Key 25",             NORMAL_KEY},
    { 26, 0x4D, 0x4D, 0x13, "IBM Key 26",             NORMAL_KEY},
    { 27, 0x54, 0x54, 0x2F, "IBM Key 27",             NORMAL_KEY},
    { 28, 0x5B, 0x5B, 0x30, "IBM Key 28",             NORMAL_KEY},
    { 29, 0x5D, 0x5D, 0x31, "IBM Key 29",             NORMAL_KEY},
    { 30, 0x58, 0x14, 0x39, "IBM Key 30",             NORMAL_KEY},
    { 31, 0x1C, 0x1C, 0x04, "IBM Key 31",             NORMAL_KEY},
    { 32, 0x1B, 0x1B, 0x16, "IBM Key 32",             NORMAL_KEY},
    { 33, 0x23, 0x23, 0x07, "IBM Key 33",             NORMAL_KEY},
    { 34, 0x2B, 0x2B, 0x09, "IBM Key 34",             NORMAL_KEY},
    { 35, 0x34, 0x34, 0x0A, "IBM Key 35",             NORMAL_KEY},
    { 36, 0x33, 0x33, 0x0B, "IBM Key 36",             NORMAL_KEY},
    { 37, 0x3B, 0x3B, 0x0D, "IBM Key 37",             NORMAL_KEY},
    { 38, 0x42, 0x42, 0x0E, "IBM Key 38",             NORMAL_KEY},
    { 39, 0x4B, 0x4B, 0x0F, "IBM Key 39",             NORMAL_KEY},
    { 40, 0x4C, 0x4C, 0x33, "IBM Key 40",             NORMAL_KEY},
    { 41, 0x52, 0x52, 0x34, "IBM Key 41",             NORMAL_KEY},
    { 42, 0x5D, 0x53, 0x32, "IBM Key 42",             NORMAL_KEY},
    { 43, 0x5A, 0x5A, 0x28, "IBM Key 43",             NORMAL_KEY},
    { 44, 0x12, 0x12, 0xE1, "IBM Key 44",             SHIFT_LEFT_KEY},
    { 45, 0x61, 0x13, 0x64, "IBM Key 45",             NORMAL_KEY},
    { 46, 0x1A, 0x1A, 0x1D, "IBM Key 46",             NORMAL_KEY},
    { 47, 0x22, 0x22, 0x1B, "IBM Key 47",             NORMAL_KEY},
    { 48, 0x21, 0x21, 0x06, "IBM Key 48",             NORMAL_KEY},
    { 49, 0x2A, 0x2A, 0x19, "IBM Key 49",             NORMAL_KEY},
    { 50, 0x32, 0x32, 0x05, "IBM Key 50",             NORMAL_KEY},
    { 51, 0x31, 0x31, 0x11, "IBM Key 51",             NORMAL_KEY},
    { 52, 0x3A, 0x3A, 0x10, "IBM Key 52",             NORMAL_KEY},
    { 53, 0x41, 0x41, 0x36, "IBM Key 53",             NORMAL_KEY},
    { 54, 0x49, 0x49, 0x37, "IBM Key 54",             NORMAL_KEY},
    { 55, 0x4A, 0x4A, 0x38, "IBM Key 55",             NORMAL_KEY},
    { 56, 0x00, 0x00, 0x87, "IBM Key 56 Not Used!",   UNUSED_KEY},
    { 57, 0x59, 0x59, 0xE5, "IBM Key 57",             SHIFT_RIGHT_KEY},
    { 58, 0x14, 0x11, 0xE0, "IBM Key 58",             CTRL_LEFT_KEY},
    { 59, 0x00, 0x00, 0x00, "IBM Key 59 Not Used!",   UNUSED_KEY},
    { 60, 0x11, 0x19, 0xE2, "IBM Key 60",             ALT_LEFT_KEY},
    { 61, 0x29, 0x29, 0x2C, "IBM Key 61",             NORMAL_KEY},
    { 62, 0x11, 0x39, 0xE6, "IBM Key 62",             ALT_RIGHT_OR_GR_KEY},
    { 63, 0x00, 0x00, 0x00, "IBM Key 63 Not Used!",   UNUSED_KEY},
    { 64, 0x14, 0x58, 0xE4, "IBM Key 64",             CTRL_RIGHT_KEY},
    { 65, 0x00, 0x00, 0x00, "IBM Key 65 Not Used!",   UNUSED_KEY},
    { 66, 0x00, 0x00, 0x00, "IBM Key 66 Not Used!",   UNUSED_KEY},
    { 67, 0x00, 0x00, 0x00, "IBM Key 67 Not Used!",   UNUSED_KEY},
    { 68, 0x00, 0x00, 0x00, "IBM Key 68 Not Used!",   UNUSED_KEY},
    { 69, 0x00, 0x00, 0x00, "IBM Key 69 Not Used!",   UNUSED_KEY},
    { 70, 0x00, 0x00, 0x00, "IBM Key 70 Not Used!",   UNUSED_KEY},
    { 71, 0x00, 0x00, 0x00, "IBM Key 71 Not Used!",   UNUSED_KEY},
    { 72, 0x00, 0x00, 0x00, "IBM Key 72 Not Used!",   UNUSED_KEY},
    { 73, 0x00, 0x00, 0x00, "IBM Key 73 Not Used!",   UNUSED_KEY},
    { 74, 0x00, 0x00, 0x00, "IBM Key 74 Not Used!",   UNUSED_KEY},
    { 75, 0x70, 0x67, 0x49, "IBM Key 75",             CURSOR_KEY},
    { 76, 0x71, 0x64, 0x4C, "IBM Key 76",             CURSOR_KEY},
    { 77, 0x00, 0x00, 0x00, "IBM Key 77 Not Used!",   UNUSED_KEY},
    { 78, 0x00, 0x00, 0x00, "IBM Key 78 Not Used!",   UNUSED_KEY},
    { 79, 0x6B, 0x61, 0x50, "IBM Key 79",             CURSOR_KEY},
    { 80, 0x6C, 0x6E, 0x4A, "IBM Key 80",             CURSOR_KEY},
    { 81, 0x69, 0x65, 0x4D, "IBM Key 81",             CURSOR_KEY},
    { 82, 0x00, 0x00, 0x00, "IBM Key 82 Not Used!",   UNUSED_KEY},
    { 83, 0x75, 0x63, 0x52, "IBM Key 83",             CURSOR_KEY},
    { 84, 0x72, 0x60, 0x51, "IBM Key 84",             CURSOR_KEY},
    { 85, 0x7D, 0x6F, 0x4B, "IBM Key 85",             CURSOR_KEY},
    { 86, 0x7A, 0x6D, 0x4E, "IBM Key 86",             CURSOR_KEY},
    { 87, 0x00, 0x00, 0x00, "IBM Key 87 Not Used!",   UNUSED_KEY},
    { 88, 0x00, 0x00, 0x00, "IBM Key 88 Not Used!",   UNUSED_KEY},
    { 89, 0x74, 0x6A, 0x4F, "IBM Key 89",             CURSOR_KEY},
    { 90, 0x77, 0x76, 0x53, "IBM Key 90",             NORMAL_KEY},
    { 91, 0x6C, 0x6C, 0x5F, "IBM Key 91",             NORMAL_KEY},
    { 92, 0x6B, 0x6B, 0x5C, "IBM Key 92",             NORMAL_KEY},
    { 93, 0x69, 0x69, 0x59, "IBM Key 93",             NORMAL_KEY},
    { 94, 0x00, 0x00, 0x00, "IBM Key 94 Not Used!",   UNUSED_KEY},
    { 95, 0x4A, 0x77, 0x54, "IBM Key 95",             KEYPAD_KEY},
    { 96, 0x75, 0x75, 0x60, "IBM Key 96",             NORMAL_KEY},
    { 97, 0x73, 0x73, 0x5D, "IBM Key 97",             NORMAL_KEY},
    { 98, 0x72, 0x72, 0x5A, "IBM Key 98",             NORMAL_KEY},
    { 99, 0x70, 0x70, 0x62, "IBM Key 99",             NORMAL_KEY},
    {100, 0x7C, 0x7E, 0x55, "IBM Key 100",            NORMAL_KEY},
    {101, 0x7D, 0x7D, 0x61, "IBM Key 101",            NORMAL_KEY},
    {102, 0x74, 0x74, 0x5E, "IBM Key 102",            NORMAL_KEY},
    {103, 0x7A, 0x7A, 0x5B, "IBM Key 103",            NORMAL_KEY},
    {104, 0x71, 0x71, 0x63, "IBM Key 104",            NORMAL_KEY},
    {105, 0x7B, 0x84, 0x56, "IBM Key 105",            NORMAL_KEY},
    {106, 0x79, 0x7C, 0x57, "IBM Key 106",            NORMAL_KEY},
    {107, 0x00, 0x00, 0x85, "IBM Key 107 Not Used!",  UNUSED_KEY},
    {108, 0x5A, 0x79, 0x58, "IBM Key 108",            KEYPAD_ENTER_KEY},
    {109, 0x00, 0x00, 0x00, "IBM Key 109 Not Used!",  UNUSED_KEY},
    {110, 0x76, 0x08, 0x29, "IBM Key 110",            NORMAL_KEY},
    {111, 0x00, 0x00, 0x00, "IBM Key 111 Not Used!",  UNUSED_KEY},
    {112, 0x05, 0x07, 0x3A, "IBM Key 112",            NORMAL_KEY},
    {113, 0x06, 0x0F, 0x3B, "IBM Key 113",            NORMAL_KEY},
    {114, 0x04, 0x17, 0x3C, "IBM Key 114",            NORMAL_KEY},
    {115, 0x0C, 0x1F, 0x3D, "IBM Key 115",            NORMAL_KEY},
    {116, 0x03, 0x27, 0x3E, "IBM Key 116",            NORMAL_KEY},
    {117, 0x0B, 0x2F, 0x3F, "IBM Key 117",            NORMAL_KEY},
    {118, 0x83, 0x37, 0x40, "IBM Key 118",            NORMAL_KEY},
    {119, 0x0A, 0x3F, 0x41, "IBM Key 119",            NORMAL_KEY},
    {120, 0x01, 0x47, 0x42, "IBM Key 120",            NORMAL_KEY},
    {121, 0x09, 0x4F, 0x43, "IBM Key 121",            NORMAL_KEY},
    {122, 0x78, 0x56, 0x44, "IBM Key 122",            NORMAL_KEY},
    {123, 0x07, 0x5E, 0x45, "IBM Key 123",            NORMAL_KEY},
    {124, 0x7C, 0x57, 0x46, "IBM Key 124",            PRINTSCREEEN_KEY},
    {125, 0x7E, 0x5F, 0x47, "IBM Key 125",            NORMAL_KEY},
    {126, 0x77, 0x62, 0x48, "IBM Key 126",            PAUSE_KEY},
    {127, 0x1F, 0x00, 0xE3, "IBM Key 127",            ALT_RIGHT_OR_GR_KEY},
    {128, 0x27, 0x00, 0xE7, "IBM Key 128",            ALT_RIGHT_OR_GR_KEY},
    {129, 0x2F, 0x00, 0x65, "IBM Key 129",            ALT_RIGHT_OR_GR_KEY},
    {130, 0x01, 0x01, 0x01, "Left Mouse Button",      MOUSE_BUTTON_KEY},
    {131, 0x02, 0x02, 0x02, "Right Mouse Button",     MOUSE_BUTTON_KEY},
    {132, 0x04, 0x04, 0x04, "Middle Mouse Button",    MOUSE_BUTTON_KEY},
    {133, 0x00, 0x00, 0x00, "String",                 STRING_KEY},
    {134, 0x00, 0x00, 0x00, "Fn1 Button",             LOCAL_SHIFT_RIGHT_KEY},
    {135, 0x00, 0x00, 0x00, "Fn2 Button",             ALPHA_LOCK_KEY},
    {136, 0x00, 0x37, 0x01, "System power",           SYSTEM_KEY},
    {137, 0x00, 0x3F, 0x02, "System sleep",           SYSTEM_KEY},
    {138, 0x00, 0x5E, 0x04, "System wake",            SYSTEM_KEY},
    {139, 0x00, 0x4D, 0x01, "Next track",             CONSUMER_KEY},
    {140, 0x00, 0x15, 0x02, "Prev track",             CONSUMER_KEY},
    {141, 0x00, 0x3B, 0x24, "Stop",                   CONSUMER_KEY},
    {142, 0x00, 0x34, 0x19, "Play-Pause",             CONSUMER_KEY},
    {143, 0x00, 0x23, 0x2E, "Mute",                   CONSUMER_KEY},
    {144, 0x00, 0x32, 0x04, "Volume up",              CONSUMER_KEY},
    {145, 0x00, 0x21, 0x08, "Volume down",            CONSUMER_KEY},
    {146, 0x00, 0x00, 0x78, "Stop SUN",               NORMAL_KEY},
}};
// clang-format on
static_assert(kCatalogue.size() == 147);

constexpr bool rowNumbersMatch() {
    for (int row = 0; row < kCatalogueRows; ++row)
        if (kCatalogue[row].ibmKey != row)
            return false;
    return true;
}
static_assert(rowNumbersMatch(), "every catalogue row holds its own IBM key number");

// clang-format off
constexpr std::array<const char*, kKeyTypeCount> kKeyTypeNames = {
    "NORMAL_KEY",            //  0
    "KEYPAD_ENTER_KEY",      //  1
    "CURSOR_KEY",            //  2
    "KEYPAD_KEY",            //  3
    "PRINTSCREEEN_KEY",      //  4
    "PAUSE_KEY",             //  5
    "LOCAL_SHIFT_RIGHT_KEY", //  6
    "LOCAL_SHIFT_LEFT_KEY",  //  7
    "SHIFT_RIGHT_KEY",       //  8
    "SHIFT_LEFT_KEY",        //  9
    "CTRL_RIGHT_KEY",        // 10
    "CTRL_LEFT_KEY",         // 11
    "ALT_RIGHT_OR_GR_KEY",   // 12
    "ALT_LEFT_KEY",          // 13
    "ALPHA_LOCK_KEY",        // 14
    "UNUSED_KEY",            // 15
    "MOUSE_BUTTON_KEY",      // 16
    "STRING_KEY",            // 17
    "CONSUMER_KEY",          // 18
    "SYSTEM_KEY",            // 19
    "LOCAL_ILLUMIATION_KEY", // 20
    "FN2_KEY",               // 21
};
// clang-format on
static_assert(kKeyTypeNames.size() == 22);

// Indexed by character code. Control characters type nothing (row 0) except
// backspace and tab; modifier 0x02 is the left Shift.
// clang-format off
constexpr std::array<CharEntry, 128> kCharTable = {{
    // code  row  modifier
    {  0,     0, 0x00},
    {  1,     0, 0x00},
    {  2,     0, 0x00},
    {  3,     0, 0x00},
    {  4,     0, 0x00},
    {  5,     0, 0x00},
    {  6,     0, 0x00},
    {  7,     0, 0x00},
    {  8,    15, 0x00},
    {  9,    16, 0x00},
    { 10,     0, 0x00},
    { 11,     0, 0x00},
    { 12,     0, 0x00},
    { 13,     0, 0x00},
    { 14,     0, 0x00},
    { 15,     0, 0x00},
    { 16,     0, 0x00},
    { 17,     0, 0x00},
    { 18,     0, 0x00},
    { 19,     0, 0x00},
    { 20,     0, 0x00},
    { 21,     0, 0x00},
    { 22,     0, 0x00},
    { 23,     0, 0x00},
    { 24,     0, 0x00},
    { 25,     0, 0x00},
    { 26,     0, 0x00},
    { 27,     0, 0x00},
    { 28,     0, 0x00},
    { 29,     0, 0x00},
    { 30,     0, 0x00},
    { 31,     0, 0x00},
    {' ',    61, 0x00},
    {'!',     2, 0x02},
    {'"',    41, 0x02},
    {'#',     4, 0x02},
    {'$',     5, 0x02},
    {'%',     6, 0x02},
    {'&',     8, 0x02},
    {'\'',   41, 0x00},
    {'(',    10, 0x02},
    {')',    11, 0x02},
    {'*',     9, 0x02},
    {'+',    13, 0x02},
    {',',    53, 0x00},
    {'-',    12, 0x00},
    {'.',    54, 0x00},
    {'/',    55, 0x00},
    {'0',    11, 0x00},
    {'1',     2, 0x00},
    {'2',     3, 0x00},
    {'3',     4, 0x00},
    {'4',     5, 0x00},
    {'5',     6, 0x00},
    {'6',     7, 0x00},
    {'7',     8, 0x00},
    {'8',     9, 0x00},
    {'9',    10, 0x00},
    {':',    40, 0x02},
    {';',    40, 0x00},
    {'<',    53, 0x02},
    {'=',    13, 0x00},
    {'>',    54, 0x02},
    {'?',    55, 0x02},
    {'@',     3, 0x02},
    {'A',    31, 0x02},
    {'B',    50, 0x02},
    {'C',    48, 0x02},
    {'D',    33, 0x02},
    {'E',    19, 0x02},
    {'F',    34, 0x02},
    {'G',    35, 0x02},
    {'H',    36, 0x02},
    {'I',    24, 0x02},
    {'J',    37, 0x02},
    {'K',    38, 0x02},
    {'L',    39, 0x02},
    {'M',    52, 0x02},
    {'N',    51, 0x02},
    {'O',    25, 0x02},
    {'P',    26, 0x02},
    {'Q',    17, 0x02},
    {'R',    20, 0x02},
    {'S',    32, 0x02},
    {'T',    21, 0x02},
    {'U',    23, 0x02},
    {'V',    49, 0x02},
    {'W',    18, 0x02},
    {'X',    47, 0x02},
    {'Y',    22, 0x02},
    {'Z',    46, 0x02},
    {'[',    27, 0x00},
    {'\\',   29, 0x00},
    {']',    28, 0x00},
    {'^',     7, 0x02},
    {'_',    12, 0x02},
    {'`',     1, 0x00},
    {'a',    31, 0x00},
    {'b',    50, 0x00},
    {'c',    48, 0x00},
    {'d',    33, 0x00},
    {'e',    19, 0x00},
    {'f',    34, 0x00},
    {'g',    35, 0x00},
    {'h',    36, 0x00},
    {'i',    24, 0x00},
    {'j',    37, 0x00},
    {'k',    38, 0x00},
    {'l',    39, 0x00},
    {'m',    52, 0x00},
    {'n',    51, 0x00},
    {'o',    25, 0x00},
    {'p',    26, 0x00},
    {'q',    17, 0x00},
    {'r',    20, 0x00},
    {'s',    32, 0x00},
    {'t',    21, 0x00},
    {'u',    23, 0x00},
    {'v',    49, 0x00},
    {'w',    18, 0x00},
    {'x',    47, 0x00},
    {'y',    22, 0x00},
    {'z',    46, 0x00},
    {'{',    27, 0x02},
    {'|',    29, 0x02},
    {'}',    28, 0x02},
    {'~',     1, 0x02},
    {127,     0, 0x00},
}};
// clang-format on
static_assert(kCharTable.size() == 128);

constexpr bool charCodesMatch() {
    for (int code = 0; code < 128; ++code)
        if (kCharTable[code].code != code || kCharTable[code].row >= kCatalogueRows)
            return false;
    return true;
}
static_assert(charCodesMatch(), "every character entry holds its own code and a catalogue row");

} // namespace

const IbmKeyRow* catalogueRow(int row) {
    if (row < 0 || row >= kCatalogueRows)
        return nullptr;
    return &kCatalogue[row];
}

const char* catalogueName(int row) {
    const IbmKeyRow* entry = catalogueRow(row);
    return entry ? entry->name : "";
}

int findRowByCodes(uint8_t scan2, uint8_t scan3, uint8_t usb, uint8_t keyType) {
    for (const IbmKeyRow& entry : kCatalogue)
        if (entry.scan2 == scan2 && entry.scan3 == scan3 && entry.usb == usb &&
            entry.keyType == keyType)
            return entry.ibmKey;
    return kNoCatalogueRow;
}

std::vector<int> rowsByUsb(uint8_t usb) {
    std::vector<int> rows;
    for (const IbmKeyRow& entry : kCatalogue)
        if (entry.usb == usb)
            rows.push_back(entry.ibmKey);
    return rows;
}

int findRowByName(const char* name) {
    if (name == nullptr)
        return -1;
    for (const IbmKeyRow& entry : kCatalogue)
        if (std::strcmp(entry.name, name) == 0)
            return entry.ibmKey;
    return -1;
}

const char* keyTypeName(int code) {
    if (code < 0 || code >= kKeyTypeCount)
        return "";
    return kKeyTypeNames[code];
}

const CharEntry* charEntry(int code) {
    if (code < 0 || code >= static_cast<int>(kCharTable.size()))
        return nullptr;
    return &kCharTable[code];
}

} // namespace quillan
