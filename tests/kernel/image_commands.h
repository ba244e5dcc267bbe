// The emulator's file helpers and its two image commands, which run.sh uses
// to check what a programmed keyboard holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillan::kernel_test {

constexpr int kUsageError = -1; // a command's words are off: the caller prints the usage

bool readFile(const std::string& path, std::vector<uint8_t>& bytes);
bool writeFile(const std::string& path, const uint8_t* data, size_t length);

// compare IMAGE EEPROM [--swap-prefix]: the programmed EEPROM holds the image's
// bytes 0000..13FF (Prefix bits exchanged with --swap-prefix) and unprogrammed
// bytes above; 0 when it does, 1 (with the first difference) when not.
int compareCommand(int argc, char** argv);
// crc FILE: the CRC-32 of the file's bytes 0000..13FF, as the production log shows it.
int crcCommand(int argc, char** argv);

} // namespace quillan::kernel_test
