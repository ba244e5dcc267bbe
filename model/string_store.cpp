// The string store: slots, packing, unpacking and the one capacity rule.
#include "model/string_store.h"

#include "model/catalogue.h"

#include <algorithm>
#include <cstdio>

namespace quillan {
namespace {

bool validSlot(int slot) {
    return slot >= 0 && slot < kStringSlots;
}

bool slotEmpty(const KeyboardDefinition& def, int slot) {
    return def.stringSlots[slot][0].isZero();
}

// Cells before the terminator; a slot without one counts all its cells.
int lengthOf(const StringSlot& slot) {
    for (int cell = 0; cell < kStringCells; ++cell)
        if (slot[cell].isZero())
            return cell;
    return kStringCells;
}

// The builder's count over per-slot key counts (0: empty slot).
int packedCells(const std::array<int, kStringSlots>& lengths, int count) {
    int needed = 0;
    int strings = 0;
    for (int i = 0; i < kStringSlots && strings < count; ++i) {
        if (lengths[i] == 0)
            continue;
        needed += lengths[i] + 1;
        ++strings;
    }
    return needed + std::max(count - strings, 0);
}

std::array<int, kStringSlots> slotLengths(const KeyboardDefinition& def) {
    std::array<int, kStringSlots> lengths{};
    for (int i = 0; i < kStringSlots; ++i)
        lengths[i] = lengthOf(def.stringSlots[i]);
    return lengths;
}

void writeSlot(KeyboardDefinition& def, int slot, const StringCells& cells) {
    StringSlot& out = def.stringSlots[slot];
    std::copy(cells.begin(), cells.end(), out.begin());
    out[cells.size()] = StringCell{};
    def.packedStringsCurrent = false;
}

bool nonEmptySlotAfter(const KeyboardDefinition& def, int i) {
    for (int n = i + 1; n < kStringSlots; ++n)
        if (!slotEmpty(def, n))
            return true;
    return false;
}

// Removes empty slot i: string keys above i move down with their strings;
// slots i+1..127 move down one, each copied up to its terminator.
void removeEmptySlot(KeyboardDefinition& def, int i, Log& log, const SlotRemovalHook& onRemove) {
    log.trace("* iLoop1 ");
    if (onRemove)
        onRemove(i);
    for (KeyCell& cell : def.cells)
        for (LayerAssignment& layer : cell.layers)
            if (layer.keytype == STRING_KEY && layer.ibmkey > i)
                --layer.ibmkey;
    log.trace("Moving\n");
    for (int n = i; n < kStringSlots - 1; ++n) {
        StringSlot& to = def.stringSlots[n];
        const StringSlot& from = def.stringSlots[n + 1];
        for (int cell = 0; cell < kStringCells; ++cell) {
            to[cell] = from[cell];
            if (from[cell].isZero())
                break;
            log.trace(" & %d,%d - %d %d %d %d\n", n, cell, from[cell].characterMode2,
                      from[cell].characterType, from[cell].characterUSB, from[cell].modifier);
        }
    }
    StringCell& last = def.stringSlots[kStringSlots - 1][0];
    log.trace(" &1 %d,%d - %d %d %d %d\n", kStringSlots - 1, 0, last.characterMode2,
              last.characterType, last.characterUSB, last.modifier);
    last = StringCell{};
}

void closeStringGaps(KeyboardDefinition& def, Log& log, const SlotRemovalHook& onRemove) {
    log.trace("Doing the Strings\n");
    int nonEmpty = 0;
    for (int i = 0; i < kStringSlots; ++i) {
        log.trace("iLoop: %d\n", i);
        while (slotEmpty(def, i)) {
            if (!nonEmptySlotAfter(def, i))
                return;
            removeEmptySlot(def, i, log, onRemove);
        }
        if (++nonEmpty >= def.NumberOfStrings)
            return;
    }
}

// Packs slots 0..NumberOfStrings-1; returns the first storage cell after them.
int packSlots(KeyboardDefinition& def, Log& log) {
    log.trace("Copying String\n");
    int p = 0;
    for (int i = 0; i < def.NumberOfStrings; ++i) {
        def.stringIndex[i] = static_cast<uint16_t>(kStringStorageAddress + 4 * p);
        const StringSlot& slot = def.stringSlots[i];
        const int length = lengthOf(slot);
        for (int cell = 0; cell < length; ++cell) {
            log.trace(" $ %d,%d - %d %d %d %d\n", p, cell, slot[cell].characterMode2,
                      slot[cell].characterType, slot[cell].characterUSB, slot[cell].modifier);
            def.stringChars[p++] = slot[cell];
        }
        def.stringChars[p++] = StringCell{};
        log.trace(" # %d,%d\n", p, length);
    }
    return p;
}

size_t listCells(const std::vector<StringCells>& strings) {
    size_t total = 0;
    for (const StringCells& s : strings)
        total += s.size() + 1; // its terminator
    return total;
}

int clampedInt(size_t value) {
    return static_cast<int>(std::min<size_t>(value, 1u << 30));
}

} // namespace

Outcome stringCapacityRefusal(int strings, int cells) {
    if (strings >= 0 && strings <= kMaxStrings && cells <= kStringCells)
        return Outcome::success();
    char text[200];
    std::snprintf(text, sizeof text,
                  "The strings do not fit the EEPROM: %d strings in %d character cells; "
                  "it holds at most %d strings in %d cells.",
                  strings, cells, kMaxStrings, kStringCells);
    return Outcome::failure(text);
}

int packedCellsNeeded(const KeyboardDefinition& def) {
    return packedCells(slotLengths(def), def.NumberOfStrings);
}

Outcome workingStringsRefusal(const KeyboardDefinition& def) {
    return stringCapacityRefusal(def.NumberOfStrings, packedCellsNeeded(def));
}

Outcome stringChangeRefusal(const KeyboardDefinition& def, int slot, int keys) {
    std::array<int, kStringSlots> lengths = slotLengths(def);
    int count = def.NumberOfStrings;
    if (!validSlot(slot)) {
        slot = findFreeStringSlot(def);
        if (slot < 0 && count < kMaxStrings)
            return Outcome::failure("No string slot is free; no new string can be added.");
    }
    if (slot >= 0) {
        if (lengths[slot] == 0)
            ++count;
        lengths[slot] = keys;
    } else {
        ++count; // no slot and 127 strings: the count says why
    }
    return stringCapacityRefusal(count, packedCells(lengths, count));
}

int workingStringLength(const KeyboardDefinition& def, int slot) {
    return validSlot(slot) ? lengthOf(def.stringSlots[slot]) : 0;
}

int findFreeStringSlot(const KeyboardDefinition& def) {
    for (int slot = 0; slot < kMaxStrings; ++slot)
        if (slotEmpty(def, slot))
            return slot;
    return -1;
}

int stringReferences(const KeyboardDefinition& def, int slot, const LayerAssignment* except) {
    int count = 0;
    for (const KeyCell& cell : def.cells)
        for (const LayerAssignment& layer : cell.layers)
            if (&layer != except && layer.keytype == STRING_KEY && layer.ibmkey == slot)
                ++count;
    return count;
}

int allocateString(KeyboardDefinition& def, const StringCells& cells) {
    const int slot = findFreeStringSlot(def);
    if (slot < 0)
        return -1;
    ++def.NumberOfStrings;
    writeSlot(def, slot, cells);
    return slot;
}

void rewriteString(KeyboardDefinition& def, int slot, const StringCells& cells) {
    if (!validSlot(slot))
        return;
    if (slotEmpty(def, slot) && !cells.empty())
        ++def.NumberOfStrings;
    writeSlot(def, slot, cells);
}

void releaseString(KeyboardDefinition& def, int slot, const LayerAssignment& giver) {
    if (!validSlot(slot) || slotEmpty(def, slot) || stringReferences(def, slot, &giver) > 0)
        return;
    def.stringSlots[slot][0] = StringCell{};
    if (def.NumberOfStrings > 0)
        --def.NumberOfStrings;
    def.packedStringsCurrent = false;
}

bool packWorkingStrings(KeyboardDefinition& def, Log& log, const SlotRemovalHook& onRemove) {
    if (!workingStringsRefusal(def))
        return false;
    int end = 0;
    if (def.NumberOfStrings != 0) {
        closeStringGaps(def, log, onRemove);
        end = packSlots(def, log);
    }
    // A read-back counts every non-zero index entry as a string, and an
    // unpack splits the storage at every zero cell: nothing may stay behind.
    std::fill(def.stringIndex.begin() + def.NumberOfStrings, def.stringIndex.end(), 0);
    std::fill(def.stringChars.begin() + end, def.stringChars.end(), StringCell{});
    def.packedStringsCurrent = true;
    return true;
}

void clearStringDefinitions(KeyboardDefinition& def, bool clearCount) {
    if (clearCount)
        def.NumberOfStrings = 0;
    for (StringSlot& slot : def.stringSlots)
        slot[0] = StringCell{};
    def.packedStringsCurrent = false;
}

void unpackStrings(KeyboardDefinition& def) {
    clearStringDefinitions(def, false);
    int slot = 0;
    int position = 0;
    int placed = 0;
    for (int p = 0; p < kStringCells && slot < kStringSlots && placed < def.NumberOfStrings; ++p) {
        const StringCell& cell = def.stringChars[p];
        def.stringSlots[slot][position++] = cell;
        if (!cell.isZero())
            continue;
        if (position > 1)
            ++placed;
        position = 0;
        ++slot;
    }
    // A string cut off by the end of the storage still ends in its slot.
    if (position > 0 && position < kStringCells)
        def.stringSlots[slot][position] = StringCell{};
    def.packedStringsCurrent = true;
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

int storedStringCount(const std::array<StringCell, kStringCells>& chars) {
    int stored = 0;
    bool inString = false;
    for (const StringCell& cell : chars) {
        if (cell.isZero() && inString)
            ++stored;
        inString = !cell.isZero();
    }
    return stored;
}

Outcome addRefusal(const std::vector<StringCells>& strings, size_t cellCount) {
    return stringCapacityRefusal(clampedInt(strings.size() + 1),
                                 clampedInt(listCells(strings) + cellCount + 1));
}

Outcome packRefusal(const std::vector<StringCells>& strings) {
    return stringCapacityRefusal(clampedInt(strings.size()), clampedInt(listCells(strings)));
}

void writePackedTables(std::array<uint16_t, kStringSlots>& index,
                       std::array<StringCell, kStringCells>& chars,
                       const std::vector<StringCells>& strings) {
    index.fill(0);
    chars.fill(StringCell{});
    size_t p = 0;
    for (size_t m = 0; m < strings.size(); ++m) {
        index[m] = static_cast<uint16_t>(kStringStorageAddress + 4 * p);
        for (const StringCell& cell : strings[m])
            chars[p++] = cell;
        chars[p++] = StringCell{};
    }
}

Outcome packStaleStrings(KeyboardDefinition& def) {
    Log quiet;
    if (def.packedStringsCurrent || packWorkingStrings(def, quiet))
        return Outcome::success();
    return workingStringsRefusal(def);
}

bool packStrings(KeyboardDefinition& def, const std::vector<StringCells>& strings) {
    if (!packRefusal(strings))
        return false;
    writePackedTables(def.stringIndex, def.stringChars, strings);
    def.NumberOfStrings = static_cast<int32_t>(strings.size());
    def.packedStringsCurrent = false; // the slots follow with unpackStrings
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

} // namespace quillan
