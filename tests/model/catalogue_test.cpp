#include "model/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace quillan {
namespace {

void expectRow(int row, uint8_t scan2, uint8_t scan3, uint8_t usb, const char* name,
               uint8_t keyType) {
    const IbmKeyRow* entry = catalogueRow(row);
    ASSERT_NE(entry, nullptr) << row;
    EXPECT_EQ(entry->ibmKey, row);
    EXPECT_EQ(entry->scan2, scan2) << row;
    EXPECT_EQ(entry->scan3, scan3) << row;
    EXPECT_EQ(entry->usb, usb) << row;
    EXPECT_STREQ(entry->name, name);
    EXPECT_EQ(entry->keyType, keyType) << row;
}

TEST(Catalogue, SpecialRows) {
    expectRow(0, 0xFF, 0xFF, 0x00, "No Key", UNUSED_KEY);
    expectRow(130, 0x01, 0x01, 0x01, "Left Mouse Button", MOUSE_BUTTON_KEY);
    expectRow(133, 0x00, 0x00, 0x00, "String", STRING_KEY);
    expectRow(134, 0x00, 0x00, 0x00, "Fn1 Button", LOCAL_SHIFT_RIGHT_KEY);
    expectRow(135, 0x00, 0x00, 0x00, "Fn2 Button", ALPHA_LOCK_KEY);
    expectRow(136, 0x00, 0x37, 0x01, "System power", SYSTEM_KEY);
    expectRow(142, 0x00, 0x34, 0x19, "Play-Pause", CONSUMER_KEY);
    expectRow(145, 0x00, 0x21, 0x08, "Volume down", CONSUMER_KEY);
    expectRow(146, 0x00, 0x00, 0x78, "Stop SUN", NORMAL_KEY);
}

TEST(Catalogue, KeyRowsSpotChecks) {
    expectRow(1, 0x0E, 0x0E, 0x35, "IBM Key 1", NORMAL_KEY);
    expectRow(30, 0x58, 0x14, 0x39, "IBM Key 30", NORMAL_KEY);
    expectRow(44, 0x12, 0x12, 0xE1, "IBM Key 44", SHIFT_LEFT_KEY);
    expectRow(58, 0x14, 0x11, 0xE0, "IBM Key 58", CTRL_LEFT_KEY);
    expectRow(62, 0x11, 0x39, 0xE6, "IBM Key 62", ALT_RIGHT_OR_GR_KEY);
    expectRow(95, 0x4A, 0x77, 0x54, "IBM Key 95", KEYPAD_KEY);
    expectRow(108, 0x5A, 0x79, 0x58, "IBM Key 108", KEYPAD_ENTER_KEY);
    expectRow(118, 0x83, 0x37, 0x40, "IBM Key 118", NORMAL_KEY);
    expectRow(124, 0x7C, 0x57, 0x46, "IBM Key 124", PRINTSCREEEN_KEY);
    expectRow(126, 0x77, 0x62, 0x48, "IBM Key 126", PAUSE_KEY);
    expectRow(129, 0x2F, 0x00, 0x65, "IBM Key 129", ALT_RIGHT_OR_GR_KEY);
}

TEST(Catalogue, RowsNotOnTheKeyboard) {
    const int unused[] = {14, 56, 59, 63, 65, 66, 67, 68, 69,  70,  71, 72,
                          73, 74, 77, 78, 82, 87, 88, 94, 107, 109, 111};
    int count = 0;
    for (int row = 1; row <= 129; ++row) {
        const std::string name = catalogueName(row);
        const bool notUsed =
            std::find(std::begin(unused), std::end(unused), row) != std::end(unused);
        const std::string expected =
            "IBM Key " + std::to_string(row) + (notUsed ? " Not Used!" : "");
        EXPECT_EQ(name, expected);
        if (notUsed) {
            ++count;
            const IbmKeyRow* entry = catalogueRow(row);
            EXPECT_EQ(entry->scan2, 0);
            EXPECT_EQ(entry->scan3, 0);
            EXPECT_EQ(entry->keyType, UNUSED_KEY);
            const uint8_t usb = row == 56 ? 0x87 : row == 107 ? 0x85 : 0x00;
            EXPECT_EQ(entry->usb, usb) << row;
        } else {
            EXPECT_NE(catalogueRow(row)->keyType, UNUSED_KEY) << row;
        }
    }
    EXPECT_EQ(count, 23);
}

TEST(Catalogue, OutOfRange) {
    EXPECT_EQ(catalogueRow(-1), nullptr);
    EXPECT_EQ(catalogueRow(147), nullptr);
    EXPECT_STREQ(catalogueName(147), "");
    EXPECT_STREQ(keyTypeName(22), "");
    EXPECT_STREQ(keyTypeName(-1), "");
    EXPECT_EQ(charEntry(128), nullptr);
    EXPECT_EQ(charEntry(-1), nullptr);
}

TEST(Catalogue, SearchByCodes) {
    EXPECT_EQ(findRowByCodes(0xFF, 0xFF, 0x00, UNUSED_KEY), 0);
    EXPECT_EQ(findRowByCodes(0x1C, 0x1C, 0x04, NORMAL_KEY), 31);
    // The first matching row wins: all unused rows but two share one pattern.
    EXPECT_EQ(findRowByCodes(0x00, 0x00, 0x00, UNUSED_KEY), 14);
    EXPECT_EQ(findRowByCodes(0x00, 0x00, 0x00, STRING_KEY), 133);
    EXPECT_EQ(findRowByCodes(0x00, 0x32, 0x04, CONSUMER_KEY), 144);
    EXPECT_EQ(findRowByCodes(0x1C, 0x1C, 0x04, CURSOR_KEY), kNoCatalogueRow);
    EXPECT_EQ(findRowByCodes(0x12, 0x34, 0x56, NORMAL_KEY), 147);
}

TEST(Catalogue, SearchByUsbAndName) {
    EXPECT_EQ(rowsByUsb(0x04), (std::vector<int>{31, 132, 138, 144}));
    EXPECT_EQ(rowsByUsb(0x78), (std::vector<int>{146}));
    EXPECT_TRUE(rowsByUsb(0xAA).empty());
    EXPECT_EQ(findRowByName("Fn2 Button"), 135);
    EXPECT_EQ(findRowByName("IBM Key 14 Not Used!"), 14);
    EXPECT_EQ(findRowByName("IBM Key 14"), -1);
    EXPECT_EQ(findRowByName(nullptr), -1);
}

TEST(Catalogue, KeyTypeNames) {
    EXPECT_STREQ(keyTypeName(0), "NORMAL_KEY");
    EXPECT_STREQ(keyTypeName(4), "PRINTSCREEEN_KEY");
    EXPECT_STREQ(keyTypeName(15), "UNUSED_KEY");
    EXPECT_STREQ(keyTypeName(20), "LOCAL_ILLUMIATION_KEY");
    EXPECT_STREQ(keyTypeName(21), "FN2_KEY");
}

TEST(Catalogue, CharacterTable) {
    EXPECT_EQ(charEntry('a')->row, 31);
    EXPECT_EQ(charEntry('a')->modifier, 0x00);
    EXPECT_EQ(charEntry('A')->row, 31);
    EXPECT_EQ(charEntry('A')->modifier, 0x02);
    EXPECT_EQ(charEntry(' ')->row, 61);
    EXPECT_EQ(charEntry('"')->row, 41);
    EXPECT_EQ(charEntry('"')->modifier, 0x02);
    EXPECT_EQ(charEntry('\'')->modifier, 0x00);
    EXPECT_EQ(charEntry('\\')->row, 29);
    EXPECT_EQ(charEntry('~')->row, 1);
    EXPECT_EQ(charEntry('@')->row, 3);
    EXPECT_EQ(charEntry(8)->row, 15);
    EXPECT_EQ(charEntry(9)->row, 16);
    EXPECT_EQ(charEntry(10)->row, 0);
    EXPECT_EQ(charEntry(127)->row, 0);
    // Every printable character is typed by a key; the shifted ones by the
    // same key as their unshifted partner where the layout pairs them.
    for (int code = 32; code < 127; ++code)
        EXPECT_NE(charEntry(code)->row, 0) << code;
    for (int code = 'a'; code <= 'z'; ++code)
        EXPECT_EQ(charEntry(code)->row, charEntry(code - 32)->row) << code;
}

} // namespace
} // namespace quillan
