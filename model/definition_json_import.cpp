// Import: parse, check the format and version, fill the file records from the
// readable sections, then apply the raw section.
#include "model/catalogue.h"
#include "model/definition_json_fields.h"
#include "model/file_io.h"
#include "model/settings_file.h"

#include <cstdio>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace quillan::json_form {

constexpr size_t kMaxDocumentSize = 16 * 1024 * 1024;

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void applyRaw(const Json& value, std::string& bytes) {
    const Json& list = arrayValue(value, "raw");
    const std::vector<Region> regions = fileRegions();
    for (size_t i = 0; i < list.size(); ++i) {
        const Fields f(list[i], "raw[" + std::to_string(i) + "]", {"at", "offset", "bytes"});
        const std::string& at = stringValue(f.require("at"), f.pathOf("at"));
        const Region* region = nullptr;
        for (const Region& r : regions)
            if (r.name == at)
                region = &r;
        if (region == nullptr)
            refuse(f.pathOf("at"), "unknown part \"" + at + "\"");
        const int offset =
            integerValue(f.require("offset"), f.pathOf("offset"), 0, region->size - 1);
        const std::string& hex = stringValue(f.require("bytes"), f.pathOf("bytes"));
        if (hex.empty() || hex.size() % 2 != 0)
            refuse(f.pathOf("bytes"), "expected pairs of hexadecimal digits");
        if (offset + hex.size() / 2 > static_cast<size_t>(region->size))
            refuse(f.pathOf("bytes"), "runs past the end of " + at);
        for (size_t k = 0; k < hex.size(); k += 2) {
            const int high = hexDigit(hex[k]);
            const int low = hexDigit(hex[k + 1]);
            if (high < 0 || low < 0)
                refuse(f.pathOf("bytes"), "expected pairs of hexadecimal digits");
            bytes[region->offset + offset + k / 2] = static_cast<char>(high << 4 | low);
        }
    }
}

// Line and column of a byte position (1-based, as the parser counts).
std::pair<size_t, size_t> lineAndColumn(const std::string& text, size_t position) {
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i + 1 < position && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

// The parser's own words without its prefix and position.
std::string syntaxMessage(const std::string& what) {
    const size_t colon = what.find(": ", what.find("parse error"));
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

// Parses text, following the path of what is being read (tracker).
Json parseDocument(const std::string& text, PathTracker& tracker) {
    const Json::parser_callback_t follow = [&tracker](int, Json::parse_event_t event,
                                                      Json& parsed) {
        tracker.onEvent(event, parsed);
        return true;
    };
    return Json::parse(text, follow);
}

// A refusal as the user reads it: the path, what is wrong, and the line.
std::string located(const std::string& text, const Refusal& refusal) {
    const int line = lineOfPath(text, refusal.path, refusal.occurrence);
    return std::string(refusal.what()) + (line > 0 ? " (line " + std::to_string(line) + ")" : "");
}

// A string layer names one of the document's strings.
void checkStringLayers(const KeyCell& cell, const std::string& path, int strings) {
    for (int l = 0; l < kLayers; ++l) {
        const LayerAssignment& layer = cell.layers[l];
        if (layer.keytype == STRING_KEY && layer.ibmkey >= strings)
            refuse(path + ".layers." + kLayerKeys[l] + ".string",
                   "string " + std::to_string(layer.ibmkey) + " does not exist (" +
                       (strings == 1 ? std::string("1 string is defined)")
                                     : std::to_string(strings) + " strings are defined)"));
    }
}

void pointingBlockDefault(PortableDefinition& definition) {
    auto def = std::make_unique<KeyboardDefinition>();
    setDefaultPointingBlock(*def);
    definition.pointingBlock = def->pointingBlock;
}

} // namespace

void readableRecords(const Json& doc, FileRecords& records, PortableDefinition& definition) {
    records.header = HeaderRecord{};
    setText(records.header.fileName, "in.dat");
    for (int index = 0; index < kCells; ++index)
        records.cells[index] = baseCell(index);
    records.stringIndex.fill(0);
    records.stringChars.fill(StringCell{});
    pointingBlockDefault(definition);

    const Fields top(doc, "", {"format", "version", "settings", "strings", "keys", "raw"});
    if (const Json* settings = top.find("settings"))
        settingsFromJson(*settings, records, definition);
    if (const Json* strings = top.find("strings"))
        stringsFromJson(*strings, records);
    if (const Json* keys = top.find("keys")) {
        const Json& list = arrayValue(*keys, "keys");
        std::set<int> seen;
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = "keys[" + std::to_string(i) + "]";
            const int index = cellFromJson(list[i], path, records.cells);
            if (!seen.insert(index).second)
                refuse(path, "key " + std::to_string(index / kColumns) + "," +
                                 std::to_string(index % kColumns) + " is given twice");
            checkStringLayers(records.cells[index], path, records.header.NumberOfStrings);
        }
    }
}

} // namespace quillan::json_form

namespace quillan {

Outcome importDefinitionJson(const std::string& text, PortableDefinition& out) {
    using namespace json_form;
    PathTracker tracker;
    try {
        const Json doc = parseDocument(text, tracker);
        if (!doc.is_object())
            refuse("(document)", "expected an object");
        const auto format = doc.find("format");
        if (format == doc.end() || !format->is_string() || *format != kFormatName)
            refuse("format", std::string("not a \"") + kFormatName + "\" document");
        const auto version = doc.find("version");
        if (version == doc.end())
            refuse("version", "missing");
        if (*version != kFormatVersion)
            refuse("version", "unsupported version " + version->dump());
        auto records = std::make_unique<FileRecords>();
        PortableDefinition result;
        readableRecords(doc, *records, result);
        result.settings = encodeRecords(*records);
        if (const auto raw = doc.find("raw"); raw != doc.end())
            applyRaw(*raw, result.settings);
        out = std::move(result);
        return Outcome::success();
    } catch (const Json::parse_error& e) {
        const auto [line, column] = lineAndColumn(text, e.byte);
        return Outcome::failure("line " + std::to_string(line) + ", column " +
                                std::to_string(column) + ": " + syntaxMessage(e.what()));
    } catch (const Refusal& e) {
        return Outcome::failure(located(text, e));
    } catch (const Json::out_of_range& e) {
        // A number the parser cannot hold (1e400): named by the path being read.
        return Outcome::failure(located(text, Refusal(tracker.current(), "number out of range")));
    } catch (const Json::exception& e) {
        return Outcome::failure(located(text, Refusal(tracker.current(), e.what())));
    }
}

Outcome loadDefinitionJson(const std::string& path, PortableDefinition& out) {
    std::string text;
    if (const Outcome read = readWholeFile(path, text, json_form::kMaxDocumentSize); !read)
        return read;
    if (!looksLikeJson(text))
        return Outcome::failure(text.size() == static_cast<size_t>(kImageFileSize)
                                    ? path + " is an EEPROM image, not a JSON definition"
                                : hasSettingsVersion(text)
                                    ? path + " is a settings file, not a JSON definition"
                                    : path + " is not a JSON definition");
    return importDefinitionJson(text, out);
}

} // namespace quillan
