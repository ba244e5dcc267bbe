#include "workflow/stations.h"

#include "hidlink/locked_backend.h"
#include "workflow/produce.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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
    int shown = -1; // the last progress told, under the run's lock
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
    bool roomForUnit();
    bool finished();
    bool runningOn(const std::string& device) const;
    void start(const PluggedDevice& plugged);
    void work(Unit& unit);
    void finish(Unit& unit, const ProgramReport& report);
    void reap(bool all);
    void pause();
    void emit(StationState state, Unit& unit, int progress, const ProgramReport* report = nullptr);
    void fail(const std::string& why);

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
    bool noSerial_ = false;
    bool failed_ = false;
};

void StationRun::emit(StationState state, Unit& unit, int progress, const ProgramReport* report) {
    unit.shown = progress;
    const auto running = std::count_if(units_.begin(), units_.end(),
                                       [](const auto& other) { return !other->ended; });
    if (hooks_.event)
        hooks_.event(StationEvent{state, unit.station, unit.number, unit.device(), unit.serial,
                                  progress, result_.passed, result_.failed,
                                  static_cast<int>(running), report});
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
        std::string why;
        if (!ledger_.takeSerial(unit->number, unit->device(), unit->serial, why)) {
            noSerial_ = true;
            fail(why);
            return;
        }
        ++result_.started;
        std::set<int> busy;
        for (const auto& other : units_)
            busy.insert(other->station);
        while (busy.count(unit->station))
            ++unit->station;
        units_.push_back(std::move(unit));
        emit(StationState::Programming, *units_.back(), 0);
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
    session.cancelled = [this] { return cancel_.load(); };
    StationState phase = StationState::Programming;
    session.progress.setPosition = [this, &unit, &phase](int position) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (position != unit.shown)
            emit(phase, unit, position);
    };
    ProgramOptions options;
    options.verify = settings_.verify;
    options.verifying = [this, &unit, &phase] {
        const std::lock_guard<std::mutex> lock(mutex_);
        phase = StationState::Verifying;
        emit(phase, unit, 0);
    };
    const ProgramReport report =
        programAndVerifyFound(session, unit.plugged.found, unit.plugged.version, options);
    finish(unit, report);
}

void StationRun::finish(Unit& unit, const ProgramReport& report) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool pass = report.passed();
    const UnitRecord record{
        unit.number, unit.device(), unit.serial, pass, report.result == ProgramResult::Cancelled,
        &report};
    std::string why;
    if (!ledger_.record(record, why)) {
        fail(why);
        cancel_ = true;
    }
    ++(pass ? result_.passed : result_.failed);
    unit.ended = true; // no longer counted as running; joined once this returns
    emit(pass ? StationState::Pass : StationState::Fail, unit, kBlocks, &report);
    unitEnded_.notify_all();
}

// Joins the units that ended (all: every unit, waiting for it).
void StationRun::reap(bool all) {
    for (auto it = units_.begin(); it != units_.end();) {
        Unit& unit = **it;
        if (!all && !unit.ended) {
            ++it;
            continue;
        }
        unit.thread.join();
        const std::string device = unit.device();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            it = units_.erase(it);
        }
        if (hooks_.unitDone)
            hooks_.unitDone(device);
    }
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

StationsResult runStations(std::shared_ptr<HidBackend> bus, const EepromImage& image,
                           const StationSettings& settings, UnitLedger& ledger,
                           const StationHooks& hooks) {
    StationRun run(std::move(bus), image, settings, ledger, hooks);
    return run.go();
}

} // namespace quillan
