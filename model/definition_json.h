// The readable JSON form of a definition (docs/definition-format.md): export,
// import and a difference in words.
//
// The JSON form describes a version 4.0 settings file image plus the
// pointing-device block (which the settings file does not hold). What the
// readable fields cannot say goes into the document's "raw" section, so that
// export then import gives back the same file image byte for byte.
#pragma once

#include "model/definition.h"
#include "model/messages.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillan {

struct PortableDefinition {
    std::string settings; // a version 4.0 settings file image, kSettingsFileSize bytes
    std::array<uint8_t, kPointingBlockSize> pointingBlock{};
    bool operator==(const PortableDefinition&) const = default;
};

// The document for a definition: stable field order, two-space indentation,
// a final newline. settings must be kSettingsFileSize bytes.
std::string exportDefinitionJson(const PortableDefinition& definition);

// Reads a document. A refusal's message names the JSON path (and line and
// column for a syntax error); out is then untouched.
Outcome importDefinitionJson(const std::string& text, PortableDefinition& out);

// One line per difference, in words ("setting debounce: 30 → 12"); empty
// when the two are equal.
std::vector<std::string> diffDefinitions(const PortableDefinition& a, const PortableDefinition& b);

// File helpers: the document written whole, the old file kept until the new
// one is complete (failing with "Could not write PATH: reason"), and read
// whole (failing when unreadable or refused).
Outcome saveDefinitionJson(const PortableDefinition& definition, const std::string& path);
Outcome loadDefinitionJson(const std::string& path, PortableDefinition& out);

} // namespace quillan
