// produce under a second run and under SIGKILL at random moments: a second
// run on the same log is refused, and however often the line is killed, no
// serial ever has two PASS lines and the log always reads.
#include "cli_words.h"

#include <random>

namespace fs = std::filesystem;
using namespace quillan;
using namespace quillan::cli;
using namespace quillan::test;

namespace {

class ProduceCrashTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(runNew("def.dat"), kExitOk); }
    // quillan-cli --simulate keyboard-100B produce def.dat WORDS...
    static std::vector<std::string> produce(std::vector<std::string> words) {
        words.insert(words.begin(),
                     {"--simulate", "keyboard-100B", "produce", "def.dat", "--log", "run.csv"});
        return words;
    }
    WorkingFolder folder_{"quillan-crash"};
};

} // namespace

TEST_F(ProduceCrashTest, ASecondRunOnTheLogIsRefused) {
    const pid_t first = spawnWords(produce({"--serial", "QX-0001"})); // runs until killed
    for (int i = 0; i < 2000 && !fs::exists("run.csv"); ++i)
        usleep(1000);
    usleep(20000);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--serial", "QX-0001"}, std::vector<std::string>{}})
        EXPECT_EQ(runWords(produce(words)), kExitUsage);
    killRun(first);
    for (const auto& [serial, count] : passesBySerial("run.csv"))
        EXPECT_EQ(count, 1) << serial;
}

TEST_F(ProduceCrashTest, KilledAtRandomNoSerialPassesTwice) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> after(0, 40000); // µs
    for (int run = 0; run < 40; ++run) {
        // Every other run resumes from the log alone.
        const pid_t pid =
            spawnWords(produce(run % 2 == 0 ? std::vector<std::string>{"--serial", "QX-0001"}
                                            : std::vector<std::string>{}));
        usleep(after(random));
        killRun(pid);
        if (!fs::exists("run.csv"))
            --run; // killed before the log existed: try again
    }
    ASSERT_EQ(runWords(produce({"--serial", "QX-0001", "--count", "2"})), kExitOk);
    const std::map<std::string, int> passes = passesBySerial("run.csv");
    EXPECT_GE(passes.size(), 2u);
    for (const auto& [serial, count] : passes)
        EXPECT_EQ(count, 1) << serial;
}
