#include "workflow/stations.h"

#include "hidlink/locked_backend.h"
#include "workflow/produce.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <mutex>
#include <set>
#include <thread>

namespace quillan {
namespace {

constexpr int kBlocks = 20;

struct Unit {
    int number = 0;
    int station = 0;
    PluggedDevice plugged;
    std::string serial;
    std::thread thread;
    std::atomic<bool> ended = false;
    int shown = -1;   // the last progress told, under the run's lock
    std::string text; // "QX-0001 PASS: ...", "QX-0001 FAIL: cancelled"
    const std::string& device() const { return plugged.found.device; }
};

class StationRun {
  public:
    StationRun(std::shared_ptr<HidBackend> bus, const EepromImage& image,
               const StationSettings& settings, UnitLedger& ledger, const StationHooks& hooks)
        : bus_(std::move(bus)), busLock_(std::make_shared<std::mutex>()), view_(bus_, busLock_),
          image_(image), settings_(settings), ledger_(ledger), hooks_(hooks) {}
    StationsResult go();

  private:
    void look();
    void want(int unit);
    bool roomForUnit();
    bool finished();
    bool finishedLocked() const;
    bool runningOn(const std::string& device) const;
    void start(const PluggedDevice& plugged);
    void work(Unit& unit);
    std::string outcomeText(Session& session, const Unit& unit, const ProgramReport& report);
    void finish(Unit& unit, const ProgramReport& report);
    void reap(bool all);
    void pause();
    void tell(UnitEvent event);
    void emit(UnitState state, Unit& unit, int progress, const ProgramReport* report = nullptr,
              const std::string& logLine = "");
    void fail(const std::string& why);
    bool cancelled() const { return cancel_ || (hooks_.cancelled && hooks_.cancelled()); }

    std::shared_ptr<HidBackend> bus_;
    std::shared_ptr<std::mutex> busLock_; // every call on bus_
    LockedBackend view_;                  // the run thread's
    const EepromImage& image_;
    const StationSettings& settings_;
    UnitLedger& ledger_;
    const StationHooks& hooks_;

    std::mutex mutex_; // the ledger, the totals, the events, why_
    std::condition_variable unitEnded_;
    std::atomic<bool> cancel_ = false;
    std::list<std::unique_ptr<Unit>> units_; // running or not yet reaped
    std::set<std::string> seen_;             // devices given a unit and plugged in since
    StationsResult result_;
    int wanted_ = 0; // the last unit looked for
    bool noSerial_ = false;
    bool failed_ = false;
};

// Under the run's lock: the event with the totals.
void StationRun::tell(UnitEvent event) {
    event.passed = result_.passed;
    event.failed = result_.failed;
    event.running = static_cast<int>(std::count_if(
        units_.begin(), units_.end(), [](const auto& other) { return !other->ended; }));
    if (hooks_.event)
        hooks_.event(event);
}

void StationRun::emit(UnitState state, Unit& unit, int progress, const ProgramReport* report,
                      const std::string& logLine) {
    unit.shown = progress;
    UnitEvent event;
    event.state = state;
    event.station = unit.station;
    event.unit = unit.number;
    event.device = unit.device();
    event.serial = unit.serial;
    event.progress = progress;
    event.report = report;
    event.logLine = logLine;
    if (report)
        event.text = unit.text;
    tell(event);
}

void StationRun::fail(const std::string& why) {
    if (!failed_)
        result_.why = why;
    failed_ = true;
}

bool StationRun::runningOn(const std::string& device) const {
    return std::any_of(units_.begin(), units_.end(),
                       [&](const auto& unit) { return unit->device() == device; });
}

// A unit may start while the stations are not all busy and the PASSes
// still wanted are more than the units running.
bool StationRun::roomForUnit() {
    const std::lock_guard<std::mutex> lock(mutex_);
    const int running = static_cast<int>(units_.size());
    if (settings_.stations > 0 && running >= settings_.stations)
        return false;
    return settings_.count == 0 || result_.passed + running < settings_.count;
}

void StationRun::start(const PluggedDevice& plugged) {
    auto unit = std::make_unique<Unit>();
    unit->number = result_.started + 1;
    unit->plugged = plugged;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (const Outcome taken = ledger_.takeSerial(unit->number, plugged, unit->serial); !taken) {
            noSerial_ = true;
            fail(taken.message.text);
            return;
        }
        ++result_.started;
        std::set<int> busy;
        for (const auto& other : units_)
            busy.insert(other->station);
        while (busy.count(unit->station))
            ++unit->station;
        units_.push_back(std::move(unit));
        emit(UnitState::Programming, *units_.back(), 0);
    }
    Unit& started = *units_.back();
    started.thread = std::thread([this, &started] { work(started); });
}

void StationRun::work(Unit& unit) {
    Session session;
    session.backend = std::make_shared<LockedBackend>(bus_, busLock_);
    session.image = image_;
    setImageSerial(session.image, unit.serial);
    const std::unique_ptr<GapClock> clock = hooks_.makeClock ? hooks_.makeClock() : makeRealClock();
    session.clock = clock.get();
    session.cancelled = [this] { return cancelled(); };
    UnitState phase = UnitState::Programming;
    session.progress.setPosition = [this, &unit, &phase](int position) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (position != unit.shown)
            emit(phase, unit, position);
    };
    ProgramOptions options;
    options.verify = settings_.verify;
    options.verifying = [this, &unit, &phase] {
        const std::lock_guard<std::mutex> lock(mutex_);
        phase = UnitState::Verifying;
        emit(phase, unit, 0);
    };
    const ProgramReport report =
        programAndVerifyFound(session, unit.plugged.found, unit.plugged.version, options);
    unit.text = outcomeText(session, unit, report);
    finish(unit, report);
}

// "QX-0001 PASS: V0001 programmed in 10.4 s, verified", or the FAIL with
// its reason in a few words ("verify mismatch at 0345", "cancelled",
// "keyboard removed").
std::string StationRun::outcomeText(Session& session, const Unit& unit,
                                    const ProgramReport& report) {
    std::string reason = "programming failed";
    switch (report.result) {
    case ProgramResult::Passed:
        return unit.serial + " PASS: " + programSummary(report);
    case ProgramResult::Mismatch: {
        char text[64];
        std::snprintf(text, sizeof text, "verify mismatch at %04X",
                      report.mismatches.empty() ? 0 : report.mismatches[0].address);
        reason = text;
        break;
    }
    case ProgramResult::Cancelled:
        reason = "cancelled";
        break;
    case ProgramResult::NoDevice:
        reason = "keyboard removed";
        break;
    case ProgramResult::Failed: {
        const std::vector<PluggedDevice> plugged = findEveryKeyboard(*session.backend);
        if (std::none_of(plugged.begin(), plugged.end(),
                         [&](const auto& p) { return p.found.device == unit.device(); }))
            reason = "keyboard removed";
        break;
    }
    }
    return unit.serial + " FAIL: " + reason;
}

void StationRun::finish(Unit& unit, const ProgramReport& report) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool pass = report.passed();
    UnitRecord record{unit.number, unit.device(), unit.serial, pass, false, &report, &unit.plugged};
    record.cancelled = report.result == ProgramResult::Cancelled;
    std::string logLine;
    unit.ended = true; // no longer counted as running; joined once this returns
    if (const Outcome recorded = ledger_.record(record, logLine); !recorded) {
        // Neither counted nor told: the run ends saying what the unit holds.
        fail(recorded.message.text);
        cancel_ = true;
    } else {
        ++(pass ? result_.passed : result_.failed);
        result_.cancelled += record.cancelled;
        emit(pass ? UnitState::Pass : UnitState::Fail, unit, kBlocks, &report, logLine);
    }
    unitEnded_.notify_all();
}

// Joins the units that ended (all: every unit, waiting for it). While the
// run goes on, each one's keyboard may be taken away.
void StationRun::reap(bool all) {
    for (auto it = units_.begin(); it != units_.end();) {
        Unit& unit = **it;
        if (!all && !unit.ended) {
            ++it;
            continue;
        }
        unit.thread.join();
        const std::string device = unit.device();
        const int number = unit.number;
        bool goesOn = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            goesOn = !cancel_ && !finishedLocked();
            if (goesOn)
                emit(UnitState::Removing, unit, kBlocks);
            it = units_.erase(it);
        }
        if (goesOn && hooks_.unitDone)
            hooks_.unitDone(number, device);
    }
}

// Unit N is looked for: told once, before the first look for it.
void StationRun::want(int unit) {
    if (unit <= wanted_)
        return;
    wanted_ = unit;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        UnitEvent event;
        event.state = UnitState::Waiting;
        event.station = -1;
        event.unit = unit;
        event.serial = ledger_.upcoming();
        tell(event);
    }
    if (hooks_.unitWanted)
        hooks_.unitWanted(unit);
}

// One look at the bus: devices gone are forgotten, so that one plugged in
// again is a new unit; new ones start while there is room.
void StationRun::look() {
    const std::vector<PluggedDevice> plugged = findEveryKeyboard(view_);
    for (auto it = seen_.begin(); it != seen_.end();) {
        const bool present = std::any_of(plugged.begin(), plugged.end(),
                                         [&](const auto& p) { return p.found.device == *it; });
        it = present ? std::next(it) : seen_.erase(it);
    }
    for (const PluggedDevice& device : plugged) {
        if (seen_.count(device.found.device) || runningOn(device.found.device))
            continue;
        if (!roomForUnit() || noSerial_)
            return;
        start(device);
        if (noSerial_)
            return;
        seen_.insert(device.found.device);
    }
}

void StationRun::pause() {
    if (hooks_.pause) {
        hooks_.pause(kStationLookMs);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    unitEnded_.wait_for(lock, std::chrono::milliseconds(kStationLookMs), [this] {
        return std::any_of(units_.begin(), units_.end(),
                           [](const auto& unit) { return unit->ended.load(); });
    });
}

// The PASSes wanted are there, or no unit runs and none can start.
bool StationRun::finished() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return finishedLocked();
}

bool StationRun::finishedLocked() const {
    const bool done = settings_.count > 0 && result_.passed >= settings_.count;
    return done || ((noSerial_ || failed_) && units_.empty());
}

StationsResult StationRun::go() {
    bool stopped = false;
    while (true) {
        reap(false);
        if (!stopped && hooks_.stop && hooks_.stop()) {
            stopped = true;
            cancel_ = true;
        }
        if (cancel_) {
            reap(true);
            break;
        }
        if (finished())
            break;
        if (!noSerial_ && roomForUnit())
            want(result_.started + 1);
        if (!noSerial_)
            look();
        pause();
    }
    reap(true); // the units that ended since the last look
    const std::lock_guard<std::mutex> lock(mutex_);
    result_.end = failed_   ? StationsEnd::Failed
                  : stopped ? StationsEnd::Stopped
                            : StationsEnd::Done;
    return result_;
}

} // namespace

const char* unitStateWord(UnitState state) {
    switch (state) {
    case UnitState::Waiting:
        return "waiting";
    case UnitState::Programming:
        return "programming";
    case UnitState::Verifying:
        return "verifying";
    case UnitState::Pass:
        return "PASS";
    case UnitState::Fail:
        return "FAIL";
    case UnitState::Removing:
        break;
    }
    return "unplug";
}

StationsResult runStations(std::shared_ptr<HidBackend> bus, const EepromImage& image,
                           const StationSettings& settings, UnitLedger& ledger,
                           const StationHooks& hooks) {
    StationRun run(std::move(bus), image, settings, ledger, hooks);
    return run.go();
}

} // namespace quillan
