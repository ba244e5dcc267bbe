#include "tests/kernel/image_commands.h"

#include "tests/kernel/firmware.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace quillan::kernel_test {

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::string& path, const uint8_t* data, size_t length) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
    out.close();
    return !out.fail();
}

int compareCommand(int argc, char** argv) {
    if (argc < 4 || argc > 5 || (argc == 5 && std::string(argv[4]) != "--swap-prefix"))
        return kUsageError;
    std::vector<uint8_t> image;
    std::vector<uint8_t> eeprom;
    if (!readFile(argv[2], image) || !readFile(argv[3], eeprom) ||
        image.size() != static_cast<size_t>(kImageSize) ||
        eeprom.size() != static_cast<size_t>(kImageSize)) {
        std::printf("cannot read two 8192-byte files %s and %s\n", argv[2], argv[3]);
        return 1;
    }
    if (argc == 5)
        swapPrefixBits(image.data());
    for (int i = 0; i < kImageSize; ++i) {
        const uint8_t expected = i < kTransferBytes ? image[i] : unprogrammedByte(i);
        if (eeprom[i] != expected) {
            std::printf("EEPROM byte %04X is %02X, expected %02X%s\n", i, eeprom[i], expected,
                        i < kTransferBytes ? "" : " (never sent)");
            return 1;
        }
    }
    std::printf("EEPROM matches the image\n");
    return 0;
}

int crcCommand(int argc, char** argv) {
    std::vector<uint8_t> bytes;
    if (argc != 3 || !readFile(argv[2], bytes) ||
        bytes.size() < static_cast<size_t>(kTransferBytes))
        return kUsageError;
    std::printf("%08X\n", crc32(bytes.data(), kTransferBytes));
    return 0;
}

} // namespace quillan::kernel_test
