// HID report descriptor parser: splits a descriptor into its top-level
// application collections and works out, for each, its usage and the byte
// lengths of its input, output and feature reports as the platform HID API
// counts them (the largest report of that kind, plus one byte for the report
// ID, which is counted even when the interface uses no report IDs).
#pragma once

#include "hidlink/backend.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillan {

enum class HidReportKind { Input = 0, Output = 1, Feature = 2 };

// One report of a collection: its ID (0 = the interface uses no report IDs)
// and the data bits it carries, the report ID byte not counted.
struct HidReportInfo {
    HidReportKind kind = HidReportKind::Input;
    uint8_t reportId = 0;
    uint32_t bits = 0;
};

struct HidTopCollection {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::vector<HidReportInfo> reports;

    HidCaps caps() const;
    // The report of that kind and ID; nullptr when the collection has none.
    const HidReportInfo* report(HidReportKind kind, uint8_t reportId) const;
};

struct ParsedReportDescriptor {
    bool ok = false;
    std::string error; // why parsing stopped, when !ok
    std::vector<HidTopCollection> collections;
};

// Never reads outside bytes; a truncated or inconsistent descriptor gives
// ok = false (with the collections found up to the fault).
ParsedReportDescriptor parseReportDescriptor(std::span<const uint8_t> bytes);

} // namespace quillan
