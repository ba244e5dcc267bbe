// The strings section of the JSON form. All knowledge of how the settings
// file packs strings (the string index and the string characters) that the
// JSON form needs is here.
#include "model/catalogue.h"
#include "model/definition_json_fields.h"
#include "model/file_io.h"
#include "model/string_store.h"

#include <algorithm>

namespace quillan::json_form {
namespace {

using Cells = std::vector<StringCell>;

bool hasTextForm(int c) {
    return c == '\b' || c == '\t' || (c >= 0x20 && c < 0x7F);
}

// The cell that character c types, as the string dialogs make it.
StringCell cellOfChar(int c) {
    const CharEntry& entry = *charEntry(c);
    const IbmKeyRow& row = *catalogueRow(entry.row);
    return StringCell{entry.modifier, row.usb, row.scan2, row.keyType};
}

// The character with a text form that types cell; -1 when none does.
int charOfCell(const StringCell& cell) {
    for (int c = 0; c < 0x7F; ++c)
        if (hasTextForm(c) && cellOfChar(c) == cell)
            return c;
    return -1;
}

// The strings of the packed tables: NumberOfStrings of them, split at the
// all-zero cells from the first character on, as unpacking splits them;
// only strings whose terminator lies in the table.
std::vector<Cells> packedStrings(const FileRecords& records) {
    std::vector<Cells> strings;
    const int count = std::clamp(records.header.NumberOfStrings, 0, kMaxStrings);
    int p = 0;
    for (int i = 0; i < count; ++i) {
        Cells cells;
        for (; p < kStringCells && !records.stringChars[p].isZero(); ++p)
            cells.push_back(records.stringChars[p]);
        if (p++ == kStringCells)
            break; // no terminator: the raw section keeps what is left
        strings.push_back(std::move(cells));
    }
    return strings;
}

Json entryToJson(const StringCell& cell) {
    int row = 0;
    for (int r = 0; r < kCatalogueRows; ++r) {
        const IbmKeyRow& k = *catalogueRow(r);
        if (k.usb == cell.characterUSB && k.scan2 == cell.characterMode2 &&
            k.keyType == cell.characterType) {
            row = r;
            break;
        }
    }
    const IbmKeyRow& ref = *catalogueRow(row);
    Json e = Json::object();
    e["key"] = ref.name;
    Json modifiers = Json::array();
    for (const ModifierWord& word : kModifierWords)
        if (cell.modifier & word.bit)
            modifiers.push_back(word.word);
    e["modifiers"] = modifiers;
    if (cell.characterType != ref.keyType)
        e["type"] = cell.characterType < kKeyTypeCount ? Json(keyTypeName(cell.characterType))
                                                       : Json(cell.characterType);
    if (cell.characterUSB != ref.usb)
        e["usb"] = cell.characterUSB;
    if (cell.characterMode2 != ref.scan2)
        e["scan set 2"] = cell.characterMode2;
    return e;
}

StringCell entryFromJson(const Json& value, const std::string& path) {
    const Fields f(value, path, {"key", "modifiers", "type", "usb", "scan set 2"});
    const std::string& name = stringValue(f.require("key"), f.pathOf("key"));
    const int row = findRowByName(name.c_str());
    if (row < 0 || name != catalogueName(row))
        refuse(f.pathOf("key"), "unknown key name \"" + name + "\"");
    const IbmKeyRow& ref = *catalogueRow(row);
    StringCell cell{0, ref.usb, ref.scan2, ref.keyType};
    if (const Json* modifiers = f.find("modifiers")) {
        std::vector<const char*> words;
        std::vector<int> bits;
        for (const ModifierWord& word : kModifierWords) {
            words.push_back(word.word);
            bits.push_back(word.bit);
        }
        cell.modifier =
            static_cast<uint8_t>(wordBits(*modifiers, f.pathOf("modifiers"), words, bits));
    }
    if (const Json* type = f.find("type")) {
        if (type->is_number_integer()) {
            cell.characterType =
                static_cast<uint8_t>(integerValue(*type, f.pathOf("type"), 0, 255));
        } else {
            const std::string& typeName = stringValue(*type, f.pathOf("type"));
            int code = 0;
            while (code < kKeyTypeCount && typeName != keyTypeName(code))
                ++code;
            if (code == kKeyTypeCount)
                refuse(f.pathOf("type"), "unknown key type \"" + typeName + "\"");
            cell.characterType = static_cast<uint8_t>(code);
        }
    }
    if (const Json* usb = f.find("usb"))
        cell.characterUSB = static_cast<uint8_t>(integerValue(*usb, f.pathOf("usb"), 0, 255));
    if (const Json* scan2 = f.find("scan set 2"))
        cell.characterMode2 =
            static_cast<uint8_t>(integerValue(*scan2, f.pathOf("scan set 2"), 0, 255));
    if (cell.isZero())
        refuse(path, "an all-zero character would end the string");
    return cell;
}

Cells stringFromJson(const Json& value, const std::string& path) {
    Cells cells;
    if (value.is_string()) {
        std::u32string text;
        if (const Outcome decoded = codePointsFromUtf8(value.get_ref<const std::string&>(), text);
            !decoded)
            refuse(path, decoded.message.text);
        for (size_t i = 0; i < text.size(); ++i) {
            const char32_t c = text[i];
            if (c >= 0x7F || !hasTextForm(static_cast<int>(c)))
                refuse(path, "character " + std::to_string(i + 1) + " (" +
                                 (c >= 0xA0 ? "\"" + utf8FromCodePoint(c) + "\", " : "") + "code " +
                                 std::to_string(static_cast<uint32_t>(c)) +
                                 ") has no key; write the string as a list of keys");
            cells.push_back(cellOfChar(static_cast<int>(c)));
        }
        return cells;
    }
    const Json& list = arrayValue(value, path);
    for (size_t i = 0; i < list.size(); ++i)
        cells.push_back(entryFromJson(list[i], path + "[" + std::to_string(i) + "]"));
    return cells;
}

} // namespace

Json stringsToJson(const FileRecords& records) {
    Json strings = Json::array();
    for (const Cells& cells : packedStrings(records)) {
        std::string text;
        const bool plain = std::all_of(cells.begin(), cells.end(), [&](const StringCell& cell) {
            const int c = charOfCell(cell);
            text += static_cast<char>(c);
            return c >= 0;
        });
        if (plain) {
            strings.push_back(text);
            continue;
        }
        Json entries = Json::array();
        for (const StringCell& cell : cells)
            entries.push_back(entryToJson(cell));
        strings.push_back(std::move(entries));
    }
    return strings;
}

void stringsFromJson(const Json& value, FileRecords& records) {
    const Json& list = arrayValue(value, "strings");
    if (list.size() > static_cast<size_t>(kMaxStrings))
        refuse("strings", "more than " + std::to_string(kMaxStrings) + " strings");
    std::vector<Cells> strings;
    for (size_t i = 0; i < list.size(); ++i)
        strings.push_back(stringFromJson(list[i], "strings[" + std::to_string(i) + "]"));
    if (const Outcome fits = packRefusal(strings); !fits)
        refuse("strings", fits.message.text);
    writePackedTables(records.stringIndex, records.stringChars, strings);
    records.header.NumberOfStrings = static_cast<int32_t>(strings.size());
}

} // namespace quillan::json_form
