// The keyboard definition: header settings, the 16 x 8 key matrix with four
// Fn layers per cell, and the string store (packed tables plus working slots).
//
// These are plain fixed-size records. The settings file and the EEPROM image
// are encoded from them field by field (see settings_file.h), never by copying
// the structs, so the in-memory layout here is free; the field names and
// widths follow the stored layouts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillan {

constexpr int kRows = 16;   // drive lines
constexpr int kColumns = 8; // sense lines
constexpr int kCells = kRows * kColumns;
constexpr int kLayers = 4; // layer = fn2 * 2 + fn1
constexpr int kStringSlots = 128;
constexpr int kStringCells = 448; // packed cells, terminators included
constexpr int kMaxStrings = 127;
constexpr int kTextSize = 32; // legend, file name, serial number: 31 usable + NUL
constexpr int kPointingBlockSize = 32;
constexpr int kFirstCellControlId = 34560; // 0x8700 + cell number

// keymode bits of a layer.
enum KeyMode : uint8_t {
    MODE_ALT = 0x01,
    MODE_CTRL = 0x02,
    MODE_SHIFT = 0x04,
    MODE_BASE = 0x08,
    MODE_REPEAT_OFF = 0x10,
    MODE_ALT_GR = 0x20,
};

// USB modifier bits of a string character.
enum StringModifier : uint8_t {
    MOD_LEFT_CTRL = 0x01,
    MOD_LEFT_SHIFT = 0x02,
    MOD_LEFT_ALT = 0x04,
    MOD_RIGHT_CTRL = 0x10,
    MOD_RIGHT_SHIFT = 0x20,
    MOD_RIGHT_ALT = 0x40,
};

// Layer names, indexed by layer = fn2 * 2 + fn1.
constexpr std::array<const char*, kLayers> kLayerNames = {"No Fn1 / No Fn2", "Fn1 / No Fn2",
                                                          "No Fn1 / Fn2", "Fn1 / Fn2"};

// LED functions (values of Led1..Led4).
constexpr std::array<const char*, 6> kLedFunctionNames = {
    "No LED", "Power on LED", "Alpha Lock LED", "Num Lock LED", "Caps Lock LED", "Scroll Lock LED"};

// One packed or working string character: 4 bytes in this order.
struct StringCell {
    uint8_t modifier = 0;       // USB modifier bits
    uint8_t characterUSB = 0;   // USB usage of the key
    uint8_t characterMode2 = 0; // scan set 2 code
    uint8_t characterType = 0;  // key type
    bool isZero() const { return (modifier | characterUSB | characterMode2 | characterType) == 0; }
    bool operator==(const StringCell&) const = default;
};

// One Fn layer of a key cell (20 bytes in a file).
struct LayerAssignment {
    uint8_t used = 0;
    uint8_t reserved1[3] = {0, 0, 0};
    int32_t ibmkey = 0; // catalogue row, or the string slot for STRING_KEY
    uint8_t keymode = 0;
    uint8_t keytype = 15; // UNUSED_KEY
    uint8_t scan2code = 0;
    uint8_t scan3code = 0;
    uint8_t usbcode = 0;
    uint8_t reserved2[3] = {0, 0, 0};
    int32_t stringcharcount = 0;
    bool operator==(const LayerAssignment&) const = default;
};

// One matrix position (144 bytes in a file). The view fields (window handle,
// control id, position, size) are kept so that files keep them in place.
struct KeyCell {
    uint32_t windowHandle = 0;
    uint8_t enabled = 1;
    uint8_t used = 1;
    uint8_t complete = 0;
    uint8_t reserved0 = 0;
    int32_t controlId = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 16;
    int32_t height = 16;
    char legend[kTextSize] = {};
    uint8_t logicalAddress = 0;
    uint8_t reserved1[3] = {0, 0, 0};
    std::array<LayerAssignment, kLayers> layers{};
    bool operator==(const KeyCell&) const = default;
};

// The 144-byte header record of a settings file. Filled only by the settings
// file reader and writer; the running settings live in KeyboardDefinition and
// in the main window's controls (ControlValues).
struct HeaderRecord {
    int32_t iVersionLow = 0;
    int32_t iVersionHigh = 4;
    int32_t StdRepeat = 1;
    int32_t GlobalRepeatDisable = 0;
    int32_t AnyKeyRelease = 0;
    int32_t DefRepDelay = 1;
    int32_t DefRepRate = 7;
    int32_t DebounceTime = 30;
    int32_t Led1 = 0;
    int32_t Led2 = 0;
    int32_t Led3 = 0;
    int32_t Led4 = 0;
    int32_t reserved48 = 0;
    int32_t reserved52 = 0;
    int32_t MaxScanRow = 14;
    int32_t PrefixMakeBreak = 0;
    int32_t PointDevice = 0;
    int32_t EnableBits = 1;
    int32_t NumberOfStrings = 0;
    char fileName[kTextSize] = {};
    char serialNumber[kTextSize] = {};
    int32_t BeepLength = 0;
    bool operator==(const HeaderRecord&) const = default;
};

// The settings that live in the main window's controls. The GUI fills this
// record from its controls before a build or save and applies it after a load
// or read-back; the core never reaches into a GUI.
struct ControlValues {
    int DefRepDelay = 1;             // selection 0..3 of "Default repeat delay:"
    int DefRepRate = 7;              // selection 0..31 of "Default repeat rate:"
    int DebounceTime = 30;           // number in the debounce field
    int MaxScanRow = 14;             // row count 1..16 (list selection + 1)
    int PointDevice = 0;             // selection 0..2 of "Point Device:"
    std::string fileName = "in.dat"; // input-file name field
    std::string serialNumber;        // "Serial number:" field
    bool operator==(const ControlValues&) const = default;
};

struct KeyboardDefinition {
    // Running settings held by the definition itself.
    uint8_t StdRepeat = 1;
    uint8_t GlobalRepeatDisable = 0;
    uint8_t AnyKeyRelease = 0;
    uint8_t PrefixMakeBreak = 0;
    uint8_t EnableBits = 1; // bit 0 keyboard, bit 1 pointing device
    uint8_t BeepLength = 0;
    std::array<int32_t, 4> Led{}; // Led1..Led4, LED function 0..5
    int32_t NumberOfStrings = 0;

    // The file header record as last read or written (reserved fields are
    // carried over from a loaded file).
    HeaderRecord header{};

    std::array<KeyCell, kCells> cells{};

    // Packed string store: what files, the image and the string dialogs use.
    std::array<uint16_t, kStringSlots> stringIndex{};
    std::array<StringCell, kStringCells> stringChars{};

    // Working string store: one slot per string, edited by the key picker
    // and packed by every EEPROM build.
    std::array<std::array<StringCell, kStringCells>, kStringSlots> stringSlots{};
    // Whether the packed tables hold what the working slots hold; an edit of
    // the slots clears it, packing and unpacking set it (model/string_store.h).
    bool packedStringsCurrent = true;

    // Pointing-device tuning block (20 named bytes, 12 spare).
    std::array<uint8_t, kPointingBlockSize> pointingBlock{};

    // The cell the editing dialogs address.
    int currentRow = 0;
    int currentColumn = 0;

    KeyCell& cell(int row, int column) { return cells[row * kColumns + column]; }
    const KeyCell& cell(int row, int column) const { return cells[row * kColumns + column]; }
    KeyCell& currentCell() { return cell(currentRow, currentColumn); }
};

// Copies text into a fixed text field: at most size - 1 characters, then NUL
// padding to the end of the field.
void setText(char* field, int size, const std::string& text);
template <int N> void setText(char (&field)[N], const std::string& text) {
    setText(field, N, text);
}
// Reads a fixed text field that may lack its terminator (at most size - 1).
std::string getText(const char* field, int size);
template <int N> std::string getText(const char (&field)[N]) {
    return getText(field, N);
}

// Reset matrix: every cell enabled, used, not complete, legend "Nothing";
// every layer unused, ibmkey 0, keymode 0, keytype UNUSED_KEY,
// stringcharcount 0. Codes, logical address and view fields are kept.
void resetMatrix(KeyboardDefinition& def);

// Clears the first cell of every working string slot; with the flag also
// NumberOfStrings. (String store operation, model/string_store.cpp.)
void clearStringDefinitions(KeyboardDefinition& def, bool clearCount);

// The state right after start-up: view fields set, matrix reset, string
// tables zero, the start values of the global settings and the pointing
// device block.
void initStartupDefinition(KeyboardDefinition& def, ControlValues& controls);

// "New": reset the matrix and the strings and the settings it names; keeps
// EnableBits, BeepLength, the serial number and the packed string tables.
void newDefinition(KeyboardDefinition& def, ControlValues& controls);

// Rebuild the working string slots from the packed string characters: each
// all-zero cell ends a slot; stops once NumberOfStrings non-empty strings are
// in their slots (an empty segment before them stays a gap that the next
// build closes) or after slot 127. Every other slot is left empty and
// NumberOfStrings is kept. (String store operation, model/string_store.cpp.)
void unpackStrings(KeyboardDefinition& def);

// The pointing-device block's start values (gains 13/1, offsets 0, inversion 120).
void setDefaultPointingBlock(KeyboardDefinition& def);

} // namespace quillan
