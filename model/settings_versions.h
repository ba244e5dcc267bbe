// Readers for every settings file version and the step-by-step conversion of
// older versions to 4.0. Used by the settings file loader only.
#pragma once

#include "model/definition.h"
#include "model/messages.h"

#include <array>
#include <string>

namespace quillan {

constexpr int kOldColumns = 14; // key blocks before version 4.0: 16 rows x 14 columns
constexpr int kOldCells = kRows * kOldColumns;

// A settings file on its way to version 4.0. The header holds the fields the
// file's version has, named as in version 4.0; conversions fill the rest.
struct SettingsImage {
    int versionHigh = 0;
    int versionLow = 0;
    HeaderRecord header{};
    std::array<int32_t, 5> v10LedEntries{}; // version 1.0 LED entries
    std::array<KeyCell, kOldCells> oldBlock{};
    int oldRows = 0; // rows of oldBlock taken from the file
    Message message; // what a successful load shows
};

// The size of a whole file of the given version (header, key block and, from
// 2.0 on, the string tables); 0 for version 1.0, whose two sizes its reader
// checks itself, and for versions this reader does not know.
size_t settingsFileSize(int versionHigh, int versionLow);

// Reads the file of the version found in bytes into image and, for version
// 4.0 and the string tables, into def (its matrix reset and its string tables
// zeroed beforehand). False when the version or, for 1.0, the size is not one
// this reader knows: the file is refused.
bool readSettingsVersion(const std::string& bytes, SettingsImage& image, KeyboardDefinition& def);

// Converts an image read by readSettingsVersion to version 4.0 one step at a
// time; the 2.0 to 2.1 step puts loadedName into the file name. The last
// step fills def's matrix from the old 16 x 14 key block.
void convertToCurrent(SettingsImage& image, KeyboardDefinition& def, const std::string& loadedName);

} // namespace quillan
