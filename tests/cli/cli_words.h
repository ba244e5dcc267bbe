// quillan-cli run in-process on its words, with a clock that does not wait,
// in a working folder of the test's own.
#pragma once

#include "cli/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quillan::test {

// Parses words as quillan-cli's command line (the program name is put in
// front); false with error set when they are refused.
inline bool parseWords(std::vector<std::string> words, cli::Options& options, std::string& error) {
    options = cli::Options{};
    words.insert(words.begin(), "quillan-cli");
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    return cli::parseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

// Parses and runs the words with a counting clock: a unit takes a few
// milliseconds. -1 when the words are refused; out (when given) gets what
// the run printed on standard output.
inline int runWords(const std::vector<std::string>& words, std::string* out = nullptr) {
    cli::Options options;
    std::string error;
    if (!parseWords(words, options, error))
        return -1;
    CountingClock clock;
    options.clock = &clock;
    if (out == nullptr)
        return cli::run(options);
    ::testing::internal::CaptureStdout();
    const int exit = cli::run(options);
    *out = ::testing::internal::GetCapturedStdout();
    return exit;
}

// The same in a child process, its output dropped; its pid.
inline pid_t spawnWords(const std::vector<std::string>& words) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        _exit(runWords(words));
    }
    return pid;
}

// Ends a spawned run at once, as a pulled plug would.
inline void killRun(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// A production log's PASS lines by serial; every line whole and of the
// header's width.
inline std::map<std::string, int> passesBySerial(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
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

// A fresh folder under the system's temporary folder, made the working
// folder for the object's life, then left and removed.
class WorkingFolder {
  public:
    explicit WorkingFolder(const std::string& name)
        : previous_(std::filesystem::current_path()),
          path_(std::filesystem::temp_directory_path() /
                (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~WorkingFolder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

} // namespace quillan::test
