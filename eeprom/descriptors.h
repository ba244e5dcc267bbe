// The four USB descriptor sets a keyboard can carry in its EEPROM, and
// StoreDescriptorTable, which writes one into the descriptor area.
#pragma once

#include "eeprom/image.h"

#include <cstdint>
#include <span>

namespace quillan {

struct DescriptorEntry {
    uint16_t address; // image address (page 11xx)
    uint8_t length;
};

// One report that a set's report descriptors define: its interface, report
// ID (0 = the interface uses no report IDs) and the data bits it carries in
// each direction, the report ID byte not counted.
struct ReportLayout {
    int interface;
    uint8_t reportId;
    uint16_t inputBits;
    uint16_t outputBits;
    uint16_t featureBits;
};

// Descriptor area layout.
constexpr int kDescriptorFlagAddress = 0x1000;  // AA stored, FF none
constexpr int kStandardEntriesAddress = 0x1001; // 4 entries of 4 bytes
constexpr int kReportEntriesAddress = 0x1080;   // 4 entries of 4 bytes
constexpr int kSetCodeAddress = 0x10FF;
constexpr int kDescriptorBytesAddress = 0x1100;
constexpr int kDescriptorEntrySize = 4;
constexpr int kStoredDescriptorSet = 3; // the set every build stores

struct DescriptorSet {
    int number;      // 1..4
    uint8_t setCode; // written at 10FF
    uint16_t productId;
    std::span<const uint8_t> bytes; // device, configuration, report descriptors; stored at 1100
    std::span<const DescriptorEntry> standardEntries; // device, configuration, HID 0, HID 1
    std::span<const DescriptorEntry> reportEntries;   // one per HID interface
    // One report descriptor per HID interface, in interface order (set 4 has one).
    std::span<const std::span<const uint8_t>> interfaceReports;
    // Every report the set's report descriptors define, by interface.
    std::span<const ReportLayout> reports;
};

// Set 1..4; nullptr otherwise.
const DescriptorSet* descriptorSet(int number);
// The set whose product ID this is; nullptr for product 1000 and others.
const DescriptorSet* descriptorSetForProduct(uint16_t productId);

// Stores set 0..4 (0 = none) and returns 0; a number above 4 returns -1 and
// changes nothing. Traces "StoreDescriptorTable( %u)\n" (the routine keeps the
// system's own name, as FindKeyboard does; see hidlink/link.h).
int StoreDescriptorTable(EepromImage& image, unsigned char set, Log& log);

} // namespace quillan
