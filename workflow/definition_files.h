// Definition files of every kind as the file commands read them: a settings
// file of any version, a JSON definition, or an 8192-byte EEPROM image, each
// taken to its readable form. Export, import and diff go through these.
#pragma once

#include "eeprom/image.h"
#include "model/definition_json.h"
#include "model/messages.h"

#include <string>

namespace quillan {

// What a definition file holds: its readable form, and when the file is an
// image, the image itself.
struct DefinitionFile {
    PortableDefinition definition;
    bool isImage = false;
    EepromImage image; // the file's bytes when isImage
};

// Reads path as a JSON definition ("{" first), an EEPROM image (8192
// bytes) or a settings file of any version, taken as it stands (no range
// checks, so export gives back what the file holds). A settings file has
// the start-up pointing-device block. Refusals: "PATH: cannot be read",
// "PATH: " and the document's refusal, or the load's refusal ("Load").
Outcome readDefinitionFile(const std::string& path, DefinitionFile& out);

// An image as a read-back gives it: refilled into a start-up definition,
// then encoded as Save would.
PortableDefinition readableImage(const EepromImage& image);

// The image that "Generate EEPROM File" builds from the definition file at
// path (its readable form in file). A refused build: "PATH: " and why.
Outcome buildDefinitionFile(const std::string& path, DefinitionFile& file);

// "export": the definition file at from written to to as a JSON document,
// as "Export as JSON" writes one.
Outcome exportDefinitionFile(const std::string& from, const std::string& to);

} // namespace quillan
