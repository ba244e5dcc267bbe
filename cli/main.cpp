// quillan-cli: builds, converts and refills keyboard definitions, and
// detects, programs and reads keyboards, without the GUI.
#include "cli/commands.h"

#include <cstdio>

int main(int argc, char** argv) {
    quillan::cli::Options options;
    std::string error;
    if (!quillan::cli::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), quillan::cli::usageText().c_str());
        return quillan::cli::kExitUsage;
    }
    return quillan::cli::run(options);
}
