// Shared pieces of the JSON form: the file records it describes, the names
// it uses, and checked reading of JSON values with their paths. Used by the
// export, import and diff only.
#pragma once

#include "model/definition.h"
#include "model/definition_json.h"
#include "model/settings_records.h"

#include <nlohmann/json.hpp>

#include <array>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillan::json_form {

using Json = nlohmann::ordered_json;

constexpr const char* kFormatName = "quillan-definition";
constexpr int kFormatVersion = 1;

// The records of a version 4.0 file image, as the file holds them.
struct FileRecords {
    HeaderRecord header{};
    std::array<KeyCell, kCells> cells{};
    StringIndex stringIndex{};
    StringChars stringChars{};
};
void decodeRecords(const std::string& bytes, FileRecords& out);
std::string encodeRecords(const FileRecords& records);

// The file regions a raw entry can patch ("header", "key R,C", "string
// index", "string characters"), with their offsets in the file image.
struct Region {
    std::string name;
    int offset = 0;
    int size = 0;
};
std::vector<Region> fileRegions();

// Names used by the document.
constexpr std::array<const char*, kLayers> kLayerKeys = {"no-fn", "fn1", "fn2", "fn1+fn2"};
constexpr std::array<const char*, 6> kModeWords = {"alt",  "ctrl",       "shift",
                                                   "base", "repeat off", "alt gr"};
struct ModifierWord {
    uint8_t bit;
    const char* word;
};
// Every bit of the USB modifier byte has a word, so that any string
// character can be written as a key entry.
constexpr std::array<ModifierWord, 8> kModifierWords = {{{MOD_LEFT_CTRL, "left ctrl"},
                                                         {MOD_LEFT_SHIFT, "left shift"},
                                                         {MOD_LEFT_ALT, "left alt"},
                                                         {0x08, "left gui"},
                                                         {MOD_RIGHT_CTRL, "right ctrl"},
                                                         {MOD_RIGHT_SHIFT, "right shift"},
                                                         {MOD_RIGHT_ALT, "right alt"},
                                                         {0x80, "right gui"}}};
constexpr std::array<const char*, 4> kRepeatDelays = {"244 mS", "488 mS", "732 mS", "976 mS"};
constexpr std::array<const char*, 32> kRepeatRates = {
    "32 mS",  "36 mS",  "40 mS",  "44 mS",  "48 mS",  "52 mS",  "56 mS",  "60 mS",
    "64 mS",  "72 mS",  "80 mS",  "88 mS",  "96 mS",  "104 mS", "112 mS", "120 mS",
    "128 mS", "144 mS", "160 mS", "176 mS", "192 mS", "208 mS", "224 mS", "240 mS",
    "256 mS", "288 mS", "320 mS", "352 mS", "384 mS", "416 mS", "448 mS", "480 mS"};
constexpr std::array<const char*, 3> kPointDevices = {"None", "Trackerball", "Gyro Parex"};
constexpr std::array<const char*, 2> kEnableWords = {"keyboard", "pointing device"};
constexpr int kStringCatalogueRow = 133; // "String": the codes a string layer starts from

// A refused document: the message names the JSON path ("path: what"); the
// import adds the line. occurrence: which field of that name is meant (a
// field given twice is refused at its second occurrence).
struct Refusal : std::runtime_error {
    Refusal(const std::string& where, const std::string& what, int nth = 1)
        : std::runtime_error(where + ": " + what), path(where), occurrence(nth) {}
    std::string path;
    int occurrence = 1;
};
[[noreturn]] void refuse(const std::string& path, const std::string& what);

// The line (1-based) where the value at path begins in a text the parser
// accepts up to there; 0 when the path is not found.
int lineOfPath(const std::string& text, const std::string& path, int occurrence = 1);

// Follows the parser's events and knows the path of the value being read;
// refuses a field given twice in one object (the parser would otherwise
// keep the last one silently).
class PathTracker {
  public:
    void onEvent(Json::parse_event_t event, const Json& parsed);
    std::string current() const;

  private:
    struct Frame {
        bool isList = false;
        int index = -1;  // elements of a list begun so far, minus one
        std::string key; // the field being read in an object
        std::set<std::string> seen;
    };
    std::vector<Frame> frames_;
};

// Checked reading of one value at path.
bool flagValue(const Json& value, const std::string& path);
int integerValue(const Json& value, const std::string& path, int low, int high);
const std::string& stringValue(const Json& value, const std::string& path);
const Json& arrayValue(const Json& value, const std::string& path);
// Index of the value's name in names; refused when it names none.
template <size_t N>
int choiceValue(const Json& value, const std::string& path,
                const std::array<const char*, N>& names) {
    const std::string& name = stringValue(value, path);
    for (size_t i = 0; i < N; ++i)
        if (name == names[i])
            return static_cast<int>(i);
    refuse(path, "unknown name \"" + name + "\"");
}
// Bits of a list of words, word i standing for bits[i].
int wordBits(const Json& value, const std::string& path, const std::vector<const char*>& words,
             const std::vector<int>& bits);

// An object whose fields are read by name; fields it does not allow are
// refused (a misspelt field must not pass unnoticed).
class Fields {
  public:
    Fields(const Json& value, std::string path, std::initializer_list<const char*> allowed);
    const Json* find(const char* name) const;
    const Json& require(const char* name) const;
    std::string pathOf(const char* name) const { return path_.empty() ? name : path_ + "." + name; }
    const std::string& path() const { return path_; }

  private:
    const Json& value_;
    std::string path_;
};

// Texts of fixed fields: bytes up to the first NUL, each byte one character
// (0..255), written as UTF-8.
std::string textOfField(const char* field, int size);
template <int N> std::string textOfField(const char (&field)[N]) {
    return textOfField(field, N);
}
// The opposite; refused when a character is above 255, is NUL, or there are
// more than size - 1.
void setFieldText(char* field, int size, const Json& value, const std::string& path);

// The cell a reset leaves at index, view fields as the matrix places them.
KeyCell baseCell(int index);
LayerAssignment resetLayer();

// Readable parts, one way and back (no raw section).
Json settingsToJson(const HeaderRecord& header, const PortableDefinition& definition);
void settingsFromJson(const Json& value, FileRecords& records, PortableDefinition& definition);
// A string layer naming a string at or beyond `strings` (the document's
// string count) is written as "No Key": the raw section keeps its bytes.
Json cellToJson(const KeyCell& cell, int index, int strings = kStringSlots);
// Fills the cell the value names (row and column) in cells; returns its index.
int cellFromJson(const Json& value, const std::string& path, std::array<KeyCell, kCells>& cells);
Json layerToJson(const LayerAssignment& layer, int strings = kStringSlots);
LayerAssignment layerFromJson(const Json& value, const std::string& path);
Json stringsToJson(const FileRecords& records);
void stringsFromJson(const Json& value, FileRecords& records);

// The file records and pointing block that the readable sections of doc
// give, without its raw section.
void readableRecords(const Json& doc, FileRecords& records, PortableDefinition& definition);

// The document for a definition, raw section included.
Json exportDocument(const PortableDefinition& definition);

} // namespace quillan::json_form
