// Strings as text: character encoding and decoding, reading and packing the
// packed store, the limits, and renumbering after a deletion.
#include "rules/string_text.h"

#include "rules/cell_tooltip.h"

#include "model/catalogue.h"
#include "model/key_labels.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace quillan {
namespace {

StringCells cellsOf(const std::u32string& text) {
    StringCells cells;
    const Outcome encoded = textToCells(text, cells);
    EXPECT_TRUE(encoded) << encoded.message.text;
    return cells;
}

TEST(StringText, EveryPrintableCharacterSurvivesEncodeAndDecode) {
    for (char32_t c = 0x20; c < 0x7F; ++c) {
        StringCell cell;
        ASSERT_TRUE(encodeChar(c, cell));
        EXPECT_EQ(decodeCell(cell), static_cast<int>(c)) << "character " << static_cast<int>(c);
    }
    StringCell a;
    ASSERT_TRUE(encodeChar(U'A', a));
    EXPECT_EQ(a, (StringCell{MOD_LEFT_SHIFT, 0x04, 0x1C, NORMAL_KEY}));
}

TEST(StringText, CellsWithoutTextFormShowAPlaceholder) {
    const StringCell rightShiftA{MOD_RIGHT_SHIFT, 0x04, 0x1C, 0};
    EXPECT_EQ(decodeCell(rightShiftA), -1);
    const StringCell noKey{0, 0x00, 0xFF, UNUSED_KEY};
    EXPECT_EQ(displayText({rightShiftA, {0, 0x04, 0x1C, 0}, noKey}),
              std::u32string{kNoTextPlaceholder} + U"a" + kNoTextPlaceholder);
}

TEST(StringText, TextsOutsideTheCharacterTableOrTooLongAreRefused) {
    StringCells cells;
    const Outcome untypable = textToCells(U"ab\u00E9", cells);
    EXPECT_FALSE(untypable);
    EXPECT_NE(untypable.message.text.find("233"), std::string::npos);
    EXPECT_TRUE(cells.empty());
    const Outcome tooLong = textToCells(std::u32string(kMaxStringText + 1, U'x'), cells);
    EXPECT_FALSE(tooLong);
    EXPECT_NE(tooLong.message.text.find("1024"), std::string::npos);
    EXPECT_TRUE(textToCells(std::u32string(kMaxStringText, U'x'), cells));
}

TEST(StringText, PackingAbAndC) {
    auto def = std::make_unique<KeyboardDefinition>();
    def->stringIndex[9] = 0x1234; // stale entries are cleared
    ASSERT_TRUE(packStrings(*def, {cellsOf(U"ab"), cellsOf(U"C")}));
    EXPECT_EQ(def->stringChars[0], (StringCell{0, 0x04, 0x1C, 0}));
    EXPECT_EQ(def->stringChars[1], (StringCell{0, 0x05, 0x32, 0}));
    EXPECT_TRUE(def->stringChars[2].isZero());
    EXPECT_EQ(def->stringChars[3], (StringCell{MOD_LEFT_SHIFT, 0x06, 0x21, 0}));
    EXPECT_TRUE(def->stringChars[4].isZero());
    EXPECT_EQ(def->stringIndex[0], 0x900);
    EXPECT_EQ(def->stringIndex[1], 0x90C);
    EXPECT_EQ(def->stringIndex[9], 0);
    EXPECT_EQ(def->NumberOfStrings, 2);

    const std::vector<StringCells> back = readPackedStrings(*def);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(displayText(back[0]), U"ab");
    EXPECT_EQ(displayText(back[1]), U"C");
}

TEST(StringText, ReadingNeverRunsPastTheStorage) {
    auto def = std::make_unique<KeyboardDefinition>();
    def->stringChars.fill(StringCell{0, 0x04, 0x1C, 0});
    def->NumberOfStrings = 5;
    const std::vector<StringCells> strings = readPackedStrings(*def);
    ASSERT_EQ(strings.size(), 5u);
    EXPECT_EQ(strings[0].size(), static_cast<size_t>(kStringCells));
    EXPECT_TRUE(strings[4].empty());
}

TEST(StringText, LimitsOfTheStore) {
    std::vector<StringCells> strings(kMaxStrings - 1, cellsOf(U"a"));
    EXPECT_TRUE(addRefusal(strings, 1));
    strings.push_back(cellsOf(U"a"));
    EXPECT_NE(addRefusal(strings, 1).message.text.find("127"), std::string::npos);

    // 127 strings of one key take 254 cells; 194 more keys still fit.
    strings.pop_back();
    EXPECT_TRUE(addRefusal(strings, kStringCells - 2 * (kMaxStrings - 1) - 1));
    EXPECT_NE(addRefusal(strings, kStringCells - 2 * (kMaxStrings - 1)).message.text.find("448"),
              std::string::npos);

    auto def = std::make_unique<KeyboardDefinition>();
    def->stringChars[0] = {0, 0x04, 0x1C, 0};
    EXPECT_FALSE(packStrings(*def, {StringCells(kStringCells, StringCell{0, 4, 0x1C, 0})}));
    EXPECT_EQ(def->stringChars[0], (StringCell{0, 0x04, 0x1C, 0}));
}

TEST(StringText, DeletingAStringRenumbersTheLaterOnes) {
    auto def = std::make_unique<KeyboardDefinition>();
    def->NumberOfStrings = 3;
    for (int s = 0; s < 3; ++s) {
        def->cells[s].layers[0].keytype = STRING_KEY;
        def->cells[s].layers[0].ibmkey = s;
    }
    def->cells[5].layers[2].ibmkey = 2; // not a string layer: untouched
    Log log;
    log.captureToString(true);
    renumberForDeletedString(*def, 1, log);
    EXPECT_EQ(def->cells[0].layers[0].ibmkey, 0);
    EXPECT_EQ(def->cells[1].layers[0].ibmkey, 1);
    EXPECT_EQ(def->cells[2].layers[0].ibmkey, 1);
    EXPECT_EQ(def->cells[5].layers[2].ibmkey, 2);
    EXPECT_EQ(def->NumberOfStrings, 2);
    EXPECT_EQ(log.captured(), "StringDefinition bIBMKey = ");
}

// The string definition dialog's list: each step done or refused with its
// words, a refused step leaving the list and the keys as they were.
TEST(StringText, ListEditorStepsAreDoneOrRefusedWithTheirWords) {
    auto def = std::make_unique<KeyboardDefinition>();
    ControlValues controls;
    initStartupDefinition(*def, controls);
    Log log;
    StringListEditor editor(*def, log);
    const auto useString0 = [&def] {
        def->cells[3].layers[1].keytype = STRING_KEY;
        def->cells[3].layers[1].ibmkey = 0;
        return Outcome::success();
    };
    struct Step {
        std::function<Outcome()> run;
        const char* refusal; // "" when done
        size_t listed;
    };
    const Step steps[] = {
        {[&] { return editor.add(U""); }, "", 0},
        {[&] { return editor.add(U"ab"); }, "", 1},
        {[&] { return editor.add(U"x\u00E9"); },
         "Character 2 (\"\u00E9\", code 233) cannot be typed by any key.", 1},
        {[&] { return editor.remove(1); }, "There is no string 1.", 1},
        {useString0, "", 1},
        {[&] { return editor.remove(0); },
         "String 0 is used by 1 key; give it another key before deleting the string.", 1},
        {[&] { return editor.add(U"c"); }, "", 2},
        {[&] { return editor.finish(); }, "", 2},
    };
    for (const Step& step : steps) {
        const Outcome done = step.run();
        EXPECT_EQ(done.ok, *step.refusal == '\0') << step.refusal;
        EXPECT_EQ(done.message.text, step.refusal);
        EXPECT_EQ(editor.strings().size(), step.listed) << step.refusal;
    }
    EXPECT_EQ(def->NumberOfStrings, 2);
    EXPECT_EQ(displayText(readPackedStrings(*def)[1]), U"c");
}

// A cell's tooltip names every used layer, a string by its text; the
// Latin-1 legend and any character come out as UTF-8.
TEST(StringText, CellToolTipListsEveryUsedLayer) {
    auto def = std::make_unique<KeyboardDefinition>();
    ControlValues controls;
    initStartupDefinition(*def, controls);
    StringCells ab = cellsOf(U"ab");
    std::copy(ab.begin(), ab.end(), def->stringSlots[0].begin());
    KeyCell& cell = def->cells[1 * kColumns + 2];
    setText(cell.legend, "\xE9");
    const struct {
        int layer, keytype, ibmkey;
    } layers[] = {
        {0, NORMAL_KEY, 31}, {1, STRING_KEY, 0}, {2, STRING_KEY, kStringSlots}, {3, UNUSED_KEY, 0}};
    for (const auto& l : layers) {
        cell.layers[l.layer] = LayerAssignment{};
        cell.layers[l.layer].used = 1;
        cell.layers[l.layer].keytype = static_cast<uint8_t>(l.keytype);
        cell.layers[l.layer].ibmkey = l.ibmkey;
    }
    EXPECT_EQ(cellToolTip(*def, 1 * kColumns + 2),
              "Row 1, column 2\nLegend: \u00E9\n"
              "No Fn1 / No Fn2: " +
                  describedKeyName(31) +
                  "\n"
                  "Fn1 / No Fn2: String \"ab\"\n"
                  "No Fn1 / Fn2: String 128\nFn1 / Fn2: No Key");
    setText(def->cells[0].legend, "");
    EXPECT_EQ(cellToolTip(*def, 0), "Row 0, column 0"); // no legend, no used layer
}

} // namespace
} // namespace quillan
