// Export: the readable sections from the file records, then the raw section
// for every byte the readable sections do not give back.
#include "model/definition_json_fields.h"
#include "model/file_io.h"
#include "model/settings_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace quillan::json_form {
namespace {

// Differing bytes closer than this are written as one raw entry.
constexpr int kRawGap = 4;

std::string hexOf(const std::string& bytes, int from, int to) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (int i = from; i < to; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

// The entries that turn readable into target, region by region.
Json rawEntries(const std::string& target, const std::string& readable) {
    Json raw = Json::array();
    for (const Region& region : fileRegions()) {
        const int end = region.offset + region.size;
        for (int i = region.offset; i < end; ++i) {
            if (target[i] == readable[i])
                continue;
            int last = i;
            for (int j = i + 1; j < end && j <= last + kRawGap; ++j)
                if (target[j] != readable[j])
                    last = j;
            Json entry = Json::object();
            entry["at"] = region.name;
            entry["offset"] = i - region.offset;
            entry["bytes"] = hexOf(target, i, last + 1);
            raw.push_back(std::move(entry));
            i = last;
        }
    }
    return raw;
}

bool isScalarList(const Json& value) {
    return value.is_array() && std::none_of(value.begin(), value.end(),
                                            [](const Json& item) { return item.is_structured(); });
}

// Two-space indentation, one field per line; a list of plain values stays
// on one line ("modes": ["shift"]).
void write(std::string& out, const Json& value, int depth) {
    const std::string indent(2 * depth + 2, ' ');
    if (value.is_object() && !value.empty()) {
        out += "{\n";
        size_t i = 0;
        for (const auto& item : value.items()) {
            out += indent + Json(item.key()).dump() + ": ";
            write(out, item.value(), depth + 1);
            out += ++i < value.size() ? ",\n" : "\n";
        }
        out += std::string(2 * depth, ' ') + "}";
    } else if (value.is_array() && !value.empty() && !isScalarList(value)) {
        out += "[\n";
        for (size_t i = 0; i < value.size(); ++i) {
            out += indent;
            write(out, value[i], depth + 1);
            out += i + 1 < value.size() ? ",\n" : "\n";
        }
        out += std::string(2 * depth, ' ') + "]";
    } else if (value.is_array()) {
        out += "[";
        for (size_t i = 0; i < value.size(); ++i)
            out += (i ? ", " : "") + value[i].dump();
        out += "]";
    } else {
        out += value.dump();
    }
}

} // namespace

Json exportDocument(const PortableDefinition& definition) {
    std::string target = definition.settings;
    target.resize(kSettingsFileSize, '\0');
    auto records = std::make_unique<FileRecords>();
    decodeRecords(target, *records);
    Json doc = Json::object();
    doc["format"] = kFormatName;
    doc["version"] = kFormatVersion;
    doc["settings"] = settingsToJson(records->header, definition);
    doc["strings"] = stringsToJson(*records);

    // A cell is written when its readable fields differ from a reset cell.
    Json keys = Json::array();
    auto probe = std::make_unique<std::array<KeyCell, kCells>>();
    for (int index = 0; index < kCells; ++index) {
        Json cell =
            cellToJson(records->cells[index], index, static_cast<int>(doc["strings"].size()));
        (*probe)[index] = baseCell(index);
        cellFromJson(cell, "", *probe);
        if (!((*probe)[index] == baseCell(index)))
            keys.push_back(std::move(cell));
    }
    doc["keys"] = std::move(keys);

    auto readable = std::make_unique<FileRecords>();
    PortableDefinition readableBlock;
    readableRecords(doc, *readable, readableBlock);
    doc["raw"] = rawEntries(target, encodeRecords(*readable));
    return doc;
}

} // namespace quillan::json_form

namespace quillan {

std::string exportDefinitionJson(const PortableDefinition& definition) {
    std::string text;
    json_form::write(text, json_form::exportDocument(definition), 0);
    return text + "\n";
}

Outcome saveDefinitionJson(const PortableDefinition& definition, const std::string& path) {
    return writeFileAtomically(path, exportDefinitionJson(definition));
}

} // namespace quillan
