// The string store: every operation on the definition's macro strings.
//
// The data lives in the KeyboardDefinition (working slots, packed storage and
// index, NumberOfStrings, packedStringsCurrent); this module is the only code
// that allocates, rewrites, releases, renumbers, packs and unpacks them, and
// it holds the one capacity rule. The image builder, the key assignment
// rules, the string dialogs, the settings file load and save and the
// read-back refill all go through it.
//
// What holds after every operation here: a STRING_KEY layer names a string
// that exists; NumberOfStrings counts the strings in use; packing clears the
// index entries and storage cells it does not fill, so nothing stale can be
// unpacked again.
#pragma once

#include "model/definition.h"
#include "model/log.h"
#include "model/messages.h"

#include <functional>
#include <string>
#include <vector>

namespace quillan {

constexpr uint16_t kStringStorageAddress = 0x900; // EEPROM address of packed cell 0
constexpr int kMaxStringKeys = kStringCells - 1;  // a string's keys plus its terminator

using StringSlot = std::array<StringCell, kStringCells>;
// One string as its cells, without the terminator.
using StringCells = std::vector<StringCell>;

// --- Capacity ------------------------------------------------------------------

// The one capacity rule: at most 127 strings, and their packed cells,
// terminators included, at most 448. Fails with why `strings` strings of
// `cells` packed cells do not fit. (The refusals here carry the text only;
// each caller shows it with its own caption.)
Outcome stringCapacityRefusal(int strings, int cells);
// Packed cells the working strings take as a build packs them: the first
// NumberOfStrings non-empty slots with a terminator each, one terminator for
// every string that stays empty.
int packedCellsNeeded(const KeyboardDefinition& def);
// The capacity rule applied to the working strings.
Outcome workingStringsRefusal(const KeyboardDefinition& def);
// Fails with why slot `slot` (-1: a new slot) cannot take a string of `keys` keys.
Outcome stringChangeRefusal(const KeyboardDefinition& def, int slot, int keys);

// --- Working slots (the key picker) -------------------------------------------

// Keys in a working slot before its terminator (0 outside 0..127).
int workingStringLength(const KeyboardDefinition& def, int slot);
// The lowest free slot a new string may take (0..126), or -1.
int findFreeStringSlot(const KeyboardDefinition& def);
// STRING_KEY layers (used or not) that name slot, other than `except`.
int stringReferences(const KeyboardDefinition& def, int slot,
                     const LayerAssignment* except = nullptr);
// Takes the lowest free slot for the string, counts it, returns the slot.
// The caller has checked stringChangeRefusal(def, -1, ...).
int allocateString(KeyboardDefinition& def, const StringCells& cells);
// Rewrites slot with the string; an empty slot becomes a string in use.
void rewriteString(KeyboardDefinition& def, int slot, const StringCells& cells);
// The layer `giver` gives up its string in `slot`: the slot is emptied and
// no longer counted, unless it is empty already or another layer still
// names it (it then stays for that layer).
void releaseString(KeyboardDefinition& def, int slot, const LayerAssignment& giver);

// --- Packing (image build, save, string dialogs) ------------------------------

// Called with the slot number before an empty slot is removed and the
// slots above it move down one (the builder renumbers its image with it).
using SlotRemovalHook = std::function<void(int slot)>;
// Closes the gaps between the first NumberOfStrings strings (renumbering the
// STRING_KEY layers with them), packs them into the storage and index and
// clears every index entry and storage cell beyond them. Traces as the
// builder does. Changes nothing and returns false when the capacity rule
// refuses the working strings.
bool packWorkingStrings(KeyboardDefinition& def, Log& log, const SlotRemovalHook& onRemove = {});

// --- The list form (string dialogs) -------------------------------------------

// Reads NumberOfStrings strings from the packed storage, each up to its
// terminator. Never reads past the storage: strings beyond its end are empty.
std::vector<StringCells> readPackedStrings(const KeyboardDefinition& def);
// The non-empty strings the packed characters hold, whatever the count says
// (as unpacking splits them: each ended by an all-zero cell).
int storedStringCount(const std::array<StringCell, kStringCells>& chars);
// Fails with why the list cannot take one more string of cellCount cells.
Outcome addRefusal(const std::vector<StringCells>& strings, size_t cellCount);
// Fails with why the list cannot be written into the packed store.
Outcome packRefusal(const std::vector<StringCells>& strings);
// Clears the index and the storage and writes the list into them, index
// entry m = 0x900 + 4 * (first cell of string m); NumberOfStrings = list
// size. Writes nothing and returns false when packRefusal objects.
bool packStrings(KeyboardDefinition& def, const std::vector<StringCells>& strings);
// The packing itself, on any pair of tables: clears both, then writes the
// strings back to back, each ended by an all-zero cell, index entry m
// pointing at string m's first cell. The caller has checked packRefusal.
void writePackedTables(std::array<uint16_t, kStringSlots>& index,
                       std::array<StringCell, kStringCells>& chars,
                       const std::vector<StringCells>& strings);
// Before the packed tables are written out (save, export): packs the working
// strings when an edit has not been packed yet. Fails with why they cannot
// be packed (the text only; the caller adds its caption).
Outcome packStaleStrings(KeyboardDefinition& def);
// Deleting string s: every STRING_KEY layer numbered above s moves down one
// (traced "StringDefinition bIBMKey = "), and NumberOfStrings drops by one.
void renumberForDeletedString(KeyboardDefinition& def, int s, Log& log);

// unpackStrings and clearStringDefinitions (declared in definition.h) are
// the store's too: see string_store.cpp.

} // namespace quillan
