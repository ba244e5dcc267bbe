// Edit operations as quillan-cli edit runs them, and one case for each way
// macro strings used to be lost between edits, saves, loads and builds.
#include "cli/commands.h"
#include "cli/edit.h"
#include "eeprom/image.h"
#include "model/catalogue.h"
#include "model/settings_file.h"
#include "rules/string_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillan::cli {
namespace {

const std::string kEmpty7 = "\t\t\t\t\t\t\t";

class Edit : public ::testing::Test {
  protected:
    void SetUp() override {
        initStartupDefinition(def, controls);
        dir = fs::temp_directory_path() /
              ("quillan-edit-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
               std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Parses and applies words as the edit command does; the refusal, if any.
    std::string run(const std::vector<std::string>& words) {
        std::vector<EditOp> ops;
        std::string error;
        EXPECT_TRUE(parseEditOps(words, ops, error)) << error;
        for (const EditOp& op : ops) {
            Message refusal;
            if (!applyEditOp(def, log, op, refusal))
                return refusal.caption + ": " + refusal.text;
        }
        return "";
    }
    bool build() { return buildImage(def, controls, image, log, false).ok; }
    void saveAndLoad() {
        const std::string path = (dir / "f.dat").string();
        ASSERT_TRUE(saveSettings(def, controls, path, (dir / "Saved.txt").string()));
        newDefinition(def, controls);
        ASSERT_TRUE(loadSettings(def, controls, path).ok);
    }
    // The text the key at (row, column, layer) types in the built image.
    std::string typed(int row, int column, int layer) {
        const auto& b = image.bytes;
        const int s = b[0x200 + layer * kCells + row * kColumns + column];
        if (s == 0xFF || b[0x500 + s] != STRING_KEY)
            return "<no string key>";
        const int n = b[s];
        std::string text;
        for (int p = b[0x800 + 2 * n] | b[0x801 + 2 * n] << 8; p >= 0x900 && p < 0x1000; p += 4) {
            const StringCell cell{b[p], b[p + 1], b[p + 2], b[p + 3]};
            if (cell.isZero())
                break;
            text += static_cast<char>(decodeCell(cell));
        }
        return text;
    }
    int indexEntries() const {
        int count = 0;
        for (int n = 0; n < kStringSlots; ++n)
            count += (image.bytes[0x800 + 2 * n] | image.bytes[0x801 + 2 * n]) != 0;
        return count;
    }

    std::unique_ptr<KeyboardDefinition> owned = std::make_unique<KeyboardDefinition>();
    KeyboardDefinition& def = *owned;
    ControlValues controls;
    EepromImage image;
    Log log;
    fs::path dir;
};

TEST_F(Edit, OperationsAreParsedStrictly) {
    std::vector<EditOp> ops;
    std::string error;
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{},
                                               {"frob", "1"},
                                               {"key", "16", "0", "0", "IBM Key 31", "-"},
                                               {"key", "0", "8", "0", "IBM Key 31", "-"},
                                               {"key", "0", "0", "4", "IBM Key 31", "-"},
                                               {"key", "0", "0", "0", "IBM Key 999", "-"},
                                               {"key", "0", "0", "0", "String", "-"},
                                               {"key", "0", "0", "0", "IBM Key 31", "alt,hyper"},
                                               {"type", "0", "0", "0", ""},
                                               {"type", "0", "0", "0", "caf\xC3\xA9"},
                                               {"used", "0", "0", "2"},
                                               {"none", "0", "0"},
                                               {"string-delete", "128"},
                                               {"string-edit", "128", "x"},
                                               {"string-edit", "0", ""},
                                               {"string-edit", "0"}})
        EXPECT_FALSE(parseEditOps(bad, ops, error)) << (bad.empty() ? "" : bad[0]);
    ASSERT_TRUE(parseEditOps({"key", "1", "2", "3", "Volume up", "alt,shift", "legend", "1", "2",
                              "Vol", "string-add", "hi"},
                             ops, error))
        << error;
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].text, "Volume up");
    EXPECT_TRUE(ops[0].modes.alt && ops[0].modes.shiftLeft && !ops[0].modes.ctrlLeft);
    EXPECT_EQ(ops[0].layer, 3);
}

TEST_F(Edit, KeyTypeAndCheckBoxesActAsTheDialogs) {
    EXPECT_EQ(run({"key",      "0",      "0", "0", "IBM Key 31",
                   "alt,ctrl", "layer",  "0", "0", "0",
                   "1",        "type",   "0", "1", "2",
                   "A",        "layer",  "0", "1", "2",
                   "1",        "legend", "0", "1", std::string(40, 'L')}),
              "");
    const LayerAssignment& a = def.cell(0, 0).layers[0];
    EXPECT_EQ(a.ibmkey, 31);
    EXPECT_EQ(a.keymode, MODE_ALT | MODE_CTRL);
    EXPECT_EQ(def.cell(0, 0).complete, 1);
    const LayerAssignment& b = def.cell(0, 1).layers[2];
    EXPECT_EQ(b.ibmkey, 31);
    EXPECT_EQ(b.keymode, MODE_SHIFT); // "A" is typed with Shift
    EXPECT_EQ(getText(def.cell(0, 1).legend), std::string(31, 'L'));
    // A Shift key assigned with either Shift column does not get SHIFT.
    for (const char* modes : {"shift", "-"}) {
        EXPECT_EQ(run({"key", "2", "2", "0", "IBM Key 44", modes}), "");
        EXPECT_EQ(def.cell(2, 2).layers[0].keymode, 0) << modes;
    }
    EXPECT_EQ(run({"used", "3", "3", "0", "enabled", "3", "3", "0"}), "");
    EXPECT_EQ(def.cell(3, 3).used, 0);
    EXPECT_EQ(def.cell(3, 3).enabled, 0);
    EXPECT_EQ(run({"assign-string", "0", "0", "0", "0"}),
              "Key Settings: Only a String Key layer can be assigned a string.");
}

// Fault 1: a freed string came back from the packed storage as a phantom.
TEST_F(Edit, FreedStringLeavesNoPhantomAfterSaveAndLoad) {
    ASSERT_EQ(run({"type", "0",    "0",     "0", "abcdef", "layer", "0",     "0", "0",
                   "1",    "type", "0",     "1", "0",      "gh",    "layer", "0", "1",
                   "0",    "1",    "layer", "0", "2",      "0",     "1"}),
              "");
    ASSERT_EQ(run({"type", "0", "0", "0", "a"}), "");
    ASSERT_TRUE(build());
    saveAndLoad();
    ASSERT_EQ(run({"type", "0", "2", "0", "xy"}), "");
    ASSERT_TRUE(build());
    EXPECT_EQ(typed(0, 1, 0), "gh");
    EXPECT_EQ(typed(0, 2, 0), "xy");
    EXPECT_EQ(indexEntries(), 2);
    EXPECT_EQ(def.NumberOfStrings, 2);
}

// Fault 2: a save after a refused build wrote the stale packed tables; a
// save whose strings cannot be packed says so and writes nothing.
TEST_F(Edit, SaveAfterARefusedBuildKeepsTheNewestMacro) {
    for (int k = 0; k < 256; ++k) {
        LayerAssignment& layer = def.cell(k / 16, (k / 4) % 4).layers[k % 4];
        layer = {1, {}, 1 + k % 128, uint8_t(k / 128), NORMAL_KEY, 0, 0, 0, {}, 0};
    }
    ASSERT_EQ(run({"type", "0", "5", "0", "hello", "layer", "0", "5", "0", "1"}), "");
    ASSERT_FALSE(build());
    saveAndLoad();
    def.cell(15, 3).layers[3].used = 0;
    def.cell(15, 3).layers[2].used = 0;
    ASSERT_TRUE(build());
    EXPECT_EQ(typed(0, 5, 0), "hello");

    def.stringSlots[1].fill(StringCell{0, 4, 0x1C, 0}); // no terminator: cannot be packed
    def.NumberOfStrings = 2;
    def.packedStringsCurrent = false;
    const std::string path = (dir / "no.dat").string();
    const Outcome saved = saveSettings(def, controls, path, "S.txt");
    EXPECT_FALSE(saved);
    EXPECT_TRUE(saved.notes.empty());
    EXPECT_EQ(saved.message.text.rfind("Not saved: The strings do not fit", 0), 0u)
        << saved.message.text;
    EXPECT_FALSE(fs::exists(path));
}

// Fault 3: giving up a string that was empty, or that another layer still
// uses, lowered NumberOfStrings and lost another key's macro.
TEST_F(Edit, GivingUpAStringKeepsTheOthers) {
    ASSERT_EQ(
        run({"type", "1",  "0",     "0", "abc", "layer", "1", "0",     "0", "1", "type", "1", "1",
             "0",    "de", "layer", "1", "1",   "0",     "1", "layer", "1", "2", "0",    "1"}),
        "");
    // (1,2) shares the first string; (1,0) then gives it up: it stays.
    ASSERT_EQ(run({"type", "1", "2", "0", "zz", "assign-string", "1", "2", "0", "0", "none", "1",
                   "0", "0"}),
              "");
    EXPECT_EQ(def.NumberOfStrings, 3);
    // A layer naming an empty slot gives up nothing.
    def.cell(1, 3).layers[0] = {1, {}, 9, 0, STRING_KEY, 0, 0, 0, {}, 0};
    ASSERT_EQ(run({"none", "1", "3", "0"}), "");
    EXPECT_EQ(def.NumberOfStrings, 3);
    ASSERT_TRUE(build());
    EXPECT_EQ(typed(1, 2, 0), "abc");
    EXPECT_EQ(typed(1, 1, 0), "de");
}

// Fault 4: reopening a macro listed a key under the first row with its USB
// code; OK without a change then stored that row's key instead.
TEST_F(Edit, ReopenedMacroKeepsItsKeys) {
    PickerTarget target{4, 4, 1, false};
    const std::vector<std::string> lines = {"Volume up" + kEmpty7, "Middle Mouse Button" + kEmpty7,
                                            "System power" + kEmpty7, "IBM Key 31" + kEmpty7};
    ASSERT_TRUE(listToLayer(def, target, lines, {}, log).ok);
    const auto before = def.stringSlots;
    EXPECT_EQ(layerToList(def, target), lines);
    ASSERT_TRUE(listToLayer(def, target, layerToList(def, target), {}, log).ok);
    EXPECT_EQ(def.stringSlots, before);
}

// Fault 5: the key picker counted the strings differently from the build,
// so it accepted strings that the next build refused.
TEST_F(Edit, PickerAndBuildCountStringsAlike) {
    // One long string and two empty ones (as a file may hold them).
    def.stringSlots[0].fill(StringCell{0, 4, 0x1C, 0});
    def.stringSlots[0][443] = {};
    def.NumberOfStrings = 3;
    ASSERT_TRUE(build()); // 444 + 2 cells
    const std::string refusal = run({"type", "5", "5", "0", "xy"});
    EXPECT_EQ(refusal, "Key Macro Tool: " + stringCapacityRefusal(4, 449).message.text);
    ASSERT_EQ(run({"type", "5", "5", "0", "x"}), "");
    EXPECT_TRUE(build());
}

// Fault 7: deleting a string that keys use retargeted them silently.
TEST_F(Edit, DeletingAUsedStringIsRefused) {
    ASSERT_EQ(run({"string-add", "one", "string-add", "two", "string-add", "three", "type", "2",
                   "0", "0", "zz"}),
              "");
    for (const char* column : {"1", "2"})
        ASSERT_EQ(run({"type", "2", column, "0", std::string("p") + column, "assign-string", "2",
                       column, "0", "1"}),
                  "");
    EXPECT_EQ(run({"string-delete", "1"}),
              "String Definition: String 1 is used by 2 keys; give them another key before "
              "deleting the string.");
    EXPECT_EQ(run({"string-delete", "0", "layer", "2", "0", "0", "1", "layer", "2", "1", "0", "1"}),
              "");
    EXPECT_EQ(def.NumberOfStrings, 5);
    ASSERT_TRUE(build());
    EXPECT_EQ(typed(2, 1, 0), "two");
    EXPECT_EQ(typed(2, 0, 0), "zz");
}

TEST_F(Edit, AStringEditedInPlaceKeepsItsNumberAndItsKeys) {
    ASSERT_EQ(run({"string-add", "one", "string-add", "two", "string-add", "three", "type", "2",
                   "1", "0", "pq", "assign-string", "2", "1", "0", "1"}),
              "");
    struct Case {
        std::string number, text;
        std::string refusal; // its start; "" when accepted
        std::string typed;   // what the key using string 1 types afterwards
    };
    const std::string x430(430, 'x');
    const Case cases[] = {
        {"1", "TWO", "", "TWO"},
        {"1", "a\tb", "", "a\tb"},
        {"1", x430, "", x430},
        // 13 cells of the others + 440 + terminator do not fit in 448.
        {"1", std::string(440, 'y'), "String Definition: ", x430},
        {"4", "z", "String Definition: There is no string 4.", x430},
        {"1", std::string(1025, 'q'), "String Definition: ", x430},
    };
    for (const Case& c : cases) {
        const std::string refusal = run({"string-edit", c.number, c.text});
        EXPECT_EQ(refusal.substr(0, c.refusal.size()), c.refusal) << c.text.size();
        EXPECT_EQ(refusal.empty(), c.refusal.empty()) << refusal;
        EXPECT_EQ(def.NumberOfStrings, 4); // with the macro "pq"
        ASSERT_TRUE(build());
        EXPECT_EQ(typed(2, 1, 0), c.typed) << c.text.size();
    }
}

TEST_F(Edit, TextsAreCheckedAndStoredAsLatin1) {
    struct Case {
        std::vector<std::string> words;
        std::string refusal; // part of the parse error; "" when accepted
    };
    const Case cases[] = {
        {{"string-add", "a\nb"}, "Character 2 (code 10) cannot be typed by any key."},
        {{"string-add", "\x01"}, "Character 1 (code 1) cannot"},
        {{"string-add", "x\x7F"}, "Character 2 (code 127) cannot"},
        {{"string-add", "caf\xC3\xA9"}, "Character 4 (\"\xC3\xA9\", code 233) cannot"},
        {{"string-add", "\xE2\x82\xAC"}, "Character 1 (\"\xE2\x82\xAC\", code 8364) cannot"},
        {{"string-add", ""}, "string-add: the text is empty"},
        {{"string-add", "a\xC3"}, "invalid UTF-8 at position 2"},
        {{"type", "0", "0", "0", "a\rb"}, "Character 2 (code 13) cannot"},
        {{"type", "0", "0", "0", "\xC3\xA9"}, "(\"\xC3\xA9\", code 233)"},
        {{"legend", "0", "0", "\xE2\x82\xAC"}, "is not a Latin-1 character"},
        {{"string-add", "a\tb\bc"}, ""},
        {{"legend", "0", "0", "caf\xC3\xA9"}, ""},
    };
    for (const Case& c : cases) {
        std::vector<EditOp> ops;
        std::string error;
        EXPECT_EQ(parseEditOps(c.words, ops, error), c.refusal.empty()) << c.words.back();
        if (!c.refusal.empty()) {
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        }
    }
    EXPECT_EQ(run({"legend", "0", "0", "caf\xC3\xA9"}), "");
    EXPECT_EQ(getText(def.cell(0, 0).legend), "caf\xE9");
}

TEST_F(Edit, StringsBeyondTheHeaderCountThatKeysNameAreKept) {
    ASSERT_EQ(run({"type", "0", "0", "0", "abc", "type", "0", "1", "0", "xyz", "string-add", "zz"}),
              "");
    ASSERT_TRUE(build());
    const std::string path = (dir / "f.dat").string();
    for (const int count : {0, 1, 2}) {
        SCOPED_TRACE(count);
        ASSERT_TRUE(saveSettings(def, controls, path, (dir / "Saved.txt").string()));
        std::string bytes = [&] {
            std::ifstream in(path, std::ios::binary);
            return std::string((std::istreambuf_iterator<char>(in)), {});
        }();
        bytes[72] = static_cast<char>(count); // the header's NumberOfStrings
        auto loaded = std::make_unique<KeyboardDefinition>();
        ControlValues loadedControls;
        initStartupDefinition(*loaded, loadedControls);
        const LoadResult result = decodeSettings(*loaded, loadedControls, bytes, "f.dat");
        ASSERT_TRUE(result);
        const std::vector<Message>& shown = result.notes;
        // Keys name strings 0 and 1; "zz" (string 2) is named by none.
        EXPECT_EQ(loaded->NumberOfStrings, std::max(count, 2));
        const std::string said =
            "header names " + std::to_string(count) + " strings, keys use 2: all 2 kept";
        EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                                [&](const Message& m) { return m.text == said; }),
                  count < 2 ? 1 : 0);
        def = *loaded;
        controls = loadedControls;
        ASSERT_EQ(run({"string-add", "qq"}), "");
        ASSERT_TRUE(build());
        EXPECT_EQ(typed(0, 0, 0), "abc");
        EXPECT_EQ(typed(0, 1, 0), "xyz");
        EXPECT_EQ(def.NumberOfStrings, std::max(count, 2) + 1);
        ASSERT_EQ(run({"string-delete", std::to_string(def.NumberOfStrings - 1)}), "");
    }
}

TEST_F(Edit, CommandLoadsAppliesAndSaves) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    ASSERT_EQ(runNew("k.dat"), kExitOk);
    EXPECT_EQ(runEdit({"k.dat", "type", "0", "0", "0", "hi", "layer", "0", "0", "0", "1"}),
              kExitOk);
    EXPECT_TRUE(fs::exists("EEPkey.bin"));
    EXPECT_TRUE(fs::exists("Saved.txt"));
    ASSERT_TRUE(loadSettings(def, controls, "k.dat").ok);
    EXPECT_EQ(def.NumberOfStrings, 1);
    const std::string before = [] {
        std::ifstream in("k.dat", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }();
    EXPECT_EQ(runEdit({"k.dat", "assign-string", "0", "1", "0", "0"}), kExitFailed);
    EXPECT_EQ(runEdit({"k.dat", "layer", "0", "0"}), kExitUsage);
    EXPECT_EQ(runEdit({"missing.dat", "none", "0", "0", "0"}), kExitFailed);
    std::ifstream in("k.dat", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), before) << "nothing saved";
    fs::current_path(previous);
}

} // namespace
} // namespace quillan::cli
