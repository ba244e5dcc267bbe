#include "eeprom/descriptors.h"
#include "hidlink/report_descriptor.h"
#include "hidlink/sim_devices.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quillan {
namespace {

struct ExpectedCollection {
    int interface;
    uint16_t usagePage;
    uint16_t usage;
    uint16_t input;
    uint16_t output;
    uint16_t feature;
};

// What the platform reports for every collection of a product's keyboard,
// in listing order.
std::vector<ExpectedCollection> expectedFor(uint16_t productId) {
    const ExpectedCollection consumer{0, 0x000C, 0x01, 2, 0, 0};
    const ExpectedCollection vendor{0, 0xFFA0, 0xA5, 0, 0, 5};
    const ExpectedCollection mouse{0, 0x0001, 0x02, 4, 0, 0};
    const ExpectedCollection keyboard{0, 0x0001, 0x06, 9, 2, 0};
    auto at = [](ExpectedCollection c, int interface) {
        c.interface = interface;
        return c;
    };
    switch (productId) {
    case 0x1000:
        return {{0, 0xFFA0, 0xA5, 4, 4, 0}, at(keyboard, 1)};
    case 0x1001:
        return {vendor, at(keyboard, 1)};
    case 0x100A:
        return {vendor, mouse, at(keyboard, 1)};
    case 0x100B:
        return {consumer, at(vendor, 1), at(mouse, 2), at(keyboard, 3)};
    default: // 100C: one interface, keyboard with report ID 1 and five key bytes
        return {consumer, vendor, mouse, {0, 0x0001, 0x06, 8, 2, 0}};
    }
}

class KeyboardDescriptors : public ::testing::TestWithParam<uint16_t> {};

TEST_P(KeyboardDescriptors, CollectionsAndLengthsAsThePlatformCountsThem) {
    const std::vector<std::vector<uint8_t>> reports = keyboardInterfaceReports(GetParam());
    std::vector<ExpectedCollection> found;
    for (size_t i = 0; i < reports.size(); ++i) {
        const ParsedReportDescriptor parsed = parseReportDescriptor(reports[i]);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        for (const HidTopCollection& top : parsed.collections) {
            const HidCaps caps = top.caps();
            found.push_back({static_cast<int>(i), caps.usagePage, caps.usage,
                             caps.inputReportByteLength, caps.outputReportByteLength,
                             caps.featureReportByteLength});
        }
    }
    const std::vector<ExpectedCollection> expected = expectedFor(GetParam());
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(found[i].interface, expected[i].interface);
        EXPECT_EQ(found[i].usagePage, expected[i].usagePage);
        EXPECT_EQ(found[i].usage, expected[i].usage);
        EXPECT_EQ(found[i].input, expected[i].input);
        EXPECT_EQ(found[i].output, expected[i].output);
        EXPECT_EQ(found[i].feature, expected[i].feature);
    }
}

INSTANTIATE_TEST_SUITE_P(Products, KeyboardDescriptors,
                         ::testing::Values(0x1000, 0x1001, 0x100A, 0x100B, 0x100C));

// Every report of the descriptor sets' own layout tables is found with the
// same interface, ID and bit sizes.
TEST(ReportDescriptor, AgreesWithTheDescriptorSetsReportLayouts) {
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE(number);
        const DescriptorSet* set = descriptorSet(number);
        ASSERT_NE(set, nullptr);
        for (const ReportLayout& layout : set->reports) {
            const ParsedReportDescriptor parsed =
                parseReportDescriptor(set->interfaceReports[layout.interface]);
            ASSERT_TRUE(parsed.ok);
            uint32_t bits[3] = {0, 0, 0};
            for (const HidTopCollection& top : parsed.collections)
                for (const HidReportInfo& report : top.reports)
                    if (report.reportId == layout.reportId)
                        bits[static_cast<int>(report.kind)] += report.bits;
            EXPECT_EQ(bits[0], layout.inputBits) << int(layout.reportId);
            EXPECT_EQ(bits[1], layout.outputBits) << int(layout.reportId);
            EXPECT_EQ(bits[2], layout.featureBits) << int(layout.reportId);
        }
    }
}

TEST(ReportDescriptor, ItemsThatChangeTheState) {
    const std::vector<uint8_t> descriptor = {
        0x0B, 0x01, 0x00, 0xA0, 0xFF, // Usage (FFA0:0001), 4 bytes with its own page
        0xA1, 0x01,                   // Collection (Application)
        0xA4,                         //   Push
        0x75, 0x08, 0x95, 0x02,       //   8 bits x 2
        0xFE, 0x02, 0x10, 0xAA, 0xBB, //   a long item, skipped
        0x81, 0x02,                   //   Input: 16 bits
        0xB4,                         //   Pop
        0x75, 0x01, 0x95, 0x03,       //   1 bit x 3
        0x91, 0x02,                   //   Output: 3 bits -> 1 byte
        0xC0,                         // End Collection
        0x81, 0x02,                   // Input outside any collection: ignored
    };
    const ParsedReportDescriptor parsed = parseReportDescriptor(descriptor);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ASSERT_EQ(parsed.collections.size(), 1u);
    const HidCaps caps = parsed.collections[0].caps();
    EXPECT_EQ(caps.usagePage, 0xFFA0);
    EXPECT_EQ(caps.usage, 0x0001);
    EXPECT_EQ(caps.inputReportByteLength, 3);
    EXPECT_EQ(caps.outputReportByteLength, 2);
    EXPECT_EQ(caps.featureReportByteLength, 0);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    const std::vector<std::vector<uint8_t>> broken = {
        {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75}, // item cut short
        {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01},       // collection not closed
        {0xC0},                                     // End Collection alone
        {0xB4},                                     // Pop without Push
        {0x85, 0x00},                               // Report ID 0
        {0xFE, 0x05, 0x00, 0x01},                   // long item cut short
    };
    for (const std::vector<uint8_t>& bytes : broken) {
        const ParsedReportDescriptor parsed = parseReportDescriptor(bytes);
        EXPECT_FALSE(parsed.ok) << testing::PrintToString(bytes);
        EXPECT_FALSE(parsed.error.empty());
    }
    EXPECT_TRUE(parseReportDescriptor({}).ok);
}

// Descriptors come from devices: any bytes must parse without reading
// outside them (run under the sanitizers), and a cut-off one is refused.
TEST(ReportDescriptor, CutOffAndRandomBytes) {
    const std::span<const uint8_t> combined = descriptorSet(4)->interfaceReports[0];
    for (size_t length = 1; length < combined.size(); ++length) {
        const std::vector<uint8_t> cut(combined.begin(), combined.begin() + length);
        const bool ok = parseReportDescriptor(cut).ok;
        if (length >= 6 && length < 33) { // inside the first collection
            EXPECT_FALSE(ok) << length;
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes(random() % 80);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random());
        const ParsedReportDescriptor parsed = parseReportDescriptor(bytes);
        for (const HidTopCollection& top : parsed.collections)
            (void)top.caps();
    }
}

} // namespace
} // namespace quillan
