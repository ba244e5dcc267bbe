// The readable copy of a settings file, "Saved.txt".
#include "model/catalogue.h"
#include "model/settings_file.h"

#include <cstdarg>
#include <cstdio>

namespace quillan {
namespace {

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void appendf(std::string& out, const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length > 0)
        out.append(buffer, std::min<size_t>(length, sizeof buffer - 1));
}

void appendHeader(std::string& out, const HeaderRecord& header) {
    out += "[Header]\n";
    appendf(out, "Version = %d.%d\n", 4, 0);
    appendf(out, "StdRepeat = %d\n", header.StdRepeat);
    appendf(out, "GlobalRepeatDisable = %d\n", header.GlobalRepeatDisable);
    appendf(out, "AnyKeyRelease = %d\n", header.AnyKeyRelease);
    appendf(out, "DefRepDelay = %d\n", header.DefRepDelay);
    appendf(out, "DefRepRate = %d\n", header.DefRepRate);
    appendf(out, "DebounceTime = %d\n", header.DebounceTime);
    appendf(out, "Led1 = %d\n", header.Led1);
    appendf(out, "Led2 = %d\n", header.Led2);
    appendf(out, "Led3 = %d\n", header.Led3);
    appendf(out, "Led4 = %d\n", header.Led4);
    appendf(out, "MaxScanRow = %d\n", header.MaxScanRow);
    appendf(out, "PrefixMakeBreak = %d\n", header.PrefixMakeBreak);
    appendf(out, "PointDevice = %d\n", header.PointDevice);
    appendf(out, "EnableBits = %d\n", header.EnableBits);
    appendf(out, "NumberOfStrings = %d\n", header.NumberOfStrings);
    appendf(out, "BeepLength = %d\n", header.BeepLength);
}

void appendKeys(std::string& out, const KeyboardDefinition& def) {
    out += "\n\n[Key]\n";
    out += "# row , column = legend , used , enabled , complete , logical address\n";
    out += "#\t[fn2,fn1] used , ibmkey , keymode , keytype , scan2code , scan3code , usbcode , "
           "stringcharcount\n";
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const KeyCell& cell = def.cell(row, column);
            appendf(out, " %2d , %d = %s , %d , %d , %d , %3d\n", row, column,
                    getText(cell.legend).c_str(), cell.used, cell.enabled, cell.complete,
                    cell.logicalAddress);
            for (int layer = 0; layer < kLayers; ++layer) {
                const LayerAssignment& l = cell.layers[layer];
                appendf(out, "\t[%d,%d] %2d %2d %2d %32s %3d %3d %3d %d\n", layer / 2, layer % 2,
                        l.used, l.ibmkey, l.keymode, keyTypeName(l.keytype), l.scan2code,
                        l.scan3code, l.usbcode, l.stringcharcount);
            }
        }
    }
}

void appendStrings(std::string& out, const KeyboardDefinition& def) {
    out += "\n\n[StringIndex]";
    for (int line = 0; line < kStringSlots / 8; ++line) {
        out += "\n";
        for (int entry = 0; entry < 8; ++entry)
            appendf(out, " %d", def.stringIndex[line * 8 + entry]);
    }
    // The last index line is ended here, then two empty lines.
    out += "\n\n\n[StringChar]\n";
    out += "# modifier ,  characterUSB , characterMode2 , characterType\n";
    for (int entry = 0; entry < kStringCells; ++entry) {
        const StringCell& cell = def.stringChars[entry];
        appendf(out, "%4d %3d %3d %3d %3d \n", 2304 + 4 * entry, cell.modifier, cell.characterUSB,
                cell.characterMode2, cell.characterType);
    }
}

} // namespace

std::string savedText(const KeyboardDefinition& def) {
    std::string out;
    out.reserve(64 * 1024);
    appendHeader(out, def.header);
    appendKeys(out, def);
    appendStrings(out, def);
    return out;
}

} // namespace quillan
