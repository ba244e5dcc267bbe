#include "cli/commands.h"

#include "cli/edit.h"
#include "cli/session.h"
#include "eeprom/image_files.h"

#include <cstdio>

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
    {"program", 1, "program FILE.dat          load, build and download FILE.dat"},
    {"read", 1, "read NEW.dat              read the keyboard back into NEW.dat"},
    {"edit", kOneOrMore,
     "edit FILE.dat OP...       apply the operations below, then build and save"},
};

const CommandShape* findCommand(const std::string& name) {
    for (const CommandShape& shape : kCommands)
        if (name == shape.name)
            return &shape;
    return nullptr;
}

} // namespace

std::string usageText() {
    std::string text = "usage: quillan-cli [--simulate KIND] [--sim-eeprom FILE] COMMAND ...\n"
                       "commands:\n";
    for (const CommandShape& shape : kCommands)
        text += std::string("  ") + shape.synopsis + "\n";
    text += editUsageText();
    text += "simulated kinds: keyboard-1000, keyboard-1001, keyboard-100A, keyboard-100B,\n"
            "                 keyboard-100C, programmer-NNNN (NNNN: version digits)\n";
    return text;
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--simulate" || word == "--sim-eeprom") {
            if (i + 1 >= argc) {
                error = word + " needs a value";
                return false;
            }
            (word == "--simulate" ? options.simulate : options.simEeprom) = argv[++i];
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
    options.arguments.assign(argv + i, argv + argc);
    const CommandShape* shape = findCommand(options.command);
    if (!shape) {
        error = "unknown command " + options.command;
        return false;
    }
    const bool variadic = shape->arguments == kOneOrMore;
    if (variadic ? options.arguments.empty() : options.arguments.size() != shape->arguments) {
        error = options.command + " takes " +
                (variadic ? "a file and operations"
                          : std::to_string(shape->arguments) + " argument(s)");
        return false;
    }
    if (!options.simEeprom.empty() && options.simulate.empty()) {
        error = "--sim-eeprom goes with --simulate";
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
    std::string error;
    if (!readImageFile(imageFile, session.image, error)) {
        stderrSink()({error, "Read image", MessageIcon::Error});
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
    if (command == "edit")
        return runEdit(args);
    return runDevice(options);
}

} // namespace quillan::cli
