// The USB identity a keyboard presents: its vendor, and the product that each
// of the four descriptor sets its EEPROM can carry names. The descriptor sets
// (eeprom/) write these ids; the link's product table (hidlink/products.h)
// is built on them.
#pragma once

#include <array>
#include <cstdint>

namespace quillan {

constexpr uint16_t kKeyboardVendorId = 0x04B4;

// Products of descriptor sets 1..4.
constexpr std::array<uint16_t, 4> kDescriptorSetProducts = {0x1001, 0x100A, 0x100B, 0x100C};
static_assert(kDescriptorSetProducts.size() == 4);

// The keyboard product whose descriptor set this is; 0 for none.
constexpr uint16_t productOfDescriptorSet(int set) {
    return set >= 1 && set <= static_cast<int>(kDescriptorSetProducts.size())
               ? kDescriptorSetProducts[static_cast<size_t>(set - 1)]
               : 0;
}

} // namespace quillan
