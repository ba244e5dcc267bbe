// Turns an image read back from a keyboard into the definition again: the
// key layers from the key tables, the settings from the general info table,
// the strings from the string tables.
//
// The image comes from a device and is untrusted. Every index taken from it
// is a byte into a 256-entry table; list selections are clamped to their
// lists, texts stop at their 32-byte fields, string addresses that do not
// name a cell of the string storage are dropped, and a string key whose
// number names no string slot leaves its layer unused.
#include "eeprom/image.h"
#include "eeprom/image_files.h"
#include "model/catalogue.h"

#include <algorithm>
#include <cstring>

namespace quillan {
namespace {

constexpr int kMaxBeepLength = 200;

void refillLayer(KeyCell& cell, LayerAssignment& layer, const EepromImage& image, uint8_t s,
                 Log& log) {
    const auto& b = image.bytes;
    const uint8_t keytype = b[kKeyInfoTable + s];
    const bool assigned = s != kNoKeySlot && keytype != UNUSED_KEY;
    const bool badString = keytype == STRING_KEY && b[kScanSet2Table + s] >= kStringSlots;
    if (!assigned || badString) {
        cell.enabled = 1;
        layer.used = 0;
        return;
    }
    cell.complete = 1;
    cell.enabled = 1;
    cell.used = 1;
    layer.used = 1;
    layer.scan2code = b[kScanSet2Table + s];
    layer.scan3code = b[kScanSet3Table + s];
    layer.usbcode = b[kUsbTable + s];
    layer.keymode = b[kPrefixTable + s];
    layer.keytype = keytype;
    if (keytype == STRING_KEY)
        layer.ibmkey = layer.scan2code;
    else
        layer.ibmkey = findRowByCodes(layer.scan2code, layer.scan3code, layer.usbcode, keytype);
    log.trace("bIBMKey = %d\n", layer.scan2code);
}

void refillKeys(KeyboardDefinition& def, const EepromImage& image, Log& log) {
    for (KeyCell& cell : def.cells) {
        cell.used = 0;
        cell.enabled = 1;
    }
    for (int layer = 0; layer < kLayers; ++layer)
        for (int index = 0; index < kCells; ++index) {
            const uint8_t s = image.bytes[kLogicalAddressTable + layer * kCells + index];
            refillLayer(def.cells[index], def.cells[index].layers[layer], image, s, log);
        }
}

// Led1..Led4 from the masks of LED functions 1..5 (04, 08, 10, 20).
void refillLeds(KeyboardDefinition& def, const EepromImage& image) {
    def.Led.fill(0);
    for (int function = 1; function <= 5; ++function) {
        const uint8_t mask = image.bytes[kGeneralInfoTable + 5 + function];
        for (int led = 0; led < 4; ++led)
            if (mask == (0x04 << led))
                def.Led[led] = function;
    }
}

void refillSettings(KeyboardDefinition& def, ControlValues& controls, const EepromImage& image) {
    const uint8_t* g = image.bytes.data() + kGeneralInfoTable;
    def.StdRepeat = g[0x0];
    def.GlobalRepeatDisable = g[0x1];
    def.AnyKeyRelease = g[0x2];
    def.PrefixMakeBreak = g[0xC];
    controls.DefRepDelay = std::min<int>(g[0x3], 3);
    controls.DefRepRate = std::min<int>(g[0x4], 31);
    controls.DebounceTime = g[0x5];
    refillLeds(def, image);
    controls.MaxScanRow = std::clamp<int>(g[0xB], 1, kRows);
    controls.PointDevice = std::min<int>(g[0xD], 2);
    def.EnableBits = g[0xE];
    def.BeepLength = static_cast<uint8_t>(std::min<int>(g[0xF], kMaxBeepLength));
}

// A string address is kept only when it names a cell of the string storage.
uint16_t checkedStringAddress(uint16_t address) {
    const int offset = address - kStringStorage;
    if (offset < 0 || offset >= kStringCells * 4 || offset % 4 != 0)
        return 0;
    return address;
}

void refillStrings(KeyboardDefinition& def, const EepromImage& image) {
    const auto& b = image.bytes;
    int count = 0;
    for (int i = 0; i < kStringSlots; ++i) {
        const uint16_t address = b[kStringTable + 2 * i] | b[kStringTable + 2 * i + 1] << 8;
        def.stringIndex[i] = checkedStringAddress(address);
        if (def.stringIndex[i] != 0)
            ++count;
    }
    def.NumberOfStrings = std::min(count, kMaxStrings);
    for (int p = 0; p < kStringCells; ++p) {
        const uint8_t* in = b.data() + kStringStorage + 4 * p;
        def.stringChars[p] = StringCell{in[0], in[1], in[2], in[3]};
    }
    unpackStrings(def);
}

// Up to the first zero byte, at most 31 characters of the 32-byte field.
std::string textAt(const EepromImage& image, int address) {
    const char* field = reinterpret_cast<const char*>(image.bytes.data() + address);
    const void* end = std::memchr(field, 0, kTextSize - 1);
    return std::string(field, end ? static_cast<const char*>(end) - field : kTextSize - 1);
}

} // namespace

void refillFromImage(KeyboardDefinition& def, ControlValues& controls, const EepromImage& image,
                     Log& log) {
    refillKeys(def, image, log);
    refillSettings(def, controls, image);
    refillStrings(def, image);
    controls.fileName = textAt(image, kFileNameAddress);
    controls.serialNumber = textAt(image, kSerialNumberAddress);
    std::copy_n(image.bytes.begin() + kPointingBlockAddress, kPointingBlockSize,
                def.pointingBlock.begin());
}

void replaceFromImage(KeyboardDefinition& def, ControlValues& controls, const EepromImage& image,
                      Log& log) {
    resetMatrix(def);
    clearStringDefinitions(def, true);
    refillFromImage(def, controls, image, log);
}

} // namespace quillan
