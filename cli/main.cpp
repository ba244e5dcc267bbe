// quillan-cli: builds, converts and refills keyboard definitions, and
// detects, programs and reads keyboards, without the GUI.
#include "cli/commands.h"

#include <cstdio>
#include <cstring>

namespace {

// Answers "quillan-cli --help" and "quillan-cli --version" on standard
// output; returns false when argv asks for neither.
bool answerInfoOption(int argc, char** argv) {
    if (argc < 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("quillan-cli %s\n", QUILLAN_VERSION);
        return true;
    }
    if (std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0)
        return false;
    std::printf("%s", quillan::cli::usageText().c_str());
    std::printf("other options: --help (this text), --version\n"
                "exit status: 0 success (diff: equal), 1 failure (diff: different),\n"
                "             2 usage error, 3 verify mismatch\n"
                "see quillan-cli(1) for every command and file\n");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (answerInfoOption(argc, argv))
        return quillan::cli::kExitOk;
    quillan::cli::Options options;
    std::string error;
    if (!quillan::cli::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), quillan::cli::usageText().c_str());
        return quillan::cli::kExitUsage;
    }
    return quillan::cli::run(options);
}
