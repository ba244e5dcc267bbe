#include "model/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quillan {

namespace {

namespace fs = std::filesystem;

// The file a write to path lands in: symbolic links followed to their end,
// relative link targets taken from the link's folder.
fs::path finalTarget(const fs::path& path) {
    fs::path target = path;
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, error)); ++hops) {
        const fs::path link = fs::read_symlink(target, error);
        if (error)
            break;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

// Creates a new, uniquely named file beside the target, as mkstemp does but
// with mode 0666 so that the umask applies (reading the umask would change
// it for every thread of the process). Never opens an existing file.
int createTemporary(const fs::path& folder, const std::string& base, std::string& name) {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned value = salt ^ (counter++ * 2654435761u) ^ static_cast<unsigned>(::getpid());
        std::string suffix;
        for (int i = 0; i < 6; ++i, value /= 36)
            suffix += kLetters[value % 36];
        name = (folder / ("." + base + "." + suffix)).string();
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// An existing target keeps its permissions; a new file has what the umask
// left of 0666 when it was created.
bool keepPermissions(int fd, const fs::path& target) {
    struct stat info;
    if (::stat(target.c_str(), &info) != 0)
        return true;
    return ::fchmod(fd, info.st_mode & 07777) == 0;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

} // namespace

Outcome readWholeFile(const std::string& path, std::string& bytes, size_t limit) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return Outcome::failure("cannot open " + path);
    bytes.assign(limit + 1, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return Outcome::failure("cannot read " + path);
    if (bytes.size() > limit)
        return Outcome::failure(path + " is larger than " + std::to_string(limit >> 20) + " MB");
    return Outcome::success();
}

Outcome writeFileAtomically(const std::string& path, std::string_view bytes) {
    const auto failed = [&path](int error) {
        return Outcome::failure("Could not write " + path + ": " + std::strerror(error));
    };
    const fs::path target = finalTarget(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary;
    const int fd = createTemporary(folder, target.filename().string(), temporary);
    if (fd < 0)
        return failed(errno);
    bool ok = keepPermissions(fd, target) && writeAll(fd, bytes) && ::fsync(fd) == 0;
    int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        if (error == 0)
            error = EIO;
        ::unlink(temporary.c_str());
        return failed(error);
    }
    // The rename itself is made durable by syncing the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return Outcome::success();
}

Outcome codePointsFromUtf8(std::string_view utf8, std::u32string& text) {
    text.clear();
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        bool valid = length != 0 && i + length <= utf8.size();
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kSmallest[length] && code <= 0x10FFFF &&
                (code < 0xD800 || code > 0xDFFF);
        if (!valid)
            return Outcome::failure("invalid UTF-8 at position " + std::to_string(text.size() + 1));
        text += static_cast<char32_t>(code);
        i += length;
    }
    return Outcome::success();
}

std::string utf8FromCodePoint(char32_t c) {
    std::string text;
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | c >> 6);
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | c >> 12);
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | c >> 18);
        text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
    return text;
}

Outcome latin1FromUtf8(std::string_view utf8, std::string& latin1) {
    latin1.clear();
    std::u32string text;
    if (Outcome decoded = codePointsFromUtf8(utf8, text); !decoded)
        return decoded;
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] > 0xFF)
            return Outcome::failure("\"" + utf8FromCodePoint(text[i]) + "\" at position " +
                                    std::to_string(i + 1) + " is not a Latin-1 character");
        bytes += static_cast<char>(text[i]);
    }
    latin1 = std::move(bytes);
    return Outcome::success();
}

std::string utf8FromLatin1(std::string_view latin1) {
    std::string text;
    for (const char c : latin1)
        text += utf8FromCodePoint(static_cast<unsigned char>(c));
    return text;
}

} // namespace quillan
