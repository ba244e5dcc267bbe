// The JSON form: byte-identical round trips over random definitions of every
// shape, stable output, refusals and the difference in words.
#include "model/catalogue.h"
#include "model/definition_json.h"
#include "model/settings_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

using namespace quillan;

namespace {

std::string randomBytes(std::mt19937& rng, size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

void setVersion(std::string& bytes, int high, int low) {
    bytes[0] = static_cast<char>(low);
    bytes[4] = static_cast<char>(high);
    for (int i : {1, 2, 3, 5, 6, 7})
        bytes[i] = 0;
}

void expectRoundTrip(const PortableDefinition& definition, const std::string& what) {
    const std::string text = exportDefinitionJson(definition);
    PortableDefinition back;
    const Outcome read = importDefinitionJson(text, back);
    ASSERT_TRUE(read) << what << ": " << read.message.text;
    ASSERT_EQ(back.settings.size(), definition.settings.size()) << what;
    EXPECT_TRUE(back == definition) << what;
    EXPECT_EQ(exportDefinitionJson(back), text) << what << ": export is not stable";
}

// A definition as the editor makes it: catalogue keys with their codes,
// string keys, modes, legends and strings of text and of odd keys.
struct SaneDefinition {
    std::unique_ptr<KeyboardDefinition> def = std::make_unique<KeyboardDefinition>();
    ControlValues controls;
    explicit SaneDefinition(std::mt19937& rng) {
        initStartupDefinition(*def, controls);
        controls.DebounceTime = static_cast<int>(rng() % 256);
        controls.DefRepRate = static_cast<int>(rng() % 32);
        controls.serialNumber = "S-" + std::to_string(rng() % 1000);
        def->Led[rng() % 4] = static_cast<int32_t>(rng() % 6);
        def->EnableBits = static_cast<uint8_t>(rng() % 4);
        const int strings = static_cast<int>(rng() % 4);
        int p = 0;
        for (int s = 0; s < strings; ++s) {
            def->stringIndex[s] = static_cast<uint16_t>(2304 + 4 * p);
            for (int n = static_cast<int>(rng() % 6); n > 0; --n) {
                const IbmKeyRow& row = *catalogueRow(1 + static_cast<int>(rng() % 129));
                def->stringChars[p++] = {static_cast<uint8_t>(rng() % 3), row.usb, row.scan2,
                                         row.keyType};
            }
            def->stringChars[p++] = StringCell{};
        }
        def->NumberOfStrings = strings;
        for (int n = static_cast<int>(rng() % 20); n > 0; --n)
            randomCell(rng, def->cells[rng() % kCells], strings);
    }
    void randomCell(std::mt19937& rng, KeyCell& cell, int strings) {
        setText(cell.legend, std::string(1 + rng() % 8, static_cast<char>('a' + rng() % 26)));
        cell.complete = rng() % 2;
        cell.logicalAddress = static_cast<uint8_t>(rng() % 3);
        LayerAssignment& layer = cell.layers[rng() % kLayers];
        layer.used = 1;
        layer.keymode = static_cast<uint8_t>(rng() % 64);
        const int row = static_cast<int>(rng() % kCatalogueRows);
        const bool string = strings > 0 && rng() % 4 == 0;
        const IbmKeyRow& k = *catalogueRow(string ? 133 : row == 133 ? 0 : row);
        layer.ibmkey = string ? static_cast<int32_t>(rng() % strings) : k.ibmKey;
        layer.keytype = k.keyType;
        layer.scan2code = rng() % 5 ? k.scan2 : static_cast<uint8_t>(rng());
        layer.scan3code = k.scan3;
        layer.usbcode = k.usb;
    }
    PortableDefinition portable() { return {encodeSettings(*def, controls), def->pointingBlock}; }
};

constexpr const char* kSmallDocument = R"({
  "format": "quillan-definition",
  "version": 1,
  "settings": {"debounce": 30, "file name": "t.dat"},
  "strings": ["abc"],
  "keys": [
    {"row": 0, "column": 0, "legend": "A",
     "layers": {"no-fn": {"key": "IBM Key 31", "modes": []}, "fn1": {"string": 0}}}
  ]
})";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

PortableDefinition imported(const std::string& text) {
    PortableDefinition definition;
    const Outcome read = importDefinitionJson(text, definition);
    EXPECT_TRUE(read) << read.message.text;
    return definition;
}

} // namespace

TEST(DefinitionJson, RandomFileImagesRoundTripByteForByte) {
    std::mt19937 rng(11);
    for (int i = 0; i < 30; ++i) {
        std::string bytes = randomBytes(rng, kSettingsFileSize);
        setVersion(bytes, 4, 0);
        PortableDefinition definition{bytes, {}};
        for (uint8_t& b : definition.pointingBlock)
            b = static_cast<uint8_t>(rng());
        expectRoundTrip(definition, "random image " + std::to_string(i));
    }
}

TEST(DefinitionJson, ConvertedOldVersionsRoundTrip) {
    struct Shape {
        int high, low;
        size_t size;
    };
    const Shape shapes[] = {{1, 0, 28732}, {1, 0, 32316}, {1, 1, 32316},
                            {1, 2, 32316}, {1, 3, 32324}, {2, 0, 34376},
                            {2, 1, 34444}, {2, 2, 34448}, {4, 0, 20624}};
    std::mt19937 rng(7);
    for (const Shape& shape : shapes) {
        std::string bytes = randomBytes(rng, shape.size);
        setVersion(bytes, shape.high, shape.low);
        PortableDefinition definition;
        ASSERT_TRUE(currentVersionImage(bytes, "old.dat", definition.settings))
            << shape.high << "." << shape.low;
        expectRoundTrip(definition,
                        "version " + std::to_string(shape.high) + "." + std::to_string(shape.low));
    }
}

TEST(DefinitionJson, EditorDefinitionsNeedNoRawSectionAndLoadAlike) {
    std::mt19937 rng(3);
    for (int i = 0; i < 40; ++i) {
        SaneDefinition sane(rng);
        const PortableDefinition definition = sane.portable();
        expectRoundTrip(definition, "definition " + std::to_string(i));
        EXPECT_NE(exportDefinitionJson(definition).find("\"raw\": []"), std::string::npos);
    }
}

TEST(DefinitionJson, OneEditedKeyIsOneHunkAndKeysAreInOrder) {
    std::mt19937 rng(5);
    SaneDefinition sane(rng);
    const std::string before = exportDefinitionJson(sane.portable());
    KeyCell& cell = sane.def->cell(9, 4);
    cell.layers[2].used = 1;
    cell.layers[2].ibmkey = 32;
    cell.layers[2].keytype = catalogueRow(32)->keyType;
    cell.layers[2].scan2code = catalogueRow(32)->scan2;
    const std::string after = exportDefinitionJson(sane.portable());
    ASSERT_EQ(after.back(), '\n');

    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    };
    const auto a = lines(before);
    const auto b = lines(after);
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    EXPECT_LE(b.size() - head - tail, 20u) << "one key's lines, not more";

    int last = -1;
    size_t at = 0;
    while ((at = after.find("\"row\": ", at)) != std::string::npos) {
        const int row = std::stoi(after.substr(at + 7));
        const int column = std::stoi(after.substr(after.find("\"column\": ", at) + 10));
        EXPECT_LT(last, row * 8 + column);
        last = row * 8 + column;
        ++at;
    }
}

TEST(DefinitionJson, RefusalsNameThePathAndChangeNothing) {
    struct Case {
        std::string from;
        std::string to;
        std::string message;
    };
    const Case cases[] = {
        {"\"version\": 1,", "\"version\": 1", "line 4, column 12: syntax error"},
        {"quillan-definition", "other", "format: "},
        {"\"version\": 1", "\"version\": 2", "version: unsupported version 2"},
        {"\"debounce\": 30", "\"debounce\": 30, \"debounce\": 31",
         "settings.debounce: field given twice"},
        {"IBM Key 31", "IBM Key 300", "keys[0].layers.no-fn.key: unknown key name"},
        {"\"row\": 0", "\"row\": 16", "keys[0].row: value out of range 0..15"},
        {"\"debounce\": 30", "\"debounce\": \"30\"", "settings.debounce: expected a whole"},
        {"\"debounce\": 30", "\"debounce\": 256", "settings.debounce: value out of range"},
        {"\"legend\"", "\"legnd\"", "keys[0].legnd: unknown field"},
        {"\"settings\"", "\"extra\": 1, \"settings\"", "extra: unknown field"},
        {"\"no-fn\"", "\"fn3\"", "keys[0].layers.fn3: unknown field"},
        {"\"modes\": []", "\"modes\": [\"hyper\"]", "keys[0].layers.no-fn.modes[0]: unknown word"},
        {"\"string\": 0", "\"string\": 0, \"key\": \"No Key\"", "keys[0].layers.fn1: give either"},
        {"\"legend\": \"A\"", "\"legend\": \"" + std::string(32, 'x') + "\"",
         "keys[0].legend: text longer than 31"},
        {"\"abc\"", "\"\\u00e9\"", "strings[0]: character 1 (\"\xC3\xA9\", code 233) has no key"},
        {"\"abc\"", "[{\"key\": \"IBM Key 31\", \"shift\": 1}]", "strings[0][0].shift: unknown"},
        {"\"t.dat\"", "\"\\u0101\"",
         "settings.file name: \"\xC4\x81\" at position 1 is not a Latin-1"},
        {"]\n}", ", {\"row\": 0, \"column\": 0}]\n}", "keys[1]: key 0,0 is given twice"},
        {"]\n}", "], \"raw\": [{\"at\": \"header\", \"offset\": 143, \"bytes\": \"0102\"}]\n}",
         "raw[0].bytes: runs past the end of header"},
        {"]\n}", "], \"raw\": [{\"at\": \"key 16,0\", \"offset\": 0, \"bytes\": \"01\"}]\n}",
         "raw[0].at: unknown part"},
    };
    for (const Case& c : cases) {
        const std::string text = replaced(kSmallDocument, c.from, c.to);
        PortableDefinition out{"untouched", {}};
        const Outcome read = importDefinitionJson(text, out);
        EXPECT_FALSE(read) << c.to;
        EXPECT_EQ(read.message.text.rfind(c.message, 0), 0u) << "got: " << read.message.text;
        EXPECT_EQ(out.settings, "untouched");
    }
}

TEST(DefinitionJson, RefusalsNameTheLineAndStringLayersTheirString) {
    struct Case {
        std::string from;
        std::string to;
        std::string message; // whole
    };
    const Case cases[] = {
        {"\"debounce\": 30", "\"debounce\": 1e400",
         "settings.debounce: number out of range (line 4)"},
        {"\"version\": 1", "\"version\": \"1\"", "version: unsupported version \"1\" (line 3)"},
        {"\"version\": 1,", "", "version: missing"},
        {"\"file name\": \"t.dat\"}", "\"file name\": \"t.dat\", \"debounce\": 2}",
         "settings.debounce: field given twice (line 4)"},
        {"\"modes\": []", "\"modes\": [\"alt\", 7]",
         "keys[0].layers.no-fn.modes[1]: expected a text (line 8)"},
        {"\"string\": 0", "\"string\": 1",
         "keys[0].layers.fn1.string: string 1 does not exist (1 string is defined) (line 8)"},
        {"[\"abc\"]", "[]",
         "keys[0].layers.fn1.string: string 0 does not exist (0 strings are defined) (line 8)"},
        {"[\"abc\"]", "[\"abc\", 1e999]", "strings[1]: number out of range (line 5)"},
    };
    for (const Case& c : cases) {
        PortableDefinition out;
        const Outcome read = importDefinitionJson(replaced(kSmallDocument, c.from, c.to), out);
        EXPECT_FALSE(read);
        EXPECT_EQ(read.message.text, c.message);
    }
    // A byte-order mark is accepted as the readers accept it.
    EXPECT_EQ(imported("\xEF\xBB\xBF" + std::string(kSmallDocument)), imported(kSmallDocument));
}

TEST(DefinitionJson, DiffSpeaksInWords) {
    const PortableDefinition base = imported(kSmallDocument);
    struct Case {
        const char* from;
        const char* to;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", "", {}},
        {"\"debounce\": 30", "\"debounce\": 12", {"setting debounce: 30 → 12"}},
        {"\"abc\"", "\"abd\"", {"string 0: \"abc\" → \"abd\""}},
        {"\"abc\"]", "\"abc\", \"x\"]", {"string 1: (none) → \"x\""}},
        {"{\"key\": \"IBM Key 31\", \"modes\": []}",
         "{\"key\": \"IBM Key 32\", \"modes\": [\"shift\"]}",
         {"key 0,0 no-fn: IBM Key 31 → IBM Key 32 +shift"}},
        {"\"fn1\": {\"string\": 0}",
         "\"fn2\": {\"string\": 0, \"used\": false}",
         {"key 0,0 fn1: string 0 → none", "key 0,0 fn2: none → unused string 0"}},
        {"\"legend\": \"A\"",
         "\"legend\": \"B\", \"complete\": true",
         {"key 0,0 legend: \"A\" → \"B\"", "key 0,0 complete: false → true"}},
        {"]\n}",
         "], \"raw\": [{\"at\": \"header\", \"offset\": 48, \"bytes\": \"05\"}]\n}",
         {"raw header +48: (none) → \"05\""}},
    };
    for (const Case& c : cases) {
        const PortableDefinition other =
            imported(*c.from ? replaced(kSmallDocument, c.from, c.to) : kSmallDocument);
        EXPECT_EQ(diffDefinitions(base, other), c.lines) << c.to;
    }
}
