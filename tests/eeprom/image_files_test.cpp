// The image files: the exact text formats of "EEPkey.txt" and "eepraw.txt",
// the binary file and reading an image file back.
#include "eeprom/image_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace quillan {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text ends with \\r\\n";
    return out;
}

EepromImage patterned() {
    EepromImage image;
    for (int i = 0; i < kImageSize; ++i)
        image.bytes[i] = static_cast<uint8_t>(i * 7);
    return image;
}

TEST(ImageText, SectionsRowsAndFormats) {
    EepromImage image = patterned();
    image.bytes[0x000] = 5;
    image.bytes[0x400] = 5;
    image.bytes[0x800] = 10;
    image.bytes[0x801] = 255;
    const std::vector<std::string> l = lines(imageTextDump(image));
    const std::pair<const char*, int> sections[] = {
        {"Scan Set2 code table", 16}, {"Scan Set3 code table", 16}, {"Logical Address table", 32},
        {"Prefix table", 16},         {"Key info table", 16},       {"General info table", 16},
        {"USB Set table", 16},        {"StringTable", 16},          {"StringStorage", 112}};
    size_t at = 0;
    for (auto [caption, rows] : sections) {
        ASSERT_LT(at, l.size());
        EXPECT_EQ(l[at], caption);
        EXPECT_EQ(l[at + rows + 1], "") << caption;
        at += rows + 2;
    }
    EXPECT_EQ(at, l.size());
    EXPECT_EQ(l[1].substr(0, 8), "  5,  7,");
    EXPECT_EQ(l[1].size(), 64u);
    // Prefix table: "%2d," (image byte 401 is 0x401 * 7 mod 256 = 7).
    EXPECT_EQ(l[18 + 18 + 34 + 1].substr(0, 6), " 5, 7,");
    // StringTable: lower-case hexadecimal, width 2.
    const size_t stringTable = 18 + 18 + 34 + 18 + 18 + 18 + 18 + 1; // first row
    EXPECT_EQ(l[stringTable - 1], "StringTable");
    EXPECT_EQ(l[stringTable].substr(0, 6), " a,ff,");
    // StringStorage: two spaces after every fourth value.
    std::string row;
    for (int k = 0; k < 16; ++k) {
        char value[8];
        std::snprintf(value, sizeof value, "%2d,", image.bytes[0x900 + k]);
        row += value;
        if (k % 4 == 3)
            row += "  ";
    }
    EXPECT_EQ(l[stringTable + 18], row);
}

TEST(ImageText, ReadbackDumpSections) {
    EepromImage image = patterned();
    const std::vector<std::string> l = lines(readbackTextDump(image));
    const std::pair<const char*, int> sections[] = {
        {"Scan Set2 code table", 16}, {"Scan Set3 code table", 16}, {"Logical Address table", 32},
        {"Prefix table", 16},         {"Key info table", 16},       {"General info table", 1},
        {"USB Set table", 16},        {"Rest of eeprom", 348}};
    size_t at = 0;
    for (auto [caption, rows] : sections) {
        ASSERT_LT(at, l.size());
        EXPECT_EQ(l[at], caption);
        EXPECT_EQ(l[at + rows + 1], "");
        at += rows + 2;
    }
    EXPECT_EQ(at, l.size());
    EXPECT_EQ(l[1].substr(0, 9), "0,7,14,21");
    const std::string& general = l[18 + 18 + 34 + 18 + 18 + 1];
    std::string expected;
    for (int k = 0; k < 16; ++k)
        expected += std::to_string(uint8_t((0x600 + k) * 7)) + ",";
    EXPECT_EQ(general, expected);
    // The last row of the dump holds 1DB0..1DBF.
    EXPECT_EQ(l[l.size() - 2].substr(l[l.size() - 2].rfind(',', l[l.size() - 2].size() - 2) + 1),
              std::to_string(uint8_t(0x1DBF * 7)) + ",");
}

TEST(ImageFiles, BinaryRoundTripAndBadFiles) {
    const auto dir = std::filesystem::temp_directory_path() / "quillan_image_files";
    std::filesystem::create_directories(dir);
    const std::string bin = (dir / "EEPkey.bin").string();
    const EepromImage image = patterned();
    ASSERT_TRUE(writeImageBinary(image, bin));
    EXPECT_EQ(std::filesystem::file_size(bin), 8192u);
    EepromImage back;
    const Outcome read = readImageFile(bin, back);
    ASSERT_TRUE(read) << read.message.text;
    EXPECT_EQ(back.bytes, image.bytes);

    ASSERT_TRUE(writeImageText(image, (dir / "EEPkey.txt").string()));
    std::ifstream text(dir / "EEPkey.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(text), {}), imageTextDump(image));
    ASSERT_TRUE(writeReadbackDump(image, (dir / "eepraw.txt").string()));
    EXPECT_EQ(std::filesystem::file_size(dir / "eepraw.txt"), readbackTextDump(image).size());

    std::filesystem::resize_file(bin, 8191);
    EepromImage untouched = patterned();
    const Outcome shortFile = readImageFile(bin, untouched);
    EXPECT_FALSE(shortFile);
    EXPECT_FALSE(shortFile.message.text.empty());
    EXPECT_EQ(untouched.bytes, image.bytes);
    std::filesystem::resize_file(bin, 8193);
    EXPECT_FALSE(readImageFile(bin, untouched));
    EXPECT_FALSE(readImageFile((dir / "missing.bin").string(), untouched));
    EXPECT_FALSE(writeImageBinary(image, (dir / "no" / "such" / "dir.bin").string()));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace quillan
