// Image files: "EEPkey.bin", "EEPkey.txt", the read-back dump "eepraw.txt",
// and the refill of a definition from an image read back from a keyboard.
#pragma once

#include "eeprom/image.h"
#include "model/definition.h"
#include "model/file_names.h"
#include "model/log.h"

#include <string>

namespace quillan {

std::string imageTextDump(const EepromImage& image);    // "EEPkey.txt" contents
std::string readbackTextDump(const EepromImage& image); // "eepraw.txt" contents

// Each writes its file whole (the old file stays until the new one is
// complete); a failure says why ("Could not write PATH: reason").
Outcome writeImageBinary(const EepromImage& image, const std::string& path = kImageBinaryFile);
Outcome writeImageText(const EepromImage& image, const std::string& path = kImageTextFile);
Outcome writeReadbackDump(const EepromImage& image, const std::string& path = kReadbackDumpFile);

// Reads an 8192-byte image file; fails (saying why, captioned "Read image")
// when it cannot be read or has another size, the image then as it was.
Outcome readImageFile(const std::string& path, EepromImage& image);

// Refills the definition, the string store and the control values from an
// untrusted read-back image. Everything read is bounded to the tables.
void refillFromImage(KeyboardDefinition& def, ControlValues& controls, const EepromImage& image,
                     Log& log);
// As a read-back replaces the definition: the matrix reset, the string
// definitions and their count cleared, then refilled from the image.
void replaceFromImage(KeyboardDefinition& def, ControlValues& controls, const EepromImage& image,
                      Log& log);

} // namespace quillan
