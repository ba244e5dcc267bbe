// Settings files: version 4.0 writer (plus the text copy "Saved.txt") and a
// reader that accepts the seven older versions and converts them step by step.
// Every byte is encoded little-endian field by field.
#pragma once

#include "model/definition.h"
#include "model/file_names.h"
#include "model/messages.h"

#include <string>

namespace quillan {

constexpr int kSettingsFileSize = 20624;
constexpr int kImageFileSize = 8192; // "EEPkey.bin": the whole EEPROM image

// Whether bytes are a JSON text: "{" first, after an optional UTF-8
// byte-order mark and white space.
bool looksLikeJson(const std::string& bytes);
// Refuses, naming the file, what is recognisably not a settings file: "PATH
// is a JSON definition: use import", "PATH is an EEPROM image", "PATH is not a
// settings file" (a version no settings file has). Anything else may be one.
Outcome recogniseSettingsFile(const std::string& path, const std::string& bytes);
// Whether bytes start like a settings file of a version the reader knows.
bool hasSettingsVersion(const std::string& bytes);

// A load's outcome (its refusal message when not ok) and the version found.
struct LoadResult : Outcome {
    int versionHigh = 0; // version found in the file
    int versionLow = 0;
};

// Encodes the definition as a version 4.0 file image (20624 bytes). Fills
// def.header from the running settings and controls first.
std::string encodeSettings(KeyboardDefinition& def, const ControlValues& controls);

// Writes "Saved.txt"-format text for the definition (uses def.header as the
// last encode left it).
std::string savedText(const KeyboardDefinition& def);

// These steps show nothing themselves: what they have to say is in the
// outcome they return (showOutcome), for the workflow layer to show.

// Save: an empty name writes nothing and fails without a message. Working
// strings that no build has packed yet are packed first (string store);
// strings beyond the store's capacity are not saved: the refusal says why
// and nothing is written. Otherwise writes the file whole
// (writeFileAtomically), and in any case savedTextPath ("Saved.txt" in the
// working directory) the same way (writeSettingsBytes).
Outcome saveSettings(KeyboardDefinition& def, const ControlValues& controls,
                     const std::string& path, const std::string& savedTextPath = kSavedTextFile);

// Load: reads any supported version. A load that fails (cannot open, unknown
// version or size, a file of 1.1 to 4.0 shorter than its version's size)
// leaves def and controls untouched and says why. On success replaces the
// matrix, header settings, string tables and controls (file name and serial
// number from the file), unpacks the strings into the working slots; the
// notes hold the version's message (after the note that a header's string
// count was raised, if it was). The caller then rebuilds the image.
LoadResult loadSettings(KeyboardDefinition& def, ControlValues& controls, const std::string& path);

// The same on bytes already in memory (fuzzing, tests); loadedName is the
// name that conversions from 2.0 put into the file name.
LoadResult decodeSettings(KeyboardDefinition& def, ControlValues& controls,
                          const std::string& bytes, const std::string& loadedName);

// The version 4.0 file image (20624 bytes) of settings file bytes of any
// supported version: a 4.0 file exactly as it stands (zero-padded when
// short), an older one as the conversion leaves it, without the range
// checks a load applies. The readable form of a file starts from this. A
// refused file is refused as a load refuses it. Cells that an old version
// does not fill are as at start-up.
Outcome currentVersionImage(const std::string& bytes, const std::string& loadedName,
                            std::string& out);

// Writes an encoded file image as Save does (replacing the old file,
// "Saved.txt" from def). Done, the notes hold "Saved configuration file !" /
// "Save"; else the message (and, when both files failed, a note for the
// second) names the file and the reason. An empty path fails silently.
Outcome writeSettingsBytes(const std::string& bytes, const KeyboardDefinition& def,
                           const std::string& path,
                           const std::string& savedTextPath = kSavedTextFile);

} // namespace quillan
