#include "model/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace quillan {
namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path path = fs::temp_directory_path() / ("quillan-file-io-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
    std::string read(const fs::path& file) const {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST(FileIo, WritesThroughLinksKeepsModesAndLeavesNoTemporaryFile) {
    Folder folder;
    const fs::path target = folder.path / "x.dat";
    const fs::path link = folder.path / "link.dat";
    const fs::path users = folder.path / "x.dat.tmp"; // a file of the user's, not ours
    std::ofstream(target) << "old";
    std::ofstream(users) << "mine";
    ::chmod(target.c_str(), 0600);
    fs::create_symlink("x.dat", link);

    ASSERT_TRUE(writeFileAtomically(link.string(), "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(folder.read(target), "new");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(folder.read(users), "mine");
    const mode_t mask = ::umask(022); // a new file gets what the umask leaves
    ASSERT_TRUE(writeFileAtomically((folder.path / "new.dat").string(), "n"));
    ::umask(mask);
    EXPECT_EQ(fs::status(folder.path / "new.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 4);
}

TEST(FileIo, AFailedWriteSaysWhyAndLeavesTheFolderAsItWas) {
    Folder folder;
    fs::create_directory(folder.path / "EEPkey.bin"); // a folder in the way
    const Outcome inTheWay = writeFileAtomically((folder.path / "EEPkey.bin").string(), "x");
    EXPECT_FALSE(inTheWay);
    EXPECT_NE(inTheWay.message.text.find("Could not write "), std::string::npos);
    const Outcome noFolder = writeFileAtomically((folder.path / "none" / "a.bin").string(), "x");
    EXPECT_FALSE(noFolder);
    EXPECT_NE(noFolder.message.text.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 1);
}

TEST(FileIo, Latin1ConversionRefusesWhatLatin1CannotHold) {
    struct Case {
        std::string utf8, latin1, refusal;
    };
    const Case cases[] = {
        {"QX-0001", "QX-0001", ""},
        {"caf\xC3\xA9", "caf\xE9", ""},
        {"\xC3\xBF", "\xFF", ""},
        {"a\xE2\x82\xAC", "", "\"\xE2\x82\xAC\" at position 2 is not a Latin-1 character"},
        {"ab\xF0\x9F\x98\x80", "", "\"\xF0\x9F\x98\x80\" at position 3 is not a Latin-1 character"},
        {"\xE9", "", "invalid UTF-8 at position 1"},
        {"\xC0\x80", "", "invalid UTF-8 at position 1"}, // overlong
        {"x\xC3", "", "invalid UTF-8 at position 2"},    // cut
    };
    for (const Case& c : cases) {
        std::string latin1;
        const Outcome outcome = latin1FromUtf8(c.utf8, latin1);
        EXPECT_EQ(outcome.message.text, c.refusal) << c.utf8;
        if (c.refusal.empty()) {
            EXPECT_EQ(latin1, c.latin1);
            EXPECT_EQ(utf8FromLatin1(latin1), c.utf8);
        }
    }
}

} // namespace
} // namespace quillan
