// Older settings file versions, built byte by byte, and their conversion.
#include "file_builder.h"
#include "model/settings_file.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillan {
namespace {

using test::FileBuilder;
using test::MessageLog;

constexpr size_t kOldBlockSize = 16 * 14 * 144;

size_t oldCell(size_t headerSize, int row, int column) {
    return headerSize + (static_cast<size_t>(row) * 14 + column) * 144;
}
size_t v10Cell(int fileRow, int column) {
    return 60 + (static_cast<size_t>(fileRow) * 16 + column) * 144;
}

class Versions : public ::testing::Test {
  protected:
    Versions() {
        initStartupDefinition(*def, controls);
        // Left-overs of an earlier definition that a converted file replaces.
        def->stringIndex[0] = 2304;
        def->stringChars[0] = {2, 4, 0x1C, 0};
        def->NumberOfStrings = 1;
        controls.serialNumber = "previous";
    }
    LoadResult load(const FileBuilder& file, const std::string& name = "old.dat") {
        return messages.take(decodeSettings(*def, controls, file.bytes(), name));
    }
    std::string legend(int row, int column) const { return getText(def->cell(row, column).legend); }
    void expectMessage(const char* text, const char* caption) {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, text);
        EXPECT_EQ(messages.shown[0].caption, caption);
    }
    // The fields that the 1.0 to 2.0 headers share, at their common offsets.
    static void v1Header(FileBuilder& file, int high, int low) {
        file.version(high, low).i32(8, 0).i32(12, 1).i32(16, 1).i32(20, 2).i32(24, 9);
        file.i32(28, 40).i32(52, 12).i32(56, 1);
    }
    void expectV1Header() {
        EXPECT_EQ(def->StdRepeat, 0);
        EXPECT_EQ(def->GlobalRepeatDisable, 1);
        EXPECT_EQ(def->AnyKeyRelease, 1);
        EXPECT_EQ(def->PrefixMakeBreak, 1);
        EXPECT_EQ(controls.DefRepDelay, 2);
        EXPECT_EQ(controls.DefRepRate, 9);
        EXPECT_EQ(controls.DebounceTime, 40);
        EXPECT_EQ(controls.MaxScanRow, 12);
        EXPECT_EQ(def->header.iVersionHigh, 4);
        EXPECT_EQ(def->header.iVersionLow, 0);
    }
    // What the conversions from versions before 2.1 add.
    void expectPre21Defaults(const std::string& name) {
        EXPECT_EQ(def->Led[3], 0);
        EXPECT_EQ(getText(def->header.serialNumber), "0");
        EXPECT_EQ(controls.serialNumber, "0");
        EXPECT_EQ(getText(def->header.fileName), name);
        EXPECT_EQ(controls.fileName, name);
        EXPECT_EQ(def->BeepLength, 0);
    }
    void expectNoStrings() {
        EXPECT_EQ(def->NumberOfStrings, 0);
        EXPECT_EQ(def->stringIndex[0], 0);
        EXPECT_TRUE(def->stringChars[0].isZero());
    }

    std::unique_ptr<KeyboardDefinition> def = std::make_unique<KeyboardDefinition>();
    ControlValues controls;
    MessageLog messages;
};

TEST_F(Versions, V10SmallSkipsRowsAndNamesLeds) {
    FileBuilder file(28732);
    v1Header(file, 1, 0);
    const int32_t ledEntries[5] = {4, 0, 16, 8, 4};
    for (int entry = 0; entry < 5; ++entry)
        file.i32(32 + 4 * entry, ledEntries[entry]);
    file.cell(v10Cell(0, 0), "r0c0", 1).cell(v10Cell(0, 13), "r0c13", 1);
    file.cell(v10Cell(0, 1), "r0c1", 1).cell(v10Cell(0, 12), "r0c12", 0);
    file.cell(v10Cell(0, 14), "r0c14", 1);
    file.cell(v10Cell(0, 2), "r0c2", 1).layer(v10Cell(0, 2), 1, 31, 8, 0, 0x1C, 0x1C, 0x04);
    file.cell(v10Cell(7, 2), "skipped", 1).cell(v10Cell(8, 2), "r8c2", 1);
    file.cell(v10Cell(9, 3), "skipped", 1).cell(v10Cell(10, 3), "r10c3", 1);
    file.cell(v10Cell(11, 4), "r11c4", 1);
    ASSERT_EQ(file.bytes().size(), 28732u);

    const LoadResult result = load(file, "small.dat");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.versionHigh, 1);
    EXPECT_EQ(result.versionLow, 0);
    expectMessage("Converted V0100 Small file !", "Convert");
    expectV1Header();
    expectPre21Defaults("small.dat");
    expectNoStrings();
    // The last entry marked 4, 8 and 16 names LED 1, 2 and 3.
    EXPECT_EQ(def->Led[0], 5);
    EXPECT_EQ(def->Led[1], 4);
    EXPECT_EQ(def->Led[2], 3);
    EXPECT_EQ(controls.PointDevice, 0);
    EXPECT_EQ(def->EnableBits, 1);

    EXPECT_EQ(legend(0, 0), "r0c13");
    EXPECT_EQ(legend(0, 1), "r0c1");
    EXPECT_EQ(legend(0, 2), "r0c2");
    const LayerAssignment& layer = def->cell(0, 2).layers[1];
    EXPECT_EQ(layer.used, 1);
    EXPECT_EQ(layer.ibmkey, 31);
    EXPECT_EQ(layer.keymode, 8);
    EXPECT_EQ(layer.keytype, 0);
    EXPECT_EQ(layer.usbcode, 0x04);
    EXPECT_EQ(legend(7, 2), "r8c2");
    EXPECT_EQ(legend(8, 3), "r10c3");
    EXPECT_EQ(legend(9, 4), "r11c4");
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 8; ++column)
            EXPECT_NE(legend(row, column), "r0c14");
    // File rows past the end read as zero; rows the file cannot fill stay reset.
    EXPECT_EQ(legend(11, 0), "");
    EXPECT_EQ(def->cell(11, 0).used, 0);
    EXPECT_EQ(legend(14, 0), "Nothing");
    EXPECT_EQ(def->cell(15, 7).used, 1);
}

TEST_F(Versions, V10LargeAndWrongSizes) {
    FileBuilder file(32316);
    v1Header(file, 1, 0);
    file.cell(v10Cell(13, 6), "r13c6", 1);
    ASSERT_TRUE(load(file).ok);
    expectMessage("Converted V0100 Large file !", "Convert");
    EXPECT_EQ(legend(11, 6), "r13c6");
    EXPECT_EQ(def->Led[0], 0);

    messages.shown.clear();
    setText(def->cells[0].legend, "kept");
    for (size_t size : {28733, 28731, 32317, 20624}) {
        file.resize(size);
        messages.shown.clear();
        EXPECT_FALSE(load(file).ok) << size;
        expectMessage(("Unknown V0100 file size " + std::to_string(size) + " !").c_str(), "Load");
    }
    EXPECT_EQ(legend(0, 0), "kept");
}

TEST_F(Versions, V11AndV12) {
    for (int low : {1, 2}) {
        FileBuilder file(60 + kOldBlockSize);
        v1Header(file, 1, low);
        file.i32(32, 1).i32(36, 2).i32(40, 3).i32(44, 77).i32(48, 78);
        // The first cell's window handle lies where 1.3 keeps PointDevice.
        file.i32(60, 2).cell(oldCell(60, 0, 0), "first", 1).cell(oldCell(60, 15, 7), "last", 1);
        messages.shown.clear();
        ASSERT_TRUE(load(file).ok);
        expectMessage("Converted V0102  file !", "Load");
        expectV1Header();
        expectPre21Defaults("old.dat");
        expectNoStrings();
        EXPECT_EQ(def->Led[0], 1);
        EXPECT_EQ(def->Led[1], 2);
        EXPECT_EQ(def->Led[2], 3);
        EXPECT_EQ(def->header.reserved48, 0);
        EXPECT_EQ(controls.PointDevice, 0);
        EXPECT_EQ(def->EnableBits, 1);
        EXPECT_EQ(legend(0, 0), "first");
        EXPECT_EQ(legend(15, 7), "last");
    }
}

TEST_F(Versions, V13AddsPointingDevice) {
    FileBuilder file(68 + kOldBlockSize);
    v1Header(file, 1, 3);
    file.i32(60, 1).i32(64, 2).i32(68, 5).cell(oldCell(68, 4, 5), "r4c5", 1);
    ASSERT_TRUE(load(file).ok);
    expectMessage("Loaded configuration file !", "Load");
    expectV1Header();
    expectNoStrings();
    EXPECT_EQ(controls.PointDevice, 1);
    EXPECT_EQ(def->EnableBits, 2);
    EXPECT_EQ(legend(4, 5), "r4c5");
}

TEST_F(Versions, V20AddsStrings) {
    const size_t strings = 72 + kOldBlockSize;
    FileBuilder file(strings + 256 + 1792);
    v1Header(file, 2, 0);
    file.i32(32, 3).i32(44, 4).i32(60, 2).i32(64, 3).i32(68, 2);
    file.cell(oldCell(72, 0, 0), "first", 1).layer(oldCell(72, 0, 0), 0, 1, 0, 17, 0, 0, 0, 3);
    file.u16(strings, 2304).u16(strings + 2, 2316);
    file.u8(strings + 256, 2).u8(strings + 257, 4).u8(strings + 258, 0x1C);
    ASSERT_TRUE(load(file, "v20.dat").ok);
    expectMessage("Loaded configuration file !", "Load");
    expectV1Header();
    expectPre21Defaults("v20.dat");
    EXPECT_EQ(def->Led[0], 3);
    EXPECT_EQ(controls.PointDevice, 2);
    EXPECT_EQ(def->EnableBits, 3);
    EXPECT_EQ(def->NumberOfStrings, 2);
    EXPECT_EQ(def->stringIndex[0], 2304);
    EXPECT_EQ(def->stringIndex[1], 2316);
    EXPECT_EQ(def->stringChars[0], (StringCell{2, 4, 0x1C, 0}));
    EXPECT_EQ(def->cell(0, 0).layers[0].keytype, 17);
    EXPECT_EQ(def->cell(0, 0).layers[0].stringcharcount, 3);
}

void v21Header(FileBuilder& file, int low) {
    file.version(2, low).i32(8, 1).i32(20, 3).i32(24, 30).i32(28, 25);
    file.i32(32, 1).i32(36, 2).i32(40, 3).i32(44, 4).i32(48, 11).i32(52, 12);
    file.i32(56, 16).i32(60, 1).i32(64, 1).i32(68, 3).i32(72, 4);
    file.text(76, "stored.dat").text(108, "SER-21");
}

TEST_F(Versions, V21MovesFields) {
    const size_t strings = 140 + kOldBlockSize;
    FileBuilder file(strings + 256 + 1792);
    v21Header(file, 1);
    file.i32(140, 99).cell(oldCell(140, 2, 2), "r2c2", 1).u16(strings + 6, 2320);
    ASSERT_TRUE(load(file).ok);
    expectMessage("Loaded configuration file !", "Load");
    EXPECT_EQ(def->StdRepeat, 1);
    EXPECT_EQ(controls.DefRepDelay, 3);
    EXPECT_EQ(controls.DefRepRate, 30);
    EXPECT_EQ(controls.DebounceTime, 25);
    EXPECT_EQ(def->Led, (std::array<int32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(controls.MaxScanRow, 16);
    EXPECT_EQ(def->PrefixMakeBreak, 1);
    EXPECT_EQ(controls.PointDevice, 1);
    EXPECT_EQ(def->EnableBits, 3);
    EXPECT_EQ(def->NumberOfStrings, 4);
    EXPECT_EQ(getText(def->header.fileName), "stored.dat");
    EXPECT_EQ(controls.fileName, "old.dat");
    EXPECT_EQ(controls.serialNumber, "SER-21");
    EXPECT_EQ(def->BeepLength, 0);
    EXPECT_EQ(legend(2, 2), "r2c2");
    EXPECT_EQ(def->stringIndex[3], 2320);
}

TEST_F(Versions, V22FoldsColumnsIntoTheMatrix) {
    const size_t strings = 144 + kOldBlockSize;
    FileBuilder file(strings + 256 + 1792);
    v21Header(file, 2);
    file.i32(140, 77);
    const uint8_t used[14] = {0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 2, 1, 0, 1};
    for (int column = 0; column < 14; ++column)
        file.cell(oldCell(144, 3, column), "c" + std::to_string(column), used[column]);
    file.u8(strings + 256 + 4 * 447 + 3, 9);
    ASSERT_TRUE(load(file).ok);
    EXPECT_EQ(def->BeepLength, 77);
    EXPECT_EQ(def->header.reserved48, 11);
    EXPECT_EQ(def->header.reserved52, 12);
    const char* expected[8] = {"c13", "c1", "c11", "c3", "c4", "c8", "c6", "c7"};
    for (int column = 0; column < 8; ++column)
        EXPECT_EQ(legend(3, column), expected[column]) << column;
    EXPECT_EQ(def->stringChars[447].characterType, 9);

    // A file cut inside its key block is damaged: refused, and the loaded
    // definition stays as it is.
    messages.shown.clear();
    file.resize(oldCell(144, 3, 3));
    ASSERT_FALSE(load(file).ok);
    const std::string damaged = "Damaged file: " + std::to_string(oldCell(144, 3, 3)) +
                                " bytes, but a version 2.2 file has " +
                                std::to_string(strings + 2048) + " !";
    expectMessage(damaged.c_str(), "Load");
    EXPECT_EQ(legend(3, 0), "c13");
    EXPECT_EQ(def->stringChars[447].characterType, 9);
}

} // namespace
} // namespace quillan
