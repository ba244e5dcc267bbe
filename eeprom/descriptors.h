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

struct DescriptorSet {
    int number;        // 1..4
    uint8_t setCode;   // written at 10FF
    uint16_t productId;
    std::span<const uint8_t> bytes; // device, configuration, report descriptors; stored at 1100
    std::span<const DescriptorEntry> standardEntries; // device, configuration, HID 0, HID 1
    std::span<const DescriptorEntry> reportEntries;   // one per HID interface
    // One report descriptor per HID interface, in interface order (set 4 has one).
    std::span<const std::span<const uint8_t>> interfaceReports;
};

// Set 1..4; nullptr otherwise.
const DescriptorSet* descriptorSet(int number);
// The set whose product ID this is; nullptr for product 1000 and others.
const DescriptorSet* descriptorSetForProduct(uint16_t productId);

// Stores set 0..4 (0 = none) and returns 0; a number above 4 returns -1 and
// changes nothing. Traces "StoreDescriptorTable( %u)\n".
int StoreDescriptorTable(EepromImage& image, unsigned char set, Log& log);

} // namespace quillan
