// Little-endian byte encoding for settings files: a writer that appends to a
// byte string and a reader that never reads past the end of its input
// (missing bytes read as zero, as a short file's missing bytes do).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace quillan {

class ByteWriter {
  public:
    void u8(uint8_t value) { out_.push_back(static_cast<char>(value)); }
    void u16(uint16_t value) {
        u8(value & 0xFF);
        u8(value >> 8);
    }
    void u32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            u8((value >> shift) & 0xFF);
    }
    void i32(int32_t value) { u32(static_cast<uint32_t>(value)); }
    void bytes(const void* data, size_t size) { out_.append(static_cast<const char*>(data), size); }
    void zeros(size_t count) { out_.append(count, '\0'); }
    const std::string& data() const { return out_; }
    std::string take() { return std::move(out_); }

  private:
    std::string out_;
};

class ByteReader {
  public:
    explicit ByteReader(const std::string& in, size_t offset = 0) : in_(in), offset_(offset) {}
    uint8_t u8() {
        const uint8_t value = offset_ < in_.size() ? static_cast<uint8_t>(in_[offset_]) : 0;
        ++offset_;
        return value;
    }
    uint16_t u16() {
        const uint16_t low = u8();
        return static_cast<uint16_t>(low | (u8() << 8));
    }
    uint32_t u32() {
        uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8)
            value |= static_cast<uint32_t>(u8()) << shift;
        return value;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    void bytes(void* out, size_t size) {
        auto* target = static_cast<uint8_t*>(out);
        for (size_t i = 0; i < size; ++i)
            target[i] = u8();
    }
    void skip(size_t count) { offset_ += count; }
    void seek(size_t offset) { offset_ = offset; }
    size_t offset() const { return offset_; }

  private:
    const std::string& in_;
    size_t offset_;
};

} // namespace quillan
