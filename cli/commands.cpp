#include "cli/commands.h"

#include "cli/bus.h"
#include "cli/edit.h"
#include "cli/session.h"
#include "eeprom/image_files.h"

#include <cstdio>
#include <cstdlib>

namespace quillan::cli {

namespace {

using Args = const Options&;

constexpr CommandOption kProgramOptions[] = {{"--no-verify", false}};
constexpr CommandOption kProduceOptions[] = {{"--no-verify", false},
                                             {"--serial", true},
                                             {"--count", true},
                                             {"--log", true},
                                             {"--repair-log", false},
                                             {"--stations", true}};

// clang-format off
constexpr Command kCommands[] = {
    {"new", 1, "new FILE.dat              save a new definition", {},
     [](Args o) { return runNew(o.arguments[0]); }},
    {"build", 1, "build FILE.dat            load FILE.dat and write EEPkey.bin, EEPkey.txt", {},
     [](Args o) { return runBuild(o.arguments[0]); }},
    {"convert", 2, "convert OLD.dat NEW.dat   load any supported version, save as 4.0", {},
     [](Args o) { return runConvert(o.arguments[0], o.arguments[1]); }},
    {"refill", 2, "refill IMAGE.bin NEW.dat  turn an 8192-byte image back into a definition", {},
     [](Args o) { return runRefill(o.arguments[0], o.arguments[1]); }},
    {"detect", 0, "detect                    look for a keyboard and print its version", {},
     runDetect},
    {"program", 1,
     "program FILE.dat [--no-verify]\n"
     "                            load, build, download and verify FILE.dat",
     kProgramOptions, runProgram},
    {"read", 1, "read NEW.dat              read the keyboard back into NEW.dat", {}, runRead},
    {"produce", 1,
     "produce FILE.dat --serial FIRST [--count N] [--log FILE.csv] [--no-verify]\n"
     "        [--repair-log] [--stations K]\n"
     "                            program every plugged keyboard (at most K) with the next\n"
     "                            serials",
     kProduceOptions, runProduce},
    {"export", 2, "export FILE FILE.json     write a definition (any version) as JSON", {},
     [](Args o) { return runExport(o.arguments[0], o.arguments[1]); }},
    {"import", 2, "import FILE.json NEW.dat  write the JSON definition as a 4.0 file", {},
     [](Args o) { return runImport(o.arguments[0], o.arguments[1]); }},
    {"diff", 2, "diff A B                  list the differences of two definitions", {},
     [](Args o) { return runDiff(o.arguments[0], o.arguments[1]); }},
    {"edit", kOneOrMore, "edit FILE.dat OP...       apply the operations below, then build and save",
     {}, [](Args o) { return runEdit(o.arguments); }},
};
// clang-format on

const CommandOption* findCommandOption(const Command& command, const std::string& name) {
    for (const CommandOption& option : command.options)
        if (name == option.name)
            return &option;
    return nullptr;
}

bool setCommandOption(Options& options, const std::string& name, const std::string& value,
                      std::string& error) {
    if (name == "--no-verify")
        options.noVerify = true;
    else if (name == "--repair-log")
        options.repairLog = true;
    else if (name == "--serial")
        options.serial = value;
    else if (name == "--log")
        options.logFile = value;
    else if (name == "--count") {
        char* end = nullptr;
        const long count = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || count < 1 || count > 1000000) {
            error = "--count needs a number of at least 1";
            return false;
        }
        options.count = static_cast<int>(count);
    } else if (name == "--stations") {
        char* end = nullptr;
        const long stations = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || stations < 0 || stations > 64) {
            error = "--stations needs a number 0..64 (0: every keyboard plugged in)";
            return false;
        }
        options.stations = static_cast<int>(stations);
    }
    return true;
}

// Splits the words after the command into options and arguments.
bool parseCommandWords(int argc, char** argv, int i, const Command& command, Options& options,
                       std::string& error) {
    for (; i < argc; ++i) {
        const std::string word = argv[i];
        // A command of open-ended words (edit) takes no options: its
        // operations' words may start with "--".
        if (word.rfind("--", 0) != 0 || command.arguments == kOneOrMore) {
            options.arguments.push_back(word);
            continue;
        }
        const CommandOption* option = findCommandOption(command, word);
        if (!option) {
            error = "unknown option " + word + " for " + options.command;
            return false;
        }
        if (option->takesValue && i + 1 >= argc) {
            error = word + " needs a value";
            return false;
        }
        if (!setCommandOption(options, word, option->takesValue ? argv[++i] : "", error))
            return false;
    }
    return true;
}

} // namespace

std::span<const Command> commandTable() {
    return kCommands;
}

const Command* findCommand(const std::string& name) {
    for (const Command& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

std::string usageText() {
    std::string text = "usage: quillan-cli [--simulate KIND] [--sim-eeprom FILE] "
                       "[--sim-fault corrupt:ADDR] COMMAND ...\n"
                       "commands:\n";
    for (const Command& command : kCommands)
        text += std::string("  ") + command.synopsis + "\n";
    text += editUsageText();
    text += "simulated kinds: keyboard-1000, keyboard-1001, keyboard-100A, keyboard-100B,\n"
            "                 keyboard-100C, programmer-NNNN (NNNN: version digits);\n"
            "                 KIND*N plugs N of them at once\n"
            "exit codes: 0 success, 1 failure, 2 usage error, 3 verify mismatch\n";
    return text;
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--simulate" || word == "--sim-eeprom" || word == "--sim-fault") {
            if (i + 1 >= argc) {
                error = word + " needs a value";
                return false;
            }
            (word == "--simulate"     ? options.simulate
             : word == "--sim-eeprom" ? options.simEeprom
                                      : options.simFault) = argv[++i];
        } else if (word.rfind("--", 0) == 0) {
            error = "unknown option " + word;
            return false;
        } else {
            break;
        }
    }
    if (i >= argc) {
        error = "no command given";
        return false;
    }
    options.command = argv[i++];
    const Command* shape = findCommand(options.command);
    if (!shape) {
        error = "unknown command " + options.command;
        return false;
    }
    if (!parseCommandWords(argc, argv, i, *shape, options, error))
        return false;
    const bool variadic = shape->arguments == kOneOrMore;
    if (variadic ? options.arguments.empty() : options.arguments.size() != shape->arguments) {
        error = options.command + " takes " +
                (variadic ? "a file and operations"
                          : std::to_string(shape->arguments) + " argument(s)");
        return false;
    }
    // Every argument is a file name, except the operations after edit's file.
    const size_t files = options.command == "edit" ? 1 : options.arguments.size();
    for (size_t k = 0; k < files; ++k)
        if (options.arguments[k].empty()) {
            error = options.command + ": file name " + std::to_string(k + 1) + " is empty";
            return false;
        }
    if ((!options.simEeprom.empty() || !options.simFault.empty()) && options.simulate.empty()) {
        error = "--sim-eeprom and --sim-fault go with --simulate";
        return false;
    }
    int corruptAddress = 0;
    if (!options.simFault.empty() && !parseSimFault(options.simFault, corruptAddress)) {
        error = "--sim-fault takes corrupt:ADDR with ADDR hexadecimal below 1400";
        return false;
    }
    return true;
}

MessageSink stderrSink() {
    return [](const Message& message) {
        if (message.caption.empty())
            std::fprintf(stderr, "%s\n", message.text.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
    };
}

int runNew(const std::string& file) {
    Session session;
    newDefinition(session.def, session.controls);
    return saveDefinition(session, file) ? kExitOk : kExitFailed;
}

int runBuild(const std::string& file) {
    Session session;
    if (!loadDefinition(session, file))
        return kExitFailed;
    return buildDefinition(session, true) ? kExitOk : kExitFailed;
}

int runConvert(const std::string& from, const std::string& to) {
    Session session;
    if (!loadDefinition(session, from))
        return kExitFailed;
    return saveDefinition(session, to) ? kExitOk : kExitFailed;
}

int runRefill(const std::string& imageFile, const std::string& to) {
    Session session;
    if (const Outcome read = readImageFile(imageFile, session.image); !read) {
        stderrSink()(read.message);
        return kExitFailed;
    }
    return refillAndSave(session, to) ? kExitOk : kExitFailed;
}

int run(const Options& options) {
    const Command* command = findCommand(options.command);
    return command ? command->run(options) : kExitUsage;
}

} // namespace quillan::cli
