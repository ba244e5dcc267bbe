// Find keyboard: walks the HID collections in member-index order and accepts
// the first keyboard vendor collection or programming device.
#include "hidlink/link.h"
#include "hidlink/products.h"

#include <algorithm>
#include <cstdio>

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
        const UsbProduct* product = usbProduct(vendorId, productId);
        if (!product || !collectionAccepted(*product, memberIndex, caps.inputReportByteLength,
                                            caps.outputReportByteLength))
            continue;
        const bool keyboard = product->kind == ProductKind::Keyboard;
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
