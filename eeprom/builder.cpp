// The image builder: reduces the 128 cells x 4 layers of a definition to a
// list of distinct keys, writes the key tables, the general settings and the
// packed strings, and stores the descriptor set. Every step is traced.
//
// The definition is checked against the image's limits before anything is
// changed: at most 255 distinct keys (slot 255 means "no key"), at most 127
// strings, and at most 448 packed string cells, terminators included. A
// definition beyond them is refused and neither the image, the definition
// nor any file is touched.
//
// An ordinary layer whose ibmkey lies outside the catalogue takes the codes
// of catalogue row 0 ("No Key"), so it never reads outside the catalogue.
#include "eeprom/descriptors.h"
#include "eeprom/image.h"
#include "eeprom/image_files.h"
#include "model/catalogue.h"
#include "model/string_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillan {
namespace {

constexpr int kLayerRecords = kCells * kLayers;
constexpr int kHashBuckets = 1024; // power of two, at least twice kLayerRecords
constexpr const char* kBuildCaption = "Generate EEPROM File";

// The seven fields that make a key distinct.
struct KeyEntry {
    uint8_t used = 0;
    int32_t ibmkey = 0;
    uint8_t keymode = 0;
    uint8_t keytype = 0;
    uint8_t scan2code = 0;
    uint8_t scan3code = 0;
    uint8_t usbcode = 0;
    bool operator==(const KeyEntry&) const = default;
};

KeyEntry keyOf(const LayerAssignment& layer) {
    return {layer.used,      layer.ibmkey,    layer.keymode, layer.keytype,
            layer.scan2code, layer.scan3code, layer.usbcode};
}

uint32_t hashOf(const KeyEntry& key) {
    uint32_t h = static_cast<uint32_t>(key.ibmkey) * 0x9E3779B1u;
    h ^= (uint32_t(key.used) | uint32_t(key.keymode) << 8 | uint32_t(key.keytype) << 16 |
          uint32_t(key.scan2code) << 24) *
         0x85EBCA77u;
    h ^= (uint32_t(key.scan3code) | uint32_t(key.usbcode) << 8) * 0xC2B2AE3Du;
    return h ^ (h >> 15);
}

// The key list and slot map of one build. The first layer record (in row,
// column, layer order) of each distinct used key fixes its slot number;
// equal records share it. Records are numbered cell index * 4 + layer.
struct Reduction {
    std::array<KeyEntry, kLayerRecords> keys;
    std::array<int16_t, kLayerRecords> owner; // record that inserted each key
    std::array<int16_t, kLayerRecords> slot;  // per record; -1 when the layer is unused
    int count = 0;
};

// A hash lookup gives the same slots as comparing each record with the key
// list in order: the list never holds two equal entries.
void reduceKeys(const KeyboardDefinition& def, Reduction& out) {
    std::array<int16_t, kHashBuckets> buckets;
    buckets.fill(-1);
    out.count = 0;
    for (int record = 0; record < kLayerRecords; ++record) {
        const LayerAssignment& layer = def.cells[record / kLayers].layers[record % kLayers];
        out.slot[record] = -1;
        if (layer.used == 0)
            continue;
        const KeyEntry key = keyOf(layer);
        uint32_t bucket = hashOf(key) & (kHashBuckets - 1);
        while (buckets[bucket] >= 0 && !(out.keys[buckets[bucket]] == key))
            bucket = (bucket + 1) & (kHashBuckets - 1);
        if (buckets[bucket] < 0) {
            buckets[bucket] = static_cast<int16_t>(out.count);
            out.keys[out.count] = key;
            out.owner[out.count] = static_cast<int16_t>(record);
            ++out.count;
        }
        out.slot[record] = buckets[bucket];
    }
}

std::string formatted(const char* format, int count, int limit) {
    char text[160];
    std::snprintf(text, sizeof text, format, count, limit);
    return text;
}

// Whether the definition fits the image; a refusal says why, as the build
// shows it.
Outcome checkLimits(const KeyboardDefinition& def, const Reduction& reduction) {
    if (reduction.count > kMaxKeySlots)
        return Outcome::failure(
            formatted("The definition has %d different keys; the EEPROM holds at most %d.",
                      reduction.count, kMaxKeySlots),
            kBuildCaption, MessageIcon::Warning);
    if (Outcome strings = workingStringsRefusal(def); !strings)
        return Outcome::failure(std::move(strings.message.text), kBuildCaption,
                                MessageIcon::Warning);
    return Outcome::success();
}

void setUp(EepromImage& image, Log& log) {
    log.trace("Setting up\n");
    auto& b = image.bytes;
    std::fill(b.begin(), b.begin() + kStringTable, 0xFF);
    std::fill(b.begin() + kPrefixTable, b.begin() + kKeyInfoTable, 0x00);
    std::fill(b.begin() + kKeyInfoTable, b.begin() + kGeneralInfoTable, UNUSED_KEY);
    std::fill(b.begin() + kStringTable, b.end(), 0x00);
}

// Traces the reduction in the order in which the records were visited.
void traceReduction(const Reduction& reduction, Log& log) {
    log.trace("Reducing keys\n");
    for (int record = 0; record < kLayerRecords; ++record) {
        const int s = reduction.slot[record];
        if (s < 0)
            continue;
        const int cell = record / kLayers;
        const int layer = record % kLayers;
        if (reduction.owner[s] != record) {
            log.trace("\tFound duplicate at %d , [%d,%d] \n", s, layer / 2, layer % 2);
            continue;
        }
        const KeyEntry& key = reduction.keys[s];
        log.trace("Inserting key %d,%d [%d,%d] at %d -", cell / kColumns, cell % kColumns,
                  layer / 2, layer % 2, s);
        log.trace("added %d , %d , %d , %d , %d \n", s, key.ibmkey, key.keymode, key.keytype,
                  key.scan2code);
    }
}

void writeKeys(const KeyboardDefinition& def, const Reduction& reduction, EepromImage& image,
               Log& log) {
    log.trace("Writing Keys\n");
    auto& b = image.bytes;
    for (int index = 0; index < kCells; ++index) {
        const KeyCell& cell = def.cells[index];
        if (cell.used == 0)
            continue;
        const int row = index / kColumns;
        const int column = index % kColumns;
        for (int layer = 0; layer < kLayers; ++layer) {
            const LayerAssignment& assignment = cell.layers[layer];
            if (assignment.used == 0)
                continue;
            const int s = reduction.slot[index * kLayers + layer];
            b[kLogicalAddressTable + layer * kCells + index] = static_cast<uint8_t>(s);
            b[kPrefixTable + s] = assignment.keymode;
            b[kKeyInfoTable + s] = assignment.keytype;
            if (assignment.keytype == STRING_KEY) {
                log.trace("String: %d at %d,%d\n", assignment.ibmkey, row, column);
                const uint8_t number = static_cast<uint8_t>(assignment.ibmkey & 0xFF);
                b[kScanSet2Table + s] = number;
                b[kScanSet3Table + s] = number;
                b[kUsbTable + s] = number;
            } else {
                log.trace("Normal key: %d, %d, %d at %d,%d\n", s, assignment.ibmkey,
                          assignment.keymode, row, column);
                const IbmKeyRow* entry = catalogueRow(assignment.ibmkey);
                if (!entry)
                    entry = catalogueRow(0);
                b[kScanSet2Table + s] = entry->scan2;
                b[kScanSet3Table + s] = entry->scan3;
                b[kUsbTable + s] = entry->usb;
            }
        }
    }
}

// 04, 08, 10 or 20 for the first of Led1..Led4 that shows this function.
uint8_t ledMask(const KeyboardDefinition& def, int function) {
    for (int led = 0; led < 4; ++led)
        if (def.Led[led] == function)
            return static_cast<uint8_t>(0x04 << led);
    return 0x00;
}

void writeGeneralInfo(const KeyboardDefinition& def, const ControlValues& controls,
                      EepromImage& image) {
    uint8_t* g = image.bytes.data() + kGeneralInfoTable;
    g[0x0] = def.StdRepeat;
    g[0x1] = def.GlobalRepeatDisable;
    g[0x2] = def.AnyKeyRelease;
    g[0x3] = static_cast<uint8_t>(controls.DefRepDelay);
    g[0x4] = static_cast<uint8_t>(controls.DefRepRate);
    g[0x5] = static_cast<uint8_t>(controls.DebounceTime & 0xFF);
    for (int function = 1; function <= 5; ++function)
        g[0x5 + function] = ledMask(def, function);
    g[0xB] = kStoredMaxScanRow;
    g[0xC] = def.PrefixMakeBreak;
    g[0xD] = static_cast<uint8_t>(controls.PointDevice);
    g[0xE] = def.EnableBits;
    g[0xF] = def.BeepLength;
}

void writeStringTables(const KeyboardDefinition& def, EepromImage& image) {
    auto& b = image.bytes;
    for (int i = 0; i < kStringSlots; ++i) {
        b[kStringTable + 2 * i] = static_cast<uint8_t>(def.stringIndex[i] & 0xFF);
        b[kStringTable + 2 * i + 1] = static_cast<uint8_t>(def.stringIndex[i] >> 8);
    }
    for (int p = 0; p < kStringCells; ++p) {
        const StringCell& cell = def.stringChars[p];
        uint8_t* out = b.data() + kStringStorage + 4 * p;
        out[0] = cell.modifier;
        out[1] = cell.characterUSB;
        out[2] = cell.characterMode2;
        out[3] = cell.characterType;
    }
}

// A text field as a 32-byte buffer would hold it: up to the first NUL, at
// most 31 characters, then a zero byte. The bytes after it keep FF.
void writeText(EepromImage& image, int address, const std::string& text) {
    const size_t end = std::min<size_t>(text.find('\0'), kTextSize - 1);
    const size_t length = std::min(end, text.size());
    std::memcpy(image.bytes.data() + address, text.data(), length);
    image.bytes[address + length] = 0;
}

} // namespace

BuildResult buildImage(KeyboardDefinition& def, const ControlValues& controls, EepromImage& image,
                       Log& log, bool writeFiles) {
    Reduction reduction;
    reduceKeys(def, reduction);
    BuildResult result;
    result.keyCount = reduction.count;
    if (Outcome fits = checkLimits(def, reduction); !fits) {
        log.trace("Build refused: %s\n", fits.message.text.c_str());
        static_cast<Outcome&>(result) = std::move(fits);
        return result;
    }

    setUp(image, log);
    image.prefixSwapped = false;
    traceReduction(reduction, log);
    writeKeys(def, reduction, image, log);
    writeGeneralInfo(def, controls, image);
    // Removing an empty string slot moves the string numbers above it down.
    packWorkingStrings(def, log, [&image, &log](int removed) {
        auto& b = image.bytes;
        for (int n = 0; n < kTableSize; ++n) {
            log.trace("%d", n);
            if (b[kKeyInfoTable + n] == STRING_KEY && b[kScanSet2Table + n] > removed) {
                --b[kScanSet2Table + n];
                --b[kScanSet3Table + n];
                --b[kUsbTable + n];
            }
        }
    });
    writeStringTables(def, image);
    writeText(image, kFileNameAddress, controls.fileName);
    writeText(image, kSerialNumberAddress, controls.serialNumber);
    std::copy(def.pointingBlock.begin(), def.pointingBlock.end(),
              image.bytes.begin() + kPointingBlockAddress);
    StoreDescriptorTable(image, kStoredDescriptorSet, log);
    if (writeFiles) {
        // Both files are tried; every failure is reported, one line each.
        std::string failures;
        for (const Outcome& written : {writeImageBinary(image), writeImageText(image)})
            if (!written)
                failures += (failures.empty() ? "" : "\n") + written.message.text;
        if (!failures.empty()) {
            log.trace("Build files not written: %s\n", failures.c_str());
            static_cast<Outcome&>(result) =
                Outcome::failure(failures, kBuildCaption, MessageIcon::Error);
            result.filesFailed = true;
        }
    }
    return result;
}

} // namespace quillan
