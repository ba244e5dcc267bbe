// USB identities the link serves: the keyboard (vendor 04B4, five products)
// and the programming device (vendor 1593, product FF02).
#pragma once

#include <cstdint>

namespace quillan {

constexpr uint16_t kKeyboardVendorId = 0x04B4;
constexpr uint16_t kProgrammerVendorId = 0x1593;
constexpr uint16_t kProgrammerProductId = 0xFF02;

// Product 1000 has no descriptor set of its own; 1001, 100A, 100B and 100C
// are those of descriptor sets 1..4.
constexpr bool isKeyboardProduct(uint16_t productId) {
    return productId == 0x1000 || productId == 0x1001 || productId == 0x100A ||
           productId == 0x100B || productId == 0x100C;
}

} // namespace quillan
