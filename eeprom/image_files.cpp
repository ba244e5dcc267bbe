// The image files: "EEPkey.bin" (the whole image), "EEPkey.txt" (the tables
// as decimal/hexadecimal rows), the read-back dump "eepraw.txt", and reading
// an image file back. Each file is written whole or not at all, and every
// "\r\n" is written as it stands.
#include "eeprom/image_files.h"

#include "model/file_io.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace quillan {
namespace {

constexpr int kValuesPerRow = 16;

struct Section {
    const char* caption;
    int begin; // first image byte
    int rows;  // of 16 values
    const char* format;
    bool grouped; // two spaces after every fourth value of a row
};

// clang-format off
constexpr std::array<Section, 9> kImageSections = {{
    // caption                        begin                 rows  format  grouped
    {"Scan Set2 code table\r\n",      kScanSet2Table,       16,   "%3d,", false},
    {"Scan Set3 code table\r\n",      kScanSet3Table,       16,   "%3d,", false},
    {"Logical Address table\r\n",     kLogicalAddressTable, 32,   "%3d,", false},
    {"Prefix table\r\n",              kPrefixTable,         16,   "%2d,", false},
    {"Key info table\r\n",            kKeyInfoTable,        16,   "%2d,", false},
    {"General info table\r\n",        kGeneralInfoTable,    16,   "%3d,", false},
    {"USB Set table\r\n",             kUsbTable,            16,   "%3d,", false},
    {"StringTable\r\n",               kStringTable,         16,   "%2x,", false},
    {"StringStorage\r\n",             kStringStorage,       112,  "%2d,", true },
}};

constexpr std::array<Section, 8> kReadbackSections = {{
    {"Scan Set2 code table\r\n",      kScanSet2Table,       16,   "%d,",  false},
    {"Scan Set3 code table\r\n",      kScanSet3Table,       16,   "%d,",  false},
    {"Logical Address table\r\n",     kLogicalAddressTable, 32,   "%d,",  false},
    {"Prefix table\r\n",              kPrefixTable,         16,   "%d,",  false},
    {"Key info table\r\n",            kKeyInfoTable,        16,   "%d,",  false},
    {"General info table\r\n",        kGeneralInfoTable,    1,    "%d,",  false},
    {"USB Set table\r\n",             kUsbTable,            16,   "%d,",  false},
    {"Rest of eeprom\r\n",            kStringTable,         348,  "%d,",  false},
}};
// clang-format on

static_assert(kStringStorage + 112 * kValuesPerRow == kDescriptorArea);
static_assert(kStringTable + 348 * kValuesPerRow == 0x1DC0);

template <size_t N>
std::string dump(const EepromImage& image, const std::array<Section, N>& sections) {
    std::string out;
    out.reserve(24 * 1024);
    char value[8];
    for (const Section& section : sections) {
        out += section.caption;
        for (int row = 0; row < section.rows; ++row) {
            for (int k = 0; k < kValuesPerRow; ++k) {
                const int address = section.begin + row * kValuesPerRow + k;
                const int length = std::snprintf(value, sizeof value, section.format,
                                                 static_cast<unsigned>(image.bytes[address]));
                out.append(value, length);
                if (section.grouped && k % 4 == 3)
                    out += "  ";
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

std::string imageTextDump(const EepromImage& image) {
    return dump(image, kImageSections);
}

std::string readbackTextDump(const EepromImage& image) {
    return dump(image, kReadbackSections);
}

Outcome writeImageBinary(const EepromImage& image, const std::string& path) {
    return writeFileAtomically(
        path, {reinterpret_cast<const char*>(image.bytes.data()), image.bytes.size()});
}

Outcome writeImageText(const EepromImage& image, const std::string& path) {
    return writeFileAtomically(path, imageTextDump(image));
}

Outcome writeReadbackDump(const EepromImage& image, const std::string& path) {
    return writeFileAtomically(path, readbackTextDump(image));
}

Outcome readImageFile(const std::string& path, EepromImage& image) {
    constexpr const char* kCaption = "Read image";
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return Outcome::failure("Cannot open " + path, kCaption, MessageIcon::Error);
    std::array<uint8_t, kImageSize + 1> buffer;
    const size_t size = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (std::ferror(file.get()))
        return Outcome::failure("Cannot read " + path, kCaption, MessageIcon::Error);
    if (size != static_cast<size_t>(kImageSize))
        return Outcome::failure(
            path +
                (size > static_cast<size_t>(kImageSize) ? " is larger than" : " is smaller than") +
                " an EEPROM image (8192 bytes)",
            kCaption, MessageIcon::Error);
    std::copy_n(buffer.begin(), kImageSize, image.bytes.begin());
    return Outcome::success();
}

} // namespace quillan
