// Strings as text: encoding text characters into packed string cells through
// the character table, decoding cells back into characters, reading the
// packed string store into a list and writing a list back into it.
//
// Plain code on the definition: no GUI, so the rules can be checked alone.
#pragma once

#include "model/definition.h"
#include "model/log.h"

#include <string>
#include <vector>

namespace quillan {

constexpr int kMaxStringText = 1024;              // characters of one text added to the list
constexpr uint16_t kStringStorageAddress = 0x900; // EEPROM address of packed cell 0

// One string of the list, as its packed cells without the terminator.
using StringCells = std::vector<StringCell>;

// Shown for a stored character that has no text form.
constexpr char32_t kNoTextPlaceholder = U'\u25A1';

// The cell for text character c; false for a character outside 0..127.
bool encodeChar(char32_t c, StringCell& cell);
// The character that a cell types (the last match of the character table),
// or -1 when no character has this cell.
int decodeCell(const StringCell& cell);
// The text shown for a string: printable characters as themselves, every
// other cell as kNoTextPlaceholder.
std::u32string displayText(const StringCells& cells);

// Reads NumberOfStrings strings from the packed storage, each up to its
// terminator. Never reads past the storage: strings beyond its end are empty.
std::vector<StringCells> readPackedStrings(const KeyboardDefinition& def);

// Encodes a text for the list. Refuses (empty result, why set) a text of
// more than 1024 characters or with a character outside 0..127.
bool textToCells(const std::u32string& text, StringCells& cells, std::string& why);

// Why the list cannot take one more string of cellCount cells ("" when it
// can): at most 127 strings, and 448 packed cells terminators included.
std::string addRefusal(const std::vector<StringCells>& strings, size_t cellCount);
// Why the list cannot be written into the packed store ("" when it can).
std::string packRefusal(const std::vector<StringCells>& strings);

// Clears the string index and the packed storage and writes the list into
// them, index entry m = 0x900 + 4 * (first cell of string m). Writes nothing
// and returns false when packRefusal objects.
bool packStrings(KeyboardDefinition& def, const std::vector<StringCells>& strings);

// Deleting string s: every STRING_KEY layer numbered above s moves down one
// (traced "StringDefinition bIBMKey = "), and NumberOfStrings drops by one.
void renumberForDeletedString(KeyboardDefinition& def, int s, Log& log);

// Brings the packed string store up to date with the working string slots
// that the key picker edits, as an image build does: empty slots are closed
// up (string key layers renumbered with them) and the first NumberOfStrings
// slots are packed. Changes nothing when they would not fit the packed store.
void packWorkingStrings(KeyboardDefinition& def);

} // namespace quillan
