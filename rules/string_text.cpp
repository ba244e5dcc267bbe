// Strings as text, encoded and decoded through the character table.
#include "rules/string_text.h"

#include "model/catalogue.h"
#include "model/file_io.h"

#include <algorithm>
#include <array>

namespace quillan {
namespace {

constexpr int kCharacterCount = 128;

} // namespace

bool encodeChar(char32_t c, StringCell& cell) {
    const CharEntry* entry = c < kCharacterCount ? charEntry(static_cast<int>(c)) : nullptr;
    // Row 0 is "No Key": the control characters that no key types.
    const IbmKeyRow* row = entry && entry->row != 0 ? catalogueRow(entry->row) : nullptr;
    if (row == nullptr)
        return false;
    cell.modifier = entry->modifier;
    cell.characterUSB = row->usb;
    cell.characterMode2 = row->scan2;
    cell.characterType = row->keyType;
    return true;
}

int decodeCell(const StringCell& cell) {
    int character = -1;
    for (int row : rowsByUsb(cell.characterUSB)) {
        for (int d = 0; d < kCharacterCount; ++d) {
            const CharEntry* entry = charEntry(d);
            if (entry->row == catalogueRow(row)->ibmKey && entry->modifier == cell.modifier)
                character = d;
        }
    }
    return character;
}

std::u32string displayText(const StringCells& cells) {
    std::u32string text;
    for (const StringCell& cell : cells) {
        const int c = decodeCell(cell);
        text += c >= 0x20 && c < 0x7F ? static_cast<char32_t>(c) : kNoTextPlaceholder;
    }
    return text;
}

Outcome textToCells(const std::u32string& text, StringCells& cells) {
    cells.clear();
    if (text.size() > static_cast<size_t>(kMaxStringText))
        return Outcome::failure("A string text holds at most " + std::to_string(kMaxStringText) +
                                " characters; this one has " + std::to_string(text.size()) + ".");
    if (Outcome typable = checkTypable(text); !typable)
        return typable;
    for (const char32_t c : text) {
        StringCell cell;
        encodeChar(c, cell);
        cells.push_back(cell);
    }
    return Outcome::success();
}

Outcome checkTypable(const std::u32string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        StringCell cell;
        if (encodeChar(text[i], cell))
            continue;
        const auto code = static_cast<uint32_t>(text[i]);
        // A control character is named by its code only: as itself it
        // would break the message's line.
        const bool printable = code >= 0xA0 || (code >= 0x20 && code < 0x7F);
        return Outcome::failure(
            "Character " + std::to_string(i + 1) + " (" +
            (printable ? "\"" + utf8FromCodePoint(text[i]) + "\", " : std::string()) + "code " +
            std::to_string(code) + ") cannot be typed by any key.");
    }
    return Outcome::success();
}

std::vector<StringCells> selectableStrings(KeyboardDefinition& def) {
    Log quiet; // only the image build traces its packing
    packWorkingStrings(def, quiet);
    return readPackedStrings(def);
}

StringListEditor::StringListEditor(KeyboardDefinition& def, Log& log) : def_(def), log_(log) {
    strings_ = selectableStrings(def_);
}

Outcome StringListEditor::add(const std::u32string& text) {
    if (text.empty())
        return Outcome::success();
    StringCells cells;
    if (Outcome encoded = textToCells(text, cells); !encoded)
        return encoded;
    if (Outcome fits = addRefusal(strings_, cells.size()); !fits)
        return fits;
    strings_.push_back(cells);
    ++def_.NumberOfStrings;
    return Outcome::success();
}

Outcome StringListEditor::remove(int s) {
    if (s < 0 || s >= static_cast<int>(strings_.size()))
        return Outcome::failure("There is no string " + std::to_string(s) + ".");
    if (const int users = stringReferences(def_, s); users > 0)
        return Outcome::failure("String " + std::to_string(s) + " is used by " +
                                std::to_string(users) + (users == 1 ? " key" : " keys") +
                                "; give " + (users == 1 ? "it" : "them") +
                                " another key before deleting the string.");
    renumberForDeletedString(def_, s, log_);
    strings_.erase(strings_.begin() + s);
    return Outcome::success();
}

Outcome StringListEditor::replace(int s, const std::u32string& text) {
    if (s < 0 || s >= static_cast<int>(strings_.size()))
        return Outcome::failure("There is no string " + std::to_string(s) + ".");
    if (text.empty())
        return Outcome::success();
    StringCells cells;
    if (Outcome encoded = textToCells(text, cells); !encoded)
        return encoded;
    std::vector<StringCells> others = strings_;
    others.erase(others.begin() + s);
    if (Outcome fits = addRefusal(others, cells.size()); !fits)
        return fits;
    strings_[static_cast<size_t>(s)] = cells;
    return Outcome::success();
}

Outcome StringListEditor::finish() {
    if (Outcome fits = packRefusal(strings_); !fits)
        return fits;
    packStrings(def_, strings_);
    // The key picker and the image build work on the working slots.
    unpackStrings(def_);
    return Outcome::success();
}

} // namespace quillan
