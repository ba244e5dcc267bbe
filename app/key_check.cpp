#include "app/key_check.h"

#include "gui/key_events.h"
#include "model/catalogue.h"
#include "model/string_store.h"
#include "rules/key_assignment.h"

#include <algorithm>
#include <cstdio>

namespace quillan {

namespace {

// The usage a string sends first: its first cell that names a key.
KeyUsage firstStringUsage(const KeyboardDefinition& def, int slot) {
    if (slot < 0 || slot >= kStringSlots)
        return {};
    const int length = workingStringLength(def, slot);
    for (int i = 0; i < length; ++i) {
        const StringCell& c = def.stringSlots[slot][i];
        if (c.characterUSB == 0)
            continue;
        if (c.characterType == CONSUMER_KEY)
            return {PAGE_CONSUMER, c.characterUSB};
        if (c.characterType == SYSTEM_KEY)
            return {PAGE_SYSTEM, c.characterUSB};
        return {PAGE_KEYBOARD, c.characterUSB};
    }
    return {};
}

KeyUsage layerUsage(const KeyboardDefinition& def, const LayerAssignment& layer) {
    if (!layer.used)
        return {};
    return layer.keytype == STRING_KEY ? firstStringUsage(def, layer.ibmkey)
                                       : usageOfRow(layer.ibmkey);
}

} // namespace

KeyUsage checkedUsage(const KeyboardDefinition& def, int index) {
    const KeyCell& cell = def.cells[index];
    if (!cell.used || !cell.enabled)
        return {};
    for (const LayerAssignment& layer : cell.layers)
        if (const KeyUsage usage = layerUsage(def, layer); usage.valid())
            return usage;
    return {};
}

std::vector<ExpectedKey> expectedKeys(const KeyboardDefinition& def) {
    std::vector<ExpectedKey> keys;
    for (int index = 0; index < kCells; ++index)
        if (const KeyUsage usage = checkedUsage(def, index); usage.valid())
            keys.push_back({index, usage});
    return keys;
}

KeyUsage usageOfEvdev(int evdevCode) {
    if (const int row = mediaKeyRow(evdevCode); row != 0)
        return usageOfRow(row);
    const ScanSet1Code scan = scanSet1FromEvdev(evdevCode);
    if (scan.code == 0)
        return {};
    return usageOfRow(ibmKeyFromScan(scan.code, scan.extended));
}

std::string usageName(KeyUsage usage) {
    if (usage.page == PAGE_KEYBOARD && *keyboardUsageName(usage.usage))
        return keyboardUsageName(usage.usage);
    for (int row = 0; row < kCatalogueRows; ++row)
        if (usageOfRow(row) == usage && usage.page != PAGE_KEYBOARD)
            return catalogueName(row);
    char text[32];
    std::snprintf(text, sizeof text, "usage %02X:%02X", usage.page, usage.usage);
    return text;
}

void KeyCheck::press(KeyUsage usage) {
    if (usage.valid() && std::find(seen_.begin(), seen_.end(), usage) == seen_.end())
        seen_.push_back(usage);
}

KeyCheckSummary KeyCheck::summarize(const KeyboardDefinition& def) const {
    KeyCheckSummary summary;
    summary.seenCells.assign(kCells, false);
    summary.expectedCells.assign(kCells, false);
    const std::vector<ExpectedKey> expected = expectedKeys(def);
    summary.total = static_cast<int>(expected.size());
    for (const ExpectedKey& key : expected) {
        summary.expectedCells[key.cell] = true;
        if (std::find(seen_.begin(), seen_.end(), key.usage) != seen_.end()) {
            summary.seenCells[key.cell] = true;
            ++summary.checked;
        }
    }
    for (KeyUsage usage : seen_) {
        const bool known =
            std::any_of(expected.begin(), expected.end(),
                        [usage](const ExpectedKey& key) { return key.usage == usage; });
        if (!known)
            summary.unexpected.push_back(usage);
    }
    return summary;
}

} // namespace quillan
