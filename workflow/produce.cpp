#include "workflow/produce.h"

#include "hidlink/sim_backend.h"

#include <memory>
#include <mutex>

namespace quillan {

namespace {

constexpr const char* kCaption = "Production run";

class Run {
  public:
    Run(Session& session, const ProduceSettings& settings, const ProduceHooks& hooks)
        : session_(session), settings_(settings), hooks_(hooks) {}
    ProduceResult go();

  private:
    bool prepare();
    bool openLog();
    bool chooseFirstSerial();
    bool skipUsedSerials();
    bool serialsFit();
    StationHooks stationHooks();
    void refuse(const std::string& text) { fail(text, ProduceEnd::Refused); }
    void fail(const std::string& text, ProduceEnd end = ProduceEnd::Failed) {
        result_.end = end;
        say(text, MessageIcon::Warning);
    }
    void say(const std::string& text, MessageIcon icon) const {
        if (session_.messages)
            session_.messages(Message{text, kCaption, icon});
    }

    Session& session_;
    const ProduceSettings& settings_;
    const ProduceHooks& hooks_;
    ProductionLog log_;
    ProduceResult result_;
    std::string serial_;
    std::mutex clockLock_; // the session's clock, when the stations share it
};

// The session's clock shared by the stations, one wait at a time.
class SharedClock : public GapClock {
  public:
    SharedClock(GapClock& clock, std::mutex& lock) : clock_(clock), lock_(lock) {}
    void waitMicroseconds(int64_t us) override {
        const std::lock_guard<std::mutex> guard(lock_);
        clock_.waitMicroseconds(us);
    }

  private:
    GapClock& clock_;
    std::mutex& lock_;
};

bool Run::openLog() {
    if (settings_.logPath.empty())
        return true;
    const Outcome opened = log_.open(settings_.logPath, settings_.repairLog, hooks_.logDisk);
    for (const std::string& note : log_.notes())
        say(note, MessageIcon::Information);
    if (opened)
        return true;
    // Another run's log, or one that cannot prove which serials are used:
    // refused like a bad serial. A log that cannot be read or written fails.
    fail(opened.message.text, log_.refused() ? ProduceEnd::Refused : ProduceEnd::Failed);
    return false;
}

bool Run::chooseFirstSerial() {
    serial_ = settings_.firstSerial;
    if (!serial_.empty())
        return true;
    const std::string last = log_.highestUsed();
    if (last.empty()) {
        refuse("No first serial number: the log records no PASS");
        return false;
    }
    if (!nextSerial(last, serial_)) {
        refuse("No serial number follows " + last + " in its width");
        return false;
    }
    return true;
}

// Refuses serial numbers that cannot be counted on, before anything is
// programmed: a character the serial field cannot hold, no numeric tail,
// no successor in the tail's width.
bool Run::serialsFit() {
    if (const Outcome fits = checkSerial(serial_); !fits) {
        refuse(fits.message.text);
        return false;
    }
    std::string next;
    std::string last = serial_;
    const int steps = settings_.count > 1 ? settings_.count - 1 : 1;
    for (int i = 0; i < steps; ++i)
        if (!nextSerial(last, next)) {
            refuse("Serial number " + serial_ +
                   " cannot be counted on: it needs a numeric tail with room to count in "
                   "its width");
            return false;
        } else {
            last = next;
        }
    return true;
}

bool Run::skipUsedSerials() {
    std::string unused;
    if (!log_.firstUnused(serial_, unused)) {
        fail("No serial number follows " + serial_ + " in its width");
        return false;
    }
    serial_ = unused;
    return true;
}

bool Run::prepare() {
    if (!settings_.firstSerial.empty()) {
        serial_ = settings_.firstSerial;
        if (!serialsFit())
            return false;
    }
    if (!openLog() || !chooseFirstSerial() || !skipUsedSerials() || !serialsFit())
        return false;
    if (!settings_.useSessionDefinition && !loadDefinition(session_, settings_.definitionFile))
        return false;
    return buildDefinition(session_, false).ok;
}

StationHooks Run::stationHooks() {
    StationHooks hooks;
    hooks.event = hooks_.event;
    hooks.unitWanted = hooks_.unitWanted;
    hooks.unitDone = hooks_.unitDone;
    hooks.pause = hooks_.pause;
    hooks.stop = hooks_.stop;
    hooks.cancelled = hooks_.cancelled;
    if (session_.clock)
        hooks.makeClock = [this]() -> std::unique_ptr<GapClock> {
            return std::make_unique<SharedClock>(*session_.clock, clockLock_);
        };
    return hooks;
}

ProduceResult Run::go() {
    if (!prepare())
        return result_;
    ProductionLedger ledger(serial_, log_.isOpen() ? &log_ : nullptr, &session_.image);
    const StationsResult run = runStations(session_.backend, session_.image,
                                           {settings_.stations, settings_.count, settings_.verify},
                                           ledger, stationHooks());
    result_.passed = run.passed;
    result_.failed = run.failed;
    switch (run.end) {
    case StationsEnd::Done:
        result_.end = ProduceEnd::Done;
        break;
    case StationsEnd::Stopped:
        result_.end = run.cancelled > 0 ? ProduceEnd::Aborted : ProduceEnd::Stopped;
        break;
    case StationsEnd::Failed:
        fail(run.why);
        break;
    }
    return result_;
}

} // namespace

void setImageSerial(EepromImage& image, const std::string& serial) {
    // The text and its terminator; the rest keeps the build's filling (FF).
    uint8_t* field = image.bytes.data() + kSerialNumberAddress;
    const size_t length = std::min<size_t>(serial.size(), kTextSize - 1);
    std::fill(field, field + kTextSize, 0xFF);
    std::copy_n(serial.begin(), length, field);
    field[length] = 0;
}

void simulateOperator(ProduceHooks& hooks, HidBackend& backend) {
    auto* sim = dynamic_cast<SimBackend*>(&backend);
    if (!sim)
        return;
    hooks.unitDone = [sim](int, const std::string& device) { sim->replaceUnit(device); };
}

ProduceResult produce(Session& session, const ProduceSettings& settings,
                      const ProduceHooks& hooks) {
    Run run(session, settings, hooks);
    return run.go();
}

} // namespace quillan
