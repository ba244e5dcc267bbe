// Key lines of keys the picker takes from the keyboard or from its own
// buttons: typed keys by scan code, keys that cannot be typed, Print Screen.
#include "rules/key_assignment.h"

#include <array>

namespace quillan {
namespace {
// Scan set 1 code of a key message -> IBM key number, for keys without and
// with the extended (E0) bit. 0 = no key.
struct ScanRow {
    uint8_t scan;
    uint8_t normal;
    uint8_t extended;
};
// clang-format off
constexpr std::array<ScanRow, 100> kScanToIbm = {{
    // scan normal extended
    {  0,   0,   0},
    {  1, 110, 110},
    {  2,   2,   2},
    {  3,   3,   3},
    {  4,   4,   4},
    {  5,   5,   5},
    {  6,   6,   6},
    {  7,   7,   7},
    {  8,   8,   8},
    {  9,   9,   9},
    { 10,  10,  10},
    { 11,  11,  11},
    { 12,  12,  12},
    { 13,  13,  13},
    { 14,  15,  15},
    { 15,  16,  16},
    { 16,  17,  17},
    { 17,  18,  18},
    { 18,  19,  19},
    { 19,  20,  20},
    { 20,  21,  21},
    { 21,  22,  22},
    { 22,  23,  23},
    { 23,  24,  24},
    { 24,  25,  25},
    { 25,  26,  26},
    { 26,  27,  27},
    { 27,  28,  28},
    { 28,  43, 108},
    { 29,  58,  58},
    { 30,  31,  31},
    { 31,  32,  32},
    { 32,  33,  33},
    { 33,  34,  34},
    { 34,  35,  35},
    { 35,  36,  36},
    { 36,  37,  37},
    { 37,  38,  38},
    { 38,  39,  39},
    { 39,  40,  40},
    { 40,  41,  41},
    { 41,   1,  42},
    { 42,  44,  44},
    { 43,  29,  45},
    { 44,  46,  46},
    { 45,  47,  47},
    { 46,  48,  48},
    { 47,  49,  49},
    { 48,  50,  50},
    { 49,  51,  51},
    { 50,  52,  52},
    { 51,  53,  53},
    { 52,  54,  54},
    { 53,  55,  95},
    { 54,  57,  57},
    { 55, 100, 124},
    { 56,  60,  60},
    { 57,  61,  61},
    { 58,  30,   0},
    { 59, 112, 112},
    { 60, 113, 113},
    { 61, 114, 114},
    { 62, 115, 115},
    { 63, 116, 116},
    { 64, 117, 117},
    { 65, 118, 118},
    { 66, 119, 119},
    { 67, 120, 120},
    { 68, 121, 121},
    { 69, 126,  90},
    { 70, 125, 125},
    { 71,  91,  80},
    { 72,  96,  83},
    { 73, 101,  85},
    { 74, 105,   0},
    { 75,  92,  79},
    { 76,  97,  97},
    { 77, 102,  89},
    { 78, 106, 106},
    { 79,  93,  81},
    { 80,  98,  84},
    { 81, 103,  86},
    { 82,  99,  75},
    { 83, 104,  76},
    { 84,   0,   0},
    { 85,   0,   0},
    { 86,  45,   0},
    { 87, 122,   0},
    { 88, 123,   0},
    { 89,   0,   0},
    { 90,   0,   0},
    { 91, 127, 127},
    { 92, 128, 128},
    { 93, 129, 129},
    { 94,   0,   0},
    { 95,   0,   0},
    { 96,   0,   0},
    { 97,   0,   0},
    { 98,   0,   0},
    { 99,   0,   0},
}};
// clang-format on
static_assert(kScanToIbm.size() == 100);
constexpr bool scanRowsInOrder() {
    for (size_t i = 0; i < kScanToIbm.size(); ++i)
        if (kScanToIbm[i].scan != i)
            return false;
    return true;
}
static_assert(scanRowsInOrder());

// Key picker commands for keys that cannot be typed, with their catalogue
// names. 35150..35157 have no button of their own.
struct SpecialKey {
    int commandId;
    const char* name;
};
// clang-format off
constexpr std::array<SpecialKey, 16> kSpecialKeys = {{
    // id    catalogue name
    {35128, "Left Mouse Button"},
    {35129, "Middle Mouse Button"},
    {35130, "Right Mouse Button"},
    {35140, "Fn1 Button"},
    {35141, "Fn2 Button"},
    {35150, "System power"},
    {35151, "System sleep"},
    {35152, "System wake"},
    {35153, "Next track"},
    {35154, "Prev track"},
    {35155, "Stop"},
    {35156, "Play-Pause"},
    {35157, "Mute"},
    {35158, "Volume up"},
    {35159, "Volume down"},
    {35165, "Stop SUN"},
}};
// clang-format on
static_assert(kSpecialKeys.size() == 16);

constexpr const char* kEmptyColumns = "\t\t\t\t\t\t\t";
constexpr int kPrintScreenScan = 55;

} // namespace

int ibmKeyFromScan(int scanCode, bool extended) {
    if (scanCode < 0 || scanCode >= static_cast<int>(kScanToIbm.size()))
        return 0;
    return extended ? kScanToIbm[scanCode].extended : kScanToIbm[scanCode].normal;
}

std::string typedKeyLine(int ibmKey, const ModeToggles& toggles) {
    return keyLineFromToggles("IBM Key " + std::to_string(ibmKey), toggles);
}

std::string specialKeyLine(int commandId) {
    for (const SpecialKey& key : kSpecialKeys)
        if (key.commandId == commandId)
            return std::string(key.name) + kEmptyColumns;
    return "";
}

std::string printScreenLine() {
    return "IBM Key " + std::to_string(ibmKeyFromScan(kPrintScreenScan, true)) + kEmptyColumns;
}

} // namespace quillan
