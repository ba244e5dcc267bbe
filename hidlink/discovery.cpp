// Find keyboard: walks the HID collections in member-index order and accepts
// the first keyboard vendor collection or programming device.
#include "hidlink/identities.h"
#include "hidlink/link.h"

#include <algorithm>
#include <cstdio>

namespace quillan {
namespace {

// Which collection of a keyboard carries the programming reports: one with
// 4-byte input and output reports, or one with neither at the member index
// where that product's descriptor set puts its vendor collection.
bool keyboardCollectionAccepted(const HidCaps& caps, int memberIndex, uint16_t productId) {
    if (caps.inputReportByteLength == 4 && caps.outputReportByteLength == 4)
        return true;
    if (caps.inputReportByteLength != 0 || caps.outputReportByteLength != 0)
        return false;
    if (memberIndex == 1 && (productId == 0x1000 || productId == 0x1001))
        return true;
    if (memberIndex == 0 && (productId == 0x1001 || productId == 0x100A))
        return true;
    return memberIndex == 1 && (productId == 0x100B || productId == 0x100C);
}

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

} // namespace

bool FindKeyboard(LinkContext& ctx, FoundDevice& found) {
    ctx.keyboardVersion = 0;
    const std::vector<HidInterfaceEntry> entries = ctx.backend.enumerate();
    for (size_t member = 0; member < entries.size(); ++member) {
        const HidInterfaceEntry& entry = entries[member];
        std::unique_ptr<HidDevice> device = ctx.backend.openQuery(entry.path);
        if (!device)
            continue;
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        uint16_t release = 0;
        HidCaps caps;
        if (!device->getAttributes(vendorId, productId, release) || !device->getCaps(caps))
            continue;
        const int memberIndex = static_cast<int>(member);
        const bool keyboard = vendorId == kKeyboardVendorId && isKeyboardProduct(productId);
        if (keyboard && !keyboardCollectionAccepted(caps, memberIndex, productId))
            continue;
        const bool programmer =
            vendorId == kProgrammerVendorId && productId == kProgrammerProductId;
        if (!keyboard && !programmer)
            continue;
        // A keyboard tells its firmware version in bcdDevice; a version of 0
        // would read as "no keyboard", so it is at least 1.
        ctx.keyboardVersion =
            keyboard ? std::max<uint32_t>(1, decimalFromBcd(release)) : programmerVersion(*device);
        found.path = entry.path;
        found.memberIndex = memberIndex;
        found.vendorId = vendorId;
        found.productId = productId;
        return true;
    }
    return false;
}

std::string versionLabel(uint32_t version) {
    if (version == 0)
        return "";
    char text[16];
    std::snprintf(text, sizeof text, "V%4.4u", static_cast<unsigned>(version));
    return text;
}

} // namespace quillan
