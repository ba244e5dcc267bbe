// The one command table against what reads it and what documents it: the
// parser, the usage text, the manual page and the bash completion.
#include "cli_words.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

using namespace quillan::cli;

namespace {

std::string sourceFile(const std::string& path) {
    std::ifstream in(std::string(QUILLAN_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> tableNames() {
    std::set<std::string> names;
    for (const Command& command : commandTable())
        names.insert(command.name);
    return names;
}

// The first word of each entry (".TP" then the tag line) of the COMMANDS section.
std::set<std::string> manualCommands() {
    std::istringstream page(sourceFile("packaging/man/quillan-cli.1.in"));
    std::set<std::string> names;
    bool inCommands = false, tag = false;
    const std::regex word(R"(^(\.BI? |\\fB)([a-z]+))");
    for (std::string line; std::getline(page, line);) {
        if (line.rfind(".SH", 0) == 0)
            inCommands = line == ".SH COMMANDS";
        std::smatch match;
        if (inCommands && tag && std::regex_search(line, match, word))
            names.insert(match[2]);
        tag = line == ".TP";
    }
    return names;
}

// The words the completion offers in the command's place.
std::set<std::string> completionCommands() {
    const std::string script = sourceFile("packaging/completion/quillan-cli");
    std::smatch match;
    const std::regex list(R"(compgen -W '(new [^']*)')");
    EXPECT_TRUE(std::regex_search(script, match, list));
    std::istringstream words(match[1].str());
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

bool parses(const std::vector<std::string>& words) {
    Options options;
    std::string error;
    return quillan::test::parseWords(words, options, error);
}

TEST(CommandTable, ManualCompletionAndUsageNameEveryCommandAndNoOther) {
    EXPECT_EQ(manualCommands(), tableNames());
    EXPECT_EQ(completionCommands(), tableNames());
    const std::string usage = usageText();
    for (const Command& command : commandTable())
        EXPECT_NE(usage.find(std::string("  ") + command.synopsis + "\n"), std::string::npos)
            << command.name;
}

TEST(CommandTable, ParserTakesEachCommandWithItsArgumentsAndOptions) {
    for (const Command& command : commandTable()) {
        ASSERT_EQ(findCommand(command.name), &command);
        const size_t wanted = command.arguments == kOneOrMore ? 1 : command.arguments;
        std::vector<std::string> words{command.name};
        words.insert(words.end(), wanted, "x.dat");
        EXPECT_TRUE(parses(words)) << command.name;
        for (const CommandOption& option : command.options) {
            std::vector<std::string> withOption = words;
            withOption.push_back(option.name);
            if (option.takesValue)
                withOption.push_back("7");
            EXPECT_TRUE(parses(withOption)) << command.name << " " << option.name;
        }
        if (command.arguments != kOneOrMore) {
            words.push_back("extra");
            EXPECT_FALSE(parses(words)) << command.name;
        }
    }
    EXPECT_EQ(findCommand("no-such-command"), nullptr);
}

} // namespace
