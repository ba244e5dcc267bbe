// Feeds arbitrary images to the read-back refill: an image from a keyboard is
// untrusted, and nothing may be read or written outside the tables.
#include "eeprom/image_files.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static quillan::KeyboardDefinition def;
    static quillan::Log log;
    quillan::ControlValues controls;
    quillan::EepromImage image;
    std::copy_n(data, std::min<size_t>(size, image.bytes.size()), image.bytes.begin());
    quillan::refillFromImage(def, controls, image, log);
    return 0;
}
