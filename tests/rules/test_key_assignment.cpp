// Key assignment rules on plain definitions: layer to list, line rebuilding,
// list to layer with its string slot handling, and the Key Settings helpers.
#include "rules/key_assignment.h"

#include "model/catalogue.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillan {
namespace {

const std::string kEmpty7 = "\t\t\t\t\t\t\t";

class KeyAssignment : public ::testing::Test {
  protected:
    void SetUp() override {
        def = std::make_unique<KeyboardDefinition>();
        resetMatrix(*def);
        log.captureToString(true);
        target = {3, 5, 1, false};
    }
    LayerAssignment& layer() { return def->cell(3, 5).layers[1]; }
    // Makes the target layer a string in slot `slot` of the given keys.
    void makeStringLayer(int slot, std::vector<StringCell> cells) {
        layer().keytype = STRING_KEY;
        layer().ibmkey = slot;
        cells.push_back(StringCell{});
        std::copy(cells.begin(), cells.end(), def->stringSlots[slot].begin());
        ++def->NumberOfStrings;
    }
    Outcome assign(const std::vector<std::string>& lines, ModeToggles t = {}) {
        return listToLayer(*def, target, lines, t, log);
    }

    std::unique_ptr<KeyboardDefinition> def;
    Log log;
    PickerTarget target;
};

TEST_F(KeyAssignment, LinesHaveSixColumnsAndEndInATab) {
    EXPECT_EQ(keyLineFromMode("IBM Key 31", MODE_ALT | MODE_SHIFT),
              "IBM Key 31\tAlt\t\tShift l\t\t\t\t");
    EXPECT_EQ(keyLineFromMode("IBM Key 2", 0x3F),
              "IBM Key 2\tAlt\tCtrl l\tShift l\tBase\tRep Off\tAlt Gr\t");
    EXPECT_EQ(keyLineFromModifier("IBM Key 2", MOD_RIGHT_CTRL | MOD_RIGHT_SHIFT | MOD_RIGHT_ALT),
              "IBM Key 2\t\tCtrl r\tShift r\t\t\tAlt Gr\t");
    const auto cols = lineColumns("IBM Key 2\tAlt\tCtrl r\t\tBase\t\tAlt Gr\t");
    EXPECT_EQ(lineName("IBM Key 2\tAlt"), "IBM Key 2");
    EXPECT_EQ(cols[0], "Alt");
    EXPECT_EQ(cols[1], "Ctrl r");
    EXPECT_EQ(cols[2], "");
    EXPECT_EQ(cols[3], "Base");
    EXPECT_EQ(cols[5], "Alt Gr");
}

TEST_F(KeyAssignment, TogglesRebuildTheLineAndALineSetsTheToggles) {
    ModeToggles t;
    t.alt = t.ctrlRight = t.shiftLeft = t.shiftRight = t.repeatOff = true;
    EXPECT_EQ(rebuildLine("Mute" + kEmpty7, t), "Mute\tAlt\tCtrl r\tShift l\t\tRep Off\t\t");
    const ModeToggles back = togglesFromLine("IBM Key 9\t\t\tShift r\tBase\t\tAlt Gr\t");
    EXPECT_TRUE(back.shiftRight);
    EXPECT_FALSE(back.shiftLeft);
    EXPECT_TRUE(back.base);
    EXPECT_TRUE(back.altGr);
    EXPECT_FALSE(back.alt || back.ctrlLeft || back.ctrlRight || back.repeatOff);
    EXPECT_TRUE(togglesFromLine("IBM Key 9\t\tCtrl l\t\t\t\t\t").ctrlLeft);
}

TEST_F(KeyAssignment, LayerToListForKeysAndStrings) {
    layer().ibmkey = 0;
    EXPECT_TRUE(layerToList(*def, target).empty());
    layer().ibmkey = 31;
    layer().keytype = NORMAL_KEY;
    layer().keymode = MODE_CTRL | MODE_BASE;
    EXPECT_EQ(layerToList(*def, target),
              std::vector<std::string>{"IBM Key 31\t\tCtrl l\t\tBase\t\t\t"});
    EXPECT_FALSE(target.stringFlag);

    // 'a' with right Shift, a USB code no row has (no line), and a USB code
    // 0 cell, listed under the first row with USB 0: "No Key".
    makeStringLayer(4, {{MOD_RIGHT_SHIFT | MOD_LEFT_ALT, 0x04, 0x1C, 0},
                        {0, 0xEE, 1, 1},
                        {0, 0x00, 0xFF, UNUSED_KEY}});
    EXPECT_EQ(layerToList(*def, target),
              (std::vector<std::string>{"IBM Key 31\tAlt\t\tShift r\t\t\t\t", "No Key" + kEmpty7}));
    EXPECT_TRUE(target.stringFlag);
}

TEST_F(KeyAssignment, EmptyListWithoutTogglesMakesNoKey) {
    layer() = {1, {}, 31, MODE_ALT, NORMAL_KEY, 0x1C, 0x1C, 0x04, {}, 0};
    ASSERT_TRUE(assign({}).ok);
    EXPECT_EQ(layer().keytype, UNUSED_KEY);
    EXPECT_EQ(layer().ibmkey, 0);
    EXPECT_EQ(layer().keymode, 0);
    EXPECT_EQ(layer().scan2code | layer().scan3code | layer().usbcode, 0);
    EXPECT_EQ(log.captured(), "# bIBMKey = 0\n");
}

TEST_F(KeyAssignment, EmptyListWithTogglesTakesTheFirstModifierKey) {
    ModeToggles t;
    t.ctrlLeft = t.shiftRight = t.base = true;
    ASSERT_TRUE(assign({}, t).ok);
    EXPECT_EQ(layer().ibmkey, kIbmRightShift);
    EXPECT_EQ(layer().keytype, SHIFT_RIGHT_KEY);
    EXPECT_EQ(layer().keymode, 0);
    t.alt = true;
    ASSERT_TRUE(assign({}, t).ok);
    EXPECT_EQ(layer().ibmkey, kIbmLeftAlt);
    EXPECT_EQ(layer().scan2code, 0x11);
    EXPECT_EQ(layer().usbcode, 0xE2);
}

TEST_F(KeyAssignment, SingleLineOnAKeyLayer) {
    ASSERT_TRUE(assign({"IBM Key 58\t\tCtrl l\t\t\t\t\t"}).ok);
    EXPECT_EQ(layer().ibmkey, 58);
    EXPECT_EQ(layer().keytype, CTRL_LEFT_KEY);
    EXPECT_EQ(layer().keymode, 0); // a Ctrl key does not get CTRL
    EXPECT_EQ(log.captured(), "$ bIBMKey = 58\n");

    // Shift keys never get SHIFT, from either Shift column.
    for (const char* line :
         {"IBM Key 44\t\t\tShift l\t\t\t\t", "IBM Key 57\t\t\tShift r\t\t\t\t"}) {
        ASSERT_TRUE(assign({line}).ok);
        EXPECT_EQ(layer().keymode, 0) << line;
    }

    ASSERT_TRUE(assign({"IBM Key 31\tAlt\tCtrl r\tShift r\tBase\tRep Off\tAlt Gr\t"}).ok);
    EXPECT_EQ(layer().keymode, 0x3F);
    EXPECT_EQ(layer().scan3code, 0x1C);

    // An unknown name keeps the key but still sets the modes.
    ASSERT_TRUE(assign({"Nothing like it\tAlt\t\t\t\t\t\t"}).ok);
    EXPECT_EQ(layer().ibmkey, 31);
    EXPECT_EQ(layer().keymode, MODE_ALT);
}

TEST_F(KeyAssignment, SingleLineOnAStringLayerGivesUpTheString) {
    makeStringLayer(0, {{0, 0x04, 0x1C, 0}, {0, 0x05, 0x32, 0}});
    target.stringFlag = true;
    ASSERT_TRUE(assign({"IBM Key 31\t\tCtrl r\tShift l\t\t\t\t"}).ok);
    EXPECT_EQ(layer().ibmkey, 31);
    EXPECT_EQ(layer().keytype, NORMAL_KEY);
    EXPECT_EQ(layer().keymode, MODE_SHIFT); // only "Ctrl l" would set CTRL here
    EXPECT_TRUE(def->stringSlots[0][0].isZero());
    EXPECT_EQ(def->NumberOfStrings, 0);
    EXPECT_EQ(log.captured(), "! bIBMKey = 31\n");
}

TEST_F(KeyAssignment, UnknownSingleLineOnAStringLayerLeavesNoDanglingString) {
    makeStringLayer(2, {{0, 0x04, 0x1C, 0}, {0, 0x05, 0x32, 0}});
    target.stringFlag = true;
    ASSERT_TRUE(assign({"IBM Key 0" + kEmpty7}).ok);
    EXPECT_EQ(layer().keytype, UNUSED_KEY);
    EXPECT_EQ(layer().ibmkey, 0);
}

TEST_F(KeyAssignment, EmptyStringLayerFreesItsSlotForTheNextString) {
    makeStringLayer(0, {{0, 0x04, 0x1C, 0}, {0, 0x05, 0x32, 0}});
    def->stringSlots[1][0] = {0, 0x06, 0x21, 0};
    ++def->NumberOfStrings;
    target.stringFlag = true;
    ASSERT_TRUE(assign({}).ok);
    EXPECT_EQ(layer().keytype, UNUSED_KEY);
    EXPECT_EQ(layer().stringcharcount, 0);
    EXPECT_EQ(def->NumberOfStrings, 1);
    EXPECT_EQ(log.captured(), "( bIBMKey = 0\n");
    EXPECT_EQ(findFreeStringSlot(*def), 0);

    // Freeing never takes the count below 0.
    def->NumberOfStrings = 0;
    layer().keytype = STRING_KEY;
    ASSERT_TRUE(assign({}).ok);
    EXPECT_EQ(def->NumberOfStrings, 0);
}

TEST_F(KeyAssignment, TwoLinesOnAKeyLayerTakeTheLowestFreeSlot) {
    def->stringSlots[0][0] = {0, 0x06, 0x21, 0};
    def->stringSlots[2][0] = {0, 0x06, 0x21, 0};
    def->NumberOfStrings = 2;
    layer() = {1, {}, 31, MODE_ALT, NORMAL_KEY, 0x1C, 0x1C, 0x04, {}, 0};
    ASSERT_TRUE(assign({"IBM Key 31\t\tCtrl r\tShift r\t\t\t\t",
                        "Mute\tAlt\tCtrl l\tShift l\t\t\tAlt Gr\t"})
                    .ok);
    EXPECT_EQ(layer().ibmkey, 1);
    EXPECT_EQ(layer().keytype, STRING_KEY);
    EXPECT_EQ(layer().stringcharcount, 2);
    EXPECT_EQ(layer().scan2code | layer().scan3code | layer().usbcode, 0);
    EXPECT_EQ(def->NumberOfStrings, 3);
    EXPECT_EQ(log.captured(), "new string idx 1\n");
    const auto& slot = def->stringSlots[1];
    EXPECT_EQ(slot[0], (StringCell{0x30, 0x04, 0x1C, NORMAL_KEY}));
    EXPECT_EQ(slot[1], (StringCell{0x47, 0x2E, 0x00, CONSUMER_KEY}));
    EXPECT_TRUE(slot[2].isZero());
}

TEST_F(KeyAssignment, SeveralLinesOnAStringLayerKeepItsSlot) {
    makeStringLayer(5, {{0, 0x04, 0x1C, 0}, {0, 0x05, 0x32, 0}, {0, 0x06, 0x21, 0}});
    target.stringFlag = true;
    ASSERT_TRUE(assign({"IBM Key 2" + kEmpty7, "IBM Key 3" + kEmpty7}).ok);
    EXPECT_EQ(layer().ibmkey, 5);
    EXPECT_EQ(layer().stringcharcount, 2);
    EXPECT_EQ(def->NumberOfStrings, 1);
    EXPECT_EQ(def->stringSlots[5][1].characterUSB, 0x1F);
    EXPECT_TRUE(def->stringSlots[5][2].isZero());
    EXPECT_EQ(log.captured(), "");
}

TEST_F(KeyAssignment, StringsBeyondTheLimitsAreRefusedAndNothingIsWritten) {
    const KeyboardDefinition before = *def;
    std::vector<std::string> lines(kMaxStringKeys + 1, "IBM Key 2" + kEmpty7);
    Outcome out = assign(lines);
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.message.text.find("447"), std::string::npos);

    // 447 keys fit; one more string of two does not (447 + 1 + 3 > 448).
    lines.pop_back();
    ASSERT_TRUE(assign(lines).ok);
    target.column = 6;
    out = assign({"IBM Key 2" + kEmpty7, "IBM Key 3" + kEmpty7});
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.message.text.find("448"), std::string::npos);

    *def = before;
    def->NumberOfStrings = kMaxStrings;
    out = assign({"IBM Key 2" + kEmpty7, "IBM Key 3" + kEmpty7});
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.message.text.find("127"), std::string::npos);

    def->NumberOfStrings = 3;
    for (int s = 0; s < kMaxStrings; ++s)
        def->stringSlots[s][0] = {0, 0x04, 0x1C, 0};
    out = assign({"IBM Key 2" + kEmpty7, "IBM Key 3" + kEmpty7});
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.message.text.find("free"), std::string::npos);
    EXPECT_EQ(def->cell(3, 6), before.cell(3, 6));
    EXPECT_EQ(def->NumberOfStrings, 3);
}

TEST_F(KeyAssignment, ScanCodesAndSpecialKeys) {
    EXPECT_EQ(ibmKeyFromScan(30, false), 31); // A
    EXPECT_EQ(ibmKeyFromScan(28, true), 108); // keypad Enter
    EXPECT_EQ(ibmKeyFromScan(72, true), 83);  // cursor up
    EXPECT_EQ(ibmKeyFromScan(100, false), 0);
    EXPECT_EQ(printScreenLine(), "IBM Key 124" + kEmpty7);
    EXPECT_EQ(specialKeyLine(35153), "Next track" + kEmpty7);
    EXPECT_EQ(specialKeyLine(35131), "");
    ModeToggles t;
    t.ctrlLeft = true;
    EXPECT_EQ(typedKeyLine(31, t), "IBM Key 31\t\tCtrl l\t\t\t\t\t");
}

TEST_F(KeyAssignment, CompleteCells) {
    KeyCell& cell = def->cell(0, 0);
    EXPECT_FALSE(cellComplete(cell)); // no used layer
    cell.layers[0].used = 1;
    EXPECT_FALSE(cellComplete(cell)); // its only layer is "No Key"
    cell.layers[0].keytype = STRING_KEY;
    cell.layers[0].ibmkey = 0;
    EXPECT_TRUE(cellComplete(cell)); // string slot 0 counts
    cell.layers[2] = {1, {}, 31, 0, UNUSED_KEY, 0, 0, 0, {}, 0};
    EXPECT_FALSE(cellComplete(cell));
    cell.layers[2].keytype = NORMAL_KEY;
    EXPECT_TRUE(cellComplete(cell));
    cell.used = 0;
    EXPECT_FALSE(cellComplete(cell));
}

TEST_F(KeyAssignment, StepWrapsAndSkipsDisabledCells) {
    int row = 15, column = 7;
    def->cell(0, 0).enabled = 0;
    ASSERT_TRUE(stepToEnabledCell(*def, row, column, +1));
    EXPECT_EQ(row * 8 + column, 1);
    ASSERT_TRUE(stepToEnabledCell(*def, row, column, -1));
    EXPECT_EQ(row * 8 + column, 127);
    for (KeyCell& cell : def->cells)
        cell.enabled = 0;
    EXPECT_FALSE(stepToEnabledCell(*def, row, column, -1));
    EXPECT_EQ(row * 8 + column, 127);
}

} // namespace
} // namespace quillan
