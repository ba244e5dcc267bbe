// The difference of two definitions in words, worked out on their JSON
// documents so that it names things as the document does.
#include "model/definition_json_fields.h"

#include <map>

namespace quillan::json_form {
namespace {

using Lines = std::vector<std::string>;

const char* const kArrow = " \xE2\x86\x92 "; // " → "

std::string shown(const Json* value) {
    return value ? value->dump() : "(none)";
}

void compare(Lines& lines, const std::string& what, const Json* a, const Json* b) {
    if ((a == nullptr && b == nullptr) || (a && b && *a == *b))
        return;
    lines.push_back(what + ": " + shown(a) + kArrow + shown(b));
}

const Json* field(const Json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

void diffSettings(Lines& lines, const Json& a, const Json& b) {
    for (const auto& item : a.items()) {
        const Json& va = item.value();
        const Json& vb = b.at(item.key());
        const std::string what = "setting " + item.key();
        if (va.is_array() && vb.is_array() && va.size() == vb.size() && item.key() != "enable") {
            for (size_t i = 0; i < va.size(); ++i)
                compare(lines, what + " " + std::to_string(i + 1), &va[i], &vb[i]);
        } else {
            compare(lines, what, &va, &vb);
        }
    }
}

void diffStrings(Lines& lines, const Json& a, const Json& b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        compare(lines, "string " + std::to_string(i), i < a.size() ? &a[i] : nullptr,
                i < b.size() ? &b[i] : nullptr);
}

// A layer in words: "IBM Key 32 +shift", "string 2", "unused No Key".
std::string layerWords(const Json* layer) {
    if (layer == nullptr)
        return "none";
    std::string words = layer->at("used").get<bool>() ? "" : "unused ";
    if (const Json* key = field(*layer, "key"))
        words += key->get<std::string>();
    else
        words += "string " + layer->at("string").dump();
    for (const Json& mode : layer->at("modes"))
        words += " +" + mode.get<std::string>();
    for (const char* name : {"type", "scan set 2", "scan set 3", "usb", "string length"})
        if (const Json* value = field(*layer, name))
            words += std::string(" ") + name + " " +
                     (value->is_string() ? value->get<std::string>() : value->dump());
    return words;
}

using CellMap = std::map<std::pair<int, int>, Json>;

CellMap cellsByPosition(const Json& keys) {
    CellMap cells;
    for (const Json& cell : keys)
        cells[{cell.at("row").get<int>(), cell.at("column").get<int>()}] = cell;
    return cells;
}

void diffCell(Lines& lines, const std::string& name, const Json& a, const Json& b) {
    for (const char* f : {"legend", "used", "enabled", "complete", "logical address"})
        compare(lines, name + " " + f, field(a, f), field(b, f));
    const Json& la = a.at("layers");
    const Json& lb = b.at("layers");
    for (const char* layer : kLayerKeys) {
        const Json* x = field(la, layer);
        const Json* y = field(lb, layer);
        if ((x || y) && !(x && y && *x == *y))
            lines.push_back(name + " " + layer + ": " + layerWords(x) + kArrow + layerWords(y));
    }
}

void diffKeys(Lines& lines, const Json& a, const Json& b) {
    const CellMap ca = cellsByPosition(a);
    const CellMap cb = cellsByPosition(b);
    for (int index = 0; index < kCells; ++index) {
        const std::pair<int, int> at{index / kColumns, index % kColumns};
        const auto x = ca.find(at);
        const auto y = cb.find(at);
        if (x == ca.end() && y == cb.end())
            continue;
        const Json base = cellToJson(baseCell(index), index);
        diffCell(lines, "key " + std::to_string(at.first) + "," + std::to_string(at.second),
                 x == ca.end() ? base : x->second, y == cb.end() ? base : y->second);
    }
}

void diffRaw(Lines& lines, const Json& a, const Json& b) {
    std::map<std::pair<std::string, int>, std::pair<const Json*, const Json*>> entries;
    for (const Json& e : a)
        entries[{e.at("at").get<std::string>(), e.at("offset").get<int>()}].first = &e.at("bytes");
    for (const Json& e : b)
        entries[{e.at("at").get<std::string>(), e.at("offset").get<int>()}].second = &e.at("bytes");
    for (const auto& [where, values] : entries)
        compare(lines, "raw " + where.first + " +" + std::to_string(where.second), values.first,
                values.second);
}

} // namespace
} // namespace quillan::json_form

namespace quillan {

std::vector<std::string> diffDefinitions(const PortableDefinition& a, const PortableDefinition& b) {
    using namespace json_form;
    const Json da = exportDocument(a);
    const Json db = exportDocument(b);
    Lines lines;
    if (da == db)
        return lines;
    diffSettings(lines, da.at("settings"), db.at("settings"));
    diffStrings(lines, da.at("strings"), db.at("strings"));
    diffKeys(lines, da.at("keys"), db.at("keys"));
    diffRaw(lines, da.at("raw"), db.at("raw"));
    if (lines.empty())
        lines.push_back("the definitions differ"); // not reached while the document is complete
    return lines;
}

} // namespace quillan
