// Key assignment rules between a layer and the key picker's key lines.
#include "rules/key_assignment.h"

#include "model/catalogue.h"
#include "rules/string_text.h"

#include <cstdio>

namespace quillan {
namespace {

// The catalogue row a string character is listed under: the first row with
// its USB code and key type, else the first row with its USB code; -1.
int rowOfStringCell(const StringCell& cell) {
    const std::vector<int> rows = rowsByUsb(cell.characterUSB);
    for (int row : rows)
        if (catalogueRow(row)->keyType == cell.characterType)
            return row;
    return rows.empty() ? -1 : rows.front();
}

bool validCell(int row, int column) {
    return row >= 0 && row < kRows && column >= 0 && column < kColumns;
}
bool validSlot(int slot) {
    return slot >= 0 && slot < kStringSlots;
}

std::string altGrColumn(bool on) {
    return on ? "\tAlt Gr\t" : "\t\t";
}

// To assign IBM key k: its catalogue key type and codes.
void assignIbmKey(LayerAssignment& layer, int row) {
    const IbmKeyRow* entry = catalogueRow(row);
    if (entry == nullptr)
        return;
    layer.keytype = entry->keyType;
    layer.ibmkey = row;
    layer.scan2code = entry->scan2;
    layer.scan3code = entry->scan3;
    layer.usbcode = entry->usb;
}

void makeNoKey(LayerAssignment& layer) {
    layer.keytype = UNUSED_KEY;
    layer.ibmkey = 0;
    layer.keymode = 0;
    layer.scan2code = 0;
    layer.scan3code = 0;
    layer.usbcode = 0;
}

// The modifier key of the first checked modifier toggle.
int modifierKeyOf(const ModeToggles& t) {
    if (t.alt)
        return kIbmLeftAlt;
    if (t.altGr)
        return kIbmRightAlt;
    if (t.shiftLeft)
        return kIbmLeftShift;
    if (t.shiftRight)
        return kIbmRightShift;
    if (t.ctrlLeft)
        return kIbmLeftCtrl;
    return kIbmRightCtrl;
}

void assignModifierKey(LayerAssignment& layer, const ModeToggles& toggles) {
    assignIbmKey(layer, modifierKeyOf(toggles));
    layer.keymode = 0;
}

// A single key from a line. After a string only "Ctrl l" / "Shift l" give
// the layer CTRL / SHIFT; otherwise either side does. A Ctrl or Shift key
// never carries its own mode bit.
void singleKeyFromLine(LayerAssignment& layer, const std::string& line, bool afterString) {
    const int row = findRowByName(lineName(line).c_str());
    if (row >= 0)
        assignIbmKey(layer, row);
    else if (afterString)
        makeNoKey(layer); // the string is given up: there is no key left to keep
    layer.keymode = 0;
    const auto cols = lineColumns(line);
    const int key = layer.ibmkey;
    const bool ctrlKey = key == kIbmLeftCtrl || key == kIbmRightCtrl;
    const bool shiftKey = key == kIbmLeftShift || key == kIbmRightShift;
    const bool ctrl = afterString ? cols[1] == "Ctrl l" : !cols[1].empty();
    const bool shift = afterString ? cols[2] == "Shift l" : !cols[2].empty();
    if (!cols[0].empty())
        layer.keymode |= MODE_ALT;
    if (ctrl && !ctrlKey)
        layer.keymode |= MODE_CTRL;
    if (shift && !shiftKey)
        layer.keymode |= MODE_SHIFT;
    if (!cols[3].empty())
        layer.keymode |= MODE_BASE;
    if (!cols[4].empty())
        layer.keymode |= MODE_REPEAT_OFF;
    if (!cols[5].empty())
        layer.keymode |= MODE_ALT_GR;
}

// A string character from a line; with an unknown name the key codes of
// the cell stay as they were.
void stringCharFromLine(StringCell& cell, const std::string& line) {
    if (const IbmKeyRow* entry = catalogueRow(findRowByName(lineName(line).c_str()))) {
        cell.characterMode2 = entry->scan2;
        cell.characterUSB = entry->usb;
        cell.characterType = entry->keyType;
    }
    const auto cols = lineColumns(line);
    cell.modifier = 0;
    if (!cols[0].empty())
        cell.modifier |= MOD_LEFT_ALT;
    if (!cols[1].empty())
        cell.modifier |= cols[1].size() > 5 && cols[1][5] == 'l' ? MOD_LEFT_CTRL : MOD_RIGHT_CTRL;
    if (!cols[2].empty())
        cell.modifier |= cols[2].size() > 6 && cols[2][6] == 'l' ? MOD_LEFT_SHIFT : MOD_RIGHT_SHIFT;
    if (!cols[5].empty())
        cell.modifier |= MOD_RIGHT_ALT;
}

// The cells of a string from the lines; each starts from the cell the slot
// holds at its place, so a line naming no catalogue row keeps those codes.
StringCells stringFromLines(const StringSlot& slot, const std::vector<std::string>& lines) {
    StringCells cells(slot.begin(), slot.begin() + lines.size());
    for (size_t j = 0; j < lines.size(); ++j)
        stringCharFromLine(cells[j], lines[j]);
    return cells;
}

std::string format(const char* fmt, int a, int b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

// Fails with why a string of lineCount keys cannot be stored. keptSlot is
// the layer's own slot, -1 when a new slot is needed.
Outcome stringRefusal(const KeyboardDefinition& def, int lineCount, int keptSlot) {
    if (lineCount > kMaxStringKeys)
        return Outcome::failure(format("A string holds at most %d keys; this list has %d lines.",
                                       kMaxStringKeys, lineCount));
    return stringChangeRefusal(def, keptSlot, lineCount);
}

void listToStringLayer(KeyboardDefinition& def, LayerAssignment& layer,
                       const std::vector<std::string>& lines, const ModeToggles& toggles,
                       Log& log) {
    const size_t n = lines.size();
    if (n == 0 && toggles.anyModifier()) {
        releaseString(def, layer.ibmkey, layer);
        assignModifierKey(layer, toggles);
    } else if (n == 0) {
        releaseString(def, layer.ibmkey, layer);
        layer.keytype = UNUSED_KEY;
        layer.ibmkey = 0;
        layer.keymode = 0;
        layer.stringcharcount = 0;
        log.trace("( bIBMKey = %d\n", 0);
    } else if (n == 1) {
        releaseString(def, layer.ibmkey, layer);
        singleKeyFromLine(layer, lines[0], true);
        log.trace("! bIBMKey = %d\n", layer.ibmkey);
    } else {
        layer.stringcharcount = static_cast<int32_t>(n);
        rewriteString(def, layer.ibmkey, stringFromLines(def.stringSlots[layer.ibmkey], lines));
    }
}

void listToKeyLayer(KeyboardDefinition& def, LayerAssignment& layer,
                    const std::vector<std::string>& lines, const ModeToggles& toggles, Log& log) {
    const size_t n = lines.size();
    if (n == 0 && toggles.anyModifier()) {
        assignModifierKey(layer, toggles);
    } else if (n == 0) {
        makeNoKey(layer);
        log.trace("# bIBMKey = %d\n", 0);
    } else if (n == 1) {
        singleKeyFromLine(layer, lines[0], false);
        log.trace("$ bIBMKey = %d\n", layer.ibmkey);
    } else {
        const int slot = findFreeStringSlot(def);
        allocateString(def, stringFromLines(def.stringSlots[slot], lines));
        layer.ibmkey = slot;
        log.trace("new string idx %d\n", slot);
        layer.keytype = STRING_KEY;
        layer.scan2code = 0;
        layer.scan3code = 0;
        layer.usbcode = 0;
        layer.stringcharcount = static_cast<int32_t>(n);
    }
}

} // namespace

std::string lineName(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

std::array<std::string, kKeyLineColumns> lineColumns(const std::string& line) {
    std::array<std::string, kKeyLineColumns> cols;
    size_t pos = line.find('\t');
    for (int c = 0; c < kKeyLineColumns && pos != std::string::npos; ++c) {
        const size_t next = line.find('\t', pos + 1);
        cols[c] =
            line.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
        pos = next;
    }
    return cols;
}

std::string keyLineFromMode(const std::string& name, uint8_t keymode) {
    std::string line = name;
    line += keymode & MODE_ALT ? "\tAlt" : "\t";
    line += keymode & MODE_CTRL ? "\tCtrl l" : "\t";
    line += keymode & MODE_SHIFT ? "\tShift l" : "\t";
    line += keymode & MODE_BASE ? "\tBase" : "\t";
    line += keymode & MODE_REPEAT_OFF ? "\tRep Off" : "\t";
    line += altGrColumn(keymode & MODE_ALT_GR);
    return line;
}

std::string keyLineFromModifier(const std::string& name, uint8_t modifier) {
    std::string line = name;
    line += modifier & MOD_LEFT_ALT ? "\tAlt" : "\t";
    line += modifier & MOD_LEFT_CTRL ? "\tCtrl l" : modifier & MOD_RIGHT_CTRL ? "\tCtrl r" : "\t";
    line += modifier & MOD_LEFT_SHIFT    ? "\tShift l"
            : modifier & MOD_RIGHT_SHIFT ? "\tShift r"
                                         : "\t";
    line += "\t\t"; // Base and Rep Off do not exist for string characters
    line += altGrColumn(modifier & MOD_RIGHT_ALT);
    return line;
}

std::string keyLineFromToggles(const std::string& name, const ModeToggles& t) {
    std::string line = name;
    line += t.alt ? "\tAlt" : "\t";
    line += t.ctrlLeft ? "\tCtrl l" : t.ctrlRight ? "\tCtrl r" : "\t";
    line += t.shiftLeft ? "\tShift l" : t.shiftRight ? "\tShift r" : "\t";
    line += t.base ? "\tBase" : "\t";
    line += t.repeatOff ? "\tRep Off" : "\t";
    line += altGrColumn(t.altGr);
    return line;
}

ModeToggles togglesFromLine(const std::string& line) {
    const auto cols = lineColumns(line);
    ModeToggles t;
    t.alt = cols[0].starts_with('A');
    if (cols[1].starts_with('C')) {
        t.ctrlLeft = cols[1].size() > 5 && cols[1][5] == 'l';
        t.ctrlRight = !t.ctrlLeft;
    }
    if (cols[2].starts_with('S')) {
        t.shiftLeft = cols[2].size() > 6 && cols[2][6] == 'l';
        t.shiftRight = !t.shiftLeft;
    }
    t.base = cols[3].starts_with('B');
    t.repeatOff = cols[4].starts_with('R');
    t.altGr = cols[5].starts_with('A');
    return t;
}

std::vector<std::string> layerToList(const KeyboardDefinition& def, PickerTarget& target) {
    std::vector<std::string> lines;
    target.stringFlag = false;
    if (!validCell(target.row, target.column) || target.layer < 0 || target.layer >= kLayers)
        return lines;
    const LayerAssignment& layer = def.cell(target.row, target.column).layers[target.layer];
    if (layer.keytype == STRING_KEY) {
        target.stringFlag = true;
        if (!validSlot(layer.ibmkey))
            return lines;
        for (const StringCell& cell : def.stringSlots[layer.ibmkey]) {
            if (cell.isZero())
                break;
            const int row = rowOfStringCell(cell);
            if (row >= 0)
                lines.push_back(keyLineFromModifier(catalogueName(row), cell.modifier));
        }
        return lines;
    }
    if (layer.ibmkey != 0 && catalogueRow(layer.ibmkey) != nullptr)
        lines.push_back(keyLineFromMode(catalogueName(layer.ibmkey), layer.keymode));
    return lines;
}

Outcome listToLayer(KeyboardDefinition& def, const PickerTarget& target,
                    const std::vector<std::string>& lines, const ModeToggles& toggles, Log& log) {
    if (!validCell(target.row, target.column) || target.layer < 0 || target.layer >= kLayers)
        return Outcome::failure("No key cell is being edited.");
    LayerAssignment& layer = def.cell(target.row, target.column).layers[target.layer];
    // A string layer keeps its slot for a new string; one whose slot number
    // lies outside the store takes a new slot like any other layer.
    const bool keepSlot = target.stringFlag && validSlot(layer.ibmkey);
    const int n = static_cast<int>(lines.size());
    if (n > 1) {
        if (Outcome fits = stringRefusal(def, n, keepSlot ? layer.ibmkey : -1); !fits)
            return fits;
    }
    if (keepSlot || (target.stringFlag && n <= 1))
        listToStringLayer(def, layer, lines, toggles, log);
    else
        listToKeyLayer(def, layer, lines, toggles, log);
    return {};
}

Outcome assignStringToLayer(KeyboardDefinition& def, const PickerTarget& target, int chosen,
                            Log& log) {
    if (!validCell(target.row, target.column) || target.layer < 0 || target.layer >= kLayers)
        return Outcome::failure("No key cell is being edited.");
    LayerAssignment& layer = def.cell(target.row, target.column).layers[target.layer];
    if (layer.keytype != STRING_KEY)
        return Outcome::failure("Only a String Key layer can be assigned a string.");
    const int listed = static_cast<int>(selectableStrings(def).size());
    if (chosen < -1 || chosen >= listed)
        return Outcome::failure(
            format("There is no string %d; the list holds %d strings.", chosen, listed));
    if (chosen >= 0) // nothing chosen keeps the string the layer had
        layer.ibmkey = chosen;
    log.trace("^%d bIBMKey = %d\n", target.layer + 1, layer.ibmkey);
    return {};
}

uint8_t flipCellCheck(KeyCell& cell, CellCheck check, int layer) {
    uint8_t& flag = check == CellCheck::KeyUsed     ? cell.used
                    : check == CellCheck::EnableKey ? cell.enabled
                                                    : cell.layers[layer].used;
    flag = flag ? 0 : 1;
    return flag;
}

void storeCellSettings(KeyCell& cell, const std::string& legend) {
    setText(cell.legend, legend);
    cell.complete = cellComplete(cell) ? 1 : 0;
}

bool cellComplete(const KeyCell& cell) {
    if (!cell.used)
        return false;
    bool anyUsed = false;
    for (const LayerAssignment& layer : cell.layers) {
        if (!layer.used)
            continue;
        anyUsed = true;
        if ((layer.ibmkey == 0 && layer.keytype != STRING_KEY) || layer.keytype == UNUSED_KEY)
            return false;
    }
    return anyUsed;
}

bool stepToEnabledCell(const KeyboardDefinition& def, int& row, int& column, int direction) {
    const int start = row * kColumns + column;
    for (int step = 1; step <= kCells; ++step) {
        const int index = ((start + direction * step) % kCells + kCells) % kCells;
        if (def.cells[index].enabled) {
            row = index / kColumns;
            column = index % kColumns;
            return true;
        }
    }
    return false;
}

void markLayerUsedByKey(KeyboardDefinition& def, const PickerTarget& target) {
    LayerAssignment& layer = def.cell(target.row, target.column).layers[target.layer];
    layer.used = layer.keytype == UNUSED_KEY ? 0 : 1;
}

Outcome confirmPickerList(KeyboardDefinition& def, const PickerTarget& target,
                          const std::vector<std::string>& lines, const ModeToggles& toggles,
                          Log& log) {
    const Outcome outcome = listToLayer(def, target, lines, toggles, log);
    if (outcome.ok)
        markLayerUsedByKey(def, target);
    return outcome;
}

} // namespace quillan
