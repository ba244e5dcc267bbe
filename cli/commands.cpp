#include "cli/commands.h"

#include "cli/bus.h"
#include "cli/edit.h"
#include "cli/session.h"
#include "eeprom/image_files.h"

#include <cstdio>
#include <cstdlib>

namespace quillan::cli {

namespace {

struct CommandShape {
    const char* name;
    size_t arguments; // kOneOrMore: a file and any number of words after it
    const char* synopsis;
};
constexpr size_t kOneOrMore = ~size_t{0};

// Command   arguments   synopsis
constexpr CommandShape kCommands[] = {
    {"new", 1, "new FILE.dat              save a new definition"},
    {"build", 1, "build FILE.dat            load FILE.dat and write EEPkey.bin, EEPkey.txt"},
    {"convert", 2, "convert OLD.dat NEW.dat   load any supported version, save as 4.0"},
    {"refill", 2, "refill IMAGE.bin NEW.dat  turn an 8192-byte image back into a definition"},
    {"detect", 0, "detect                    look for a keyboard and print its version"},
    {"program", 1,
     "program FILE.dat [--no-verify]\n"
     "                            load, build, download and verify FILE.dat"},
    {"read", 1, "read NEW.dat              read the keyboard back into NEW.dat"},
    {"produce", 1,
     "produce FILE.dat --serial FIRST [--count N] [--log FILE.csv] [--no-verify]\n"
     "        [--repair-log] [--stations K]\n"
     "                            program every plugged keyboard (at most K) with the next\n"
     "                            serials"},
    {"export", 2, "export FILE FILE.json     write a definition (any version) as JSON"},
    {"import", 2, "import FILE.json NEW.dat  write the JSON definition as a 4.0 file"},
    {"diff", 2, "diff A B                  list the differences of two definitions"},
    {"edit", kOneOrMore,
     "edit FILE.dat OP...       apply the operations below, then build and save"},
};

struct CommandOption {
    const char* command;
    const char* name;
    bool takesValue;
};

// Options that follow a command.
constexpr CommandOption kCommandOptions[] = {
    {"program", "--no-verify", false}, {"produce", "--no-verify", false},
    {"produce", "--serial", true},     {"produce", "--count", true},
    {"produce", "--log", true},        {"produce", "--repair-log", false},
    {"produce", "--stations", true},
};

const CommandOption* findCommandOption(const std::string& command, const std::string& name) {
    for (const CommandOption& option : kCommandOptions)
        if (command == option.command && name == option.name)
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
bool parseCommandWords(int argc, char** argv, int i, Options& options, std::string& error) {
    for (; i < argc; ++i) {
        const std::string word = argv[i];
        // edit takes no options: its operations' words may start with "--".
        if (word.rfind("--", 0) != 0 || options.command == "edit") {
            options.arguments.push_back(word);
            continue;
        }
        const CommandOption* option = findCommandOption(options.command, word);
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

const CommandShape* findCommand(const std::string& name) {
    for (const CommandShape& shape : kCommands)
        if (name == shape.name)
            return &shape;
    return nullptr;
}

} // namespace

std::string usageText() {
    std::string text = "usage: quillan-cli [--simulate KIND] [--sim-eeprom FILE] "
                       "[--sim-fault corrupt:ADDR] COMMAND ...\n"
                       "commands:\n";
    for (const CommandShape& shape : kCommands)
        text += std::string("  ") + shape.synopsis + "\n";
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
    const CommandShape* shape = findCommand(options.command);
    if (!shape) {
        error = "unknown command " + options.command;
        return false;
    }
    if (!parseCommandWords(argc, argv, i, options, error))
        return false;
    const bool variadic = shape->arguments == kOneOrMore;
    if (variadic ? options.arguments.empty() : options.arguments.size() != shape->arguments) {
        error = options.command + " takes " +
                (variadic ? "a file and operations"
                          : std::to_string(shape->arguments) + " argument(s)");
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
    const std::string& command = options.command;
    const auto& args = options.arguments;
    if (command == "new")
        return runNew(args[0]);
    if (command == "build")
        return runBuild(args[0]);
    if (command == "convert")
        return runConvert(args[0], args[1]);
    if (command == "refill")
        return runRefill(args[0], args[1]);
    if (command == "produce")
        return runProduce(options);
    if (command == "export" || command == "import" || command == "diff")
        return runJsonCommand(command, args[0], args[1]);
    if (command == "edit")
        return runEdit(args);
    return runDevice(options);
}

} // namespace quillan::cli
