// produce --stations on simulated keyboards plugged in several at once.
#include "cli_words.h"

#include <random>
#include <sstream>

namespace fs = std::filesystem;
using namespace quillan;
using namespace quillan::cli;
using namespace quillan::test;

TEST(StationsCli, ProducesOnEveryPluggedKeyboardOneLinePerEvent) {
    WorkingFolder folder("quillan-stations-cli");
    ASSERT_EQ(runNew("def.dat"), kExitOk);
    struct Case {
        std::vector<std::string> words;
        int exit;
        int passes;
    };
    const std::vector<std::string> produce = {"produce", "def.dat", "--serial", "QX-0001"};
    auto with = [&produce](std::vector<std::string> before, std::vector<std::string> after) {
        before.insert(before.end(), produce.begin(), produce.end());
        before.insert(before.end(), after.begin(), after.end());
        return before;
    };
    for (const Case& c :
         {Case{with({"--simulate", "keyboard-100B*4"}, {"--count", "8", "--stations", "0"}),
               kExitOk, 8},
          Case{with({"--simulate", "keyboard-1000*3"}, {"--count", "2", "--stations", "1"}),
               kExitOk, 2},
          Case{with({"--simulate", "keyboard-100B*2"},
                    {"--stations", "2", "--log", "r.csv", "--count", "3"}),
               kExitOk, 3},
          Case{with({"--simulate", "keyboard-100B*99"}, {"--stations", "2"}), kExitFailed, 0},
          Case{with({}, {"--stations", "-1"}), -1, 0},
          Case{with({}, {"--stations", "x"}), -1, 0}}) {
        std::string out;
        EXPECT_EQ(runWords(c.words, &out), c.exit) << c.words[1];
        std::istringstream lines(out);
        std::vector<std::string> passed;
        for (std::string line; std::getline(lines, line);)
            if (line.find(" PASS: ") != std::string::npos)
                passed.push_back(line.substr(line.find("QX-"), 7));
        std::sort(passed.begin(), passed.end());
        std::vector<std::string> expected;
        for (int i = 1; i <= c.passes; ++i)
            expected.push_back("QX-000" + std::to_string(i));
        EXPECT_EQ(passed, expected) << out;
        if (c.exit == kExitOk) {
            EXPECT_NE(out.find(std::to_string(c.passes) + " passed, 0 failed"), std::string::npos);
        }
    }
}

// Killed at random moments with four units running, then resumed from the
// log alone: no serial ever has two PASS lines, and every line is whole.
TEST(StationsCli, KilledWithSeveralUnitsRunningNoSerialPassesTwice) {
    WorkingFolder folder("quillan-stations-kill");
    ASSERT_EQ(runNew("def.dat"), kExitOk);
    const std::vector<std::string> produce = {"--simulate", "keyboard-100B*4", "produce",
                                              "def.dat",    "--log",           "run.csv"};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> after(0, 60000); // µs
    for (int run = 0; run < 16; ++run) {
        std::vector<std::string> words = produce;
        if (run == 0)
            words.insert(words.end(), {"--serial", "QX-0001"});
        const pid_t pid = spawnWords(words);
        usleep(after(random));
        killRun(pid);
        if (!fs::exists("run.csv"))
            run = -1; // killed before the log existed: start again
    }
    std::string out;
    std::vector<std::string> words = produce;
    words.insert(words.end(), {"--count", "4"});
    ASSERT_EQ(runWords(words, &out), kExitOk) << out;
    const std::map<std::string, int> passes = passesBySerial("run.csv");
    EXPECT_GE(passes.size(), 4u);
    for (const auto& [serial, count] : passes)
        EXPECT_EQ(count, 1) << serial;
}
