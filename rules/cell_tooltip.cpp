#include "rules/cell_tooltip.h"

#include "model/catalogue.h"
#include "model/file_io.h"
#include "model/key_labels.h"
#include "model/string_store.h"
#include "rules/string_text.h"

namespace quillan {

std::string layerText(const KeyboardDefinition& def, const LayerAssignment& layer) {
    if (layer.keytype == STRING_KEY) {
        const int slot = layer.ibmkey;
        if (slot < 0 || slot >= kStringSlots)
            return "String " + std::to_string(slot);
        const int length = workingStringLength(def, slot);
        const StringCells cells(def.stringSlots[slot].begin(),
                                def.stringSlots[slot].begin() + length);
        std::string text = "String \"";
        for (char32_t c : displayText(cells))
            text += utf8FromCodePoint(c);
        return text + "\"";
    }
    if (layer.keytype == UNUSED_KEY)
        return "No Key";
    return describedKeyName(layer.ibmkey);
}

std::string cellToolTip(const KeyboardDefinition& def, int index) {
    const KeyCell& cell = def.cells[index];
    std::string text =
        "Row " + std::to_string(index / kColumns) + ", column " + std::to_string(index % kColumns);
    const std::string legend = getText(cell.legend);
    if (!legend.empty())
        text += "\nLegend: " + utf8FromLatin1(legend);
    for (int layer = 0; layer < kLayers; ++layer)
        if (cell.layers[layer].used)
            text +=
                std::string("\n") + kLayerNames[layer] + ": " + layerText(def, cell.layers[layer]);
    return text;
}

} // namespace quillan
