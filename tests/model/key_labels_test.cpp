// Key labels and usages of the catalogue rows.
#include "model/catalogue.h"
#include "model/key_labels.h"

#include <gtest/gtest.h>
#include <set>

namespace quillan {
namespace {

TEST(KeyLabels, EveryKeyboardRowSaysWhatItIs) {
    std::set<KeyUsage> usages;
    for (int row = 0; row < kCatalogueRows; ++row) {
        const std::string name = catalogueName(row);
        const KeyUsage usage = usageOfRow(row);
        const bool numbered = name.rfind("IBM Key", 0) == 0;
        const bool unused = name.find("Not Used!") != std::string::npos;
        SCOPED_TRACE(name);
        if (numbered && !unused) {
            EXPECT_EQ(usage.page, PAGE_KEYBOARD);
            EXPECT_FALSE(keyLabel(row).empty());
            EXPECT_EQ(describedKeyName(row), name + " (" + keyLabel(row) + ")");
        } else {
            EXPECT_TRUE(keyLabel(row).empty());
            EXPECT_EQ(describedKeyName(row), name);
        }
        if (unused || row == 0) {
            EXPECT_FALSE(usage.valid());
        }
        if (usage.valid() && usage.page != PAGE_KEYBOARD) {
            EXPECT_TRUE(usages.insert(usage).second) << "media rows send distinct usages";
        }
    }
}

TEST(KeyLabels, Examples) {
    const std::pair<int, const char*> examples[] = {{31, "IBM Key 31 (A)"},
                                                    {115, "IBM Key 115 (F4)"},
                                                    {44, "IBM Key 44 (Left Shift)"},
                                                    {61, "IBM Key 61 (Space)"},
                                                    {143, "Mute"},
                                                    {130, "Left Mouse Button"}};
    for (const auto& [row, text] : examples)
        EXPECT_EQ(describedKeyName(row), text);
    EXPECT_EQ(usageOfRow(143), (KeyUsage{PAGE_CONSUMER, 0x2E}));
    EXPECT_EQ(usageOfRow(136), (KeyUsage{PAGE_SYSTEM, 0x01}));
    EXPECT_FALSE(usageOfRow(133).valid()); // String
    EXPECT_FALSE(usageOfRow(134).valid()); // Fn1
}

} // namespace
} // namespace quillan
