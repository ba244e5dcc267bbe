// Key assignment rules: how one Fn layer of a key cell becomes the key
// picker's list of key lines, how a line follows the picker's mode toggles,
// and how the confirmed list is written back into the layer (a single key,
// a modifier key, no key, or a string in a working string slot).
//
// A key line is a catalogue name followed by six tab-opened columns (Alt,
// Ctrl, Shift, Base, Rep Off, Alt Gr) and a closing tab, e.g.
// "IBM Key 31\tAlt\t\tShift l\t\t\t\t".
//
// Plain code on the definition: no GUI, so the rules can be checked alone.
#pragma once

#include "model/definition.h"
#include "model/log.h"
#include "model/messages.h"
#include "model/string_store.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillan {

constexpr int kKeyLineColumns = 6;

// IBM keys that the picker gives to a layer for a lone modifier toggle, and
// the modifier keys that never carry their own mode bit.
constexpr int kIbmLeftShift = 44;
constexpr int kIbmRightShift = 57;
constexpr int kIbmLeftCtrl = 58;
constexpr int kIbmLeftAlt = 60;
constexpr int kIbmRightAlt = 62;
constexpr int kIbmRightCtrl = 64;

// The key picker's eight mode toggles.
struct ModeToggles {
    bool alt = false;
    bool ctrlLeft = false;
    bool shiftLeft = false;
    bool base = false;
    bool repeatOff = false;
    bool altGr = false;
    bool ctrlRight = false;
    bool shiftRight = false;

    // Any of the six toggles that stand for a modifier key.
    bool anyModifier() const {
        return alt || altGr || shiftLeft || ctrlLeft || shiftRight || ctrlRight;
    }
    bool operator==(const ModeToggles&) const = default;
};

// The layer the key picker edits, remembered from filling its list to its OK.
struct PickerTarget {
    int row = 0;
    int column = 0;
    int layer = 0;
    bool stringFlag = false; // the layer was a string when the list was filled
};

// --- Key lines -------------------------------------------------------------

// The text before the first tab.
std::string lineName(const std::string& line);
// Columns 1..6 (index 0 = column 1): the texts between the tabs after the name.
std::array<std::string, kKeyLineColumns> lineColumns(const std::string& line);
// A line from a layer's keymode bits.
std::string keyLineFromMode(const std::string& name, uint8_t keymode);
// A line from a string character's USB modifier bits.
std::string keyLineFromModifier(const std::string& name, uint8_t modifier);
// A line whose columns follow the picker's toggles.
std::string keyLineFromToggles(const std::string& name, const ModeToggles& toggles);
// The line with the same name and the columns of the toggles.
inline std::string rebuildLine(const std::string& line, const ModeToggles& toggles) {
    return keyLineFromToggles(lineName(line), toggles);
}
// The toggles that a selected line shows (all eight are set from its columns).
ModeToggles togglesFromLine(const std::string& line);

// --- Layer to list and list to layer ---------------------------------------

// Fills target.stringFlag and returns the lines for the layer target names.
std::vector<std::string> layerToList(const KeyboardDefinition& def, PickerTarget& target);

// Writes the confirmed list into the layer target names, taking, keeping or
// giving up a string slot through the string store, and traces the outcome
// to log. Refuses (writing nothing) a string of more than 447 keys, a new
// string when no slot is free, and strings beyond the store's capacity rule.
// A string that another layer still names is kept for that layer when this
// one gives it up.
Outcome listToLayer(KeyboardDefinition& def, const PickerTarget& target,
                    const std::vector<std::string>& lines, const ModeToggles& toggles, Log& log);

// "Assign string" on the layer target names: list entry `chosen` of the
// string selection (selectableStrings) becomes the layer's string; -1 keeps
// the one it has. Traces "^%d bIBMKey = %d". Refused on a layer that is not
// a String Key and for an entry the list does not have.
Outcome assignStringToLayer(KeyboardDefinition& def, const PickerTarget& target, int chosen,
                            Log& log);

// The Key Settings check boxes that are not automatic: each click inverts
// its flag in the cell at once. Returns the new value.
enum class CellCheck { KeyUsed, EnableKey, LayerUsed };
uint8_t flipCellCheck(KeyCell& cell, CellCheck check, int layer = 0);
// What the Key Settings OK stores in the cell besides the combo selections:
// the legend (31 characters at most) and the complete flag.
void storeCellSettings(KeyCell& cell, const std::string& legend);

// --- Key capture -------------------------------------------------------------

// IBM key number for a scan set 1 code of a key message; 0 when the code
// stands for no key (including codes of 100 and above).
int ibmKeyFromScan(int scanCode, bool extended);
// "IBM Key %d" with the mode columns of the toggles.
std::string typedKeyLine(int ibmKey, const ModeToggles& toggles);
// The line of a key picker command for a key that cannot be typed
// (mouse buttons, Fn1, Fn2, system and consumer keys); "" for other ids.
std::string specialKeyLine(int commandId);
// Print Screen delivers its line on release: "IBM Key 124" with empty columns.
std::string printScreenLine();

// --- Key Settings helpers -----------------------------------------------------

// The complete flag of a cell: used, at least one used layer, and no used
// layer that is "No Key" (or has IBM key 0 without being a string).
bool cellComplete(const KeyCell& cell);
// Moves row/column one cell forward (direction +1) or back (-1) with wrap
// around, then on to the next enabled cell. Keeps the position and returns
// false when no cell is enabled.
bool stepToEnabledCell(const KeyboardDefinition& def, int& row, int& column, int direction);

// --- After the key picker's OK ------------------------------------------------

// A layer that the picker gave a key is marked used (otherwise the keyboard
// ignores it); a layer that became "No Key" is marked unused.
void markLayerUsedByKey(KeyboardDefinition& def, const PickerTarget& target);
// The picker's OK as a whole: listToLayer, then, when it was not refused,
// markLayerUsedByKey. The picker window and scripted editing both run this.
Outcome confirmPickerList(KeyboardDefinition& def, const PickerTarget& target,
                          const std::vector<std::string>& lines, const ModeToggles& toggles,
                          Log& log);

} // namespace quillan
