// detect, program and read: the keyboard commands, on the hidapi backend or
// on a simulated device.
#include "cli/commands.h"
#include "cli/session.h"
#include "hidlink/hidapi_backend.h"
#include "hidlink/link.h"
#include "hidlink/sim_backend.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace quillan::cli {

namespace {

// A progress bar on standard error, redrawn when its position changes.
class TerminalProgress {
  public:
    ProgressSink sink() {
        return ProgressSink{[this](int range) { start(range); },
                            [this](int position) { draw(position); }};
    }
    void finish() {
        if (range_ > 0)
            std::fputc('\n', stderr);
        range_ = 0;
    }

  private:
    static constexpr int kWidth = 40;
    void start(int range) {
        finish();
        if (!isatty(fileno(stderr)))
            return; // no bar in logs and pipes
        range_ = range;
        shown_ = -1;
        draw(0);
    }
    void draw(int position) {
        if (range_ <= 0)
            return;
        const int filled = static_cast<int>(static_cast<long>(position) * kWidth / range_);
        if (filled == shown_ && position != range_)
            return;
        shown_ = filled;
        std::fprintf(stderr, "\r[%-*.*s] %d/%d", kWidth, filled,
                     "########################################", position, range_);
        std::fflush(stderr);
    }
    int range_ = 0;
    int shown_ = -1;
};

// The backend the options name; a simulated one keeps its EEPROM in the
// --sim-eeprom file from start to exit.
class Backend {
  public:
    bool open(const Options& options) {
        if (options.simulate.empty()) {
            backend_ = makeHidapiBackend();
            return backend_ != nullptr;
        }
        std::unique_ptr<SimBackend> sim = makeSimulatedBackend(options.simulate);
        if (!sim) {
            std::fprintf(stderr, "unknown simulated kind %s\n", options.simulate.c_str());
            return false;
        }
        eepromFile_ = options.simEeprom;
        primary_ = sim->primary();
        if (!eepromFile_.empty() && primary_ &&
            primary_->loadEeprom(eepromFile_) == SimEepromDevice::LoadResult::Invalid) {
            std::fprintf(stderr, "%s does not hold an 8192-byte EEPROM\n", eepromFile_.c_str());
            return false;
        }
        backend_ = std::move(sim);
        return true;
    }
    // Writes the simulated EEPROM back; false when that failed.
    bool close() {
        if (eepromFile_.empty() || !primary_)
            return true;
        if (primary_->saveEeprom(eepromFile_))
            return true;
        std::fprintf(stderr, "could not write %s\n", eepromFile_.c_str());
        return false;
    }
    HidBackend& get() { return *backend_; }

  private:
    std::unique_ptr<HidBackend> backend_;
    SimEepromDevice* primary_ = nullptr;
    std::string eepromFile_;
};

void say(const char* text, const char* caption) {
    stderrSink()({text, caption, MessageIcon::None});
}

// "Check keyboard presence": the version is what tells whether one was found.
bool keyboardPresent(LinkContext& link) {
    FoundDevice found;
    link.keyboardVersion = 0;
    FindKeyboard(link, found);
    return link.keyboardVersion != 0;
}

int detect(LinkContext& link) {
    if (!keyboardPresent(link)) {
        say("No Keyboard Found!", "Check keyboard presence");
        return kExitFailed;
    }
    std::printf("%s\n", versionLabel(link.keyboardVersion).c_str());
    return kExitOk;
}

// As "Program Keyboard": build without files, check presence, download.
int program(LinkContext& link, TerminalProgress& progress, const std::string& file) {
    Session session;
    if (!loadDefinition(session, file) || !buildDefinition(session, false))
        return kExitFailed;
    if (!keyboardPresent(link)) {
        say("No Keyboard Found!", "Programming");
        return kExitFailed;
    }
    const bool programmed = ProgramKeyboard(link, session.image);
    progress.finish();
    if (!programmed) {
        say("Programming failed", "Programming");
        return kExitFailed;
    }
    return kExitOk;
}

// As "Read Keyboard EEProm": read, and only then replace the definition.
int read(LinkContext& link, TerminalProgress& progress, const std::string& file) {
    Session session;
    std::string versionText;
    const bool readBack = ReadKeyboard(link, session.image, versionText);
    progress.finish();
    if (!readBack) {
        say("No keyboard detected or Upload not supported!", "Read Keyboard EEProm");
        return kExitFailed;
    }
    if (!refillAndSave(session, file))
        return kExitFailed;
    say("Keyboard read !", "Reading");
    return kExitOk;
}

} // namespace

int runDevice(const Options& options) {
    Backend backend;
    if (!backend.open(options))
        return kExitFailed;
    uint32_t version = 0;
    TerminalProgress progress;
    LinkContext link{backend.get(), version, stderrSink(), progress.sink()};
    int result = kExitUsage;
    if (options.command == "detect")
        result = detect(link);
    else if (options.command == "program")
        result = program(link, progress, options.arguments[0]);
    else if (options.command == "read")
        result = read(link, progress, options.arguments[0]);
    if (!backend.close() && result == kExitOk)
        result = kExitFailed;
    return result;
}

} // namespace quillan::cli
