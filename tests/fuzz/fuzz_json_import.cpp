// Feeds arbitrary text to the JSON importer: it must never crash, and a
// document it accepts must export and import again to the same definition.
#include "model/definition_json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    quillan::PortableDefinition definition;
    if (!quillan::importDefinitionJson(text, definition))
        return 0;
    quillan::PortableDefinition again;
    if (!quillan::importDefinitionJson(quillan::exportDefinitionJson(definition), again) ||
        !(again == definition))
        std::abort();
    return 0;
}
