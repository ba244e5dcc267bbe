// A production run: one definition built once, programmed into unit after
// unit with consecutive serial numbers, each verified and logged.
#pragma once

#include "workflow/production_log.h"
#include "workflow/program.h"

#include <functional>
#include <string>

namespace quillan {

struct ProduceSettings {
    std::string definitionFile;
    std::string firstSerial; // "" with a log: after the highest serial it records as PASS
    int count = 0;           // PASSes wanted; 0: until stopped
    std::string logPath;     // "" : no log
    bool verify = true;
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
};

struct ProduceHooks {
    std::function<void(const UnitEvent&)> event;
    // Before waiting for unit N to be plugged in, and for it to be taken
    // away (a simulated line plugs in and unplugs its devices here).
    std::function<void(int unit)> unitWanted;
    std::function<void(int unit)> unitDone;
    std::function<void(int ms)> pause; // between two looks at the bus (default: sleep)
    std::function<bool()> stop;        // ends the run between units, aborts a unit
};

enum class ProduceEnd { Done, Stopped, Aborted, Refused, Failed };

struct ProduceResult {
    ProduceEnd end = ProduceEnd::Failed;
    int passed = 0;
    int failed = 0;
};

constexpr int kPollMs = 200;

// Checks the settings (the serial, the log), loads and builds the
// definition, then serves unit after unit. Refusals and failures are shown
// through session.messages.
ProduceResult produce(Session& session, const ProduceSettings& settings, const ProduceHooks& hooks);

// Puts serial into the image's serial-number text as a build would.
void setImageSerial(EepromImage& image, const std::string& serial);

} // namespace quillan
