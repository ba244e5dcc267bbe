#include "model/definition_json_fields.h"

#include "model/byte_codec.h"
#include "model/file_io.h"
#include "model/settings_file.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quillan::json_form {

void decodeRecords(const std::string& bytes, FileRecords& out) {
    ByteReader in(bytes);
    readHeader(in, out.header);
    for (KeyCell& cell : out.cells)
        readCell(in, cell);
    readStringTables(in, out.stringIndex, out.stringChars);
}

std::string encodeRecords(const FileRecords& records) {
    ByteWriter out;
    writeHeader(out, records.header);
    for (const KeyCell& cell : records.cells)
        writeCell(out, cell);
    writeStringTables(out, records.stringIndex, records.stringChars);
    return out.take();
}

std::vector<Region> fileRegions() {
    std::vector<Region> regions;
    regions.push_back({"header", 0, kHeaderSize});
    for (int index = 0; index < kCells; ++index)
        regions.push_back(
            {"key " + std::to_string(index / kColumns) + "," + std::to_string(index % kColumns),
             kHeaderSize + index * kCellSize, kCellSize});
    const int strings = kHeaderSize + kCells * kCellSize;
    regions.push_back({"string index", strings, kStringIndexSize});
    regions.push_back({"string characters", strings + kStringIndexSize, kStringCharsSize});
    static_assert(kHeaderSize + kCells * kCellSize + kStringIndexSize + kStringCharsSize ==
                  kSettingsFileSize);
    return regions;
}

void refuse(const std::string& path, const std::string& what) {
    throw Refusal(path, what);
}

bool flagValue(const Json& value, const std::string& path) {
    if (!value.is_boolean())
        refuse(path, "expected true or false");
    return value.get<bool>();
}

int integerValue(const Json& value, const std::string& path, int low, int high) {
    if (!value.is_number_integer())
        refuse(path, "expected a whole number");
    long long number = 0;
    if (value.is_number_unsigned())
        number = static_cast<long long>(
            std::min<unsigned long long>(value.get<unsigned long long>(), LLONG_MAX));
    else
        number = value.get<long long>();
    if (number < low || number > high)
        refuse(path, "value out of range " + std::to_string(low) + ".." + std::to_string(high));
    return static_cast<int>(number);
}

const std::string& stringValue(const Json& value, const std::string& path) {
    if (!value.is_string())
        refuse(path, "expected a text");
    return value.get_ref<const std::string&>();
}

const Json& arrayValue(const Json& value, const std::string& path) {
    if (!value.is_array())
        refuse(path, "expected a list");
    return value;
}

int wordBits(const Json& value, const std::string& path, const std::vector<const char*>& words,
             const std::vector<int>& bits) {
    int result = 0;
    const Json& list = arrayValue(value, path);
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string itemPath = path + "[" + std::to_string(i) + "]";
        const std::string& word = stringValue(list[i], itemPath);
        const auto found =
            std::find_if(words.begin(), words.end(), [&](const char* w) { return word == w; });
        if (found == words.end())
            refuse(itemPath, "unknown word \"" + word + "\"");
        result |= bits[found - words.begin()];
    }
    return result;
}

Fields::Fields(const Json& value, std::string path, std::initializer_list<const char*> allowed)
    : value_(value), path_(std::move(path)) {
    if (!value.is_object())
        refuse(path_, "expected an object");
    for (const auto& item : value.items())
        if (std::none_of(allowed.begin(), allowed.end(),
                         [&](const char* name) { return item.key() == name; }))
            refuse(pathOf(item.key().c_str()), "unknown field");
}

const Json* Fields::find(const char* name) const {
    const auto found = value_.find(name);
    return found == value_.end() ? nullptr : &*found;
}

const Json& Fields::require(const char* name) const {
    const Json* value = find(name);
    if (value == nullptr)
        refuse(pathOf(name), "missing");
    return *value;
}

std::string textOfField(const char* field, int size) {
    const std::string_view bytes(field, static_cast<size_t>(size - 1));
    return utf8FromLatin1(bytes.substr(0, bytes.find('\0')));
}

void setFieldText(char* field, int size, const Json& value, const std::string& path) {
    std::string bytes;
    if (const Outcome converted = latin1FromUtf8(stringValue(value, path), bytes); !converted)
        refuse(path, converted.message.text);
    if (bytes.find('\0') != std::string::npos)
        refuse(path, "NUL character in text");
    if (static_cast<int>(bytes.size()) > size - 1)
        refuse(path, "text longer than " + std::to_string(size - 1) + " characters");
    setText(field, size, bytes);
}

LayerAssignment resetLayer() {
    LayerAssignment layer;
    layer.used = 0;
    layer.ibmkey = 0;
    layer.keymode = 0;
    layer.keytype = 15;
    layer.stringcharcount = 0;
    return layer;
}

KeyCell baseCell(int index) {
    KeyCell cell;
    cell.windowHandle = 0;
    cell.enabled = 1;
    cell.used = 1;
    cell.complete = 0;
    cell.controlId = kFirstCellControlId + index;
    cell.x = 40 + (index % kColumns) * 20;
    cell.y = 40 + (index / kColumns) * 20;
    cell.width = 16;
    cell.height = 16;
    setText(cell.legend, "Nothing");
    cell.layers.fill(resetLayer());
    return cell;
}

} // namespace quillan::json_form
