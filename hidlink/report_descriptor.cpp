// HID 1.11 report descriptor items: short items (prefix byte: size in bits
// 0..1, type in bits 2..3, tag in bits 4..7) and long items (prefix FE).
#include "hidlink/report_descriptor.h"

#include <algorithm>

namespace quillan {
namespace {

constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr int kMaxCollectionDepth = 32;
constexpr size_t kMaxGlobalStack = 16;
constexpr uint32_t kMaxReportBits = 0xFFFF * 8;

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

// Main item tags
constexpr uint8_t kInputTag = 0x8;
constexpr uint8_t kOutputTag = 0x9;
constexpr uint8_t kCollectionTag = 0xA;
constexpr uint8_t kFeatureTag = 0xB;
constexpr uint8_t kEndCollectionTag = 0xC;
// Global item tags
constexpr uint8_t kUsagePageTag = 0x0;
constexpr uint8_t kReportSizeTag = 0x7;
constexpr uint8_t kReportIdTag = 0x8;
constexpr uint8_t kReportCountTag = 0x9;
constexpr uint8_t kPushTag = 0xA;
constexpr uint8_t kPopTag = 0xB;
// Local item tags
constexpr uint8_t kUsageTag = 0x0;

constexpr uint32_t kApplicationCollection = 0x01;

struct GlobalState {
    uint16_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

struct Parser {
    ParsedReportDescriptor result;
    GlobalState global;
    std::vector<GlobalState> stack;
    std::vector<uint32_t> usages; // local usages since the last main item
    int depth = 0;
    bool inTopCollection = false;

    bool fail(const std::string& why) {
        result.ok = false;
        result.error = why;
        return false;
    }

    void addReportBits(HidReportKind kind) {
        if (!inTopCollection)
            return; // data outside any application collection belongs to none
        HidTopCollection& top = result.collections.back();
        const uint32_t bits = std::min(global.reportSize * global.reportCount, kMaxReportBits);
        for (HidReportInfo& report : top.reports) {
            if (report.kind == kind && report.reportId == global.reportId) {
                report.bits = std::min(report.bits + bits, kMaxReportBits);
                return;
            }
        }
        top.reports.push_back({kind, global.reportId, bits});
    }

    void openCollection(uint32_t type) {
        if (depth == 0 && type == kApplicationCollection) {
            HidTopCollection top;
            const uint32_t usage = usages.empty() ? 0 : usages.front();
            // A 4-byte usage carries its own usage page in the upper half.
            top.usagePage = usage > 0xFFFF ? static_cast<uint16_t>(usage >> 16) : global.usagePage;
            top.usage = static_cast<uint16_t>(usage & 0xFFFF);
            result.collections.push_back(top);
            inTopCollection = true;
        }
        ++depth;
    }

    bool mainItem(uint8_t tag, uint32_t value) {
        switch (tag) {
        case kInputTag:
            addReportBits(HidReportKind::Input);
            break;
        case kOutputTag:
            addReportBits(HidReportKind::Output);
            break;
        case kFeatureTag:
            addReportBits(HidReportKind::Feature);
            break;
        case kCollectionTag:
            if (depth >= kMaxCollectionDepth)
                return fail("collections nested too deeply");
            openCollection(value);
            break;
        case kEndCollectionTag:
            if (depth == 0)
                return fail("End Collection without Collection");
            if (--depth == 0)
                inTopCollection = false;
            break;
        default:
            break;
        }
        usages.clear();
        return true;
    }

    bool globalItem(uint8_t tag, uint32_t value, size_t size) {
        switch (tag) {
        case kUsagePageTag:
            global.usagePage = static_cast<uint16_t>(value);
            break;
        case kReportSizeTag:
            global.reportSize = value;
            break;
        case kReportCountTag:
            global.reportCount = value;
            break;
        case kReportIdTag:
            if (size == 0 || value == 0 || value > 0xFF)
                return fail("invalid Report ID");
            global.reportId = static_cast<uint8_t>(value);
            break;
        case kPushTag:
            if (stack.size() >= kMaxGlobalStack)
                return fail("Push stack overflow");
            stack.push_back(global);
            break;
        case kPopTag:
            if (stack.empty())
                return fail("Pop without Push");
            global = stack.back();
            stack.pop_back();
            break;
        default:
            break;
        }
        return true;
    }

    void localItem(uint8_t tag, uint32_t value, size_t size) {
        if (tag == kUsageTag)
            usages.push_back(size == 4 ? value : (value & 0xFFFF));
    }

    bool item(uint8_t type, uint8_t tag, uint32_t value, size_t size) {
        switch (type) {
        case kMain:
            return mainItem(tag, value);
        case kGlobal:
            return globalItem(tag, value, size);
        case kLocal:
            localItem(tag, value, size);
            return true;
        default:
            return true; // reserved item type: skipped
        }
    }

    void run(std::span<const uint8_t> bytes) {
        result.ok = true;
        size_t pos = 0;
        while (pos < bytes.size()) {
            const uint8_t prefix = bytes[pos++];
            if (prefix == kLongItemPrefix) {
                if (bytes.size() - pos < 2) {
                    fail("truncated long item");
                    return;
                }
                const size_t length = bytes[pos];
                pos += 2;
                if (bytes.size() - pos < length) {
                    fail("truncated long item");
                    return;
                }
                pos += length;
                continue;
            }
            const size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
            if (bytes.size() - pos < size) {
                fail("truncated item");
                return;
            }
            uint32_t value = 0;
            for (size_t i = 0; i < size; ++i)
                value |= static_cast<uint32_t>(bytes[pos + i]) << (8 * i);
            pos += size;
            if (!item(static_cast<uint8_t>((prefix >> 2) & 0x3), static_cast<uint8_t>(prefix >> 4),
                      value, size))
                return;
        }
        if (depth != 0)
            fail("collection not closed");
    }
};

uint16_t byteLength(const HidTopCollection& top, HidReportKind kind) {
    uint32_t longest = 0;
    bool any = false;
    for (const HidReportInfo& report : top.reports) {
        if (report.kind == kind) {
            any = true;
            longest = std::max(longest, (report.bits + 7) / 8);
        }
    }
    return any ? static_cast<uint16_t>(std::min<uint32_t>(longest + 1, 0xFFFF)) : 0;
}

} // namespace

HidCaps HidTopCollection::caps() const {
    HidCaps caps;
    caps.usage = usage;
    caps.usagePage = usagePage;
    caps.inputReportByteLength = byteLength(*this, HidReportKind::Input);
    caps.outputReportByteLength = byteLength(*this, HidReportKind::Output);
    caps.featureReportByteLength = byteLength(*this, HidReportKind::Feature);
    return caps;
}

const HidReportInfo* HidTopCollection::report(HidReportKind kind, uint8_t reportId) const {
    for (const HidReportInfo& info : reports)
        if (info.kind == kind && info.reportId == reportId)
            return &info;
    return nullptr;
}

ParsedReportDescriptor parseReportDescriptor(std::span<const uint8_t> bytes) {
    Parser parser;
    parser.run(bytes);
    return parser.result;
}

} // namespace quillan
