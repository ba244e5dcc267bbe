// Find keyboard: walks the HID collections in member-index order and accepts
// the first keyboard vendor collection or programming device; and the same
// for every device at once, each device's collections counted on their own.
#include "hidlink/link.h"
#include "hidlink/products.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace quillan {
namespace {

// bcdDevice 0412 -> 412.
uint32_t decimalFromBcd(uint16_t bcd) {
    uint32_t value = 0;
    for (int shift = 12; shift >= 0; shift -= 4)
        value = value * 10 + ((bcd >> shift) & 0xF);
    return value;
}

// The programming device's product string is a leading character and four
// decimal digits ("V0412"): characters 2 to 5 form the version. Missing
// characters count as 0; characters that are not digits give a meaningless
// number, as the device never sends them.
uint32_t versionFromProductString(const std::u16string& text) {
    uint32_t value = 0;
    for (size_t i = 1; i <= 4; ++i) {
        const uint32_t digit = i < text.size() ? static_cast<uint32_t>(text[i]) - u'0' : 0;
        value = value * 10 + digit;
    }
    return value;
}

uint32_t programmerVersion(HidDevice& device) {
    std::u16string text;
    if (!device.getProductString(text))
        return static_cast<uint32_t>(device.lastErrorCode());
    if (text.empty() || text[0] == 0)
        return 0;
    return versionFromProductString(text);
}

// Queries one listed collection as discovery does and tells whether it is
// the programming interface of a keyboard or the programming device; found
// and version are set only then.
bool acceptEntry(HidBackend& backend, const HidInterfaceEntry& entry, int memberIndex,
                 FoundDevice& found, uint32_t& version) {
    std::unique_ptr<HidDevice> device = backend.openQuery(entry.path);
    if (!device)
        return false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0;
    HidCaps caps;
    if (!device->getAttributes(vendorId, productId, release) || !device->getCaps(caps))
        return false;
    const UsbProduct* product = usbProduct(vendorId, productId);
    if (!product || !collectionAccepted(*product, memberIndex, caps.inputReportByteLength,
                                        caps.outputReportByteLength))
        return false;
    // A keyboard tells its firmware version in bcdDevice; a version of 0
    // would read as "no keyboard", so it is at least 1.
    version = product->kind == ProductKind::Keyboard
                  ? std::max<uint32_t>(1, decimalFromBcd(release))
                  : programmerVersion(*device);
    found = FoundDevice{entry.path, memberIndex, vendorId, productId,
                        entry.device.empty() ? entry.path : entry.device};
    return true;
}

} // namespace

bool FindKeyboard(LinkContext& ctx, FoundDevice& found) {
    ctx.keyboardVersion = 0;
    const std::vector<HidInterfaceEntry> entries = ctx.backend.enumerate();
    for (size_t member = 0; member < entries.size(); ++member)
        if (acceptEntry(ctx.backend, entries[member], static_cast<int>(member), found,
                        ctx.keyboardVersion))
            return true;
    return false;
}

std::vector<PluggedDevice> findEveryKeyboard(HidBackend& backend) {
    std::vector<PluggedDevice> plugged;
    std::map<std::string, int> members; // interfaces listed so far, by device
    std::set<std::string> accepted;
    for (const HidInterfaceEntry& entry : backend.enumerate()) {
        const std::string& device = entry.device.empty() ? entry.path : entry.device;
        const int memberIndex = members[device]++;
        PluggedDevice unit;
        if (accepted.count(device) ||
            !acceptEntry(backend, entry, memberIndex, unit.found, unit.version))
            continue;
        accepted.insert(device);
        plugged.push_back(std::move(unit));
    }
    return plugged;
}

std::string versionLabel(uint32_t version) {
    if (version == 0)
        return "";
    char text[16];
    std::snprintf(text, sizeof text, "V%4.4u", static_cast<unsigned>(version));
    return text;
}

} // namespace quillan
