#include "model/definition.h"

#include <algorithm>
#include <cstring>

namespace quillan {

void setText(char* field, int size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min<size_t>(text.size(), size - 1));
}

std::string getText(const char* field, int size) {
    const char* end = static_cast<const char*>(std::memchr(field, 0, size - 1));
    return std::string(field, end ? end - field : size - 1);
}

void resetMatrix(KeyboardDefinition& def) {
    for (KeyCell& cell : def.cells) {
        cell.enabled = 1;
        cell.used = 1;
        cell.complete = 0;
        setText(cell.legend, "Nothing");
        for (LayerAssignment& layer : cell.layers) {
            layer.used = 0;
            layer.ibmkey = 0;
            layer.keymode = 0;
            layer.keytype = 15;
            layer.stringcharcount = 0;
        }
    }
}

void setDefaultPointingBlock(KeyboardDefinition& def) {
    def.pointingBlock.fill(0);
    for (int i = 0; i < 8; ++i)
        def.pointingBlock[i] = (i % 2 == 0) ? 13 : 1;
    for (int i = 16; i < 20; ++i)
        def.pointingBlock[i] = 120;
}

void initStartupDefinition(KeyboardDefinition& def, ControlValues& controls) {
    for (int index = 0; index < kCells; ++index) {
        KeyCell& cell = def.cells[index];
        const int row = index / kColumns;
        const int column = index % kColumns;
        cell.windowHandle = 0;
        cell.controlId = kFirstCellControlId + index;
        cell.x = 40 + column * 20;
        cell.y = 40 + row * 20;
        cell.width = 16;
        cell.height = 16;
    }
    resetMatrix(def);
    def.stringIndex.fill(0);
    def.stringChars.fill(StringCell{});
    def.EnableBits = 1;
    def.StdRepeat = 1;
    def.GlobalRepeatDisable = 0;
    def.AnyKeyRelease = 0;
    def.PrefixMakeBreak = 0;
    def.Led.fill(0);
    def.BeepLength = 0;
    clearStringDefinitions(def, true);
    def.packedStringsCurrent = true; // both forms are empty
    setDefaultPointingBlock(def);
    controls = ControlValues{};
}

void newDefinition(KeyboardDefinition& def, ControlValues& controls) {
    resetMatrix(def);
    clearStringDefinitions(def, true);
    def.NumberOfStrings = 0;
    def.StdRepeat = 1;
    def.GlobalRepeatDisable = 0;
    def.AnyKeyRelease = 0;
    def.PrefixMakeBreak = 0;
    def.Led.fill(0);
    const std::string serial = controls.serialNumber;
    controls = ControlValues{};
    controls.serialNumber = serial;
}

} // namespace quillan
