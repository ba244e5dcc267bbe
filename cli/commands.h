// The quillan-cli commands. Each works in the current directory like the
// application does and returns the process exit code.
#pragma once

#include "hidlink/link.h"
#include "model/messages.h"

#include <span>
#include <string>
#include <vector>

namespace quillan::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitVerify = 3; // the keyboard did not store what was sent

struct Options {
    std::string simulate;  // simulated device kind, empty for real hardware
    std::string simEeprom; // file that keeps the simulated device's EEPROM
    std::string simFault;  // "corrupt:ADDR": simulated keyboards store ADDR wrongly
    bool noVerify = false; // program, produce: do not read the keyboard back
    std::string serial;    // produce: first serial number
    int count = 0;         // produce: PASSes wanted (0: until interrupted)
    std::string logFile;   // produce: CSV log
    // produce: set damaged log lines aside instead of refusing the run
    bool repairLog = false;
    int stations = 0; // produce: keyboards at once (0: every one plugged in)
    std::string command;
    std::vector<std::string> arguments;
    GapClock* clock = nullptr; // not an option: tests pass a clock that does not wait
};

// An option that follows a command.
struct CommandOption {
    const char* name;
    bool takesValue;
};

// One command: --help, the parser, the dispatcher and the manual page's
// check all read the one table of these.
struct Command {
    const char* name;
    size_t arguments;     // kOneOrMore: a file and any number of words after it
    const char* synopsis; // its lines in the usage text
    std::span<const CommandOption> options;
    int (*run)(const Options& options);
};
constexpr size_t kOneOrMore = ~size_t{0};

std::span<const Command> commandTable();
// nullptr for a name that is no command.
const Command* findCommand(const std::string& name);

// Parses argv; false (with error set) when the words are off.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
std::string usageText();

// Prints a message the GUI would show in a box, as "Caption: text".
MessageSink stderrSink();

int runNew(const std::string& file);
int runBuild(const std::string& file);
int runConvert(const std::string& from, const std::string& to);
int runRefill(const std::string& imageFile, const std::string& to);
int runDetect(const Options& options);
int runProgram(const Options& options);
int runRead(const Options& options);
int runProduce(const Options& options);
// export FILE FILE.json, import FILE.json NEW.dat, diff A B (settings files,
// JSON definitions or 8192-byte images); diff exits 0 when equal, 1 when
// different, 2 on error.
int runExport(const std::string& from, const std::string& to);
int runImport(const std::string& from, const std::string& to);
int runDiff(const std::string& a, const std::string& b);

int run(const Options& options);

} // namespace quillan::cli
