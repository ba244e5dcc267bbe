// The refill of a definition from a read-back image: a built image turns
// back into the same keys, settings and strings, and an untrusted image is
// kept inside its tables.
#include "eeprom/image_files.h"
#include "eeprom_test_support.h"

namespace quillan::test {
namespace {

class Refill : public ImageTest {
  protected:
    void refill() { refillFromImage(back, backControls, image, log); }

    std::unique_ptr<KeyboardDefinition> ownedBack = std::make_unique<KeyboardDefinition>();
    KeyboardDefinition& back = *ownedBack;
    ControlValues backControls;
};

TEST_F(Refill, BuiltImageComesBack) {
    setKey(0, 0, 0, 31, MODE_SHIFT | MODE_REPEAT_OFF);
    setKey(0, 0, 3, 130);
    setKey(7, 4, 2, 139);
    setStringKey(2, 1, 1, 1);
    setString(0, 2, 0x10);
    setString(1, 3, 0x20);
    def.NumberOfStrings = 2;
    def.Led = {3, 0, 5, 1};
    def.EnableBits = 3;
    def.BeepLength = 250;
    controls.DefRepDelay = 3;
    controls.DefRepRate = 12;
    controls.DebounceTime = 45;
    controls.PointDevice = 1;
    controls.fileName = "board.dat";
    controls.serialNumber = std::string(31, 's');
    def.pointingBlock[19] = 9;
    build();
    back.cells[5].layers[1].used = 1; // stale layer, not in the image
    log.captureToString(true);
    refill();

    for (int index = 0; index < kCells; ++index)
        for (int l = 0; l < kLayers; ++l) {
            const LayerAssignment& a = def.cells[index].layers[l];
            const LayerAssignment& b = back.cells[index].layers[l];
            ASSERT_EQ(a.used, b.used) << index << "/" << l;
            if (!a.used)
                continue;
            EXPECT_EQ(a.ibmkey, b.ibmkey);
            EXPECT_EQ(a.keymode, b.keymode);
            EXPECT_EQ(a.keytype, b.keytype);
            if (a.keytype != STRING_KEY) {
                EXPECT_EQ(a.usbcode, b.usbcode);
            }
            EXPECT_EQ(back.cells[index].used, 1);
            EXPECT_EQ(back.cells[index].complete, 1);
        }
    EXPECT_EQ(back.cell(0, 1).used, 0);
    EXPECT_EQ(back.cell(0, 1).enabled, 1);
    EXPECT_EQ(back.cell(2, 1).layers[1].scan2code, 1);
    EXPECT_NE(log.captured().find("bIBMKey = 1\n"), std::string::npos);

    EXPECT_EQ(back.Led, def.Led);
    EXPECT_EQ(back.EnableBits, 3);
    EXPECT_EQ(back.BeepLength, 200);
    EXPECT_EQ(backControls.DefRepDelay, 3);
    EXPECT_EQ(backControls.DefRepRate, 12);
    EXPECT_EQ(backControls.DebounceTime, 45);
    EXPECT_EQ(backControls.MaxScanRow, 16);
    EXPECT_EQ(backControls.PointDevice, 1);
    EXPECT_EQ(backControls.fileName, "board.dat");
    EXPECT_EQ(backControls.serialNumber, controls.serialNumber);
    EXPECT_EQ(back.pointingBlock, def.pointingBlock);

    EXPECT_EQ(back.NumberOfStrings, 2);
    EXPECT_EQ(back.stringIndex, def.stringIndex);
    EXPECT_TRUE(back.stringChars == def.stringChars);
    for (int slot = 0; slot < 2; ++slot)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(back.stringSlots[slot][k], def.stringSlots[slot][k]) << slot << "," << k;
}

TEST_F(Refill, NoKeyEntriesAndUnknownCodes) {
    build();
    // Slot 0 is a key nobody has; its entries point at it from two layers.
    image.bytes[0x000] = 0x77;
    image.bytes[0x100] = 0x78;
    image.bytes[0x700] = 0x79;
    image.bytes[0x500] = NORMAL_KEY;
    image.bytes[0x200 + 0 * 128 + 3] = 0;
    // FF leaves the layer unused even when byte 5FF is not 0F.
    image.bytes[0x5FF] = NORMAL_KEY;
    back.cells[4].layers[0].used = 1;
    back.cells[4].layers[0].ibmkey = 31;
    // Slot 1 is a string key for string 9.
    image.bytes[0x001] = 9;
    image.bytes[0x501] = STRING_KEY;
    image.bytes[0x200 + 2 * 128 + 20] = 1;
    // Slot 2 names string 200, beyond the string slots.
    image.bytes[0x002] = 200;
    image.bytes[0x502] = STRING_KEY;
    image.bytes[0x200 + 1 * 128 + 21] = 2;
    refill();
    EXPECT_EQ(back.cells[3].layers[0].used, 1);
    EXPECT_EQ(back.cells[3].layers[0].ibmkey, 147);
    EXPECT_EQ(back.cells[4].layers[0].used, 0);
    EXPECT_EQ(back.cells[4].used, 0);
    EXPECT_EQ(back.cells[20].layers[2].ibmkey, 9);
    EXPECT_EQ(back.cells[20].layers[2].keytype, STRING_KEY);
    EXPECT_EQ(back.cells[21].layers[1].used, 0);
}

TEST_F(Refill, SettingBytesAndStringNumberEdgeComeBack) {
    def.StdRepeat = 0;
    def.GlobalRepeatDisable = 1;
    def.AnyKeyRelease = 1;
    def.PrefixMakeBreak = 1;
    controls.PointDevice = 2;
    build();
    // String numbers 127 and 128: only 127 names a string slot.
    for (int s = 0; s < 2; ++s) {
        image.bytes[0x000 + s] = uint8_t(127 + s);
        image.bytes[0x500 + s] = STRING_KEY;
        image.bytes[0x200 + s] = uint8_t(s);
    }
    refill();
    EXPECT_EQ(back.StdRepeat, 0);
    EXPECT_EQ(back.GlobalRepeatDisable, 1);
    EXPECT_EQ(back.AnyKeyRelease, 1);
    EXPECT_EQ(back.PrefixMakeBreak, 1);
    EXPECT_EQ(backControls.PointDevice, 2);
    EXPECT_EQ(back.cells[0].layers[0].ibmkey, 127);
    EXPECT_EQ(back.cells[1].layers[0].used, 0);
}

TEST_F(Refill, UntrustedSettingsAreBounded) {
    image.bytes.fill(0xFF);
    image.bytes[0x603] = 9; // delay selection beyond its list
    image.bytes[0x60B] = 0; // no rows
    image.bytes[0x605 + 2] = 0x08;
    image.bytes[0x605 + 4] = 0x0C; // two LEDs in one mask: not a mask the builder writes
    refill();
    EXPECT_EQ(backControls.DefRepDelay, 3);
    EXPECT_EQ(backControls.DefRepRate, 31);
    EXPECT_EQ(backControls.DebounceTime, 255);
    EXPECT_EQ(backControls.MaxScanRow, 1);
    EXPECT_EQ(backControls.PointDevice, 2);
    EXPECT_EQ(back.BeepLength, 200);
    EXPECT_EQ(back.Led, (std::array<int32_t, 4>{0, 2, 0, 0}));
    // Texts without a terminator are cut to 31 characters.
    EXPECT_EQ(backControls.fileName, std::string(31, '\xFF'));
    EXPECT_EQ(backControls.serialNumber.size(), 31u);
    // Every string address FFFF lies outside the storage and is dropped.
    EXPECT_EQ(back.NumberOfStrings, 0);
    EXPECT_EQ(back.stringIndex[0], 0);
    for (const KeyCell& cell : back.cells) {
        EXPECT_EQ(cell.used, 0);
        for (const LayerAssignment& l : cell.layers)
            EXPECT_EQ(l.used, 0);
    }
    image.bytes[0x60B] = 40;
    refill();
    EXPECT_EQ(backControls.MaxScanRow, 16);
}

TEST_F(Refill, StringIndexIsCheckedAndCounted) {
    for (int i = 0; i < 128; ++i) {
        image.bytes[0x800 + 2 * i] = uint8_t(i * 4);
        image.bytes[0x801 + 2 * i] = 0x09;
    }
    image.bytes[0x800 + 2 * 5] = 0x01; // 0901: not on a cell boundary
    refill();
    EXPECT_EQ(back.stringIndex[0], 0x900);
    EXPECT_EQ(back.stringIndex[5], 0);
    EXPECT_EQ(back.NumberOfStrings, 127);
    image.bytes[0x800 + 2 * 6] = 0x00;
    image.bytes[0x801 + 2 * 6] = 0x10; // 1000: past the storage
    refill();
    EXPECT_EQ(back.stringIndex[6], 0);
    EXPECT_EQ(back.NumberOfStrings, 126);
}

TEST_F(Refill, StorageIsSplitAtEveryZeroCell) {
    const uint8_t cells[][4] = {{2, 4, 0x1C, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 5, 0x32, 0}};
    for (int p = 0; p < 4; ++p)
        std::copy(cells[p], cells[p] + 4, image.bytes.begin() + 0x900 + 4 * p);
    image.bytes[0x801] = image.bytes[0x803] = 0x09; // two strings counted
    back.stringSlots[2][0] = StringCell{9, 9, 9, 9};
    refill();
    EXPECT_EQ(back.stringSlots[0][0], (StringCell{2, 4, 0x1C, 0}));
    EXPECT_TRUE(back.stringSlots[1][0].isZero());
    EXPECT_EQ(back.stringSlots[2][0], (StringCell{0, 5, 0x32, 0}));
}

} // namespace
} // namespace quillan::test
