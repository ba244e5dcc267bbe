// Key check of an assembled keyboard: the fitted keys that the definition
// expects, matched against the keys that arrive (by the USB usage
// their catalogue rows send), so that a dead or mis-wired switch shows at
// once. Plain code on the definition.
#pragma once

#include "model/definition.h"
#include "model/key_labels.h"

#include <string>
#include <vector>

namespace quillan {

struct ExpectedKey {
    int cell = 0; // row * 8 + column
    KeyUsage usage;
};

// The usage by which the key of a used, enabled cell is checked: that of its
// first used layer that sends a key (a string by its first key code), the
// no-Fn layer first; invalid when no layer sends one (an Fn key).
KeyUsage checkedUsage(const KeyboardDefinition& def, int cell);
// Every cell with a checked usage, in cell order.
std::vector<ExpectedKey> expectedKeys(const KeyboardDefinition& def);
// The usage a key with this evdev code stands for (through the scan code
// tables of the key picker, or as a media or system key); invalid when none.
KeyUsage usageOfEvdev(int evdevCode);
// "A", "Mute", "System power", or the page and number when unnamed.
std::string usageName(KeyUsage usage);

struct KeyCheckSummary {
    int checked = 0;
    int total = 0;
    std::vector<bool> seenCells;      // per cell: expected and seen
    std::vector<bool> expectedCells;  // per cell: expected
    std::vector<KeyUsage> unexpected; // arrived, but no cell sends it
};

class KeyCheck {
  public:
    // Records a key that arrived (invalid usages are ignored).
    void press(KeyUsage usage);
    void reset() { seen_.clear(); }
    const std::vector<KeyUsage>& seen() const { return seen_; }
    KeyCheckSummary summarize(const KeyboardDefinition& def) const;

  private:
    std::vector<KeyUsage> seen_; // each once, in arrival order
};

} // namespace quillan
