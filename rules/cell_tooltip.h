// The tooltip of a matrix cell: where it is, its legend and, for every used
// layer, the key it sends or the text it types. The desktop's cell buttons
// and the browser page's grid cells show the same text.
#pragma once

#include "model/definition.h"

#include <string>

namespace quillan {

// One used layer in words: its key's name, "No Key", or the string it types
// ("String \"abc\""; "String N" for a number outside the string slots).
// UTF-8.
std::string layerText(const KeyboardDefinition& def, const LayerAssignment& layer);

// "Row R, column C", "Legend: L" when the cell has one, then one line
// "LAYER NAME: layerText" per used layer; lines joined with '\n'. UTF-8.
std::string cellToolTip(const KeyboardDefinition& def, int index);

} // namespace quillan
