// Strings as text, encoded and decoded through the character table.
#include "dialogs/string_text.h"

#include "model/catalogue.h"

#include <algorithm>
#include <array>

namespace quillan {
namespace {

constexpr int kCharacterCount = 128;

size_t packedCells(const std::vector<StringCells>& strings) {
    size_t total = 0;
    for (const StringCells& s : strings)
        total += s.size() + 1; // its terminator
    return total;
}

std::string cellLimitText(size_t needed) {
    return "The strings would need " + std::to_string(needed) + " string cells; there are only " +
           std::to_string(kStringCells) + ".";
}

std::string countLimitText() {
    return "At most " + std::to_string(kMaxStrings) + " strings can be defined.";
}

} // namespace

bool encodeChar(char32_t c, StringCell& cell) {
    const CharEntry* entry = c < kCharacterCount ? charEntry(static_cast<int>(c)) : nullptr;
    const IbmKeyRow* row = entry ? catalogueRow(entry->row) : nullptr;
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

std::vector<StringCells> readPackedStrings(const KeyboardDefinition& def) {
    std::vector<StringCells> strings;
    const int count = std::clamp(def.NumberOfStrings, 0, kStringSlots);
    size_t p = 0;
    for (int m = 0; m < count; ++m) {
        StringCells cells;
        while (p < def.stringChars.size() && !def.stringChars[p].isZero())
            cells.push_back(def.stringChars[p++]);
        ++p; // past the terminator
        strings.push_back(std::move(cells));
    }
    return strings;
}

bool textToCells(const std::u32string& text, StringCells& cells, std::string& why) {
    cells.clear();
    if (text.size() > static_cast<size_t>(kMaxStringText)) {
        why = "A string text holds at most " + std::to_string(kMaxStringText) +
              " characters; this one has " + std::to_string(text.size()) + ".";
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        StringCell cell;
        if (!encodeChar(text[i], cell)) {
            why = "Character " + std::to_string(i + 1) + " (code " +
                  std::to_string(static_cast<uint32_t>(text[i])) +
                  ") cannot be typed by the keyboard: only character codes 0 to 127 can.";
            cells.clear();
            return false;
        }
        cells.push_back(cell);
    }
    return true;
}

std::string addRefusal(const std::vector<StringCells>& strings, size_t cellCount) {
    if (strings.size() >= static_cast<size_t>(kMaxStrings))
        return countLimitText();
    const size_t needed = packedCells(strings) + cellCount + 1;
    if (needed > static_cast<size_t>(kStringCells))
        return cellLimitText(needed);
    return "";
}

std::string packRefusal(const std::vector<StringCells>& strings) {
    if (strings.size() > static_cast<size_t>(kMaxStrings))
        return countLimitText();
    const size_t needed = packedCells(strings);
    if (needed > static_cast<size_t>(kStringCells))
        return cellLimitText(needed);
    return "";
}

bool packStrings(KeyboardDefinition& def, const std::vector<StringCells>& strings) {
    if (!packRefusal(strings).empty())
        return false;
    def.stringIndex.fill(0);
    def.stringChars.fill(StringCell{});
    size_t p = 0;
    for (size_t m = 0; m < strings.size(); ++m) {
        def.stringIndex[m] = static_cast<uint16_t>(kStringStorageAddress + 4 * p);
        for (const StringCell& cell : strings[m])
            def.stringChars[p++] = cell;
        def.stringChars[p++] = StringCell{};
    }
    def.NumberOfStrings = static_cast<int32_t>(strings.size());
    return true;
}

void renumberForDeletedString(KeyboardDefinition& def, int s, Log& log) {
    for (KeyCell& cell : def.cells) {
        for (LayerAssignment& layer : cell.layers) {
            if (layer.keytype == STRING_KEY && layer.ibmkey > s) {
                --layer.ibmkey;
                log.trace("StringDefinition bIBMKey = ");
            }
        }
    }
    if (def.NumberOfStrings > 0)
        --def.NumberOfStrings;
}

void packWorkingStrings(KeyboardDefinition& def) {
    // New number of every slot: the non-empty slots below it. A layer naming
    // an empty slot moves on to the string that follows it.
    std::array<int, kStringSlots> newNumber{};
    std::vector<StringCells> strings;
    for (int slot = 0; slot < kStringSlots; ++slot) {
        newNumber[slot] = static_cast<int>(strings.size());
        const auto& cells = def.stringSlots[slot];
        if (cells[0].isZero())
            continue;
        const auto end = std::find_if(cells.begin(), cells.end(),
                                      [](const StringCell& c) { return c.isZero(); });
        strings.emplace_back(cells.begin(), end);
    }
    const size_t nonEmpty = strings.size();
    strings.resize(static_cast<size_t>(std::clamp(def.NumberOfStrings, 0, kStringSlots)));
    if (!packRefusal(strings).empty())
        return;
    for (KeyCell& cell : def.cells)
        for (LayerAssignment& layer : cell.layers)
            if (layer.keytype == STRING_KEY && layer.ibmkey >= 0 && layer.ibmkey < kStringSlots)
                layer.ibmkey = newNumber[layer.ibmkey];
    for (int slot = 0; slot < kStringSlots; ++slot)
        if (!def.stringSlots[slot][0].isZero() && newNumber[slot] != slot)
            def.stringSlots[newNumber[slot]] = def.stringSlots[slot];
    for (size_t slot = nonEmpty; slot < static_cast<size_t>(kStringSlots); ++slot)
        def.stringSlots[slot][0] = StringCell{};
    packStrings(def, strings);
}

} // namespace quillan
