// A production run: one definition built once, programmed into unit after
// unit with consecutive serial numbers, each verified and logged. A serial
// is reserved in the log before its unit is programmed, and no serial the
// log knows as used is programmed again.
#pragma once

#include "workflow/production_log.h"
#include "workflow/program.h"

#include <functional>
#include <string>

namespace quillan {

class SimEepromDevice;

struct ProduceSettings {
    std::string definitionFile;
    std::string firstSerial; // "" with a log: after the highest serial it records as PASS
    int count = 0;           // PASSes wanted; 0: until stopped
    std::string logPath;     // "" : no log
    bool verify = true;
    bool repairLog = false; // damaged log lines are set aside instead of refused
    // Runs the definition the session holds instead of loading definitionFile.
    bool useSessionDefinition = false;
};

enum class UnitState { Waiting, Programming, Verifying, Pass, Fail, Removing };

struct UnitEvent {
    UnitState state = UnitState::Waiting;
    int unit = 0; // 1, 2, ...
    std::string serial;
    int passed = 0;
    int failed = 0;
    const ProgramReport* report = nullptr; // with Pass and Fail
    std::string logLine;                   // with Pass and Fail
    // With Pass and Fail: "QX-0001 PASS: V0001 programmed in 10.4 s,
    // verified", "QX-0001 FAIL: verify mismatch at 0345".
    std::string text;
};

struct ProduceHooks {
    std::function<void(const UnitEvent&)> event;
    // Before waiting for unit N to be plugged in, and for it to be taken
    // away (a simulated line plugs in and unplugs its devices here).
    std::function<void(int unit)> unitWanted;
    std::function<void(int unit)> unitDone;
    std::function<void(int ms)> pause; // between two looks at the bus (default: sleep)
    std::function<bool()> stop;        // ends the run between units, aborts a unit
    LogDisk logDisk;                   // the log's disk calls (tests play a full disk)
};

// On a simulated bus, stands for the operator: plugs in a fresh device like
// the bus's first one for each unit (onPlugged is told of it) and unplugs
// it afterwards. Leaves the hooks alone on any other bus.
void simulateOperator(ProduceHooks& hooks, HidBackend& backend,
                      std::function<void(SimEepromDevice*)> onPlugged = {});

enum class ProduceEnd { Done, Stopped, Aborted, Refused, Failed };

struct ProduceResult {
    ProduceEnd end = ProduceEnd::Failed;
    int passed = 0;
    int failed = 0;
};

constexpr int kPollMs = 200;

// Checks the settings (the serial, the log), loads and builds the
// definition, then serves unit after unit. Refusals, failures and what the
// log tells are shown through session.messages. Ends Refused for a serial or
// log that cannot be used (another run's log, a damaged log), Failed when
// the log could not be written.
ProduceResult produce(Session& session, const ProduceSettings& settings, const ProduceHooks& hooks);

// Puts serial into the image's serial-number text as a build would.
void setImageSerial(EepromImage& image, const std::string& serial);

} // namespace quillan
