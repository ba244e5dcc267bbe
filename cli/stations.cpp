// produce --stations K: every keyboard plugged in is programmed at once, up
// to K (0: all). On a terminal one live line per station and a total;
// otherwise one line per event. Ctrl+C ends every running unit as FAIL.
#include "workflow/stations.h"
#include "cli/bus.h"
#include "cli/commands.h"
#include "cli/session.h"

#include <csignal>
#include <cstdio>
#include <map>
#include <unistd.h>

namespace quillan::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

const char* stateWord(StationState state) {
    switch (state) {
    case StationState::Programming:
        return "programming";
    case StationState::Verifying:
        return "verifying";
    case StationState::Pass:
        return "PASS";
    case StationState::Fail:
        break;
    }
    return "FAIL";
}

std::string outcome(const StationEvent& event) {
    if (!event.report)
        return "";
    if (event.report->result == ProgramResult::Cancelled)
        return "cancelled";
    if (event.state == StationState::Fail && event.report->mismatchCount > 0)
        return std::to_string(event.report->mismatchCount) + " bytes differ";
    return event.state == StationState::Pass ? programSummary(*event.report) : "not programmed";
}

// What the stations show; called under the run's lock.
class StationDisplay {
  public:
    explicit StationDisplay(bool live) : live_(live) {}
    void show(const StationEvent& event) {
        char text[256];
        std::snprintf(text, sizeof text, "station %d  %-24s %-12s %-11s %2d/20  %s",
                      event.station + 1, event.device.c_str(), event.serial.c_str(),
                      stateWord(event.state), event.progress, outcome(event).c_str());
        passed_ = event.passed;
        failed_ = event.failed;
        running_ = event.running;
        if (!live_) {
            // One line per event; progress shows only live.
            if (event.progress == 0 || event.report)
                std::printf("%s\n", text);
        } else {
            rows_[event.station] = text;
            redraw();
        }
        std::fflush(stdout);
    }
    void total() {
        if (!live_)
            std::printf("%d passed, %d failed\n", passed_, failed_);
        std::fflush(stdout);
    }

  private:
    void redraw() {
        if (drawn_ > 0)
            std::printf("\x1b[%dA", drawn_); // back to the first row
        for (const auto& [station, row] : rows_)
            std::printf("\x1b[2K%s\n", row.c_str());
        std::printf("\x1b[2K%d running, %d passed, %d failed\n", running_, passed_, failed_);
        drawn_ = static_cast<int>(rows_.size()) + 1;
    }

    bool live_;
    std::map<int, std::string> rows_;
    int drawn_ = 0;
    int passed_ = 0;
    int failed_ = 0;
    int running_ = 0;
};

int exitCode(const StationsResult& result) {
    return result.end == StationsEnd::Failed ? kExitFailed : kExitOk;
}

} // namespace

int runStations(const Options& options) {
    if (options.serial.empty()) {
        std::fprintf(stderr, "produce --stations needs --serial FIRST\n%s", usageText().c_str());
        return kExitUsage;
    }
    if (!options.logFile.empty()) {
        std::fprintf(stderr, "produce --stations keeps no --log yet\n");
        return kExitUsage;
    }
    Bus bus;
    if (!bus.open(options))
        return kExitFailed;
    Session session;
    if (!loadDefinition(session, options.arguments[0]) || !buildDefinition(session, false))
        return kExitFailed;

    MemoryLedger ledger(options.serial);
    StationDisplay display(isatty(fileno(stdout)) != 0);
    StationHooks hooks;
    hooks.event = [&display](const StationEvent& event) { display.show(event); };
    hooks.stop = [] { return interrupted != 0; };
    if (options.clock) // tests: clocks that do not wait, one per station
        hooks.makeClock = [] { return std::make_unique<CountingClock>(); };
    if (bus.simulated())
        hooks.unitDone = [&bus](const std::string& device) { bus.replaceUnit(device); };

    interrupted = 0;
    auto previous = std::signal(SIGINT, onInterrupt);
    const StationsResult result =
        runStations(bus.backend(), session.image,
                    {options.stations, options.count, !options.noVerify}, ledger, hooks);
    std::signal(SIGINT, previous);
    display.total();
    if (result.end == StationsEnd::Failed)
        std::fprintf(stderr, "Production run: %s\n", result.why.c_str());
    if (result.end == StationsEnd::Stopped)
        std::printf("(interrupted)\n");
    return exitCode(result);
}

} // namespace quillan::cli
