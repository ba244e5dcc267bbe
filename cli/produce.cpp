// produce: the production line on the command line. Programs every
// keyboard plugged in (up to --stations at once) with the next serial
// number, shows each one's progress and PASS or FAIL and logs it; Ctrl+C
// ends the run and every unit in progress as FAIL (cancelled).
#include "workflow/produce.h"
#include "cli/bus.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "model/file_io.h"

#include <array>
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

// Five rows of block letters for the words PASS and FAIL.
struct Glyph {
    char letter;
    std::array<const char*, 5> rows;
};
constexpr Glyph kGlyphs[] = {
    {'P', {"#### ", "#   #", "#### ", "#    ", "#    "}},
    {'A', {" ### ", "#   #", "#####", "#   #", "#   #"}},
    {'S', {" ####", "#    ", " ### ", "    #", "#### "}},
    {'F', {"#####", "#    ", "#### ", "#    ", "#    "}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#####"}},
};

const Glyph* glyphFor(char letter) {
    for (const Glyph& glyph : kGlyphs)
        if (glyph.letter == letter)
            return &glyph;
    return nullptr;
}

void printLarge(const char* word) {
    for (int row = 0; row < 5; ++row) {
        std::string line = "    ";
        for (const char* c = word; *c; ++c)
            if (const Glyph* glyph = glyphFor(*c))
                line += std::string(glyph->rows[row]) + "  ";
        std::printf("%s\n", line.c_str());
    }
}

// What the run shows; told under the run's lock. On a terminal with several
// stations: one live row per station and the totals below. Otherwise one
// line per event; a single station on a terminal also gets a progress bar
// and PASS or FAIL in large letters.
class Display {
  public:
    Display(bool terminal, int stations)
        : live_(terminal && stations != 1), large_(terminal && stations == 1) {}
    void show(const UnitEvent& event) {
        passed_ = event.passed;
        failed_ = event.failed;
        running_ = event.running;
        if (live_)
            row(event);
        else
            line(event);
        std::fflush(stdout);
    }
    void finish() { progress_.finish(); }

  private:
    void line(const UnitEvent& event) {
        const std::string serial = utf8FromLatin1(event.serial);
        const int station = event.station + 1;
        switch (event.state) {
        case UnitState::Waiting:
            std::printf("Waiting for keyboard %d \u2026 (serial %s)\n", event.unit, serial.c_str());
            break;
        case UnitState::Programming:
        case UnitState::Verifying:
            if (large_)
                bar(event);
            if (event.progress == 0)
                std::printf("%s %s on station %d (%s)\n",
                            event.state == UnitState::Programming ? "Programming" : "Verifying",
                            serial.c_str(), station, event.device.c_str());
            break;
        case UnitState::Pass:
        case UnitState::Fail:
            progress_.finish();
            if (large_) {
                std::printf("\n");
                printLarge(event.state == UnitState::Pass ? "PASS" : "FAIL");
                std::printf("\n");
            }
            std::printf("%s\npassed %d, failed %d\n", utf8FromLatin1(event.text).c_str(),
                        event.passed, event.failed);
            break;
        case UnitState::Removing:
            std::printf("Unplug keyboard %d (station %d)\n", event.unit, station);
            break;
        }
    }
    void bar(const UnitEvent& event) {
        if (event.progress == 0) {
            progress_.finish();
            sink_ = progress_.sink();
            sink_.start(20);
        } else {
            sink_.position(event.progress);
        }
    }
    void row(const UnitEvent& event) {
        if (event.station < 0)
            return; // waiting: the totals say it
        // A unit waiting to be unplugged keeps its PASS or FAIL text in sight.
        std::string& result = results_[event.station];
        if (event.state != UnitState::Removing)
            result = utf8FromLatin1(event.text);
        char text[256];
        std::snprintf(text, sizeof text, "station %d  %-24s %-12s %-11s %2d/20  %s",
                      event.station + 1, event.device.c_str(), utf8FromLatin1(event.serial).c_str(),
                      unitStateWord(event.state), event.progress, result.c_str());
        rows_[event.station] = text;
        if (drawn_ > 0)
            std::printf("\x1b[%dA", drawn_); // back to the first row
        for (const auto& [station, shown] : rows_)
            std::printf("\x1b[2K%s\n", shown.c_str());
        std::printf("\x1b[2K%d running, %d passed, %d failed\n", running_, passed_, failed_);
        drawn_ = static_cast<int>(rows_.size()) + 1;
    }

    bool live_;
    bool large_;
    TerminalProgress progress_;
    ProgressSink sink_;
    std::map<int, std::string> rows_;
    std::map<int, std::string> results_; // each station's last PASS or FAIL text
    int drawn_ = 0;
    int passed_ = 0;
    int failed_ = 0;
    int running_ = 0;
};

int exitCode(const ProduceResult& result) {
    switch (result.end) {
    case ProduceEnd::Done:
    case ProduceEnd::Stopped:
        return kExitOk;
    case ProduceEnd::Refused:
        return kExitUsage;
    case ProduceEnd::Aborted:
    case ProduceEnd::Failed:
        break;
    }
    return kExitFailed;
}

} // namespace

int runProduce(const Options& options) {
    if (options.serial.empty() && options.logFile.empty()) {
        std::fprintf(stderr, "produce needs --serial FIRST (or --log naming an earlier run)\n%s",
                     usageText().c_str());
        return kExitUsage;
    }
    // The serial field holds Latin-1 text.
    std::string serial;
    if (const Outcome converted = latin1FromUtf8(options.serial, serial); !converted) {
        std::fprintf(stderr, "--serial: %s\n", converted.message.text.c_str());
        return kExitUsage;
    }
    Bus bus;
    if (!bus.open(options, true))
        return kExitFailed;
    Session session;
    attachSession(session, bus, options);

    ProduceSettings settings{options.arguments[0], serial,           options.count, options.logFile,
                             !options.noVerify,    options.repairLog};
    settings.stations = options.stations;
    Display display(isatty(fileno(stdout)) != 0, options.stations);
    ProduceHooks hooks;
    hooks.event = [&display, &bus](const UnitEvent& event) {
        if (event.state == UnitState::Pass || event.state == UnitState::Fail)
            bus.setLastUnit(event.device);
        display.show(event);
    };
    hooks.stop = [] { return interrupted != 0; };
    hooks.cancelled = hooks.stop;
    simulateOperator(hooks, *bus.backend());
    interrupted = 0;
    auto previous = std::signal(SIGINT, onInterrupt);
    const ProduceResult result = produce(session, settings, hooks);
    std::signal(SIGINT, previous);
    display.finish();
    std::printf("%d passed, %d failed%s\n", result.passed, result.failed,
                result.end == ProduceEnd::Aborted   ? " (interrupted during a unit)"
                : result.end == ProduceEnd::Stopped ? " (interrupted)"
                                                    : "");
    int code = exitCode(result);
    if (!bus.close() && code == kExitOk)
        code = kExitFailed;
    return code;
}

} // namespace quillan::cli
