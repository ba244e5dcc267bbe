#include "model/definition.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillan {
namespace {

struct Fixture {
    std::unique_ptr<KeyboardDefinition> def = std::make_unique<KeyboardDefinition>();
    ControlValues controls;
};

TEST(Definition, StartupState) {
    Fixture f;
    f.def->StdRepeat = 0;
    f.def->EnableBits = 3;
    f.def->Led = {1, 2, 3, 4};
    f.def->stringIndex[5] = 7;
    f.def->stringChars[9] = {1, 2, 3, 4};
    f.controls.serialNumber = "x";
    initStartupDefinition(*f.def, f.controls);

    EXPECT_EQ(f.def->StdRepeat, 1);
    EXPECT_EQ(f.def->EnableBits, 1);
    EXPECT_EQ(f.def->Led, (std::array<int32_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(f.def->NumberOfStrings, 0);
    EXPECT_EQ(f.def->BeepLength, 0);
    EXPECT_EQ(f.def->stringIndex[5], 0);
    EXPECT_TRUE(f.def->stringChars[9].isZero());
    EXPECT_EQ(f.controls, ControlValues{});
    EXPECT_EQ(f.controls.fileName, "in.dat");

    const KeyCell& cell = f.def->cell(3, 5);
    EXPECT_EQ(cell.controlId, 34560 + 29);
    EXPECT_EQ(cell.x, 40 + 5 * 20);
    EXPECT_EQ(cell.y, 40 + 3 * 20);
    EXPECT_EQ(cell.width, 16);
    EXPECT_EQ(cell.height, 16);
    EXPECT_EQ(getText(cell.legend), "Nothing");
    EXPECT_EQ(cell.layers[2].keytype, 15);

    const std::array<uint8_t, 20> block = {13, 1, 13, 1, 13, 1, 13,  1,   0,   0,
                                           0,  0, 0,  0, 0,  0, 120, 120, 120, 120};
    for (size_t i = 0; i < block.size(); ++i)
        EXPECT_EQ(f.def->pointingBlock[i], block[i]) << i;
}

TEST(Definition, NewKeepsEnableBitsBeepSerialAndPackedStrings) {
    Fixture f;
    initStartupDefinition(*f.def, f.controls);
    f.def->EnableBits = 3;
    f.def->BeepLength = 9;
    f.def->StdRepeat = 0;
    f.def->Led[2] = 4;
    f.def->NumberOfStrings = 2;
    f.def->stringIndex[0] = 2304;
    f.def->stringChars[0] = {2, 4, 0x1C, 0};
    f.def->stringSlots[0][0] = {0, 5, 0, 0};
    f.controls = {3, 30, 99, 4, 2, "mine.dat", "SN1"};
    setText(f.def->cells[0].legend, "Esc");
    f.def->cells[0].layers[0] = {1, {}, 110, 8, 0, 0x76, 0x08, 0x29, {}, 0};

    newDefinition(*f.def, f.controls);
    EXPECT_EQ(f.def->EnableBits, 3);
    EXPECT_EQ(f.def->BeepLength, 9);
    EXPECT_EQ(f.def->StdRepeat, 1);
    EXPECT_EQ(f.def->Led[2], 0);
    EXPECT_EQ(f.def->NumberOfStrings, 0);
    EXPECT_EQ(f.def->stringIndex[0], 2304);
    EXPECT_FALSE(f.def->stringChars[0].isZero());
    EXPECT_TRUE(f.def->stringSlots[0][0].isZero());
    ControlValues expected;
    expected.serialNumber = "SN1";
    EXPECT_EQ(f.controls, expected);
    // Reset keeps the codes of a layer, clears its assignment.
    const LayerAssignment& layer = f.def->cells[0].layers[0];
    EXPECT_EQ(getText(f.def->cells[0].legend), "Nothing");
    EXPECT_EQ(layer.used, 0);
    EXPECT_EQ(layer.ibmkey, 0);
    EXPECT_EQ(layer.keymode, 0);
    EXPECT_EQ(layer.keytype, 15);
    EXPECT_EQ(layer.scan2code, 0x76);
    EXPECT_EQ(layer.usbcode, 0x29);
}

TEST(Definition, UnpackStrings) {
    Fixture f;
    const StringCell a{0, 4, 0x1C, 0}, b{0, 5, 0x32, 0}, c{2, 6, 0x21, 0};
    f.def->stringChars[0] = a;
    f.def->stringChars[1] = b;
    f.def->stringChars[3] = c;
    f.def->stringSlots[5][0] = a;
    f.def->NumberOfStrings = 2;
    unpackStrings(*f.def);
    EXPECT_EQ(f.def->stringSlots[0][0], a);
    EXPECT_EQ(f.def->stringSlots[0][1], b);
    EXPECT_TRUE(f.def->stringSlots[0][2].isZero());
    EXPECT_EQ(f.def->stringSlots[1][0], c);
    EXPECT_TRUE(f.def->stringSlots[1][1].isZero());
    EXPECT_TRUE(f.def->stringSlots[5][0].isZero());
    EXPECT_EQ(f.def->NumberOfStrings, 2);
}

TEST(Definition, UnpackStopsAfterTheLastSlot) {
    Fixture f;
    // 224 one-character strings in the storage, 127 of them counted: slots
    // 0..126 receive one; the rest is stale and never revived.
    for (int i = 0; i < kStringCells; i += 2)
        f.def->stringChars[i] = {0, static_cast<uint8_t>(i / 2), 1, 0};
    f.def->stringSlots[127][0] = {1, 1, 1, 1};
    f.def->NumberOfStrings = kMaxStrings;
    unpackStrings(*f.def);
    EXPECT_EQ(f.def->stringSlots[0][0].characterUSB, 0);
    EXPECT_EQ(f.def->stringSlots[0][0].characterMode2, 1);
    EXPECT_EQ(f.def->stringSlots[126][0].characterUSB, 126);
    EXPECT_TRUE(f.def->stringSlots[126][1].isZero());
    EXPECT_TRUE(f.def->stringSlots[127][0].isZero());
}

} // namespace
} // namespace quillan
