// The descriptor sets: standard descriptors walked byte by byte, report
// descriptors run through a small HID item parser of this test's own, and
// the descriptor area that StoreDescriptorTable writes.
#include "eeprom/descriptors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

namespace quillan {
namespace {

// What a report descriptor defines, as a HID host sees it.
struct ParsedReports {
    // (report ID, main item tag) -> data bits; tags 8 input, 9 output, 11 feature.
    std::map<std::pair<int, int>, int> bits;
    std::vector<int> logicalMinimums;
    std::vector<int> logicalMaximums;
    int topCollections = 0;
    bool balanced = true;
    bool idsMixedWithNone = false;
};

ParsedReports parseReportDescriptor(std::span<const uint8_t> bytes) {
    ParsedReports out;
    int reportSize = 0, reportCount = 0, reportId = 0, depth = 0;
    bool sawId = false, sawMainWithoutId = false;
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t prefix = bytes[i++];
        EXPECT_NE(prefix, 0xFE) << "long items are not used";
        const int size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        if (i + size > bytes.size()) {
            ADD_FAILURE() << "item runs past the end";
            out.balanced = false;
            return out;
        }
        uint32_t value = 0;
        for (int k = 0; k < size; ++k)
            value |= uint32_t(bytes[i + k]) << (8 * k);
        int32_t signedValue = int32_t(value);
        if (size == 1)
            signedValue = int8_t(value);
        else if (size == 2)
            signedValue = int16_t(value);
        i += size;
        if (type == 0) { // main
            if (tag == 10) {
                if (depth == 0)
                    ++out.topCollections;
                ++depth;
            } else if (tag == 12) {
                if (--depth < 0)
                    out.balanced = false;
            } else if (tag == 8 || tag == 9 || tag == 11) {
                out.bits[{reportId, tag}] += reportSize * reportCount;
                if (reportId == 0)
                    sawMainWithoutId = true;
            }
        } else if (type == 1) { // global
            if (tag == 1)
                out.logicalMinimums.push_back(signedValue);
            else if (tag == 2)
                out.logicalMaximums.push_back(signedValue);
            else if (tag == 7)
                reportSize = int(value);
            else if (tag == 8) {
                reportId = int(value);
                sawId = true;
            } else if (tag == 9)
                reportCount = int(value);
        }
    }
    out.balanced = out.balanced && depth == 0;
    out.idsMixedWithNone = sawId && sawMainWithoutId;
    return out;
}

int entryAt(const EepromImage& image, int address) {
    return image.bytes[address] | image.bytes[address + 1] << 8;
}

TEST(DescriptorSets, SizesCodesAndProducts) {
    const std::tuple<int, int, uint16_t, size_t> expected[] = {
        {1, 4, 0x1001, 164}, {2, 6, 0x100A, 216}, {3, 14, 0x100B, 299}, {4, 1, 0x100C, 226}};
    for (auto [number, code, product, length] : expected) {
        const DescriptorSet* set = descriptorSet(number);
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(set->number, number);
        EXPECT_EQ(set->setCode, code);
        EXPECT_EQ(set->productId, product);
        EXPECT_EQ(set->bytes.size(), length);
        EXPECT_EQ(descriptorSetForProduct(product), set);
    }
    EXPECT_EQ(descriptorSet(0), nullptr);
    EXPECT_EQ(descriptorSet(5), nullptr);
    EXPECT_EQ(descriptorSetForProduct(0x1000), nullptr);
}

// Walks the standard descriptors as a host would and checks every entry
// against the bytes it points at.
TEST(DescriptorSets, StandardDescriptorsAndEntries) {
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE(number);
        const DescriptorSet& set = *descriptorSet(number);
        const auto& b = set.bytes;
        // Device descriptor.
        ASSERT_EQ(b[0], 18);
        EXPECT_EQ(b[1], 0x01);
        EXPECT_EQ(b[2] | b[3] << 8, 0x0100);
        EXPECT_EQ(b[4] + b[5] + b[6], 0);
        EXPECT_EQ(b[7], 8);
        EXPECT_EQ(b[8] | b[9] << 8, 0x04B4);
        EXPECT_EQ(b[10] | b[11] << 8, set.productId);
        EXPECT_EQ(b[12] | b[13] << 8, 0x0001);
        EXPECT_EQ(b[14] + b[15] + b[16], 0);
        EXPECT_EQ(b[17], 1);
        // Configuration descriptor and what follows it.
        const size_t config = 18;
        EXPECT_EQ(b[config + 1], 0x02);
        const int total = b[config + 2] | b[config + 3] << 8;
        const int interfaces = b[config + 4];
        EXPECT_EQ(b[config + 5], 1);
        EXPECT_EQ(b[config + 7], 0xA0);
        EXPECT_EQ(b[config + 8], 0x32);
        EXPECT_EQ(interfaces, int(set.interfaceReports.size()));
        EXPECT_EQ(
            size_t(total) + 18, set.bytes.size() - [&] {
                size_t sum = 0;
                for (auto report : set.interfaceReports)
                    sum += report.size();
                return sum;
            }());
        size_t at = config + 9;
        std::vector<size_t> hidOffsets;
        for (int n = 0; n < interfaces; ++n) {
            ASSERT_EQ(b[at], 9);
            EXPECT_EQ(b[at + 1], 0x04);
            EXPECT_EQ(b[at + 2], n);
            EXPECT_EQ(b[at + 4], 1);
            EXPECT_EQ(b[at + 5], 0x03);
            at += 9;
            ASSERT_EQ(b[at], 9);
            EXPECT_EQ(b[at + 1], 0x21);
            EXPECT_EQ(b[at + 2] | b[at + 3] << 8, 0x0100);
            EXPECT_EQ(b[at + 6], 0x22);
            EXPECT_EQ(size_t(b[at + 7] | b[at + 8] << 8), set.interfaceReports[n].size());
            hidOffsets.push_back(at);
            at += 9;
            ASSERT_EQ(b[at], 7);
            EXPECT_EQ(b[at + 1], 0x05);
            EXPECT_EQ(b[at + 2] & 0x80, 0x80);
            EXPECT_EQ(b[at + 3], 0x03);
            EXPECT_EQ(b[at + 4], 8);
            EXPECT_EQ(b[at + 6], 10);
            at += 7;
        }
        EXPECT_EQ(at, config + total);
        // Entries: device, configuration, then the HID descriptors.
        ASSERT_EQ(set.standardEntries.size(), 4u);
        EXPECT_EQ(set.standardEntries[0].address, 0x1100);
        EXPECT_EQ(set.standardEntries[0].length, 18);
        EXPECT_EQ(set.standardEntries[1].address, 0x1112);
        EXPECT_EQ(set.standardEntries[1].length, total);
        for (int k = 0; k < 2; ++k) {
            const size_t hidAt = hidOffsets[std::min<size_t>(k, hidOffsets.size() - 1)];
            EXPECT_EQ(set.standardEntries[2 + k].address, 0x1100 + hidAt);
            EXPECT_EQ(set.standardEntries[2 + k].length, 9);
        }
        // Report entries point at the report descriptors in interface order
        // (the single-interface set repeats its one descriptor).
        for (size_t k = 0; k < set.reportEntries.size(); ++k) {
            const size_t n = std::min(k, set.interfaceReports.size() - 1);
            size_t offset = at;
            for (size_t j = 0; j < n; ++j)
                offset += set.interfaceReports[j].size();
            const auto report = set.interfaceReports[n];
            EXPECT_EQ(set.reportEntries[k].address, 0x1100 + offset) << k;
            EXPECT_EQ(set.reportEntries[k].length, report.size()) << k;
            EXPECT_TRUE(std::equal(report.begin(), report.end(), b.begin() + offset)) << k;
        }
    }
}

TEST(DescriptorSets, ThirdSetEntryAddresses) {
    const DescriptorSet& set = *descriptorSet(3);
    const std::pair<int, int> standard[] = {{0x1100, 18}, {0x1112, 109}, {0x1124, 9}, {0x113D, 9}};
    const std::pair<int, int> reports[] = {{0x117F, 33}, {0x11A0, 24}, {0x11B8, 52}, {0x11EC, 63}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(set.standardEntries[k].address, standard[k].first);
        EXPECT_EQ(set.standardEntries[k].length, standard[k].second);
        EXPECT_EQ(set.reportEntries[k].address, reports[k].first);
        EXPECT_EQ(set.reportEntries[k].length, reports[k].second);
    }
    // Subclass/protocol and endpoint of each interface.
    const int expected[4][3] = {{1, 1, 0x82}, {1, 1, 0x82}, {1, 2, 0x82}, {1, 1, 0x81}};
    for (int n = 0; n < 4; ++n) {
        const size_t at = 27 + 25 * n;
        EXPECT_EQ(set.bytes[at + 6], expected[n][0]);
        EXPECT_EQ(set.bytes[at + 7], expected[n][1]);
        EXPECT_EQ(set.bytes[at + 18 + 2], expected[n][2]);
    }
}

// The reports each set claims are what its report descriptors define.
TEST(DescriptorSets, ReportsMatchTheirDescriptors) {
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE(number);
        const DescriptorSet& set = *descriptorSet(number);
        std::map<int, std::map<std::pair<int, int>, int>> claimed;
        for (const ReportLayout& r : set.reports) {
            auto& bits = claimed[r.interface];
            if (r.inputBits)
                bits[{r.reportId, 8}] = r.inputBits;
            if (r.outputBits)
                bits[{r.reportId, 9}] = r.outputBits;
            if (r.featureBits)
                bits[{r.reportId, 11}] = r.featureBits;
            EXPECT_EQ((r.inputBits | r.outputBits | r.featureBits) % 8, 0);
        }
        ASSERT_EQ(claimed.size(), set.interfaceReports.size());
        for (size_t n = 0; n < set.interfaceReports.size(); ++n) {
            const ParsedReports parsed = parseReportDescriptor(set.interfaceReports[n]);
            EXPECT_TRUE(parsed.balanced);
            EXPECT_FALSE(parsed.idsMixedWithNone);
            EXPECT_EQ(parsed.bits, claimed[int(n)]) << "interface " << n;
        }
    }
}

TEST(DescriptorSets, ReportContents) {
    const DescriptorSet& set = *descriptorSet(3);
    // Vendor feature: four signed bytes.
    const ParsedReports vendor = parseReportDescriptor(set.interfaceReports[1]);
    EXPECT_EQ(vendor.logicalMinimums, std::vector<int>{-128});
    EXPECT_EQ(vendor.logicalMaximums, std::vector<int>{127});
    EXPECT_EQ(set.interfaceReports[1][1], 0xA0);
    EXPECT_EQ(set.interfaceReports[1][2], 0xFF);
    // Mouse axes -127..127.
    const ParsedReports mouse = parseReportDescriptor(set.interfaceReports[2]);
    EXPECT_EQ(mouse.logicalMinimums.back(), -127);
    EXPECT_EQ(mouse.logicalMaximums.back(), 127);
    // Keyboard keys 0..65.
    const ParsedReports keyboard = parseReportDescriptor(set.interfaceReports[3]);
    EXPECT_EQ(keyboard.logicalMaximums.back(), 0x65);
    EXPECT_EQ(keyboard.topCollections, 1);
    // The combined set holds four application collections.
    EXPECT_EQ(parseReportDescriptor(descriptorSet(4)->interfaceReports[0]).topCollections, 4);
    EXPECT_EQ(parseReportDescriptor(descriptorSet(2)->interfaceReports[0]).topCollections, 2);
}

TEST(StoreDescriptorTable, StoresEachSetWithItsEntries) {
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE(number);
        EepromImage image;
        image.bytes.fill(0x5A);
        Log log;
        ASSERT_EQ(StoreDescriptorTable(image, number, log), 0);
        const DescriptorSet& set = *descriptorSet(number);
        EXPECT_EQ(image.bytes[0x1000], 0xAA);
        EXPECT_EQ(image.bytes[0x10FF], set.setCode);
        for (size_t k = 0; k < 4; ++k) {
            const int standard = 0x1001 + 4 * int(k);
            const int report = 0x1080 + 4 * int(k);
            EXPECT_EQ(entryAt(image, standard), set.standardEntries[k].address);
            EXPECT_EQ(image.bytes[standard + 2], set.standardEntries[k].length);
            EXPECT_EQ(image.bytes[standard + 3], 0);
            if (k < set.reportEntries.size()) {
                EXPECT_EQ(entryAt(image, report), set.reportEntries[k].address);
                EXPECT_EQ(image.bytes[report + 2], set.reportEntries[k].length);
            } else {
                EXPECT_EQ(entryAt(image, report) | image.bytes[report + 2], 0);
            }
        }
        EXPECT_TRUE(std::equal(set.bytes.begin(), set.bytes.end(), image.bytes.begin() + 0x1100));
        EXPECT_TRUE(std::all_of(image.bytes.begin() + 0x1100 + set.bytes.size(), image.bytes.end(),
                                [](uint8_t v) { return v == 0; }));
        EXPECT_TRUE(std::all_of(image.bytes.begin(), image.bytes.begin() + 0x1000,
                                [](uint8_t v) { return v == 0x5A; }));
    }
}

TEST(StoreDescriptorTable, NoneAndOutOfRange) {
    EepromImage image;
    Log log;
    log.captureToString(true);
    ASSERT_EQ(StoreDescriptorTable(image, 3, log), 0);
    const EepromImage stored = image;
    EXPECT_EQ(StoreDescriptorTable(image, 5, log), -1);
    EXPECT_EQ(image.bytes, stored.bytes);
    EXPECT_EQ(StoreDescriptorTable(image, 255, log), -1);
    EXPECT_EQ(image.bytes, stored.bytes);
    EXPECT_EQ(StoreDescriptorTable(image, 0, log), 0);
    EXPECT_EQ(image.bytes[0x1000], 0xFF);
    EXPECT_EQ(image.bytes[0x10FF], 0x00);
    EXPECT_EQ(log.captured(), "StoreDescriptorTable( 3)\nStoreDescriptorTable( 5)\n"
                              "StoreDescriptorTable( 255)\nStoreDescriptorTable( 0)\n");
}

} // namespace
} // namespace quillan
