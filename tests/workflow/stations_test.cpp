// Several keyboards programmed at once on the simulated bus: serials given
// in order of start and back after a FAIL, a keyboard plugged in or pulled
// out while others run, a stop that cancels every unit.
#include "hidlink/sim_backend.h"
#include "workflow/produce.h"
#include "workflow/stations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

using namespace quillan;

namespace {

std::string eepromSerial(const SimDevice& device) {
    const auto& eeprom = dynamic_cast<const SimEepromDevice&>(device).eeprom;
    return reinterpret_cast<const char*>(&eeprom[kSerialNumberAddress]);
}

// Waits until open is set (or long enough to call it a hang) at the
// keyboard's gap number holdAt, and a little more so that whatever opened
// it has done its part; counts the rest without waiting.
class GateClock : public GapClock {
  public:
    GateClock(const std::atomic<bool>& open, int64_t holdAt) : open_(open), holdAt_(holdAt) {}
    void waitMicroseconds(int64_t) override {
        if (++waits_ != holdAt_)
            return;
        for (int ms = 0; ms < 30000 && !open_; ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

  private:
    const std::atomic<bool>& open_;
    const int64_t holdAt_;
    int64_t waits_ = 0;
};

class StationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        startSession(session_);
        ASSERT_TRUE(buildDefinition(session_, false));
        hooks_.makeClock = [] { return std::make_unique<CountingClock>(); };
        hooks_.pause = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
        hooks_.event = [this](const UnitEvent& e) {
            events_.push_back(e); // under the run's lock
            maxRunning_ = std::max(maxRunning_, e.running);
        };
    }
    std::shared_ptr<SimBackend> bus(const std::string& kind, int keyboards) {
        return std::shared_ptr<SimBackend>(
            makeSimulatedBackend(kind + "*" + std::to_string(keyboards)));
    }
    StationsResult run(std::shared_ptr<SimBackend> sim, int count, int stations = 0) {
        return runStations(sim, session_.image, {stations, count, true}, ledger_, hooks_);
    }
    std::vector<std::string> serials(bool started, bool pass = true) const {
        std::vector<std::string> out;
        for (const auto& e : ledger_.entries())
            if (e.started == started && (started || e.pass == pass))
                out.push_back(e.serial);
        if (!started) // results come in the order units end
            std::sort(out.begin(), out.end());
        return out;
    }
    int firstEvent(int unit, UnitState state) const {
        for (size_t i = 0; i < events_.size(); ++i)
            if (events_[i].unit == unit && events_[i].state == state)
                return static_cast<int>(i);
        return -1;
    }

    Session session_;
    MemoryLedger ledger_{"QX-0098"};
    StationHooks hooks_;
    std::vector<UnitEvent> events_;
    int maxRunning_ = 0;
};

} // namespace

TEST_F(StationsTest, EveryKeyboardHoldsItsOwnSerialInOrderOfStart) {
    struct Case {
        const char* kind;
        int keyboards;
        int stations;
    };
    // 1001 has two collections the acceptance rules take: still one unit.
    // Programming devices are served the same way (and not read back).
    for (const Case c :
         {Case{"keyboard-100B", 1, 0}, Case{"keyboard-1001", 2, 0}, Case{"keyboard-100B", 4, 0},
          Case{"keyboard-1000", 8, 0}, Case{"keyboard-100C", 4, 2}}) {
        SCOPED_TRACE(std::string(c.kind) + " x" + std::to_string(c.keyboards));
        ledger_ = MemoryLedger("QX-0098");
        events_.clear();
        maxRunning_ = 0;
        std::shared_ptr<SimBackend> sim = bus(c.kind, c.keyboards);
        const StationsResult result = run(sim, c.keyboards, c.stations);
        EXPECT_EQ(result.end, StationsEnd::Done);
        EXPECT_EQ(result.passed, c.keyboards);
        EXPECT_EQ(result.failed, 0);
        EXPECT_LE(maxRunning_, c.stations ? c.stations : c.keyboards);
        EXPECT_EQ(events_.back().running, 0);
        EXPECT_EQ(events_.back().passed, c.keyboards);
        std::vector<std::string> expected;
        std::string serial = "QX-0098";
        for (int i = 0; i < c.keyboards; ++i, nextSerial(serial, serial))
            expected.push_back(serial);
        EXPECT_EQ(serials(true), expected) << "consecutive in order of start";
        std::vector<std::string> held;
        for (const auto& device : sim->devices()) {
            if (const auto* keyboard = dynamic_cast<const SimKeyboard*>(device.get())) {
                EXPECT_EQ(keyboard->writesStored(), kTransferBytes) << "programmed once";
            }
            held.push_back(eepromSerial(*device));
        }
        std::sort(held.begin(), held.end());
        EXPECT_EQ(held, expected);
        const bool readBack = std::string(c.kind).rfind("keyboard", 0) == 0;
        for (int unit = 1; unit <= c.keyboards; ++unit) {
            const int verifying = firstEvent(unit, UnitState::Verifying);
            EXPECT_EQ(verifying >= 0, readBack);
            EXPECT_LT(firstEvent(unit, UnitState::Programming),
                      readBack ? verifying : firstEvent(unit, UnitState::Pass));
            EXPECT_LT(verifying, firstEvent(unit, UnitState::Pass));
        }
    }
}

TEST_F(StationsTest, AVerifyFailureGivesItsSerialToTheNextUnit) {
    std::shared_ptr<SimBackend> sim = bus("keyboard-100B", 2);
    dynamic_cast<SimKeyboard&>(*sim->devices()[1]).faults.corruptAddress = 0x123;
    // The operator swaps a finished keyboard for a fresh, sound one.
    hooks_.unitDone = [&sim](int, const std::string& device) {
        if (SimEepromDevice* fresh = sim->replaceUnit(device))
            fresh->faults = {};
    };
    const StationsResult result = run(sim, 2);
    EXPECT_EQ(result.end, StationsEnd::Done);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(serials(true), (std::vector<std::string>{"QX-0098", "QX-0099", "QX-0099"}));
    EXPECT_EQ(serials(false, true), (std::vector<std::string>{"QX-0098", "QX-0099"}));
    EXPECT_EQ(serials(false, false), std::vector<std::string>{"QX-0099"});
}

TEST_F(StationsTest, AKeyboardPulledOutFailsAloneAndIsANewUnitWhenPluggedBackIn) {
    std::shared_ptr<SimBackend> sim = bus("keyboard-100B", 4);
    SimDevice& pulled = *sim->devices()[2];
    pulled.faults.unplugAfterTransfers = 1000; // mid-download
    std::atomic<bool> failedSeen = false;
    hooks_.event = [&](const UnitEvent& e) {
        events_.push_back(e);
        failedSeen = failedSeen || e.state == UnitState::Fail;
    };
    // Plugged back in once the run has looked at the bus without it.
    int looksSince = 0;
    hooks_.pause = [&](int) {
        if (failedSeen && ++looksSince == 2) {
            pulled.faults.unplugAfterTransfers = -1;
            pulled.plugBack();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    const StationsResult result = run(sim, 4);
    EXPECT_EQ(result.end, StationsEnd::Done);
    EXPECT_EQ(result.passed, 4);
    EXPECT_EQ(result.failed, 1);
    ASSERT_EQ(serials(false, false).size(), 1u);
    const std::string failed = serials(false, false)[0];
    EXPECT_EQ(serials(true).size(), 5u);
    // The next unit to start after the FAIL took its serial; the keyboard
    // plugged back in holds the serial of the last unit it was given.
    const auto& entries = ledger_.entries();
    auto fail = std::find_if(entries.begin(), entries.end(),
                             [](const auto& e) { return !e.started && !e.pass; });
    auto next = std::find_if(fail, entries.end(), [](const auto& e) { return e.started; });
    ASSERT_NE(next, entries.end());
    EXPECT_EQ(next->serial, failed);
    std::string last;
    for (const auto& e : entries)
        if (e.started && e.device == "sim:2")
            last = e.serial;
    EXPECT_EQ(eepromSerial(pulled), last);
}

TEST_F(StationsTest, AKeyboardPluggedInWhileOthersRunStartsAtOnce) {
    std::shared_ptr<SimBackend> sim = bus("keyboard-100B", 2);
    sim->at(3000, [](SimBackend& bus) { bus.add(makeSimKeyboard(0x100B)); });
    // The first two hold at their 2000th report until the third has started.
    std::atomic<bool> thirdStarted = false;
    hooks_.makeClock = [&] { return std::make_unique<GateClock>(thirdStarted, 2000); };
    hooks_.event = [&](const UnitEvent& e) {
        events_.push_back(e);
        thirdStarted = thirdStarted || e.unit == 3;
    };
    const StationsResult result = run(sim, 3);
    EXPECT_EQ(result.passed, 3);
    const int third = firstEvent(3, UnitState::Programming);
    ASSERT_GE(third, 0);
    EXPECT_LT(third, firstEvent(1, UnitState::Pass));
    EXPECT_LT(third, firstEvent(2, UnitState::Pass));
}

TEST_F(StationsTest, AStopEndsEveryRunningUnitAsCancelled) {
    std::shared_ptr<SimBackend> sim = bus("keyboard-100A", 4);
    // Every unit holds at its 1000th report until the stop.
    std::atomic<int> started = 0;
    std::atomic<bool> stopping = false;
    hooks_.makeClock = [&] { return std::make_unique<GateClock>(stopping, 1000); };
    hooks_.event = [&](const UnitEvent& e) {
        events_.push_back(e);
        started += e.state == UnitState::Programming && e.progress == 0;
    };
    hooks_.stop = [&] { return stopping = started == 4; };
    const StationsResult result = run(sim, 0);
    EXPECT_EQ(result.end, StationsEnd::Stopped);
    EXPECT_EQ(result.passed, 0);
    EXPECT_EQ(result.failed, 4);
    int cancelled = 0;
    for (const auto& e : ledger_.entries())
        cancelled += !e.started && e.cancelled;
    EXPECT_EQ(cancelled, 4);
    for (const auto& device : sim->devices())
        EXPECT_LT(dynamic_cast<const SimKeyboard&>(*device).writesStored(), kTransferBytes);
}

TEST_F(StationsTest, ALedgerWithoutSerialsEndsTheRunOnceTheRunningUnitsEnd) {
    ledger_ = MemoryLedger("QX-9");
    const StationsResult result = run(bus("keyboard-100B", 3), 0);
    EXPECT_EQ(result.end, StationsEnd::Failed);
    EXPECT_EQ(result.passed, 1);
    EXPECT_EQ(result.why, "No serial number follows QX-9 in its width");
}

// The same engine behind produce with the real log: a verify failure gives
// its serial to the next unit, and a stop writes every running unit's FAIL.
TEST_F(StationsTest, TheLogKeepsEveryStationsLines) {
    const std::filesystem::path previous = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / "quillan-stations-log";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    struct Case {
        bool stop; // else device 1 fails verify once
        std::vector<std::string> results;
    };
    for (const Case& c : {Case{false, {"QX-0001 PASS", "QX-0002 FAIL", "QX-0002 PASS"}},
                          Case{true, {"QX-0001 FAIL", "QX-0002 FAIL", "QX-0003 FAIL"}}}) {
        std::filesystem::remove("run.csv");
        std::shared_ptr<SimBackend> sim = bus("keyboard-100B", c.stop ? 3 : 2);
        session_.backend = sim;
        std::atomic<int> started = 0;
        std::atomic<bool> stopping = false;
        ProduceHooks hooks;
        hooks.event = [&](const UnitEvent& e) {
            started += e.state == UnitState::Programming && e.progress == 0;
        };
        if (c.stop) {
            hooks.stop = [&] { return stopping = started == 3; };
            hooks.cancelled = [&] { return stopping.load(); };
        } else {
            dynamic_cast<SimKeyboard&>(*sim->devices()[1]).faults.corruptAddress = 0x123;
            hooks.unitDone = [&sim](int, const std::string& device) {
                if (SimEepromDevice* fresh = sim->replaceUnit(device))
                    fresh->faults = {};
            };
        }
        // A stop while every unit holds at the run's 1000th gap.
        GateClock clock(stopping, c.stop ? 1000 : -1);
        session_.clock = &clock;
        ProduceSettings settings{"", "QX-0001", c.stop ? 0 : 2, "run.csv", true};
        settings.useSessionDefinition = true;
        settings.stations = 0;
        const ProduceResult result = produce(session_, settings, hooks);
        EXPECT_EQ(result.end, c.stop ? ProduceEnd::Aborted : ProduceEnd::Done);
        std::ifstream in("run.csv");
        std::vector<std::string> results;
        int startedLines = 0;
        for (std::string line; std::getline(in, line);) {
            startedLines += line.find(",STARTED,") != std::string::npos;
            for (const char* word : {"PASS", "FAIL"})
                if (line.find(std::string(",") + word + ",") != std::string::npos)
                    results.push_back(line.substr(line.find(',') + 1, 7) + " " + word);
        }
        std::sort(results.begin(), results.end());
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(startedLines, 3);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}
