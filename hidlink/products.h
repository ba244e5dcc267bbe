// The USB products the link serves: the keyboard (vendor 04B4, five products)
// and the programming device (vendor 1593, product FF02). Discovery, the
// link, the simulated devices, the descriptor sets and the udev rule's test
// all read this one table. Header only. The ids the descriptor sets present
// come from model/usb_identity.h, below the EEPROM image.
#pragma once

#include "model/usb_identity.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace quillan {

// How requests reach a device. A keyboard takes each as one report of
// report ID 3 (address, block, data, AA): as a 4-byte output report (answers
// come as input reports), a 4-byte feature report, or a 5-byte feature
// report. The programming device takes 7-byte feature reports of four bytes.
enum class SendPath { OutputReport, ShortFeature, Feature, Programmer };

enum class ProductKind { Keyboard, Programmer };

// Bit mask of member indices 0..15.
constexpr uint16_t members(std::initializer_list<int> indices) {
    uint16_t mask = 0;
    for (int index : indices)
        mask = static_cast<uint16_t>(mask | (1u << index));
    return mask;
}
constexpr bool hasMember(uint16_t mask, int index) {
    return index >= 0 && index < 16 && (mask >> index) & 1;
}
constexpr uint16_t kAnyMember = 0xFFFF;

struct UsbProduct {
    ProductKind kind;
    uint16_t vendorId;
    uint16_t productId;
    // Collections accepted by their reports: input and output reports of this
    // length (0: any collection, whatever its reports).
    uint8_t requestReportLength;
    // Collections without input and output reports accepted at these member
    // indices (where the product's descriptor set puts its vendor collection).
    uint16_t bareMembers;
    SendPath sendPath;
    // Member indices at which requests go as output reports instead.
    uint16_t outputMembers;
    int descriptorSet; // 1..4; 0: none of its own
    // The device takes the Prefix table (image 400..4FF) with bits 4 and 5 of
    // every byte exchanged while its version is below this (0: never).
    uint32_t prefixExchangedBelow;
};

constexpr uint16_t kProgrammerVendorId = 0x1593;
constexpr uint16_t kProgrammerProductId = 0xFF02;

// clang-format off
constexpr std::array<UsbProduct, 6> kUsbProducts = {{
    // kind                   vendor               product                    report  bare members     send path               output members   set  Prefix
    {ProductKind::Keyboard,   kKeyboardVendorId,   0x1000,                    4,      members({1}),    SendPath::ShortFeature, members({0, 2}), 0,   0},
    {ProductKind::Keyboard,   kKeyboardVendorId,   productOfDescriptorSet(1), 4,      members({0, 1}), SendPath::Feature,      0,               1,   0},
    {ProductKind::Keyboard,   kKeyboardVendorId,   productOfDescriptorSet(2), 4,      members({0}),    SendPath::Feature,      0,               2,   0},
    {ProductKind::Keyboard,   kKeyboardVendorId,   productOfDescriptorSet(3), 4,      members({1}),    SendPath::Feature,      0,               3,   0},
    {ProductKind::Keyboard,   kKeyboardVendorId,   productOfDescriptorSet(4), 4,      members({1}),    SendPath::Feature,      0,               4,   0},
    {ProductKind::Programmer, kProgrammerVendorId, kProgrammerProductId,      0,      kAnyMember,      SendPath::Programmer,   0,               0,   412},
}};
// clang-format on
static_assert(kUsbProducts.size() == 6);

// The product of these ids; nullptr when the link does not serve it.
constexpr const UsbProduct* usbProduct(uint16_t vendorId, uint16_t productId) {
    for (const UsbProduct& product : kUsbProducts)
        if (product.vendorId == vendorId && product.productId == productId)
            return &product;
    return nullptr;
}

constexpr bool isKeyboardProduct(uint16_t productId) {
    const UsbProduct* product = usbProduct(kKeyboardVendorId, productId);
    return product && product->kind == ProductKind::Keyboard;
}

// Whether a collection at this member index with these report lengths
// carries the product's requests.
constexpr bool collectionAccepted(const UsbProduct& product, int memberIndex, int inputLength,
                                  int outputLength) {
    if (product.requestReportLength == 0)
        return true;
    if (inputLength == product.requestReportLength && outputLength == product.requestReportLength)
        return true;
    return inputLength == 0 && outputLength == 0 && hasMember(product.bareMembers, memberIndex);
}

constexpr SendPath sendPathAt(const UsbProduct& product, int memberIndex) {
    return hasMember(product.outputMembers, memberIndex) ? SendPath::OutputReport
                                                         : product.sendPath;
}

} // namespace quillan
