#include "link_test_support.h"

#include "hidlink/products.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace quillan::test {
namespace {

// A 04B4 keyboard whose only collection has 4-byte input and output reports.
std::unique_ptr<SimKeyboard> fourByteKeyboard(uint16_t productId) {
    return std::make_unique<SimKeyboard>(productId, 0x0001, keyboardInterfaceReports(0x1000));
}

struct Found {
    bool ok;
    FoundDevice device;
};

Found find(Bench& bench) {
    LinkContext ctx = bench.context();
    Found found{};
    found.ok = FindKeyboard(ctx, found.device);
    return found;
}

class EachKeyboard : public ::testing::TestWithParam<std::pair<const char*, int>> {};

// Every product's vendor collection, and only it, is accepted.
TEST_P(EachKeyboard, AcceptsTheVendorCollection) {
    auto backend = makeSimulatedBackend(GetParam().first);
    ASSERT_NE(backend, nullptr);
    uint32_t version = 0;
    LinkContext ctx{*backend, version, {}, nullptr};
    FoundDevice found;
    ASSERT_TRUE(FindKeyboard(ctx, found));
    EXPECT_EQ(found.memberIndex, GetParam().second);
    EXPECT_EQ(found.vendorId, 0x04B4);
    std::unique_ptr<HidDevice> device = backend->openQuery(found.path);
    HidCaps caps;
    ASSERT_TRUE(device && device->getCaps(caps));
    EXPECT_TRUE(caps.usagePage == 0xFFA0 && caps.usage == 0xA5);
    EXPECT_EQ(versionLabel(version), "V0001"); // bcdDevice 0001
}

INSTANTIATE_TEST_SUITE_P(Products, EachKeyboard,
                         ::testing::Values(std::pair{"keyboard-1000", 0},
                                           std::pair{"keyboard-1001", 0},
                                           std::pair{"keyboard-100A", 0},
                                           std::pair{"keyboard-100B", 1},
                                           std::pair{"keyboard-100C", 1}));

TEST(FindKeyboard, FourByteReportsAreAcceptedAtAnyMemberIndex) {
    Bench bench;
    bench.sim.add(makeSimMouse());
    bench.sim.add(makeSimMouse());
    bench.sim.add(fourByteKeyboard(0x100B));
    const Found found = find(bench);
    ASSERT_TRUE(found.ok);
    EXPECT_EQ(found.device.memberIndex, 2);
    EXPECT_EQ(found.device.productId, 0x100B);
}

// The rules without 4-byte reports hold only at the descriptor set's own
// index: a device listed before the keyboard shifts it out of reach.
TEST(FindKeyboard, MemberIndexRulesDependOnThePosition) {
    Bench bench;
    bench.sim.add(makeSimMouse());
    bench.sim.add(makeSimKeyboard(0x100B)); // vendor collection now at member 2
    EXPECT_FALSE(find(bench).ok);
    EXPECT_EQ(bench.version, 0u);

    Bench set1;
    set1.sim.add(makeSimMouse());
    set1.sim.add(makeSimKeyboard(0x1001)); // vendor at member 1: the second rule
    const Found found = find(set1);
    ASSERT_TRUE(found.ok);
    EXPECT_EQ(found.device.memberIndex, 1);
}

TEST(FindKeyboard, LowerMemberIndexWins) {
    Bench keyboardFirst;
    keyboardFirst.sim.add(makeSimKeyboard(0x1000));
    keyboardFirst.sim.add(std::make_unique<SimProgrammer>(412));
    Found found = find(keyboardFirst);
    ASSERT_TRUE(found.ok);
    EXPECT_EQ(found.device.vendorId, 0x04B4);
    EXPECT_EQ(keyboardFirst.version, 1u);

    Bench programmerFirst;
    programmerFirst.sim.add(std::make_unique<SimProgrammer>(412));
    programmerFirst.sim.add(makeSimKeyboard(0x1000));
    found = find(programmerFirst);
    ASSERT_TRUE(found.ok);
    EXPECT_EQ(found.device.vendorId, 0x1593);
    EXPECT_EQ(found.device.memberIndex, 0);
    EXPECT_EQ(programmerFirst.version, 412u);
}

TEST(FindKeyboard, ProgrammerVersionFromItsProductString) {
    struct Case {
        std::optional<std::u16string> text;
        uint32_t version;
    };
    const Case cases[] = {
        {u"V0412", 412},        {u"V0123", 123}, // shown as V0123
        {u"X9999 rev B", 9999}, {u"", 0},        // accepted, but no version
        {u"V41", 4100},                          // missing digits count as 0
        {std::nullopt, 32},                      // unreadable: the error code (EPIPE)
    };
    for (const Case& c : cases) {
        Bench bench;
        bench.sim.add(std::make_unique<SimProgrammer>(0)).productString = c.text;
        const Found found = find(bench);
        EXPECT_TRUE(found.ok);
        EXPECT_EQ(bench.version, c.version);
    }
    EXPECT_EQ(versionLabel(123), "V0123");
    EXPECT_EQ(versionLabel(0), "");
}

TEST(FindKeyboard, KeyboardVersionFromBcdDevice) {
    Bench bench;
    bench.sim.add(makeSimKeyboard(0x100C, 0x0412));
    ASSERT_TRUE(find(bench).ok);
    EXPECT_EQ(bench.version, 412u);

    Bench zero;
    zero.sim.add(makeSimKeyboard(0x100C, 0x0000));
    ASSERT_TRUE(find(zero).ok);
    EXPECT_EQ(zero.version, 1u); // never 0, which means "no keyboard"
}

TEST(FindKeyboard, OtherIdentitiesAreNotAccepted) {
    Bench bench;
    bench.sim.add(fourByteKeyboard(0x2000)); // 04B4, other product
    bench.sim.add(std::make_unique<SimDevice>(0x1234, 0x1000, 1, keyboardInterfaceReports(0x1000)));
    bench.sim.add(makeSimMouse());
    bench.version = 77;
    EXPECT_FALSE(find(bench).ok);
    EXPECT_EQ(bench.version, 0u);

    Bench unplugged;
    unplugged.sim.add(makeSimKeyboard(0x1001)).unplug();
    EXPECT_FALSE(find(unplugged).ok);
}

// Several devices at once: one entry each, at the interface FindKeyboard
// picks when that device is alone on the bus (member indices counted within
// the device), with the version it reports.
TEST(FindEveryKeyboard, OneEntryPerDeviceAtItsProgrammingInterface) {
    const std::vector<std::string> kinds = {"keyboard-1000",  "keyboard-1001", "keyboard-100A",
                                            "keyboard-100B",  "keyboard-100C", "keyboard-100B",
                                            "programmer-0411"};
    SimBackend sim;
    sim.add(makeSimMouse());
    for (const std::string& kind : kinds)
        sim.add(makeSimulatedDevice(kind));
    sim.add(makeSimKeyboard(0x1001)).unplug();
    const std::vector<PluggedDevice> plugged = findEveryKeyboard(sim);
    ASSERT_EQ(plugged.size(), kinds.size());
    for (size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i]);
        auto alone = makeSimulatedBackend(kinds[i]);
        uint32_t version = 0;
        LinkContext ctx{*alone, version, {}, nullptr};
        FoundDevice single;
        ASSERT_TRUE(FindKeyboard(ctx, single));
        const std::string device = "sim:" + std::to_string(i + 1);
        const FoundDevice& found = plugged[i].found;
        EXPECT_EQ(found.device, device);
        EXPECT_EQ(found.path, device + single.path.substr(single.path.find('/')));
        EXPECT_EQ(found.memberIndex, single.memberIndex);
        EXPECT_EQ(found.productId, single.productId);
        EXPECT_EQ(plugged[i].version, version);
    }
}

// The udev rule lets the seat's user open every product the link serves.
TEST(UdevRule, NamesEveryServedProduct) {
    std::ifstream file(QUILLAN_UDEV_RULE);
    ASSERT_TRUE(file) << QUILLAN_UDEV_RULE;
    const std::string rules{std::istreambuf_iterator<char>(file), {}};
    for (const UsbProduct& product : kUsbProducts) {
        char line[128];
        std::snprintf(line, sizeof line,
                      "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%04x\", "
                      "ATTRS{idProduct}==\"%04x\", TAG+=\"uaccess\"\n",
                      product.vendorId, product.productId);
        EXPECT_NE(rules.find(line), std::string::npos) << line;
    }
}

} // namespace
} // namespace quillan::test
