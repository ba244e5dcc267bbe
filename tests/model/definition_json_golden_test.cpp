// A fixed document that sets every setting, mode word, LED function and
// modifier to something other than its default: the file image it imports to,
// checked field by field at the offsets of the settings file, so that two
// fields read into each other's places cannot hide behind a round trip.
#include "model/catalogue.h"
#include "model/definition_json.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace quillan;

namespace {

std::string golden() {
    std::ifstream in(std::string(QUILLAN_TEST_DATA_DIR) + "/golden.json", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

PortableDefinition imported(const std::string& text) {
    PortableDefinition definition;
    const Outcome outcome = importDefinitionJson(text, definition);
    EXPECT_TRUE(outcome.ok) << outcome.message.text;
    return definition;
}

// Little-endian number of width bytes at offset.
uint32_t at(const std::string& bytes, size_t offset, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
    return value;
}

struct Field {
    std::string what;
    size_t offset;
    int width;
    uint32_t expected;
};

constexpr size_t kCells = 144, kStringIndex = 18576, kStringChars = 18832;
size_t cellAt(int row, int column) {
    return kCells + static_cast<size_t>(row * 8 + column) * 144;
}
size_t layerAt(int row, int column, int layer) {
    return cellAt(row, column) + 64 + static_cast<size_t>(layer) * 20;
}

// A layer's bytes: used, ibmkey, keymode, keytype, scan set 2, scan set 3,
// usb, string length.
void addLayer(std::vector<Field>& fields, int row, int column, int layer,
              std::array<uint32_t, 8> v) {
    const size_t base = layerAt(row, column, layer);
    const std::string name = "key " + std::to_string(row) + "," + std::to_string(column) +
                             " layer " + std::to_string(layer) + " ";
    const std::pair<const char*, std::pair<size_t, int>> places[8] = {
        {"used", {0, 1}},        {"ibmkey", {4, 4}},      {"keymode", {8, 1}}, {"keytype", {9, 1}},
        {"scan set 2", {10, 1}}, {"scan set 3", {11, 1}}, {"usb", {12, 1}},    {"length", {16, 4}}};
    for (int i = 0; i < 8; ++i)
        fields.push_back(
            {name + places[i].first, base + places[i].second.first, places[i].second.second, v[i]});
}

void addString(std::vector<Field>& fields, int position, StringCell cell) {
    const size_t base = kStringChars + static_cast<size_t>(position) * 4;
    const std::string name = "string character " + std::to_string(position) + " ";
    fields.push_back({name + "modifier", base, 1, cell.modifier});
    fields.push_back({name + "usb", base + 1, 1, cell.characterUSB});
    fields.push_back({name + "scan set 2", base + 2, 1, cell.characterMode2});
    fields.push_back({name + "type", base + 3, 1, cell.characterType});
}

StringCell typed(char c) {
    const CharEntry& entry = *charEntry(c);
    const IbmKeyRow& row = *catalogueRow(entry.row);
    return {entry.modifier, row.usb, row.scan2, row.keyType};
}

std::vector<Field> goldenFields() {
    std::vector<Field> f = {
        {"version low", 0, 4, 0},
        {"version high", 4, 4, 4},
        {"standard repeat", 8, 4, 0},
        {"global repeat disable", 12, 4, 1},
        {"any key release", 16, 4, 1},
        {"repeat delay", 20, 4, 3},
        {"repeat rate", 24, 4, 29},
        {"debounce", 28, 4, 12},
        {"led 1", 32, 4, 1},
        {"led 2", 36, 4, 2},
        {"led 3", 40, 4, 3},
        {"led 4", 44, 4, 5},
        {"max scan rows", 56, 4, 9},
        {"prefix make/break", 60, 4, 1},
        {"pointing device", 64, 4, 2},
        {"enable", 68, 4, 2},
        {"strings", 72, 4, 2},
        {"beep length", 140, 4, 77},
        {"string 0 at", kStringIndex, 2, 2304},
        {"string 1 at", kStringIndex + 2, 2, 2304 + 3 * 4},
        {"string 2 at", kStringIndex + 4, 2, 0},
    };
    const size_t first = cellAt(0, 0), last = cellAt(15, 7);
    for (auto [base, name, enabled, used, complete, address] :
         {std::tuple{first, "key 0,0 ", 0u, 0u, 1u, 5u}, {last, "key 15,7 ", 1u, 1u, 0u, 0u}}) {
        f.push_back({std::string(name) + "enabled", base + 4, 1, enabled});
        f.push_back({std::string(name) + "used", base + 5, 1, used});
        f.push_back({std::string(name) + "complete", base + 6, 1, complete});
        f.push_back({std::string(name) + "logical address", base + 60, 1, address});
    }
    // Each mode word alone in its layer; every modifier alone in its character.
    addLayer(f, 0, 0, 0, {1, 110, 0x01, NORMAL_KEY, 0x76, 0x08, 0x29, 0});
    addLayer(f, 0, 0, 1, {1, 2, 0x02, NORMAL_KEY, 0x16, 0x16, 0x1E, 0});
    addLayer(f, 0, 0, 2, {1, 31, 0x04, NORMAL_KEY, 0x1C, 0x1C, 0x04, 0});
    addLayer(f, 0, 0, 3, {1, 30, 0x08, NORMAL_KEY, 0x58, 0x14, 0x39, 0});
    addLayer(f, 15, 7, 0, {1, 58, 0x10, CTRL_LEFT_KEY, 0x14, 0x11, 0xE0, 0});
    addLayer(f, 15, 7, 1, {1, 64, 0x20, CTRL_RIGHT_KEY, 0x14, 0x58, 0xE4, 0});
    addLayer(f, 15, 7, 2, {1, 1, 0, STRING_KEY, 0, 0, 0, 9});
    addLayer(f, 15, 7, 3, {0, 90, 0, FN2_KEY, 1, 2, 3, 0});
    addString(f, 0, typed('H'));
    addString(f, 1, typed('i'));
    addString(f, 2, {});
    for (int bit = 0; bit < 8; ++bit)
        addString(f, 3 + bit, {static_cast<uint8_t>(1 << bit), 0x2B, 0x0D, NORMAL_KEY});
    addString(f, 11, {0, 200, 201, CURSOR_KEY});
    addString(f, 12, {});
    return f;
}

TEST(GoldenDocument, ImportsToTheExpectedBytesFieldByField) {
    const PortableDefinition definition = imported(golden());
    const std::string& bytes = definition.settings;
    ASSERT_EQ(bytes.size(), 20624u);
    for (const Field& field : goldenFields())
        EXPECT_EQ(at(bytes, field.offset, field.width), field.expected) << field.what;
    EXPECT_EQ(bytes.substr(76, 11), std::string("golden.dat\0", 11));
    EXPECT_EQ(bytes.substr(108, 6), std::string("SN-42\0", 6));
    EXPECT_EQ(bytes.substr(cellAt(0, 0) + 28, 4), std::string("Esc\0", 4));
    EXPECT_EQ(bytes.substr(cellAt(15, 7) + 28, 5), std::string("Last\0", 5));
    for (int i = 0; i < kPointingBlockSize; ++i)
        EXPECT_EQ(definition.pointingBlock[i], i + 1) << "pointing block " << i;
}

TEST(GoldenDocument, ExportsItselfWithNothingRaw) {
    const std::string text = golden();
    EXPECT_EQ(exportDefinitionJson(imported(text)), text);
    EXPECT_NE(text.find("\n  \"raw\": []\n}"), std::string::npos);
}

// Fields that the document holds alike (three true flags, say) could be read
// into each other's places unseen: change one at a time, and only its bytes
// may change.
TEST(GoldenDocument, EachSettingLandsInItsOwnField) {
    struct Variant {
        std::string from, to;
        size_t offset;
        uint32_t expected;
    };
    const Variant variants[] = {
        {"\"standard repeat\": false", "\"standard repeat\": true", 8, 1},
        {"\"global repeat disable\": true", "\"global repeat disable\": false", 12, 0},
        {"\"any key release disables repeat\": true", "\"any key release disables repeat\": false",
         16, 0},
        {"\"prefix make/break\": true", "\"prefix make/break\": false", 60, 0},
        {"\"Scroll Lock LED\"]", "\"Caps Lock LED\"]", 44, 4},
        {"\"Power on LED\",", "\"No LED\",", 32, 0},
        {"\"enable\": [\"pointing device\"]", "\"enable\": [\"keyboard\"]", 68, 1},
        {"\"beep length\": 77", "\"beep length\": 0", 140, 0},
        {"\"debounce\": 12", "\"debounce\": 0", 28, 0},
        {"\"max scan rows\": 9", "\"max scan rows\": 16", 56, 16},
    };
    const std::string text = golden();
    const std::string base = imported(text).settings;
    for (const Variant& v : variants) {
        std::string changed = text;
        const size_t place = changed.find(v.from);
        ASSERT_NE(place, std::string::npos) << v.from;
        changed.replace(place, v.from.size(), v.to);
        const std::string bytes = imported(changed).settings;
        ASSERT_EQ(bytes.size(), base.size());
        EXPECT_EQ(at(bytes, v.offset, 4), v.expected) << v.to;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i < v.offset || i >= v.offset + 4) {
                ASSERT_EQ(bytes[i], base[i]) << v.to << ": byte " << i << " changed too";
            }
        }
    }
}

} // namespace
