// The 8192-byte EEPROM image and its builder: key reduction, the tables in
// 000..FFF and the descriptor area in 1000..1FFF.
#pragma once

#include "model/definition.h"
#include "model/log.h"

#include <array>
#include <cstdint>
#include <string>

namespace quillan {

constexpr int kImageSize = 8192;
constexpr int kMaxKeySlots = 255; // slot 255 means "no key"

struct EepromImage {
    std::array<uint8_t, kImageSize> bytes{};
    // Whether bits 4 and 5 of every Prefix table byte are currently
    // exchanged (for programming devices with old firmware). A build clears it.
    bool prefixSwapped = false;
};

struct BuildResult {
    bool ok = true;
    std::string message; // why the build was refused (names the count and the limit)
    std::string caption;
    int keyCount = 0;    // distinct key slots
};

// Builds the image from the definition and the control values, tracing every
// step to log. Step 5 changes the definition's string slots and renumbers its
// STRING_KEY layers with them. With writeFiles set, "EEPkey.bin" and
// "EEPkey.txt" are written in the working directory afterwards.
// A definition with more than 255 distinct keys, or whose strings need more
// than 448 cells, is refused: ok = false, no file written, nothing outside
// the tables touched.
BuildResult buildImage(KeyboardDefinition& def, const ControlValues& controls, EepromImage& image,
                       Log& log, bool writeFiles);

} // namespace quillan
