#include "app/key_check.h"

#include "gui/key_events.h"
#include "model/catalogue.h"
#include "rules/key_assignment.h"

#include <algorithm>
#include <cstdio>

namespace quillan {

std::vector<ExpectedKey> expectedKeys(const KeyboardDefinition& def) {
    std::vector<ExpectedKey> keys;
    for (int index = 0; index < kCells; ++index) {
        const KeyCell& cell = def.cells[index];
        const LayerAssignment& layer = cell.layers[0];
        if (!cell.used || !cell.enabled || !layer.used || layer.keytype == STRING_KEY)
            continue;
        const KeyUsage usage = usageOfRow(layer.ibmkey);
        if (usage.valid())
            keys.push_back({index, usage});
    }
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
