// The string store's own operations: the capacity rule, the working slots,
// packing with its gap closing, and the list form.
#include "model/catalogue.h"
#include "model/string_store.h"

#include <gtest/gtest.h>

#include <memory>

using namespace quillan;

namespace {

StringCells keys(int count, uint8_t usb = 4) {
    return StringCells(static_cast<size_t>(count), StringCell{0, usb, 0x1C, 0});
}

std::unique_ptr<KeyboardDefinition> blank() {
    return std::make_unique<KeyboardDefinition>();
}

LayerAssignment& stringKey(KeyboardDefinition& def, int cell, int layer, int slot) {
    LayerAssignment& l = def.cells[cell].layers[layer];
    l.keytype = STRING_KEY;
    l.ibmkey = slot;
    return l;
}

TEST(StringStore, CapacityRuleAtItsEdges) {
    const struct {
        int strings, cells;
        bool fits;
    } cases[] = {{0, 0, true},   {127, 448, true}, {128, 0, false},
                 {-1, 0, false}, {1, 449, false},  {127, 449, false}};
    for (const auto& c : cases)
        EXPECT_EQ(stringCapacityRefusal(c.strings, c.cells).ok, c.fits)
            << c.strings << " strings, " << c.cells << " cells";
    EXPECT_EQ(stringCapacityRefusal(128, 10).message.text,
              "The strings do not fit the EEPROM: 128 strings in 10 character cells; it holds "
              "at most 127 strings in 448 cells.");
}

TEST(StringStore, SlotsAreTakenCountedRewrittenAndReleased) {
    auto def = blank();
    EXPECT_EQ(allocateString(*def, keys(3)), 0);
    EXPECT_EQ(allocateString(*def, keys(2)), 1);
    rewriteString(*def, 3, keys(1)); // an empty slot becomes a string in use
    rewriteString(*def, 1, keys(4)); // a string in use is not counted again
    EXPECT_EQ(def->NumberOfStrings, 3);
    EXPECT_FALSE(def->packedStringsCurrent);
    EXPECT_EQ(findFreeStringSlot(*def), 2);
    const int lengths[] = {3, 4, 0, 1};
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(workingStringLength(*def, slot), lengths[slot]) << slot;
    EXPECT_EQ(workingStringLength(*def, 128), 0);
    EXPECT_EQ(packedCellsNeeded(*def), 4 + 5 + 2);
    EXPECT_TRUE(workingStringsRefusal(*def));

    const LayerAssignment& first = stringKey(*def, 0, 0, 1);
    const LayerAssignment& second = stringKey(*def, 5, 3, 1);
    EXPECT_EQ(stringReferences(*def, 1), 2);
    EXPECT_EQ(stringReferences(*def, 1, &first), 1);
    releaseString(*def, 1, first); // the second key still names it
    EXPECT_EQ(workingStringLength(*def, 1), 4);
    def->cells[0].layers[0] = LayerAssignment{};
    releaseString(*def, 1, second);
    EXPECT_EQ(workingStringLength(*def, 1), 0);
    EXPECT_EQ(def->NumberOfStrings, 2);
}

TEST(StringStore, ChangeRefusalCountsTheChangedSlot) {
    auto def = blank();
    allocateString(*def, keys(440)); // 441 cells with its terminator
    const struct {
        int slot, keys;
        bool fits;
    } cases[] = {{-1, 6, true}, {-1, 7, false}, {0, 447, true}, {0, 448, false}, {5, 6, true}};
    for (const auto& c : cases)
        EXPECT_EQ(stringChangeRefusal(*def, c.slot, c.keys).ok, c.fits)
            << "slot " << c.slot << ", " << c.keys << " keys";
    for (int slot = 1; slot < kMaxStrings; ++slot)
        def->stringSlots[slot][0] = StringCell{0, 4, 0, 0};
    EXPECT_EQ(stringChangeRefusal(*def, -1, 0).message.text,
              "No string slot is free; no new string can be added.");
}

TEST(StringStore, PackingClosesGapsRenumbersAndClearsWhatIsStale) {
    auto def = blank();
    rewriteString(*def, 0, keys(2, 10));
    rewriteString(*def, 2, keys(1, 20));
    LayerAssignment& key = stringKey(*def, 7, 1, 2);
    def->stringIndex[100] = 0x0BAD;
    def->stringChars[300] = StringCell{1, 2, 3, 4};
    std::vector<int> removed;
    Log log;
    ASSERT_TRUE(packWorkingStrings(*def, log, [&](int slot) { removed.push_back(slot); }));
    EXPECT_EQ(removed, std::vector<int>{1});
    EXPECT_EQ(key.ibmkey, 1);
    EXPECT_EQ(def->stringIndex[0], 0x900);
    EXPECT_EQ(def->stringIndex[1], 0x900 + 3 * 4);
    EXPECT_EQ(def->stringIndex[100], 0);
    const uint8_t usb[] = {10, 10, 0, 20, 0};
    for (int p = 0; p < 5; ++p)
        EXPECT_EQ(def->stringChars[p].characterUSB, usb[p]) << p;
    EXPECT_TRUE(def->stringChars[300].isZero());
    EXPECT_TRUE(def->packedStringsCurrent);

    auto full = blank();
    for (int slot = 0; slot < 2; ++slot)
        rewriteString(*full, slot, keys(300));
    const auto before = std::make_unique<KeyboardDefinition>(*full);
    EXPECT_FALSE(packWorkingStrings(*full, log));
    EXPECT_TRUE(full->stringSlots == before->stringSlots &&
                full->stringChars == before->stringChars &&
                full->NumberOfStrings == before->NumberOfStrings);
}

TEST(StringStore, StaleStringsArePackedBeforeTheyAreWrittenOut) {
    auto def = blank();
    EXPECT_TRUE(packStaleStrings(*def)); // current: nothing to do
    rewriteString(*def, 0, keys(2));
    EXPECT_TRUE(packStaleStrings(*def));
    EXPECT_TRUE(def->packedStringsCurrent);
    EXPECT_EQ(def->stringChars[1].characterUSB, 4);
    for (int slot = 0; slot < 2; ++slot)
        rewriteString(*def, slot, keys(300));
    const Outcome refused = packStaleStrings(*def);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.message.text, workingStringsRefusal(*def).message.text);
    EXPECT_FALSE(def->packedStringsCurrent);
}

TEST(StringStore, ListFormPacksBackToBackOrRefuses) {
    std::array<uint16_t, kStringSlots> index{};
    std::array<StringCell, kStringCells> chars{};
    index[9] = 1;
    chars[447] = StringCell{1, 1, 1, 1};
    writePackedTables(index, chars, {keys(2), {}, keys(1)});
    const uint16_t expected[] = {0x900, 0x900 + 12, 0x900 + 16, 0};
    for (int m = 0; m < 4; ++m)
        EXPECT_EQ(index[m], expected[m]) << m;
    EXPECT_EQ(index[9], 0);
    EXPECT_TRUE(chars[2].isZero() && chars[3].isZero() && chars[5].isZero());
    EXPECT_FALSE(chars[4].isZero());
    EXPECT_TRUE(chars[447].isZero());

    const std::vector<StringCells> tooMany(128);
    EXPECT_FALSE(packRefusal(tooMany));
    EXPECT_TRUE(packRefusal({keys(447)}));
    EXPECT_FALSE(packRefusal({keys(448)}));
    auto def = blank();
    EXPECT_FALSE(packStrings(*def, tooMany));
    EXPECT_EQ(def->NumberOfStrings, 0);
}

} // namespace
