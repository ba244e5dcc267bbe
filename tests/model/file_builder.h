// Builds settings files byte by byte at explicit offsets, independently of
// the writer, so tests check the reader against the stored layout itself.
#pragma once

#include "model/definition.h"
#include "model/messages.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace quillan::test {

class FileBuilder {
  public:
    explicit FileBuilder(size_t size = 0) : bytes_(size, '\0') {}
    FileBuilder& u8(size_t offset, uint8_t value) {
        grow(offset + 1);
        bytes_[offset] = static_cast<char>(value);
        return *this;
    }
    FileBuilder& u16(size_t offset, uint16_t value) {
        u8(offset, value & 0xFF);
        return u8(offset + 1, value >> 8);
    }
    FileBuilder& i32(size_t offset, int32_t value) {
        const auto bits = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            u8(offset + i, (bits >> (8 * i)) & 0xFF);
        return *this;
    }
    FileBuilder& text(size_t offset, const std::string& value) {
        for (size_t i = 0; i < value.size(); ++i)
            u8(offset + i, static_cast<uint8_t>(value[i]));
        return *this;
    }
    FileBuilder& version(int high, int low) { return i32(0, low).i32(4, high); }

    // A 144-byte key cell at base: flags, legend, logical address and one
    // layer's assignment.
    FileBuilder& cell(size_t base, const std::string& legend, uint8_t used, uint8_t enabled = 1) {
        u8(base + 4, enabled).u8(base + 5, used).u8(base + 6, 0);
        return text(base + 28, legend).u8(base + 28 + legend.size(), 0);
    }
    FileBuilder& layer(size_t cellBase, int layer, int32_t ibmkey, uint8_t keymode, uint8_t keytype,
                       uint8_t scan2, uint8_t scan3, uint8_t usb, int32_t stringcharcount = 0) {
        const size_t base = cellBase + 64 + 20 * layer;
        u8(base, 1).i32(base + 4, ibmkey).u8(base + 8, keymode).u8(base + 9, keytype);
        u8(base + 10, scan2).u8(base + 11, scan3).u8(base + 12, usb);
        return i32(base + 16, stringcharcount);
    }

    void resize(size_t size) { bytes_.resize(size, '\0'); }
    const std::string& bytes() const { return bytes_; }

  private:
    void grow(size_t size) {
        if (bytes_.size() < size)
            bytes_.resize(size, '\0');
    }
    std::string bytes_;
};

// Collects the messages a load or save shows.
struct MessageLog {
    std::vector<Message> shown;
    MessageSink sink() {
        return [this](const Message& message) { shown.push_back(message); };
    }
    // Shows what a step returned, as the workflow layer does, and passes it on.
    template <class Result> Result take(Result outcome) {
        showOutcome(sink(), outcome);
        return outcome;
    }
};

// A fresh directory under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline TempDir::TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("quillan-model-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

inline TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace quillan::test
