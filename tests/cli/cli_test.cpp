// The quillan-cli commands, run in a scratch working directory.
#include "cli/edit.h"
#include "cli_words.h"
#include "eeprom/image_files.h"
#include "model/settings_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quillan;
using namespace quillan::cli;

namespace {

size_t lineCount(const char* path) {
    std::ifstream in(path);
    size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        dir_ = fs::temp_directory_path() /
               ("quillan-cli-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    static bool parse(const std::vector<std::string>& words, Options& options, std::string& error) {
        return test::parseWords(words, options, error);
    }
    fs::path previous_;
    fs::path dir_;
};

} // namespace

TEST_F(CliTest, OptionsAreCheckedBeforeAnythingRuns) {
    Options options;
    std::string error;
    EXPECT_TRUE(parse({"--simulate", "keyboard-100B", "program", "a.dat"}, options, error));
    EXPECT_EQ(options.simulate, "keyboard-100B");
    EXPECT_EQ(options.command, "program");
    ASSERT_EQ(options.arguments.size(), 1u);

    EXPECT_FALSE(parse({"build"}, options, error)) << "missing argument";
    EXPECT_FALSE(parse({"frobnicate", "x"}, options, error));
    EXPECT_FALSE(parse({"--simulate"}, options, error));
    EXPECT_FALSE(parse({"--sim-eeprom", "e.bin", "detect"}, options, error))
        << "--sim-eeprom without --simulate";
    EXPECT_FALSE(parse({}, options, error));
}

TEST_F(CliTest, NewBuildRefillConvertChain) {
    ASSERT_EQ(runNew("first.dat"), kExitOk);
    EXPECT_EQ(fs::file_size("first.dat"), static_cast<uintmax_t>(kSettingsFileSize));
    EXPECT_TRUE(fs::exists("Saved.txt"));

    ASSERT_EQ(runBuild("first.dat"), kExitOk);
    EXPECT_EQ(fs::file_size("EEPkey.bin"), 8192u);
    EXPECT_TRUE(fs::exists("EEPkey.txt"));
    EXPECT_TRUE(fs::exists("qnlog.txt"));

    // The build stores the loaded file's name in the image's file-name text.
    EepromImage image;
    const Outcome read = readImageFile("EEPkey.bin", image);
    ASSERT_TRUE(read) << read.message.text;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image.bytes[0x610])), "first.dat");

    ASSERT_EQ(runRefill("EEPkey.bin", "back.dat"), kExitOk);
    EXPECT_TRUE(fs::exists("eepraw.txt"));
    EXPECT_EQ(fs::file_size("back.dat"), static_cast<uintmax_t>(kSettingsFileSize));

    ASSERT_EQ(runConvert("back.dat", "again.dat"), kExitOk);
    EXPECT_EQ(fs::file_size("again.dat"), static_cast<uintmax_t>(kSettingsFileSize));
}

TEST_F(CliTest, FailuresGiveNonZeroExitAndWriteNoImage) {
    EXPECT_EQ(runBuild("missing.dat"), kExitFailed);
    EXPECT_FALSE(fs::exists("EEPkey.bin"));

    std::ofstream("short.bin", std::ios::binary) << "not an image";
    EXPECT_EQ(runRefill("short.bin", "out.dat"), kExitFailed);
    EXPECT_FALSE(fs::exists("out.dat"));

    std::ofstream("foreign.dat", std::ios::binary) << std::string(100, '\x7f');
    EXPECT_EQ(runConvert("foreign.dat", "new.dat"), kExitFailed);
    EXPECT_FALSE(fs::exists("new.dat"));
}

TEST_F(CliTest, VerifyAndProductionOptions) {
    Options options;
    std::string error;
    EXPECT_TRUE(parse({"program", "a.dat", "--no-verify"}, options, error)) << error;
    EXPECT_TRUE(options.noVerify);
    EXPECT_TRUE(parse({"--simulate", "keyboard-1000", "--sim-fault", "corrupt:13ff", "produce",
                       "a.dat", "--serial", "QX-0001", "--count", "3", "--log", "run.csv"},
                      options, error))
        << error;
    EXPECT_EQ(options.serial, "QX-0001");
    EXPECT_EQ(options.count, 3);
    EXPECT_EQ(options.logFile, "run.csv");
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"build", "a.dat", "--no-verify"},
             {"produce", "a.dat", "--count", "0"},
             {"produce", "a.dat", "--serial"},
             {"--sim-fault", "corrupt:0001", "program", "a.dat"},
             {"--simulate", "keyboard-1000", "--sim-fault", "corrupt:1400", "program", "a.dat"},
             {"--simulate", "keyboard-1000", "--sim-fault", "flip:0001", "program", "a.dat"}})
        EXPECT_FALSE(parse(words, options, error)) << words[0] << " " << words.back();
}

TEST_F(CliTest, ExitCodesOfProgramAndProduce) {
    ASSERT_EQ(runNew("def.dat"), kExitOk);
    struct Case {
        std::vector<std::string> words;
        int exit;
    };
    for (const Case& c : std::vector<Case>{
             {{"--simulate", "keyboard-100B", "program", "def.dat"}, kExitOk},
             {{"--simulate", "keyboard-100B", "--sim-fault", "corrupt:0123", "program", "def.dat"},
              kExitVerify},
             {{"--simulate", "keyboard-100B", "--sim-fault", "corrupt:0123", "program", "def.dat",
               "--no-verify"},
              kExitOk},
             {{"--simulate", "programmer-0411", "program", "def.dat"}, kExitOk},
             {{"--simulate", "keyboard-1001", "--sim-eeprom", "unit.bin", "produce", "def.dat",
               "--serial", "QX-0009", "--count", "2", "--log", "run.csv"},
              kExitOk},
             {{"--simulate", "keyboard-1001", "produce", "def.dat", "--serial", "QX-9999"},
              kExitUsage},
             {{"--simulate", "keyboard-1001", "produce", "def.dat"}, kExitUsage}}) {
        EXPECT_EQ(test::runWords(c.words), c.exit) << c.words.back();
    }
    std::ifstream log("run.csv");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(",QX-0010,04B4:1001,V0001,PASS,"), std::string::npos) << text;
    // --sim-eeprom holds the last unit.
    EepromImage unit;
    const Outcome readUnit = readImageFile("unit.bin", unit);
    ASSERT_TRUE(readUnit) << readUnit.message.text;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&unit.bytes[kSerialNumberAddress])),
              "QX-0010");
}

// Ctrl+C during an endless run: the run ends (cleanly between units, or
// with that unit logged as FAIL and exit 1) and the log holds whole lines.
TEST_F(CliTest, InterruptedProductionLeavesWholeLines) {
    ASSERT_EQ(runNew("def.dat"), kExitOk);
    Options options;
    std::string error;
    ASSERT_TRUE(parse({"--simulate", "keyboard-100B", "produce", "def.dat", "--serial", "Z-001",
                       "--log", "run.csv"},
                      options, error));
    CountingClock clock;
    options.clock = &clock;
    std::thread interrupter([] {
        // Once a unit is logged the handler is in place.
        for (int i = 0; i < 3000 && lineCount("run.csv") < 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::raise(SIGINT);
    });
    const int exit = run(options);
    interrupter.join();
    std::ifstream in("run.csv", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    const size_t lastLine = log.rfind('\n', log.size() - 2) + 1;
    const bool lastFailed = log.find(",FAIL,", lastLine) != std::string::npos;
    EXPECT_EQ(exit, lastFailed ? kExitFailed : kExitOk) << log;
    size_t fails = 0;
    for (size_t at = log.find(",FAIL,"); at != std::string::npos; at = log.find(",FAIL,", at + 1))
        ++fails;
    EXPECT_EQ(fails, lastFailed ? 1u : 0u) << "only the interrupted unit fails";
}

TEST_F(CliTest, ExportImportDiffOfJsonDefinitions) {
    ASSERT_EQ(runNew("a.dat"), kExitOk);
    ASSERT_EQ(runExport("a.dat", "a.json"), kExitOk);
    ASSERT_EQ(runImport("a.json", "b.dat"), kExitOk);
    EXPECT_EQ(readWholeFile("a.dat"), readWholeFile("b.dat")) << "byte for byte";
    EXPECT_TRUE(fs::exists("Saved.txt"));

    ASSERT_EQ(runBuild("a.dat"), kExitOk); // EEPkey.bin, read as a read-back
    struct Case {
        const char* a;
        const char* b;
        int exit;
    };
    const Case cases[] = {
        {"a.dat", "a.json", kExitOk},         {"a.json", "b.dat", kExitOk},
        {"a.dat", "EEPkey.bin", kExitFailed}, {"a.dat", "missing.dat", kExitUsage},
        {"bad.json", "a.dat", kExitUsage},
    };
    std::ofstream("bad.json") << "{\"format\": \"quillan-definition\", \"version\": 7}";
    for (const Case& c : cases)
        EXPECT_EQ(runDiff(c.a, c.b), c.exit) << c.a << " " << c.b;

    EXPECT_EQ(runImport("bad.json", "c.dat"), kExitFailed);
    EXPECT_FALSE(fs::exists("c.dat")) << "nothing written for a refused document";
    EXPECT_EQ(runExport("missing.dat", "m.json"), kExitFailed);
    EXPECT_FALSE(fs::exists("m.json"));
}

TEST_F(CliTest, FilesAreRecognisedByContent) {
    ASSERT_EQ(runNew("a.dat"), kExitOk);
    ASSERT_EQ(runExport("a.dat", "a.json"), kExitOk);
    ASSERT_EQ(runBuild("a.dat"), kExitOk);
    std::ofstream("bom.json", std::ios::binary) << "\xEF\xBB\xBF" << readWholeFile("a.json");
    std::ofstream("foreign.dat", std::ios::binary) << std::string(100, '\x7f');
    struct Case {
        std::function<int()> run;
        int exit;
        std::string said; // on standard error
    };
    const Case cases[] = {
        {[] { return runBuild("a.json"); }, kExitFailed, "a.json is a JSON definition: use import"},
        {[] { return runConvert("EEPkey.bin", "b.dat"); }, kExitFailed,
         "EEPkey.bin is an EEPROM image"},
        {[] { return runBuild("foreign.dat"); }, kExitFailed, "foreign.dat is not a settings file"},
        {[] { return runImport("EEPkey.bin", "b.dat"); }, kExitFailed,
         "EEPkey.bin is an EEPROM image, not a JSON definition"},
        {[] { return runImport("a.dat", "b.dat"); }, kExitFailed,
         "a.dat is a settings file, not a JSON definition"},
        {[] { return runDiff("foreign.dat", "a.dat"); }, kExitUsage,
         "foreign.dat is not a settings file"},
        {[] { return runExport("bom.json", "c.json"); }, kExitOk, ""},
        {[] { return runDiff("bom.json", "a.dat"); }, kExitOk, ""},
    };
    for (const Case& c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(c.run(), c.exit) << c.said;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("Unknown file version"), std::string::npos) << said;
        if (!c.said.empty()) {
            EXPECT_NE(said.find(c.said), std::string::npos) << said;
        }
    }
    EXPECT_FALSE(fs::exists("b.dat"));

    Options options;
    std::string error;
    EXPECT_FALSE(parse({"new", ""}, options, error));
    EXPECT_EQ(error, "new: file name 1 is empty");
    EXPECT_FALSE(parse({"convert", "a.dat", ""}, options, error));
    EXPECT_EQ(error, "convert: file name 2 is empty");
    EXPECT_TRUE(parse({"edit", "a.dat", "legend", "0", "0", ""}, options, error)) << error;
}

TEST_F(CliTest, DiffWithAnImageSeesEveryByte) {
    ASSERT_EQ(runNew("a.dat"), kExitOk);
    ASSERT_EQ(runEdit({"a.dat", "type", "0", "0", "0", "Hi", "key", "1", "2", "0", "IBM Key 31",
                       "shift"}),
              kExitOk);
    fs::rename("EEPkey.bin", "base.bin");
    const std::string base = readWholeFile("base.bin");

    // 1024 single-bit flips spread over 0000..13FF: every one is reported.
    int unreported = 0;
    std::string said;
    for (int k = 0; k < 1024; ++k) {
        std::string flipped = base;
        const int at = k * 5;
        flipped[at] = static_cast<char>(flipped[at] ^ (1 << (k % 8)));
        std::ofstream("flip.bin", std::ios::binary) << flipped;
        ::testing::internal::CaptureStdout();
        unreported += runDiff("base.bin", "flip.bin") == kExitOk;
        said = ::testing::internal::GetCapturedStdout();
        if (at == 0x1010) {
            EXPECT_NE(said.find("image 1010: "), std::string::npos) << said;
        }
    }
    EXPECT_EQ(unreported, 0);

    // A descriptor byte and the padding of the serial field, against the file.
    std::string changed = base;
    changed[0x1010] = static_cast<char>(0xED);
    changed[0x64E] = 0x12;
    changed[0x64F] = 0x34;
    std::ofstream("changed.bin", std::ios::binary) << changed;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runDiff("a.dat", "changed.bin"), kExitFailed);
    said = ::testing::internal::GetCapturedStdout();
    char line[64];
    std::snprintf(line, sizeof line, "image 1010: %02X \xE2\x86\x92 ED",
                  static_cast<unsigned char>(base[0x1010]));
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_NE(said.find("image 064E-064F: "), std::string::npos) << said;
}
