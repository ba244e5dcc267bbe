#include "workflow/produce.h"

#include "hidlink/sim_backend.h"

#include <chrono>
#include <thread>

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
    bool waitForUnit(FoundDevice& found);
    bool waitForRemoval();
    bool serveUnit(const FoundDevice& found);
    bool logResult(const ProductionLine& line);
    std::string failureReason(const ProgramReport& report);
    void emit(UnitState state, const ProgramReport* report = nullptr,
              const std::string& logLine = "", const std::string& text = "");
    bool stopped() const { return hooks_.stop && hooks_.stop(); }
    bool finished() const { return settings_.count > 0 && result_.passed >= settings_.count; }
    void pause() const;
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
    int unit_ = 0;
};

void Run::emit(UnitState state, const ProgramReport* report, const std::string& logLine,
               const std::string& text) {
    if (hooks_.event)
        hooks_.event(UnitEvent{state, unit_, serial_, result_.passed, result_.failed, report,
                               logLine, text});
}

void Run::pause() const {
    if (hooks_.pause)
        hooks_.pause(kPollMs);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
}

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

bool Run::waitForUnit(FoundDevice& found) {
    emit(UnitState::Waiting);
    if (hooks_.unitWanted)
        hooks_.unitWanted(unit_);
    LinkContext ctx = linkContext(session_);
    ctx.messages = nullptr;
    while (!stopped()) {
        if (FindKeyboard(ctx, found))
            return true;
        pause();
    }
    return false;
}

bool Run::waitForRemoval() {
    emit(UnitState::Removing);
    if (hooks_.unitDone)
        hooks_.unitDone(unit_);
    LinkContext ctx = linkContext(session_);
    ctx.messages = nullptr;
    FoundDevice found;
    while (!stopped()) {
        if (!FindKeyboard(ctx, found))
            return true;
        pause();
    }
    return false;
}

// Why a unit failed, in a few words: "verify mismatch at 0345",
// "cancelled", "keyboard removed".
std::string Run::failureReason(const ProgramReport& report) {
    char text[64];
    switch (report.result) {
    case ProgramResult::Mismatch:
        std::snprintf(text, sizeof text, "verify mismatch at %04X",
                      report.mismatches.empty() ? 0 : report.mismatches[0].address);
        return text;
    case ProgramResult::Cancelled:
        return "cancelled";
    case ProgramResult::NoDevice:
        return "keyboard removed";
    case ProgramResult::Passed:
    case ProgramResult::Failed:
        break;
    }
    LinkContext ctx = linkContext(session_);
    ctx.messages = nullptr;
    FoundDevice found;
    if (!FindKeyboard(ctx, found))
        return "keyboard removed";
    return "programming failed";
}

// The result line after the unit; when it cannot be written the run stops
// and says what the unit holds (its STARTED line keeps the serial used).
bool Run::logResult(const ProductionLine& line) {
    if (!log_.isOpen())
        return true;
    const Outcome logged = log_.record(line);
    if (logged)
        return true;
    fail("The keyboard with serial " + line.serial + " was programmed and " +
         (line.result == LineResult::Pass ? "PASSED" : "FAILED") +
         " but its result could not be logged: " + logged.message.text);
    return false;
}

// One unit: reserve its serial, program, verify, log. False when the run
// has to end.
bool Run::serveUnit(const FoundDevice& found) {
    setImageSerial(session_.image, serial_);
    ProductionLine line{isoLocalTime(),
                        serial_,
                        found.vendorId,
                        found.productId,
                        versionLabel(session_.keyboardVersion),
                        LineResult::Started,
                        0,
                        0,
                        crc32(session_.image.bytes.data(), kTransferBytes),
                        false};
    if (log_.isOpen()) {
        if (const Outcome reserved = log_.reserve(line); !reserved) {
            fail("Nothing programmed: serial " + serial_ +
                 " could not be reserved in the log: " + reserved.message.text);
            return false;
        }
    }
    emit(UnitState::Programming);
    ProgramOptions options;
    options.verify = settings_.verify;
    options.verifying = [this] { emit(UnitState::Verifying); };
    const ProgramReport report = programAndVerify(session_, options);
    const bool pass = report.passed();
    line = ProductionLine{isoLocalTime(),
                          serial_,
                          report.device.vendorId ? report.device.vendorId : found.vendorId,
                          report.device.vendorId ? report.device.productId : found.productId,
                          versionLabel(report.version),
                          pass ? LineResult::Pass : LineResult::Fail,
                          report.seconds,
                          report.mismatchCount,
                          report.crc ? report.crc : line.crc,
                          report.verification == Verification::Verified};
    if (!logResult(line))
        return false;
    ++(pass ? result_.passed : result_.failed);
    const std::string text =
        serial_ + (pass ? " PASS: " + programSummary(report) : " FAIL: " + failureReason(report));
    emit(pass ? UnitState::Pass : UnitState::Fail, &report,
         formatLogLine(line, !log_.isOpen() || log_.hasVerifiedColumn()), text);
    if (report.result == ProgramResult::Cancelled) {
        result_.end = ProduceEnd::Aborted;
        return false;
    }
    if (!pass || finished())
        return true;
    std::string next;
    if (!nextSerial(serial_, next)) {
        fail("No serial number follows " + serial_ + " in its width");
        return false;
    }
    serial_ = next;
    return skipUsedSerials();
}

ProduceResult Run::go() {
    if (!prepare())
        return result_;
    result_.end = ProduceEnd::Stopped;
    // Ctrl+C during a download aborts that unit.
    const std::function<bool()> previous = session_.cancelled;
    session_.cancelled = hooks_.stop;
    while (!finished()) {
        ++unit_;
        FoundDevice found;
        if (!waitForUnit(found) || !serveUnit(found) || finished() || !waitForRemoval())
            break;
    }
    session_.cancelled = previous;
    if (finished() && result_.end == ProduceEnd::Stopped)
        result_.end = ProduceEnd::Done;
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

void simulateOperator(ProduceHooks& hooks, HidBackend& backend,
                      std::function<void(SimEepromDevice*)> onPlugged) {
    auto* sim = dynamic_cast<SimBackend*>(&backend);
    if (!sim)
        return;
    hooks.unitWanted = [sim, onPlugged](int) {
        SimEepromDevice* unit = sim->plugFreshUnit();
        if (onPlugged)
            onPlugged(unit);
    };
    hooks.unitDone = [sim](int) { sim->unplugAll(); };
}

ProduceResult produce(Session& session, const ProduceSettings& settings,
                      const ProduceHooks& hooks) {
    Run run(session, settings, hooks);
    return run.go();
}

} // namespace quillan
