#include "cli/edit.h"

#include "cli/commands.h"
#include "cli/session.h"
#include "model/catalogue.h"
#include "model/file_io.h"
#include "rules/string_text.h"

#include <array>
#include <cstdio>

namespace quillan::cli {

namespace {

using Kind = EditOp::Kind;

// What each operation takes: the cell address it starts with and how many
// words follow it (the value, text or name and modes).
enum class Address { None, Cell, Layer };
struct OpShape {
    const char* name;
    Kind kind;
    Address address;
    int trailing; // words after the address
    const char* synopsis;
};
// clang-format off
constexpr std::array<OpShape, 11> kOps = {{
    // name            kind                address          trailing  synopsis
    {"key",           Kind::Key,          Address::Layer,  2, "key R C L NAME MODES   key picker OK with catalogue row NAME; MODES: - or\n"
                                                              "                         a comma list of alt,ctrl,shift,base,repeat-off,altgr"},
    {"type",          Kind::Type,         Address::Layer,  1, "type R C L TEXT        key picker OK with the keys that type TEXT"},
    {"none",          Kind::None,         Address::Layer,  0, "none R C L             key picker OK with an empty list"},
    {"layer",         Kind::Layer,        Address::Layer,  1, "layer R C L 0|1        the layer's \"Used\" check box"},
    {"used",          Kind::Used,         Address::Cell,   1, "used R C 0|1           \"This key is used\""},
    {"enabled",       Kind::Enabled,      Address::Cell,   1, "enabled R C 0|1        \"Enable Key\""},
    {"legend",        Kind::Legend,       Address::Cell,   1, "legend R C TEXT        the key's legend"},
    {"string-add",    Kind::StringAdd,    Address::None,   1, "string-add TEXT        \"Add string\", then OK"},
    {"string-delete", Kind::StringDelete, Address::None,   1, "string-delete N        \"Delete string\" on entry N, then OK"},
    {"string-edit",   Kind::StringEdit,   Address::None,   2, "string-edit N TEXT     entry N's text changed to TEXT, then OK"},
    {"assign-string", Kind::AssignString, Address::Layer,  1, "assign-string R C L N  \"Assign string\" choosing entry N"},
}};
// clang-format on

const OpShape* findOp(const std::string& name) {
    for (const OpShape& shape : kOps)
        if (name == shape.name)
            return &shape;
    return nullptr;
}

bool parseNumber(const std::string& word, int low, int high, int& value) {
    if (word.empty() || word.size() > 4 ||
        word.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoi(word);
    return value >= low && value <= high;
}

bool parseModes(const std::string& word, ModeToggles& modes) {
    if (word == "-")
        return true;
    size_t start = 0;
    while (start <= word.size()) {
        const size_t end = std::min(word.find(',', start), word.size());
        const std::string mode = word.substr(start, end - start);
        if (mode == "alt")
            modes.alt = true;
        else if (mode == "ctrl")
            modes.ctrlLeft = true;
        else if (mode == "shift")
            modes.shiftLeft = true;
        else if (mode == "base")
            modes.base = true;
        else if (mode == "repeat-off")
            modes.repeatOff = true;
        else if (mode == "altgr")
            modes.altGr = true;
        else
            return false;
        start = end + 1;
    }
    return true;
}

// The address words and the trailing words of one operation into op.
std::string parseOne(const OpShape& shape, const std::string* w, EditOp& op) {
    const std::string at = std::string(shape.name) + ": ";
    int used = 0;
    if (shape.address != Address::None) {
        if (!parseNumber(w[0], 0, kRows - 1, op.row) ||
            !parseNumber(w[1], 0, kColumns - 1, op.column))
            return at + "row 0..15 and column 0..7 expected";
        used = 2;
        if (shape.address == Address::Layer) {
            if (!parseNumber(w[2], 0, kLayers - 1, op.layer))
                return at + "layer 0..3 expected";
            used = 3;
        }
    }
    const std::string* rest = w + used;
    switch (op.kind) {
    case Kind::Key:
        op.text = rest[0];
        if (findRowByName(op.text.c_str()) < 0)
            return at + "no catalogue row is named \"" + op.text + "\"";
        if (catalogueRow(findRowByName(op.text.c_str()))->keyType == STRING_KEY)
            return at + "a string is made with type or string-add, not with key";
        if (!parseModes(rest[1], op.modes))
            return at + "modes are - or a comma list of alt,ctrl,shift,base,repeat-off,altgr";
        return "";
    case Kind::StringEdit:
        if (!parseNumber(rest[0], 0, kStringSlots - 1, op.value))
            return at + "string 0..127 expected";
        ++rest;
        [[fallthrough]];
    case Kind::Type:
    case Kind::StringAdd: {
        std::u32string text;
        if (const Outcome decoded = codePointsFromUtf8(rest[0], text); !decoded)
            return at + decoded.message.text;
        if (text.empty())
            return at + "the text is empty";
        if (const Outcome typable = checkTypable(text); !typable)
            return at + typable.message.text;
        op.text.assign(text.begin(), text.end()); // every character is below 128
        return "";
    }
    case Kind::Layer:
    case Kind::Used:
    case Kind::Enabled:
        return parseNumber(rest[0], 0, 1, op.value) ? "" : at + "0 or 1 expected";
    case Kind::Legend:
        // Legends are Latin-1 in the file, as the GUI stores them.
        if (const Outcome converted = latin1FromUtf8(rest[0], op.text); !converted)
            return at + converted.message.text;
        return "";
    case Kind::StringDelete:
    case Kind::AssignString:
        return parseNumber(rest[0], 0, kStringSlots - 1, op.value) ? ""
                                                                   : at + "string 0..127 expected";
    case Kind::None:
        return "";
    }
    return "";
}

Message refused(const std::string& text, const char* caption) {
    return {text, caption, MessageIcon::Warning};
}

// The Key Settings dialog's OK after the action: legend and complete flag.
void keySettingsOk(KeyCell& cell) {
    storeCellSettings(cell, getText(cell.legend));
}

bool pickerOk(KeyboardDefinition& def, Log& log, const EditOp& op,
              const std::vector<std::string>& lines, const ModeToggles& toggles, Message& refusal) {
    PickerTarget target{op.row, op.column, op.layer, false};
    layerToList(def, target); // showing the picker sets its string flag
    const Outcome outcome = confirmPickerList(def, target, lines, toggles, log);
    if (!outcome.ok) {
        refusal = refused(outcome.message.text, "Key Macro Tool");
        return false;
    }
    keySettingsOk(def.cell(op.row, op.column));
    return true;
}

bool setCheck(KeyCell& cell, CellCheck check, int layer, int value) {
    const uint8_t now = check == CellCheck::KeyUsed     ? cell.used
                        : check == CellCheck::EnableKey ? cell.enabled
                                                        : cell.layers[layer].used;
    if ((now != 0) != (value != 0))
        flipCellCheck(cell, check, layer);
    keySettingsOk(cell);
    return true;
}

bool stringDefinition(KeyboardDefinition& def, Log& log, const EditOp& op, Message& refusal) {
    StringListEditor editor(def, log);
    const std::u32string text(op.text.begin(), op.text.end());
    Outcome done = op.kind == Kind::StringAdd    ? editor.add(text)
                   : op.kind == Kind::StringEdit ? editor.replace(op.value, text)
                                                 : editor.remove(op.value);
    if (done)
        done = editor.finish();
    if (!done)
        refusal = refused(done.message.text, "String Definition");
    return done.ok;
}

} // namespace

std::vector<std::string> linesForText(const std::string& text) {
    std::vector<std::string> lines;
    for (unsigned char c : text) {
        const CharEntry* entry = c < 128 ? charEntry(c) : nullptr;
        if (entry == nullptr || entry->row == 0)
            break;
        lines.push_back(keyLineFromModifier(catalogueName(entry->row), entry->modifier));
    }
    return lines;
}

bool parseEditOps(const std::vector<std::string>& words, std::vector<EditOp>& ops,
                  std::string& error) {
    ops.clear();
    for (size_t i = 0; i < words.size();) {
        const OpShape* shape = findOp(words[i]);
        if (shape == nullptr) {
            error = "unknown edit operation " + words[i];
            return false;
        }
        const size_t count = static_cast<size_t>(shape->address == Address::Layer  ? 3
                                                 : shape->address == Address::Cell ? 2
                                                                                   : 0) +
                             shape->trailing;
        if (i + 1 + count > words.size()) {
            error = std::string(shape->name) + " takes " + std::to_string(count) + " argument(s)";
            return false;
        }
        EditOp op;
        op.kind = shape->kind;
        error = parseOne(*shape, words.data() + i + 1, op);
        if (!error.empty())
            return false;
        ops.push_back(op);
        i += 1 + count;
    }
    if (ops.empty()) {
        error = "edit needs at least one operation";
        return false;
    }
    return true;
}

bool applyEditOp(KeyboardDefinition& def, Log& log, const EditOp& op, Message& refusal) {
    KeyCell& cell = def.cell(op.row, op.column);
    switch (op.kind) {
    case Kind::Key:
        return pickerOk(def, log, op, {keyLineFromToggles(op.text, op.modes)}, op.modes, refusal);
    case Kind::Type:
        return pickerOk(def, log, op, linesForText(op.text), {}, refusal);
    case Kind::None:
        return pickerOk(def, log, op, {}, {}, refusal);
    case Kind::Layer:
        return setCheck(cell, CellCheck::LayerUsed, op.layer, op.value);
    case Kind::Used:
        return setCheck(cell, CellCheck::KeyUsed, 0, op.value);
    case Kind::Enabled:
        return setCheck(cell, CellCheck::EnableKey, 0, op.value);
    case Kind::Legend:
        storeCellSettings(cell, op.text);
        return true;
    case Kind::StringAdd:
    case Kind::StringDelete:
    case Kind::StringEdit:
        return stringDefinition(def, log, op, refusal);
    case Kind::AssignString: {
        const PickerTarget target{op.row, op.column, op.layer, false};
        const Outcome outcome = assignStringToLayer(def, target, op.value, log);
        if (!outcome.ok)
            refusal = refused(outcome.message.text, "Key Settings");
        return outcome.ok;
    }
    }
    return false;
}

std::string editUsageText() {
    std::string text = "edit operations (R row 0..15, C column 0..7, L layer 0..3):\n";
    for (const OpShape& shape : kOps)
        text += std::string("  ") + shape.synopsis + "\n";
    return text;
}

int runEdit(const std::vector<std::string>& arguments) {
    std::vector<EditOp> ops;
    std::string error;
    if (!parseEditOps({arguments.begin() + 1, arguments.end()}, ops, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), usageText().c_str());
        return kExitUsage;
    }
    Session session;
    if (!loadDefinition(session, arguments[0]))
        return kExitFailed;
    for (const EditOp& op : ops) {
        Message refusal;
        if (!applyEditOp(session.def, session.log, op, refusal)) {
            stderrSink()(refusal);
            return kExitFailed; // nothing is saved
        }
    }
    // As the Save button: build with files (a refused build is reported, and
    // the save still packs the strings), then save. Image files that could
    // not be written fail the command after the save.
    const BuildResult built = buildDefinition(session, true);
    const bool saved = saveDefinition(session, arguments[0]);
    return saved && !built.filesFailed ? kExitOk : kExitFailed;
}

} // namespace quillan::cli
