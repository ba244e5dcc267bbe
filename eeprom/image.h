// The 8192-byte EEPROM image and its builder: key reduction, the tables in
// 000..FFF and the descriptor area in 1000..1FFF.
#pragma once

#include "model/definition.h"
#include "model/log.h"
#include "model/messages.h"
#include "model/settings_file.h"
#include "model/string_store.h"

#include <array>
#include <cstdint>
#include <string>

namespace quillan {

constexpr int kImageSize = 8192;
static_assert(kImageSize == kImageFileSize);
// Program keyboard and Read keyboard move image bytes 0000..13FF; the
// descriptor area's last part (1400..1FFF) stays on the build side.
constexpr int kTransferBytes = 0x1400;
constexpr int kMaxKeySlots = 255; // slot 255 means "no key"

// Table addresses in the image.
constexpr int kScanSet2Table = 0x000;                 // per key slot
constexpr int kScanSet3Table = 0x100;                 // per key slot
constexpr int kLogicalAddressTable = 0x200;           // + layer * 128 + cell index: key slot
constexpr int kPrefixTable = 0x400;                   // per key slot: keymode
constexpr int kKeyInfoTable = 0x500;                  // per key slot: keytype
constexpr int kGeneralInfoTable = 0x600;              // settings, texts, pointing block
constexpr int kUsbTable = 0x700;                      // per key slot
constexpr int kStringTable = 0x800;                   // 128 x 16-bit string addresses
constexpr int kStringStorage = kStringStorageAddress; // 448 cells of 4 bytes
constexpr int kDescriptorArea = 0x1000;
constexpr int kTableSize = 256;
constexpr uint8_t kNoKeySlot = 0xFF;

// General info table fields.
constexpr int kMaxScanRowAddress = 0x60B;
constexpr int kFileNameAddress = 0x610;     // 32 bytes: up to 31 characters and a zero
constexpr int kSerialNumberAddress = 0x630; // as the file name
constexpr int kPointingBlockAddress = 0x650;
constexpr uint8_t kStoredMaxScanRow = 16; // what every build stores at 60B

struct EepromImage {
    std::array<uint8_t, kImageSize> bytes{};
    // Whether bits 4 and 5 of every Prefix table byte are currently
    // exchanged (for programming devices with old firmware). A build clears it.
    bool prefixSwapped = false;
};

// A refused build's message names the count and the limit.
struct BuildResult : Outcome {
    int keyCount = 0;         // distinct key slots
    bool filesFailed = false; // the image is built, but a file could not be written
};

// Builds the image from the definition and the control values, tracing every
// step to log. The strings are packed through the string store: gaps in the
// working slots are closed (STRING_KEY layers renumbered with them), and the
// index entries and storage cells beyond the packed strings are cleared, in
// the definition and in the image. With writeFiles set, "EEPkey.bin" and
// "EEPkey.txt" are written in the working directory afterwards; when one of
// them cannot be written, ok is false, filesFailed is set and the message
// names the file and the reason (the image in memory is complete).
// A definition with more than 255 distinct keys, or whose strings need more
// than 448 cells, or that counts more than 127 strings, is refused before
// anything is changed: ok = false, no file written, the image (with its
// prefixSwapped flag) and the definition as they were. Every build that is
// not refused clears prefixSwapped. An ordinary layer whose ibmkey lies
// outside the catalogue takes the codes of row 0 ("No Key").
BuildResult buildImage(KeyboardDefinition& def, const ControlValues& controls, EepromImage& image,
                       Log& log, bool writeFiles);

} // namespace quillan
