// The four USB descriptor sets (USB 1.1 standard descriptors, HID 1.11 report
// descriptors) and StoreDescriptorTable, which writes one into the image's
// descriptor area at 1000..1FFF.
#include "eeprom/descriptors.h"
#include "model/usb_identity.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace quillan {
namespace {

using Bytes = std::span<const uint8_t>;

template <size_t... N> constexpr auto concat(const std::array<uint8_t, N>&... parts) {
    std::array<uint8_t, (N + ...)> out{};
    size_t position = 0;
    ((std::copy(parts.begin(), parts.end(), out.begin() + position), position += N), ...);
    return out;
}

constexpr uint8_t lo(unsigned value) {
    return static_cast<uint8_t>(value & 0xFF);
}
constexpr uint8_t hi(unsigned value) {
    return static_cast<uint8_t>((value >> 8) & 0xFF);
}

// The keyboard product each set presents.
constexpr uint16_t kSet1Product = productOfDescriptorSet(1);
constexpr uint16_t kSet2Product = productOfDescriptorSet(2);
constexpr uint16_t kSet3Product = productOfDescriptorSet(3);
constexpr uint16_t kSet4Product = productOfDescriptorSet(4);
static_assert(kSet1Product != 0 && kSet2Product != 0 && kSet3Product != 0 && kSet4Product != 0);

// Device descriptor: USB 1.00, class in the interfaces, 8-byte endpoint 0,
// device release 0001, no strings, one configuration.
// clang-format off
constexpr std::array<uint8_t, 18> device(uint16_t productId) {
    return {18, 0x01,                      // length, DEVICE
            0x00, 0x01,                    // bcdUSB 1.00
            0x00, 0x00, 0x00,              // class, subclass, protocol
            8,                             // endpoint 0 packet size
            lo(kKeyboardVendorId),         // vendor
            hi(kKeyboardVendorId),
            lo(productId), hi(productId),  // product
            0x01, 0x00,                    // bcdDevice 0001
            0, 0, 0,                       // no strings
            1};                            // configurations
}
// clang-format on

// Configuration 1, no string, bus powered with remote wake-up, 100 mA.
constexpr std::array<uint8_t, 9> configuration(uint16_t totalLength, uint8_t interfaces) {
    return {9, 0x02, lo(totalLength), hi(totalLength), interfaces, 1, 0, 0xA0, 0x32};
}

// HID interface with one endpoint.
constexpr std::array<uint8_t, 9> interface(uint8_t number, uint8_t subclass, uint8_t protocol) {
    return {9, 0x04, number, 0, 1, 0x03, subclass, protocol, 0};
}

// HID 1.00, no country code, one report descriptor.
constexpr std::array<uint8_t, 9> hid(uint16_t reportLength) {
    return {9, 0x21, 0x00, 0x01, 0x00, 1, 0x22, lo(reportLength), hi(reportLength)};
}

// Interrupt IN endpoint, 8-byte packets, polled every 10 ms.
constexpr std::array<uint8_t, 7> endpoint(uint8_t address) {
    return {7, 0x05, address, 0x03, 8, 0, 10};
}

// clang-format off

// Consumer control, report ID 4: next/previous track (bits 0, 1) and volume
// up/down (bits 2, 3) of one byte.
constexpr std::array<uint8_t, 33> kConsumerReport = {
    0x05, 0x0C,       // Usage Page (Consumer)
    0x09, 0x01,       // Usage (Consumer Control)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x04,       //   Report ID (4)
    0x15, 0x00,       //   Logical Minimum (0)
    0x25, 0x01,       //   Logical Maximum (1)
    0x75, 0x01,       //   Report Size (1)
    0x95, 0x02,       //   Report Count (2)
    0x09, 0xB5,       //   Usage (Scan Next Track)
    0x09, 0xB6,       //   Usage (Scan Previous Track)
    0x81, 0x06,       //   Input (Data, Variable, Relative)
    0x09, 0xE9,       //   Usage (Volume Increment)
    0x09, 0xEA,       //   Usage (Volume Decrement)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x95, 0x04,       //   Report Count (4)
    0x81, 0x03,       //   Input (Constant): padding
    0xC0,             // End Collection
};

// Vendor feature, report ID 3: four signed bytes that carry the EEPROM
// programming and read-back requests.
constexpr std::array<uint8_t, 24> kVendorReport = {
    0x06, 0xA0, 0xFF, // Usage Page (Vendor FFA0)
    0x09, 0xA5,       // Usage (A5)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x03,       //   Report ID (3)
    0x09, 0xA6,       //   Usage (A6)
    0x09, 0xA7,       //   Usage (A7)
    0x15, 0x80,       //   Logical Minimum (-128)
    0x25, 0x7F,       //   Logical Maximum (127)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x04,       //   Report Count (4)
    0xB1, 0x02,       //   Feature (Data, Variable, Absolute)
    0xC0,             // End Collection
};

// Mouse, report ID 2: three buttons, X and Y.
constexpr std::array<uint8_t, 52> kMouseReport = {
    0x05, 0x01,       // Usage Page (Generic Desktop)
    0x09, 0x02,       // Usage (Mouse)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x02,       //   Report ID (2)
    0x09, 0x01,       //   Usage (Pointer)
    0xA1, 0x00,       //   Collection (Physical)
    0x05, 0x09,       //     Usage Page (Button)
    0x19, 0x01,       //     Usage Minimum (1)
    0x29, 0x03,       //     Usage Maximum (3)
    0x15, 0x00,       //     Logical Minimum (0)
    0x25, 0x01,       //     Logical Maximum (1)
    0x95, 0x03,       //     Report Count (3)
    0x75, 0x01,       //     Report Size (1)
    0x81, 0x02,       //     Input (Data, Variable, Absolute)
    0x95, 0x01,       //     Report Count (1)
    0x75, 0x05,       //     Report Size (5)
    0x81, 0x01,       //     Input (Constant): padding
    0x05, 0x01,       //     Usage Page (Generic Desktop)
    0x09, 0x30,       //     Usage (X)
    0x09, 0x31,       //     Usage (Y)
    0x15, 0x81,       //     Logical Minimum (-127)
    0x25, 0x7F,       //     Logical Maximum (127)
    0x75, 0x08,       //     Report Size (8)
    0x95, 0x02,       //     Report Count (2)
    0x81, 0x06,       //     Input (Data, Variable, Relative)
    0xC0,             //   End Collection
    0xC0,             // End Collection
};

// Keyboard collection: modifiers, reserved byte, five LEDs and key codes
// 0..65, the report ID (when there is one) just inside the collection.
constexpr std::array<uint8_t, 6> kKeyboardHead = {
    0x05, 0x01,       // Usage Page (Generic Desktop)
    0x09, 0x06,       // Usage (Keyboard)
    0xA1, 0x01,       // Collection (Application)
};
constexpr std::array<uint8_t, 40> kKeyboardFields = {
    0x05, 0x07,       //   Usage Page (Keyboard)
    0x19, 0xE0,       //   Usage Minimum (Left Control)
    0x29, 0xE7,       //   Usage Maximum (Right GUI)
    0x15, 0x00,       //   Logical Minimum (0)
    0x25, 0x01,       //   Logical Maximum (1)
    0x75, 0x01,       //   Report Size (1)
    0x95, 0x08,       //   Report Count (8)
    0x81, 0x02,       //   Input (Data, Variable, Absolute): modifiers
    0x95, 0x01,       //   Report Count (1)
    0x75, 0x08,       //   Report Size (8)
    0x81, 0x01,       //   Input (Constant): reserved byte
    0x95, 0x05,       //   Report Count (5)
    0x75, 0x01,       //   Report Size (1)
    0x05, 0x08,       //   Usage Page (LEDs)
    0x19, 0x01,       //   Usage Minimum (Num Lock)
    0x29, 0x05,       //   Usage Maximum (Kana)
    0x91, 0x02,       //   Output (Data, Variable, Absolute): LEDs
    0x95, 0x01,       //   Report Count (1)
    0x75, 0x03,       //   Report Size (3)
    0x91, 0x01,       //   Output (Constant): padding
};
constexpr std::array<uint8_t, 2> keyCodeCount(uint8_t count) {
    return {0x95, count};  // Report Count (count)
}
constexpr std::array<uint8_t, 15> kKeyCodes = {
    0x75, 0x08,       //   Report Size (8)
    0x15, 0x00,       //   Logical Minimum (0)
    0x25, 0x65,       //   Logical Maximum (101)
    0x05, 0x07,       //   Usage Page (Keyboard)
    0x19, 0x00,       //   Usage Minimum (0)
    0x29, 0x65,       //   Usage Maximum (101)
    0x81, 0x00,       //   Input (Data, Array): key codes
    0xC0,             // End Collection
};
constexpr std::array<uint8_t, 2> reportId(uint8_t id) {
    return {0x85, id};  // Report ID (id)
}

// Boot keyboard without report ID: six key codes.
constexpr auto kKeyboardReport = concat(kKeyboardHead, kKeyboardFields, keyCodeCount(6), kKeyCodes);
static_assert(kKeyboardReport.size() == 63);

// The keyboard of the single-interface set: report ID 1 and five key codes,
// so that a report with its ID still fits one 8-byte packet.
constexpr auto kKeyboardReportWithId =
    concat(kKeyboardHead, reportId(1), kKeyboardFields, keyCodeCount(5), kKeyCodes);
static_assert(kKeyboardReportWithId.size() == 65);

// clang-format on

constexpr auto kVendorMouseReport = concat(kVendorReport, kMouseReport);
constexpr auto kCombinedReport =
    concat(kConsumerReport, kVendorReport, kMouseReport, kKeyboardReportWithId);
static_assert(kVendorMouseReport.size() == 76);
static_assert(kCombinedReport.size() == 174);

// Set 1: vendor feature and boot keyboard.
constexpr auto kSet1 = concat(device(kSet1Product), configuration(59, 2),                    //
                              interface(0, 1, 1), hid(kVendorReport.size()), endpoint(0x82), //
                              interface(1, 1, 1), hid(kKeyboardReport.size()), endpoint(0x81),
                              kVendorReport, kKeyboardReport);
// Set 2: vendor feature with the mouse, and boot keyboard.
constexpr auto kSet2 =
    concat(device(kSet2Product), configuration(59, 2), //
           interface(0, 1, 1), hid(kVendorMouseReport.size()), endpoint(0x82), interface(1, 1, 1),
           hid(kKeyboardReport.size()), endpoint(0x81), kVendorMouseReport, kKeyboardReport);
// Set 3: consumer, vendor feature, mouse and boot keyboard, one interface each.
constexpr auto kSet3 = concat(device(kSet3Product), configuration(109, 4),                     //
                              interface(0, 1, 1), hid(kConsumerReport.size()), endpoint(0x82), //
                              interface(1, 1, 1), hid(kVendorReport.size()), endpoint(0x82),   //
                              interface(2, 1, 2), hid(kMouseReport.size()), endpoint(0x82),    //
                              interface(3, 1, 1), hid(kKeyboardReport.size()), endpoint(0x81),
                              kConsumerReport, kVendorReport, kMouseReport, kKeyboardReport);
// Set 4: everything in one interface.
constexpr auto kSet4 =
    concat(device(kSet4Product), configuration(34, 1), //
           interface(0, 1, 1), hid(kCombinedReport.size()), endpoint(0x81), kCombinedReport);
static_assert(kSet1.size() == 164);
static_assert(kSet2.size() == 216);
static_assert(kSet3.size() == 299);
static_assert(kSet4.size() == 226);

// clang-format off
constexpr std::array<DescriptorEntry, 4> kSet1Standard = {{
    // address  length
    {0x1100,    18},  // device
    {0x1112,    59},  // configuration
    {0x1124,     9},  // HID of interface 0
    {0x113D,     9},  // HID of interface 1
}};
constexpr std::array<DescriptorEntry, 2> kSet1ReportEntries = {{
    {0x114D,    24},
    {0x1165,    63},
}};
constexpr std::array<DescriptorEntry, 2> kSet2ReportEntries = {{
    {0x114D,    76},
    {0x1199,    63},
}};
constexpr std::array<DescriptorEntry, 4> kSet3Standard = {{
    {0x1100,    18},
    {0x1112,   109},
    {0x1124,     9},
    {0x113D,     9},
}};
constexpr std::array<DescriptorEntry, 4> kSet3ReportEntries = {{
    {0x117F,    33},
    {0x11A0,    24},
    {0x11B8,    52},
    {0x11EC,    63},
}};
constexpr std::array<DescriptorEntry, 4> kSet4Standard = {{
    {0x1100,    18},
    {0x1112,    34},
    {0x1124,     9},
    {0x1124,     9},
}};
constexpr std::array<DescriptorEntry, 4> kSet4ReportEntries = {{
    {0x1134,   174},
    {0x1134,   174},
    {0x1134,   174},
    {0x1134,   174},
}};

constexpr std::array<ReportLayout, 2> kSet1Reports = {{
    // interface  ID  input  output  feature
    {0,           3,   0,    0,      32},  // vendor feature
    {1,           0,  64,    8,       0},  // boot keyboard
}};
constexpr std::array<ReportLayout, 3> kSet2Reports = {{
    {0,           3,   0,    0,      32},
    {0,           2,  24,    0,       0},  // mouse
    {1,           0,  64,    8,       0},
}};
constexpr std::array<ReportLayout, 4> kSet3Reports = {{
    {0,           4,   8,    0,       0},  // consumer
    {1,           3,   0,    0,      32},
    {2,           2,  24,    0,       0},
    {3,           0,  64,    8,       0},
}};
constexpr std::array<ReportLayout, 4> kSet4Reports = {{
    {0,           4,   8,    0,       0},
    {0,           3,   0,    0,      32},
    {0,           2,  24,    0,       0},
    {0,           1,  56,    8,       0},  // keyboard with five key codes
}};
// clang-format on

constexpr std::array<Bytes, 2> kSet1Interfaces = {Bytes(kVendorReport), Bytes(kKeyboardReport)};
constexpr std::array<Bytes, 2> kSet2Interfaces = {Bytes(kVendorMouseReport),
                                                  Bytes(kKeyboardReport)};
constexpr std::array<Bytes, 4> kSet3Interfaces = {Bytes(kConsumerReport), Bytes(kVendorReport),
                                                  Bytes(kMouseReport), Bytes(kKeyboardReport)};
constexpr std::array<Bytes, 1> kSet4Interfaces = {Bytes(kCombinedReport)};

const std::array<DescriptorSet, 4> kSets = {{
    {1, 4, kSet1Product, kSet1, kSet1Standard, kSet1ReportEntries, kSet1Interfaces, kSet1Reports},
    {2, 6, kSet2Product, kSet2, kSet1Standard, kSet2ReportEntries, kSet2Interfaces, kSet2Reports},
    {3, 14, kSet3Product, kSet3, kSet3Standard, kSet3ReportEntries, kSet3Interfaces, kSet3Reports},
    {4, 1, kSet4Product, kSet4, kSet4Standard, kSet4ReportEntries, kSet4Interfaces, kSet4Reports},
}};

void writeEntries(EepromImage& image, int address, std::span<const DescriptorEntry> entries) {
    for (const DescriptorEntry& entry : entries) {
        image.bytes[address] = lo(entry.address);
        image.bytes[address + 1] = hi(entry.address);
        image.bytes[address + 2] = entry.length;
        address += kDescriptorEntrySize;
    }
}

} // namespace

const DescriptorSet* descriptorSet(int number) {
    if (number < 1 || number > static_cast<int>(kSets.size()))
        return nullptr;
    return &kSets[number - 1];
}

const DescriptorSet* descriptorSetForProduct(uint16_t productId) {
    for (const DescriptorSet& set : kSets)
        if (set.productId == productId)
            return &set;
    return nullptr;
}

int StoreDescriptorTable(EepromImage& image, unsigned char set, Log& log) {
    log.trace("StoreDescriptorTable( %u)\n", static_cast<unsigned>(set));
    if (set > kSets.size())
        return -1;
    // Start from an empty area so that nothing of a previously stored set
    // (entries, descriptor bytes) is left behind.
    std::fill(image.bytes.begin() + kDescriptorFlagAddress, image.bytes.end(), 0);
    if (set == 0) {
        image.bytes[kDescriptorFlagAddress] = 0xFF;
        image.bytes[kSetCodeAddress] = 0x00;
        return 0;
    }
    const DescriptorSet& chosen = kSets[set - 1];
    image.bytes[kDescriptorFlagAddress] = 0xAA;
    image.bytes[kSetCodeAddress] = chosen.setCode;
    writeEntries(image, kStandardEntriesAddress, chosen.standardEntries);
    writeEntries(image, kReportEntriesAddress, chosen.reportEntries);
    std::copy(chosen.bytes.begin(), chosen.bytes.end(),
              image.bytes.begin() + kDescriptorBytesAddress);
    return 0;
}

} // namespace quillan
