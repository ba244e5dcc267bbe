// A production run: one definition built once, programmed into unit after
// unit with consecutive serial numbers, each verified and logged. A serial
// is reserved in the log before its unit is programmed, and no serial the
// log knows as used is programmed again.
#pragma once

#include "workflow/production_log.h"
#include "workflow/program.h"
#include "workflow/stations.h"

#include <functional>
#include <string>

namespace quillan {

struct ProduceSettings {
    std::string definitionFile;
    std::string firstSerial; // "" with a log: after the highest serial it records as PASS
    int count = 0;           // PASSes wanted over all stations; 0: until stopped
    std::string logPath;     // "" : no log
    bool verify = true;
    bool repairLog = false; // damaged log lines are set aside instead of refused
    // Runs the definition the session holds instead of loading definitionFile.
    bool useSessionDefinition = false;
    int stations = 1; // keyboards programmed at once; 0: every one plugged in
};

struct ProduceHooks {
    // Told in the order things happen; with several stations, from the
    // units' workers (under the run's lock).
    std::function<void(const UnitEvent&)> event;
    // Before the run first looks for unit N, and after unit N's keyboard
    // may be taken away (a simulated line plugs in and unplugs its devices
    // here).
    std::function<void(int unit)> unitWanted;
    std::function<void(int unit, const std::string& device)> unitDone;
    std::function<void(int ms)> pause; // between two looks at the bus (default: sleep)
    std::function<bool()> stop;        // ends the run; every running unit FAILs (cancelled)
    // The same asked from the units' workers between reports, so that a
    // stop takes effect at once; must be safe to call from any thread.
    std::function<bool()> cancelled;
    LogDisk logDisk; // the log's disk calls (tests play a full disk)
};

// On a simulated bus, stands for the operator: every finished keyboard the
// run goes on without is swapped for a fresh one like it. Leaves the hooks
// alone on any other bus.
void simulateOperator(ProduceHooks& hooks, HidBackend& backend);

enum class ProduceEnd { Done, Stopped, Aborted, Refused, Failed };

struct ProduceResult {
    ProduceEnd end = ProduceEnd::Failed;
    int passed = 0;
    int failed = 0;
};

// Checks the settings (the serial, the log), loads and builds the
// definition, then serves every keyboard plugged in, up to
// settings.stations at once, each unit with the next free serial. Refusals,
// failures and what the log tells are shown through session.messages. Ends
// Refused for a serial or log that cannot be used (another run's log, a
// damaged log), Failed when the log could not be written, Aborted when a
// stop cancelled a unit. The units' gaps are timed by session.clock when
// it is set (shared), else each by a real clock of its own.
ProduceResult produce(Session& session, const ProduceSettings& settings, const ProduceHooks& hooks);

// Puts serial into the image's serial-number text as a build would.
void setImageSerial(EepromImage& image, const std::string& serial);

} // namespace quillan
