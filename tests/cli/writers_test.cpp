// Every file the commands write, under every way a write can fail: the old
// file stays as it was, the failure is said on standard error and the
// command exits 1; links are written through, modes kept, and a user's own
// "NAME.tmp" is never touched.
#include "cli/commands.h"
#include "model/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillan::cli {
namespace {

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

enum class Failure { FolderInTheWay, ReadOnlyFolder, FullDisk, Link, Mode0600, UsersTmp };
const char* const kFailureNames[] = {"folder in the way", "read-only folder", "full disk",
                                     "symbolic link",     "mode 0600",        "user's .tmp"};

struct Writer {
    const char* target;                           // in the working folder
    std::function<int(const fs::path& in)> write; // in: the folder of the inputs
};

class Writers : public ::testing::Test {
  protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() / ("quillan-writers-" + std::to_string(::getpid()));
        fs::remove_all(base_);
        fs::create_directories(in_ = base_ / "in");
        previous_ = fs::current_path();
        fs::current_path(in_);
        ASSERT_EQ(runNew("a.dat"), kExitOk);
        ASSERT_EQ(runBuild("a.dat"), kExitOk);
        fs::rename("EEPkey.bin", "image.bin");
        fs::current_path(previous_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        if (mounted_)
            ::umount2(work_.c_str(), MNT_DETACH);
        fs::remove_all(base_);
    }

    // Prepares the working folder for the case; false: it cannot be made here.
    bool prepare(Failure failure, const std::string& target) {
        work_ = base_ / "work";
        fs::create_directories(work_);
        const bool root = ::geteuid() == 0;
        if (failure == Failure::FullDisk || (failure == Failure::ReadOnlyFolder && root)) {
            if (!root || ::mount("tmpfs", work_.c_str(), "tmpfs", 0, "size=64k") != 0)
                return false;
            mounted_ = true;
        }
        put(work_ / target, "old");
        if (failure == Failure::FolderInTheWay) {
            fs::remove(work_ / target);
            fs::create_directory(work_ / target);
        } else if (failure == Failure::ReadOnlyFolder && root) {
            ::mount(nullptr, work_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr);
        } else if (failure == Failure::ReadOnlyFolder) {
            fs::permissions(work_, fs::perms::owner_read | fs::perms::owner_exec);
        } else if (failure == Failure::FullDisk) {
            std::ofstream filler(work_ / "filler", std::ios::binary);
            const std::string block(4096, 'x');
            while (filler.write(block.data(), block.size()))
                ;
        } else if (failure == Failure::Link) {
            fs::create_directories(base_ / "real");
            fs::rename(work_ / target, base_ / "real" / target);
            fs::create_symlink(fs::path("..") / "real" / target, work_ / target);
        } else if (failure == Failure::Mode0600) {
            ::chmod((work_ / target).c_str(), 0600);
        } else {
            put(work_ / (target + ".tmp"), "mine");
        }
        return true;
    }

    fs::path base_, in_, work_, previous_;
    bool mounted_ = false;
};

TEST_F(Writers, EveryWriterIsWholeOrUntouchedAndSaysWhenItFails) {
    const Writer writers[] = {
        {"x.dat", [](const fs::path&) { return runNew("x.dat"); }},
        {"Saved.txt", [](const fs::path&) { return runNew("x.dat"); }},
        {"EEPkey.bin", [](const fs::path& in) { return runBuild((in / "a.dat").string()); }},
        {"EEPkey.txt", [](const fs::path& in) { return runBuild((in / "a.dat").string()); }},
        {"eepraw.txt",
         [](const fs::path& in) {
             return runRefill((in / "image.bin").string(), (in / "back.dat").string());
         }},
        {"a.json", [](const fs::path& in) { return runExport((in / "a.dat").string(), "a.json"); }},
    };
    for (const Writer& writer : writers) {
        for (int f = 0; f < 6; ++f) {
            const auto failure = static_cast<Failure>(f);
            const std::string target = writer.target;
            SCOPED_TRACE(target + ", " + kFailureNames[f]);
            if (!prepare(failure, target)) {
                fs::remove_all(work_);
                continue; // a full disk needs a tmpfs only root can mount
            }
            fs::current_path(work_);
            ::testing::internal::CaptureStderr();
            const int exit = writer.write(in_);
            const std::string said = ::testing::internal::GetCapturedStderr();
            fs::current_path(previous_);
            const bool fails = f <= static_cast<int>(Failure::FullDisk);
            if (fails) {
                EXPECT_EQ(exit, kExitFailed);
                EXPECT_NE(said.find("Could not"), std::string::npos) << said;
                EXPECT_NE(said.find(target), std::string::npos) << said;
                EXPECT_EQ(failure == Failure::FolderInTheWay ? "(folder)"
                                                             : contents(work_ / target),
                          failure == Failure::FolderInTheWay ? "(folder)" : "old");
                EXPECT_EQ(fs::is_directory(work_ / target), failure == Failure::FolderInTheWay);
                if (target == "x.dat" || target == "Saved.txt") {
                    EXPECT_EQ(said.find("Saved configuration file !"), std::string::npos) << said;
                }
            } else {
                EXPECT_EQ(exit, kExitOk) << said;
                EXPECT_NE(contents(work_ / target), "old");
                EXPECT_GT(fs::file_size(work_ / target), 3u);
            }
            EXPECT_EQ(fs::is_symlink(work_ / target), failure == Failure::Link);
            if (failure == Failure::Mode0600) {
                EXPECT_EQ(fs::status(work_ / target).permissions() & fs::perms::all,
                          fs::perms::owner_read | fs::perms::owner_write);
            }
            if (failure == Failure::UsersTmp) {
                EXPECT_EQ(contents(work_ / (target + ".tmp")), "mine");
            }
            for (const auto& entry : fs::directory_iterator(work_)) {
                EXPECT_NE(entry.path().filename().string().rfind("." + target + ".", 0), 0u)
                    << "temporary file left: " << entry.path();
            }
            if (mounted_)
                ::umount2(work_.c_str(), MNT_DETACH);
            mounted_ = false;
            fs::permissions(work_, fs::perms::owner_all);
            fs::remove_all(work_);
            fs::remove_all(base_ / "real");
        }
    }
}

} // namespace
} // namespace quillan::cli
