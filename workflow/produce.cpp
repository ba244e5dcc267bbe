#include "workflow/produce.h"

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
    bool chooseFirstSerial();
    bool skipLoggedSerials();
    bool serialsFit() const;
    bool waitForUnit(FoundDevice& found);
    bool waitForRemoval();
    bool serveUnit();
    void emit(UnitState state, const ProgramReport* report = nullptr,
              const std::string& logLine = "");
    bool stopped() const { return hooks_.stop && hooks_.stop(); }
    bool finished() const { return settings_.count > 0 && result_.passed >= settings_.count; }
    void pause() const;
    void refuse(const std::string& text) { fail(text, ProduceEnd::Refused); }
    void fail(const std::string& text, ProduceEnd end = ProduceEnd::Failed) {
        result_.end = end;
        if (session_.messages)
            session_.messages(Message{text, kCaption, MessageIcon::Warning});
    }

    Session& session_;
    const ProduceSettings& settings_;
    const ProduceHooks& hooks_;
    ProductionLog log_;
    ProduceResult result_;
    std::string serial_;
    int unit_ = 0;
};

void Run::emit(UnitState state, const ProgramReport* report, const std::string& logLine) {
    if (hooks_.event)
        hooks_.event(
            UnitEvent{state, unit_, serial_, result_.passed, result_.failed, report, logLine});
}

void Run::pause() const {
    if (hooks_.pause)
        hooks_.pause(kPollMs);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
}

bool Run::chooseFirstSerial() {
    serial_ = settings_.firstSerial;
    if (!serial_.empty())
        return true;
    const std::string last = log_.highestPass();
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
// programmed: no numeric tail, no successor in the tail's width, a
// successor too wide for the 31 characters of the image field, a comma.
bool Run::serialsFit() const {
    std::string next;
    std::string last = serial_;
    const int steps = settings_.count > 1 ? settings_.count - 1 : 1;
    for (int i = 0; i < steps; ++i)
        if (!nextSerial(last, next))
            return false;
        else
            last = next;
    return serial_.size() < kTextSize && serial_.find(',') == std::string::npos;
}

bool Run::skipLoggedSerials() {
    while (log_.passed().count(serial_)) {
        std::string next;
        if (!nextSerial(serial_, next)) {
            fail("No serial number follows " + serial_ + " in its width");
            return false;
        }
        serial_ = next;
    }
    return true;
}

bool Run::prepare() {
    if (!settings_.logPath.empty()) {
        if (const Outcome opened = log_.open(settings_.logPath); !opened) {
            fail(opened.message.text);
            return false;
        }
    }
    if (!chooseFirstSerial() || !skipLoggedSerials())
        return false;
    if (!serialsFit()) {
        refuse("Serial number " + serial_ +
               " cannot be counted on: it needs a numeric tail with room to count in its width");
        return false;
    }
    return loadDefinition(session_, settings_.definitionFile) && buildDefinition(session_, false);
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

// One unit: program, verify, log. False when the run has to end.
bool Run::serveUnit() {
    setImageSerial(session_.image, serial_);
    emit(UnitState::Programming);
    ProgramOptions options;
    options.verify = settings_.verify;
    options.verifying = [this] { emit(UnitState::Verifying); };
    const ProgramReport report = programAndVerify(session_, options);
    const bool pass = report.passed();
    const ProductionLine line{isoLocalTime(),
                              serial_,
                              report.device.vendorId,
                              report.device.productId,
                              versionLabel(report.version),
                              pass,
                              report.seconds,
                              report.mismatchCount,
                              report.crc};
    if (log_.isOpen() && !log_.append(line)) {
        fail("Could not write the production log " + settings_.logPath);
        return false;
    }
    ++(pass ? result_.passed : result_.failed);
    emit(pass ? UnitState::Pass : UnitState::Fail, &report, formatLogLine(line));
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
    return skipLoggedSerials();
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
        if (!waitForUnit(found) || !serveUnit() || finished() || !waitForRemoval())
            break;
    }
    session_.cancelled = previous;
    if (finished())
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

ProduceResult produce(Session& session, const ProduceSettings& settings,
                      const ProduceHooks& hooks) {
    Run run(session, settings, hooks);
    return run.go();
}

} // namespace quillan
