// produce: the production line on the command line. Waits for each unit,
// programs it with the next serial number, prints PASS or FAIL in large
// letters and logs it; Ctrl+C ends the run between units or aborts the unit
// in progress.
#include "workflow/produce.h"
#include "cli/bus.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "model/file_io.h"

#include <array>
#include <csignal>
#include <cstdio>

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

void show(const UnitEvent& event, TerminalProgress& progress) {
    switch (event.state) {
    case UnitState::Waiting:
        std::printf("Waiting for keyboard %d \u2026 (serial %s)\n", event.unit,
                    utf8FromLatin1(event.serial).c_str());
        break;
    case UnitState::Programming:
        std::printf("Programming %s\n", utf8FromLatin1(event.serial).c_str());
        break;
    case UnitState::Verifying:
        progress.finish();
        std::printf("Verifying %s\n", utf8FromLatin1(event.serial).c_str());
        break;
    case UnitState::Pass:
    case UnitState::Fail:
        progress.finish();
        std::printf("\n");
        printLarge(event.state == UnitState::Pass ? "PASS" : "FAIL");
        std::printf("\n%s\n", utf8FromLatin1(event.text).c_str());
        std::printf("passed %d, failed %d\n", event.passed, event.failed);
        break;
    case UnitState::Removing:
        std::printf("Unplug keyboard %d\n", event.unit);
        break;
    }
    std::fflush(stdout);
}

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
    TerminalProgress& progress = session.progressBar;

    ProduceSettings settings{options.arguments[0], serial,           options.count, options.logFile,
                             !options.noVerify,    options.repairLog};
    ProduceHooks hooks;
    hooks.event = [&progress](const UnitEvent& event) { show(event, progress); };
    hooks.stop = [] { return interrupted != 0; };
    simulateOperator(hooks, *bus.backend(),
                     [&bus](SimEepromDevice* unit) { bus.setCurrent(unit); });
    interrupted = 0;
    auto previous = std::signal(SIGINT, onInterrupt);
    const ProduceResult result = produce(session, settings, hooks);
    std::signal(SIGINT, previous);
    progress.finish();
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
