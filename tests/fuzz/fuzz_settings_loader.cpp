// Feeds arbitrary bytes to the settings file decoder: it must never crash,
// read past the input or write outside the definition.
#include "model/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static quillan::KeyboardDefinition def;
    quillan::ControlValues controls;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    quillan::decodeSettings(def, controls, bytes, "fuzz.dat");
    quillan::unpackStrings(def);
    return 0;
}
