// The image builder: key reduction, the key tables, general info, strings
// with gap closing, the descriptor area, the traces and the limits.
#include "eeprom/descriptors.h"
#include "eeprom/image_files.h"
#include "eeprom_test_support.h"

#include <filesystem>
#include <fstream>

namespace quillan::test {
namespace {

using Builder = ImageTest;

TEST_F(Builder, EmptyDefinitionFillsTablesAndDescriptorArea) {
    image.bytes.fill(0x33);
    image.prefixSwapped = true;
    const BuildResult result = build();
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.keyCount, 0);
    EXPECT_FALSE(image.prefixSwapped);
    EXPECT_TRUE(allEqual(0x000, 0x200, 0xFF));
    EXPECT_TRUE(allEqual(0x200, 0x400, 0xFF));
    EXPECT_TRUE(allEqual(0x400, 0x500, 0x00));
    EXPECT_TRUE(allEqual(0x500, 0x600, 0x0F));
    EXPECT_TRUE(allEqual(0x670, 0x800, 0xFF));
    EXPECT_TRUE(allEqual(0x800, 0x1000, 0x00));
    EXPECT_EQ(at(0x1000), 0xAA);
    EXPECT_EQ(at(0x10FF), 0x0E);
    const auto set3 = descriptorSet(3)->bytes;
    EXPECT_TRUE(std::equal(set3.begin(), set3.end(), image.bytes.begin() + 0x1100));
    EXPECT_EQ(0x1100 + set3.size(), 0x122Bu);
    EXPECT_TRUE(allEqual(0x122B, 0x2000, 0x00));
}

TEST_F(Builder, ReductionOrderAndSharing) {
    setKey(0, 0, 0, 31);                  // slot 0
    setKey(0, 0, 1, 31, MODE_SHIFT);      // keymode differs: slot 1
    setKey(0, 5, 2, 31);                  // equals slot 0
    setKey(0, 7, 3, 44);                  // slot 2
    setKey(1, 0, 0, 31).scan2code = 0x99; // own scan2code differs: slot 3
    setKey(15, 7, 3, 44);                 // equals slot 2
    const BuildResult result = build();
    EXPECT_EQ(result.keyCount, 4);
    EXPECT_EQ(at(0x200 + 0 * 128 + 0), 0);
    EXPECT_EQ(at(0x200 + 1 * 128 + 0), 1);
    EXPECT_EQ(at(0x200 + 2 * 128 + 5), 0);
    EXPECT_EQ(at(0x200 + 3 * 128 + 7), 2);
    EXPECT_EQ(at(0x200 + 0 * 128 + 8), 3);
    EXPECT_EQ(at(0x200 + 3 * 128 + 127), 2);
    EXPECT_EQ(at(0x200 + 1 * 128 + 5), 0xFF);
    // Codes come from the catalogue, not from the layer.
    EXPECT_EQ(at(0x003), 0x1C);
    EXPECT_EQ(at(0x103), 0x1C);
    EXPECT_EQ(at(0x703), 0x04);
    EXPECT_EQ(at(0x401), MODE_SHIFT);
    EXPECT_EQ(at(0x502), SHIFT_LEFT_KEY);
    EXPECT_EQ(at(0x004), 0xFF);
    EXPECT_EQ(at(0x504), 0x0F);
}

TEST_F(Builder, UnusedCellKeepsItsSlotAsAHole) {
    setKey(0, 0, 0, 2);
    setKey(0, 1, 0, 3);
    def.cell(0, 0).used = 0;
    setKey(0, 2, 0, 4);
    EXPECT_EQ(build().keyCount, 3);
    EXPECT_EQ(at(0x200), 0xFF);
    EXPECT_EQ(at(0x201), 1);
    EXPECT_EQ(at(0x202), 2);
    EXPECT_EQ(at(0x000), 0xFF);
    EXPECT_EQ(at(0x400), 0x00);
    EXPECT_EQ(at(0x500), 0x0F);
    EXPECT_EQ(at(0x001), 0x1E);
}

TEST_F(Builder, IbmKeyOutsideTheCatalogueTakesNoKeyCodes) {
    setKey(0, 3, 0, 146); // the last row: its own codes
    setKey(0, 0, 0, 2).ibmkey = 147;
    setKey(0, 1, 0, 2).ibmkey = -5;
    setKey(0, 2, 0, 2).ibmkey = 100000;
    EXPECT_TRUE(build().ok);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(at(0x000 + s), 0xFF);
        EXPECT_EQ(at(0x100 + s), 0xFF);
        EXPECT_EQ(at(0x700 + s), 0x00);
    }
    EXPECT_EQ(at(0x703), 0x78); // "Stop SUN"
}

TEST_F(Builder, GeneralInfoAndTexts) {
    def.StdRepeat = 1;
    def.AnyKeyRelease = 1;
    def.PrefixMakeBreak = 1;
    def.EnableBits = 3;
    def.BeepLength = 77;
    def.Led = {3, 3, 5, 1};
    controls.DefRepDelay = 2;
    controls.DefRepRate = 31;
    controls.DebounceTime = 300;
    controls.MaxScanRow = 9;
    controls.PointDevice = 2;
    controls.fileName = std::string(40, 'n');
    controls.serialNumber = "SN-1";
    for (int i = 0; i < 32; ++i)
        def.pointingBlock[i] = uint8_t(i + 100);
    build();
    const uint8_t expected[16] = {1,    0,    1,    2,  31, 300 & 0xFF, 0x20, 0x00,
                                  0x04, 0x00, 0x10, 16, 1,  2,          3,    77};
    EXPECT_TRUE(std::equal(expected, expected + 16, image.bytes.begin() + 0x600));
    EXPECT_TRUE(allEqual(0x610, 0x610 + 31, 'n'));
    EXPECT_EQ(at(0x62F), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image.bytes[0x630])), "SN-1");
    EXPECT_TRUE(allEqual(0x635, 0x650, 0xFF));
    EXPECT_EQ(at(0x650), 100);
    EXPECT_EQ(at(0x66F), 131);
}

TEST_F(Builder, StringGapIsClosedAndKeysRenumbered) {
    setString(0, 3, 0x10);
    setString(2, 2, 0x20);
    def.NumberOfStrings = 2;
    setStringKey(0, 0, 0, 0);
    setStringKey(0, 1, 0, 2);
    setStringKey(0, 2, 1, 2).used = 0; // unused layer: renumbered all the same
    def.stringIndex[5] = 0x1234;       // beyond NumberOfStrings: stale, cleared
    build();
    EXPECT_EQ(at(0x001), 1);
    EXPECT_EQ(at(0x101), 1);
    EXPECT_EQ(at(0x701), 1);
    EXPECT_EQ(at(0x000), 0);
    EXPECT_EQ(layer(0, 1, 0).ibmkey, 1);
    EXPECT_EQ(layer(0, 2, 1).ibmkey, 1);
    EXPECT_EQ(layer(0, 0, 0).ibmkey, 0);
    EXPECT_EQ(def.stringSlots[1][0].characterUSB, 0x20);
    EXPECT_TRUE(def.stringSlots[2][0].isZero());
    // String 0 has 3 cells + terminator, so string 1 starts at 0900 + 16.
    EXPECT_EQ(def.stringIndex[0], 0x900);
    EXPECT_EQ(def.stringIndex[1], 0x910);
    EXPECT_EQ(at(0x800), 0x00);
    EXPECT_EQ(at(0x801), 0x09);
    EXPECT_EQ(at(0x802), 0x10);
    EXPECT_EQ(def.stringIndex[5], 0);
    EXPECT_TRUE(allEqual(0x804, 0x900, 0));
    const uint8_t storage[] = {2, 0x10, 0x1C, 0, 2, 0x11, 0x1C, 0, 2, 0x12, 0x1C, 0,
                               0, 0,    0,    0, 2, 0x20, 0x1C, 0, 2, 0x21, 0x1C, 0};
    EXPECT_TRUE(std::equal(std::begin(storage), std::end(storage), image.bytes.begin() + 0x900));
    EXPECT_TRUE(allEqual(0x918, 0x91C, 0));
    // The definition now matches its image: a second build changes nothing.
    const EepromImage first = image;
    build();
    EXPECT_EQ(image.bytes, first.bytes);
}

TEST_F(Builder, TrailingEmptyStringsAndNoStrings) {
    setString(0, 1, 0x30);
    def.NumberOfStrings = 3; // slots 1 and 2 empty, nothing follows
    build();
    EXPECT_EQ(def.stringIndex[1], 0x908);
    EXPECT_EQ(def.stringIndex[2], 0x90C);
    // Stale index entries and cells past the packed strings are cleared, in
    // the definition too: a read-back or a load would count them as strings.
    def.stringIndex[3] = 0x0ABC;
    def.stringChars[447] = StringCell{1, 2, 3, 4};
    build();
    EXPECT_EQ(def.stringIndex[3], 0);
    EXPECT_TRUE(def.stringChars[447].isZero());
    EXPECT_TRUE(allEqual(0x806, 0x900, 0));
    EXPECT_TRUE(allEqual(0x910, 0x1000, 0));
    // Without strings both tables are cleared.
    def.NumberOfStrings = 0;
    def.stringIndex[0] = 0x0ABC;
    def.stringChars[447] = StringCell{1, 2, 3, 4};
    build();
    EXPECT_TRUE(allEqual(0x800, 0x1000, 0));
    EXPECT_EQ(def.stringIndex[0], 0);
}

TEST_F(Builder, TracesEveryStep) {
    setKey(0, 1, 0, 2);
    setKey(0, 1, 3, 2);
    setStringKey(0, 2, 0, 1);
    def.cell(0, 2).used = 1;
    setString(1, 1, 0x04);
    def.NumberOfStrings = 1;
    log.captureToString(true);
    build();
    const std::string& t = log.captured();
    std::string expected = "Setting up\nReducing keys\n"
                           "Inserting key 0,1 [0,0] at 0 -added 0 , 2 , 0 , 0 , 22 \n"
                           "\tFound duplicate at 0 , [1,1] \n"
                           "Inserting key 0,2 [0,0] at 1 -added 1 , 1 , 0 , 17 , 0 \n"
                           "Writing Keys\n"
                           "Normal key: 0, 2, 0 at 0,1\nNormal key: 0, 2, 0 at 0,1\n"
                           "String: 1 at 0,2\n"
                           "Doing the Strings\niLoop: 0\n* iLoop1 ";
    for (int n = 0; n < 256; ++n)
        expected += std::to_string(n);
    expected += "Moving\n & 0,0 - 28 0 4 2\n &1 127,0 - 0 0 0 0\n"
                "Copying String\n $ 0,0 - 28 0 4 2\n # 2,1\n"
                "StoreDescriptorTable( 3)\n";
    EXPECT_EQ(t, expected);
    EXPECT_EQ(at(0x001), 0);
}

TEST_F(Builder, WritesBothFilesWhenAsked) {
    const auto dir = std::filesystem::temp_directory_path() / "quillan_builder_files";
    std::filesystem::create_directories(dir);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::filesystem::remove("EEPkey.bin");
    std::filesystem::remove("EEPkey.txt");
    build(false);
    EXPECT_FALSE(std::filesystem::exists("EEPkey.bin"));
    setKey(3, 3, 0, 50);
    build(true);
    EXPECT_EQ(std::filesystem::file_size("EEPkey.bin"), 8192u);
    std::ifstream text("EEPkey.txt", std::ios::binary);
    const std::string contents((std::istreambuf_iterator<char>(text)), {});
    EXPECT_EQ(contents, imageTextDump(image));
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}

// 256 distinct keys, one more than slot 255 ("no key") allows.
TEST_F(Builder, RefusesTooManyKeysWithoutTouchingAnything) {
    for (int k = 0; k < 256; ++k)
        setKey(k / 16, (k / 4) % 4, k % 4, 1 + k % 128, uint8_t(k / 128));
    image.bytes.fill(0x44);
    image.prefixSwapped = true;
    const KeyboardDefinition before = def;
    const BuildResult result = build(true);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.keyCount, 256);
    EXPECT_NE(result.message.text.find("256"), std::string::npos) << result.message.text;
    EXPECT_NE(result.message.text.find("255"), std::string::npos) << result.message.text;
    EXPECT_EQ(result.message.caption, "Generate EEPROM File");
    EXPECT_TRUE(allEqual(0, kImageSize, 0x44));
    EXPECT_TRUE(image.prefixSwapped);
    EXPECT_TRUE(before.cells == def.cells);
    // 255 distinct keys fit.
    layer(15, 3, 3).used = 0;
    const BuildResult fits = build();
    EXPECT_TRUE(fits.ok) << fits.message.text;
    EXPECT_EQ(fits.keyCount, 255);
}

TEST_F(Builder, RefusesStringsBeyondTheStorage) {
    // Two strings of 223 cells take 448 cells with their terminators.
    setString(0, 223, 0);
    setString(3, 223, 0);
    def.NumberOfStrings = 2;
    EXPECT_TRUE(build().ok);
    setString(1, 1, 0); // slots 0, 1 now counted: 224 + 2 cells still fit
    EXPECT_TRUE(build().ok);
    setString(0, 223, 0);
    setString(1, 224, 0);
    const KeyboardDefinition before = def;
    const EepromImage built = image;
    const BuildResult result = build();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.text.find("449"), std::string::npos) << result.message.text;
    EXPECT_NE(result.message.text.find("448"), std::string::npos) << result.message.text;
    EXPECT_EQ(image.bytes, built.bytes);
    EXPECT_TRUE(before.stringSlots == def.stringSlots);
    // A slot without a terminator can never be packed.
    def.stringSlots[0].fill(StringCell{1, 1, 1, 1});
    def.NumberOfStrings = 1;
    EXPECT_FALSE(build().ok);
    def.NumberOfStrings = 128;
    EXPECT_NE(build().message.text.find("127"), std::string::npos);
    def.NumberOfStrings = -1;
    EXPECT_FALSE(build().ok);
}

} // namespace
} // namespace quillan::test
