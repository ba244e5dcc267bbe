// produce under a second run and under SIGKILL at random moments: a second
// run on the same log is refused, and however often the line is killed, no
// serial ever has two PASS lines and the log always reads.
#include "cli/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quillan;
using namespace quillan::cli;

namespace {

class ProduceCrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("quillan-crash-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
        ASSERT_EQ(runNew("def.dat"), kExitOk);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    // quillan-cli --simulate keyboard-100B produce def.dat WORDS..., with a
    // clock that does not wait: a unit takes a few milliseconds.
    static int produceWith(std::vector<std::string> words) {
        words.insert(words.begin(), {"quillan-cli", "--simulate", "keyboard-100B", "produce",
                                     "def.dat", "--log", "run.csv"});
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        Options options;
        std::string error;
        if (!parseOptions(static_cast<int>(argv.size()), argv.data(), options, error))
            return -1;
        CountingClock clock;
        options.clock = &clock;
        return run(options);
    }
    // The same in a child process, its output dropped; its pid.
    static pid_t spawn(const std::vector<std::string>& words) {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            _exit(produceWith(words));
        }
        return pid;
    }
    // PASS lines by serial; every line whole and of the header's width.
    static std::map<std::string, int> readLog() {
        std::ifstream in("run.csv", std::ios::binary);
        std::map<std::string, int> passes;
        std::string line;
        EXPECT_TRUE(std::getline(in, line));
        EXPECT_EQ(line, "time,serial,device,version,result,seconds,mismatches,crc32,verified");
        while (std::getline(in, line)) {
            EXPECT_EQ(std::count(line.begin(), line.end(), ','), 8) << line;
            const size_t from = line.find(',') + 1;
            if (line.find(",PASS,") != std::string::npos)
                ++passes[line.substr(from, line.find(',', from) - from)];
        }
        return passes;
    }
    fs::path previous_, dir_;
};

} // namespace

TEST_F(ProduceCrashTest, ASecondRunOnTheLogIsRefused) {
    const pid_t first = spawn({"--serial", "QX-0001"}); // runs until killed
    for (int i = 0; i < 2000 && !fs::exists("run.csv"); ++i)
        usleep(1000);
    usleep(20000);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--serial", "QX-0001"}, std::vector<std::string>{}})
        EXPECT_EQ(produceWith(words), kExitUsage);
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
    for (const auto& [serial, count] : readLog())
        EXPECT_EQ(count, 1) << serial;
}

TEST_F(ProduceCrashTest, KilledAtRandomNoSerialPassesTwice) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> after(0, 40000); // µs
    for (int run = 0; run < 40; ++run) {
        // Every other run resumes from the log alone.
        const pid_t pid = spawn(run % 2 == 0 ? std::vector<std::string>{"--serial", "QX-0001"}
                                             : std::vector<std::string>{});
        usleep(after(random));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        if (!fs::exists("run.csv"))
            --run; // killed before the log existed: try again
    }
    ASSERT_EQ(produceWith({"--serial", "QX-0001", "--count", "2"}), kExitOk);
    const std::map<std::string, int> passes = readLog();
    EXPECT_GE(passes.size(), 2u);
    for (const auto& [serial, count] : passes)
        EXPECT_EQ(count, 1) << serial;
}
