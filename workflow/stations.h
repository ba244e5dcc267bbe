// A production station with several ports: every keyboard (or programming
// device) plugged into the bus is programmed with the built image and its
// own serial number, and verified, each by a worker thread of its own with
// its own gap timing. A keyboard plugged in while others run starts at
// once; a keyboard that is unplugged and plugged in again is a new unit.
#pragma once

#include "workflow/unit_ledger.h"

#include <functional>
#include <memory>
#include <string>

namespace quillan {

struct StationSettings {
    int stations = 0; // units served at once; 0: every keyboard plugged in
    int count = 0;    // PASSes wanted over all stations; 0: until stopped
    bool verify = true;
};

// Waiting: the run looks for unit N (serial: the one it would take).
// Removing: unit N's keyboard may be taken away; the run goes on.
enum class UnitState { Waiting, Programming, Verifying, Pass, Fail, Removing };

// The word a station's line or row shows for the state ("programming", "PASS").
const char* unitStateWord(UnitState state);

struct UnitEvent {
    UnitState state = UnitState::Programming;
    int station = 0; // 0, 1, ...: the row the unit runs in (the lowest free)
    int unit = 0;    // 1, 2, ... in order of start
    std::string device;
    std::string serial;
    int progress = 0; // blocks done in this state, 0..20
    // Totals after the event.
    int passed = 0;
    int failed = 0;
    int running = 0;
    const ProgramReport* report = nullptr; // with Pass and Fail
    std::string logLine;                   // with Pass and Fail
    // With Pass and Fail: "QX-0001 PASS: V0001 programmed in 10.4 s,
    // verified", "QX-0001 FAIL: verify mismatch at 0345".
    std::string text;
};

struct StationHooks {
    // Told under the run's lock, in the order things happen, from the
    // thread they happen on.
    std::function<void(const UnitEvent&)> event;
    // On the run's thread: before it first looks for unit N, and once unit
    // N's worker has ended while the run goes on (a simulated operator plugs
    // a keyboard in, or swaps the finished one for a fresh one).
    std::function<void(int unit)> unitWanted;
    std::function<void(int unit, const std::string& device)> unitDone;
    // Between two looks at the bus, on the run's thread (default: waits
    // this long or until a unit ends).
    std::function<void(int ms)> pause;
    // Asked on the run's thread; true ends the run and every running unit
    // as a FAIL (cancelled).
    std::function<bool()> stop;
    // The same asked from the units' workers between reports (it must be
    // safe to call from any thread).
    std::function<bool()> cancelled;
    // The gap clock of one unit (default: a real clock of its own).
    std::function<std::unique_ptr<GapClock>()> makeClock;
};

enum class StationsEnd { Done, Stopped, Failed };

struct StationsResult {
    StationsEnd end = StationsEnd::Failed;
    int started = 0;
    int passed = 0;
    int failed = 0;
    int cancelled = 0; // FAILs because of a stop
    std::string why;   // with Failed
};

constexpr int kStationLookMs = 200;

// Serves the keyboards on bus with image (built, its serial set per unit)
// until settings.count PASSes, a stop, or a ledger that gives no serial or
// cannot record. A unit whose result the ledger could not record is not
// counted.
StationsResult runStations(std::shared_ptr<HidBackend> bus, const EepromImage& image,
                           const StationSettings& settings, UnitLedger& ledger,
                           const StationHooks& hooks);

} // namespace quillan
