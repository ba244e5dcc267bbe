#include "hidlink/link.h"
#include "hidlink/sim_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace quillan {
namespace {

TEST(SimulatedBackend, Kinds) {
    for (const char* kind :
         {"keyboard-1000", "keyboard-1001", "keyboard-100A", "keyboard-100b", "keyboard-100C"}) {
        auto backend = makeSimulatedBackend(kind);
        ASSERT_NE(backend, nullptr) << kind;
        ASSERT_NE(backend->keyboard(), nullptr);
        EXPECT_EQ(backend->keyboard()->vendorId(), 0x04B4);
        EXPECT_EQ(backend->primary(), backend->keyboard());
    }
    auto programmer = makeSimulatedBackend("programmer-0412");
    ASSERT_NE(programmer, nullptr);
    ASSERT_NE(programmer->programmer(), nullptr);
    EXPECT_EQ(programmer->programmer()->productString, u"V0412");
    for (const char* bad : {"keyboard-2000", "keyboard-10", "keyboard-", "programmer-412",
                            "programmer-04x2", "mouse", ""})
        EXPECT_EQ(makeSimulatedBackend(bad), nullptr) << bad;
}

TEST(SimulatedBackend, SeveralDevicesOfAKind) {
    struct Case {
        const char* text;
        bool ok;
        const char* kind;
        int count;
    };
    for (const Case c :
         {Case{"keyboard-100B", true, "keyboard-100B", 1},
          Case{"keyboard-100B*4", true, "keyboard-100B", 4},
          Case{"programmer-0412*16", true, "programmer-0412", 16},
          Case{"keyboard-100B*0", false, "", 0}, Case{"keyboard-100B*17", false, "", 0},
          Case{"keyboard-100B*", false, "", 0}, Case{"keyboard-100B*2x", false, "", 0}}) {
        SCOPED_TRACE(c.text);
        std::string kind;
        int count = 0;
        ASSERT_EQ(splitSimulatedKind(c.text, kind, count), c.ok);
        auto backend = makeSimulatedBackend(c.text);
        EXPECT_EQ(backend != nullptr, c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(static_cast<int>(backend->devices().size()), c.count);
    }
}

// The bus's clock counts every handle's transfers; an action runs once, at
// its count. A swapped unit is a fresh device like the old one.
TEST(SimulatedBackend, ScheduledPlugsAndSwaps) {
    auto backend = makeSimulatedBackend("keyboard-100B*2");
    backend->devices()[1]->faults.corruptAddress = 7;
    int ran = 0;
    backend->at(3, [&ran](SimBackend& bus) {
        ++ran;
        bus.devices()[0]->unplug();
    });
    const std::string path = findEveryKeyboard(*backend)[0].found.path;
    std::unique_ptr<HidDevice> device = backend->open(path);
    const uint8_t report[5] = {3, 0, 0, 0x42, 0xAA};
    std::vector<bool> sent;
    for (int i = 0; i < 4; ++i)
        sent.push_back(device->setFeature(report, sizeof report));
    EXPECT_EQ(sent, (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(backend->transferCount(), 4);

    SimEepromDevice* fresh = backend->replaceUnit("sim:1");
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(backend->devices()[1]->present());
    EXPECT_EQ(fresh->faults.corruptAddress, 7);
    EXPECT_EQ(fresh->eeprom[0], 0xFF);
    EXPECT_EQ(backend->replaceUnit("sim:9"), nullptr);
    backend->devices()[0]->plugBack();
    EXPECT_EQ(findEveryKeyboard(*backend).size(), 2u);
}

TEST(SimulatedBackend, EepromFileRoundTrip) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string path = (dir / "quillan_sim_eeprom_test.bin").string();
    std::filesystem::remove(path);

    auto backend = makeSimulatedBackend("keyboard-100B");
    SimEepromDevice& device = *backend->primary();
    EXPECT_EQ(device.loadEeprom(path), SimEepromDevice::LoadResult::Missing);
    EXPECT_EQ(device.eeprom[0], 0xFF); // blank
    device.eeprom[0] = 0x12;
    device.eeprom[8191] = 0x34;
    ASSERT_TRUE(device.saveEeprom(path));
    EXPECT_EQ(std::filesystem::file_size(path), 8192u);

    auto again = makeSimulatedBackend("programmer-0411");
    SimEepromDevice& other = *again->primary();
    EXPECT_EQ(other.loadEeprom(path), SimEepromDevice::LoadResult::Loaded);
    EXPECT_EQ(other.eeprom, device.eeprom);

    std::ofstream(path, std::ios::binary) << "short";
    other.eeprom.fill(7);
    EXPECT_EQ(other.loadEeprom(path), SimEepromDevice::LoadResult::Invalid);
    EXPECT_EQ(other.eeprom[0], 7);
    std::filesystem::remove(path);
}

TEST(SimulatedKeyboard, FirmwareRequests) {
    auto keyboard = makeSimKeyboard(0x100B);
    const SimTarget vendor{1, 0};
    int error = 0;
    const uint8_t store[5] = {3, 0x10, 2, 0x42, 0xAA};
    ASSERT_TRUE(keyboard->setFeature(vendor, store, 5, error));
    EXPECT_EQ(keyboard->eeprom[2 * 256 + 0x10], 0x42);

    const uint8_t noMarker[5] = {3, 0x11, 2, 0x42, 0x00}; // ignored
    ASSERT_TRUE(keyboard->setFeature(vendor, noMarker, 5, error));
    EXPECT_EQ(keyboard->eeprom[2 * 256 + 0x11], 0xFF);

    const uint8_t ask[5] = {3, 0x10, 0x82, 0, 0xAA};
    ASSERT_TRUE(keyboard->setFeature(vendor, ask, 5, error));
    uint8_t answer[5] = {3};
    ASSERT_TRUE(keyboard->getFeature(vendor, answer, 5, error));
    EXPECT_EQ(answer[3], 0x42);
    EXPECT_EQ(keyboard->eeprom[2 * 256 + 0x10], 0x42); // a read stores nothing

    // Reports the collection does not declare are refused.
    EXPECT_FALSE(keyboard->setFeature(vendor, store, 4, error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(keyboard->setFeature(SimTarget{3, 0}, store, 5, error)); // the keyboard collection
    const uint8_t otherId[5] = {4, 0, 0, 0, 0xAA};
    EXPECT_FALSE(keyboard->setFeature(vendor, otherId, 5, error));
}

TEST(SimulatedBackend, QueryHandlesCarryNoReports) {
    auto backend = makeSimulatedBackend("keyboard-1001");
    const std::vector<HidInterfaceEntry> entries = backend->enumerate();
    ASSERT_EQ(entries.size(), 2u);
    std::unique_ptr<HidDevice> query = backend->openQuery(entries[0].path);
    ASSERT_NE(query, nullptr);
    const uint8_t report[5] = {3, 0, 0, 1, 0xAA};
    EXPECT_FALSE(query->setFeature(report, 5));
    EXPECT_EQ(query->lastErrorCode(), EBADF);
    std::unique_ptr<HidDevice> device = backend->open(entries[0].path);
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->setFeature(report, 5));
    EXPECT_EQ(backend->open("sim:9/0#0"), nullptr);
    EXPECT_EQ(backend->open("/dev/hidraw0"), nullptr);
}

// The real clock never ends a gap early.
TEST(RealClock, WaitsAtLeastTheGap) {
    GapClock& clock = realClock();
    for (int i = 0; i < 20; ++i) {
        const auto start = std::chrono::steady_clock::now();
        clock.waitMicroseconds(2000);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(2000));
    }
}

} // namespace
} // namespace quillan
