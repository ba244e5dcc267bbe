// A FILE* with one owner: closed when its owner goes, moved but never
// copied. The trace log and the production log hold their files this way.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

namespace quillan {

class OwnedFile {
  public:
    OwnedFile() = default;
    ~OwnedFile() { reset(); }
    OwnedFile(OwnedFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    OwnedFile& operator=(OwnedFile&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.file_, nullptr));
        return *this;
    }
    OwnedFile(const OwnedFile&) = delete;
    OwnedFile& operator=(const OwnedFile&) = delete;

    // Opens path with an fopen mode; false (and nothing held) when that failed.
    bool open(const std::string& path, const char* mode) {
        reset(std::fopen(path.c_str(), mode));
        return file_ != nullptr;
    }
    void reset(std::FILE* file = nullptr) {
        if (file_)
            std::fclose(file_);
        file_ = file;
    }
    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

  private:
    std::FILE* file_ = nullptr;
};

} // namespace quillan
