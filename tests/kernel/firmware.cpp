#include "tests/kernel/firmware.h"

#include "eeprom/descriptors.h"
#include "hidlink/products.h"
#include "hidlink/sim_devices.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillan::kernel_test {
namespace {

constexpr uint16_t kKeyboardRelease = 0x0001; // bcdDevice of every descriptor set
constexpr uint8_t kRequestId = 3;
constexpr uint8_t kRequestMarker = 0xAA;
constexpr uint8_t kReadFlag = 0x80;

// clang-format off

// Reports of product 1000: the request collection and set 1's boot keyboard.
const std::vector<ReportSpec> kProduct1000Reports = {
    // interface  kind                  ID  length
    {0,           ReportKind::Input,    3,  4},
    {0,           ReportKind::Output,   3,  4},
    {1,           ReportKind::Input,    0,  9},
    {1,           ReportKind::Output,   0,  2},
};

// clang-format on

size_t lengthOf(uint16_t bits) {
    return 1 + (bits + 7u) / 8u;
}

// Every report a descriptor set declares, as ReportSpecs.
std::vector<ReportSpec> reportsOf(const DescriptorSet& set) {
    std::vector<ReportSpec> entries;
    for (const ReportLayout& layout : set.reports) {
        if (layout.inputBits)
            entries.push_back(
                {layout.interface, ReportKind::Input, layout.reportId, lengthOf(layout.inputBits)});
        if (layout.outputBits)
            entries.push_back({layout.interface, ReportKind::Output, layout.reportId,
                               lengthOf(layout.outputBits)});
        if (layout.featureBits)
            entries.push_back({layout.interface, ReportKind::Feature, layout.reportId,
                               lengthOf(layout.featureBits)});
    }
    return entries;
}

std::string usbName(uint16_t vendorId, uint16_t productId) {
    char text[32];
    std::snprintf(text, sizeof text, "HID %04x:%04x", vendorId, productId);
    return text;
}

// The keyboard firmware. A request (ID 3: address, block, data [, AA])
// with block bit 7 clear stores the data byte at block * 256 + address; with
// it set it asks for that byte, and the answer (3, address, block | 80,
// byte [, AA]) is returned by the next GET_REPORT (feature requests) or sent
// as an input report (output requests). Five-byte requests whose last byte
// is not AA are ignored.
class Keyboard : public Firmware {
  public:
    using Firmware::Firmware;

  protected:
    int onSetFeature(const uint8_t* data, size_t length) override {
        const std::array<uint8_t, 5> answer = request(data, length);
        if (data[2] & kReadFlag)
            featureAnswer_ = answer;
        return 0;
    }

    Answer onGetFeature(uint8_t reportId, size_t length) override {
        Answer answer;
        answer.report.assign(featureAnswer_.begin(), featureAnswer_.end());
        answer.report.resize(length);
        answer.report[0] = reportId;
        return answer;
    }

    void onOutput(const uint8_t* data, size_t length,
                  std::vector<std::vector<uint8_t>>& inputs) override {
        if (data[0] != kRequestId)
            return; // keyboard LEDs
        const std::array<uint8_t, 5> answer = request(data, length);
        if (data[2] & kReadFlag)
            inputs.emplace_back(answer.begin(), answer.begin() + 4);
    }

  private:
    std::array<uint8_t, 5> request(const uint8_t* data, size_t length) {
        const uint8_t address = data[1];
        const uint8_t block = data[2];
        std::array<uint8_t, 5> answer{kRequestId, address, block, data[3], kRequestMarker};
        const int index = (block & ~kReadFlag) * 256 + address;
        if ((length >= 5 && data[4] != kRequestMarker) || index >= kImageSize) {
            ++counters.rejected;
            return answer;
        }
        if (block & kReadFlag) {
            answer[3] = eeprom[index];
            ++counters.answered;
        } else {
            eeprom[index] = index == corruptAddress ? data[3] ^ 1 : data[3];
            ++counters.stored;
        }
        return answer;
    }

    std::array<uint8_t, 5> featureAnswer_{kRequestId, 0, 0, 0, kRequestMarker};
};

// The programming device: (0, address, block, four data bytes) stores the
// four bytes at block * 256 + address; address is a multiple of 4.
class Programmer : public Firmware {
  public:
    using Firmware::Firmware;

  protected:
    int onSetFeature(const uint8_t* data, size_t) override {
        const int index = data[2] * 256 + data[1];
        if (data[1] % 4 != 0 || index + 4 > kImageSize) {
            ++counters.rejected;
            return EPIPE;
        }
        std::memcpy(&eeprom[index], data + 3, 4);
        counters.stored += 4;
        return 0;
    }
};

} // namespace

uint8_t unprogrammedByte(int address) {
    return static_cast<uint8_t>((address * 37 + 11) ^ (address >> 8));
}

Firmware::Firmware(std::string name, uint16_t vendorId, uint16_t productId, uint16_t version,
                   std::vector<std::vector<uint8_t>> interfaceReports,
                   std::vector<ReportSpec> reports)
    : name_(std::move(name)), vendorId_(vendorId), productId_(productId), version_(version),
      interfaceReports_(std::move(interfaceReports)), reports_(std::move(reports)) {
    for (int i = 0; i < kImageSize; ++i)
        eeprom[i] = unprogrammedByte(i);
}

const ReportSpec* Firmware::find(int interface, ReportKind kind, uint8_t id) const {
    for (const ReportSpec& entry : reports_)
        if (entry.interface == interface && entry.kind == kind && entry.id == id)
            return &entry;
    return nullptr;
}

// A device stalls a request for a report it does not declare, or one of the
// wrong length, as a USB device stalls its control pipe.
int Firmware::setFeature(int interface, const uint8_t* data, size_t length) {
    ++counters.featureRequests;
    const ReportSpec* entry = length > 0 ? find(interface, ReportKind::Feature, data[0]) : nullptr;
    if (!entry || entry->length != length) {
        ++counters.rejected;
        return EPIPE;
    }
    return onSetFeature(data, length);
}

Answer Firmware::getFeature(int interface, uint8_t reportId) {
    ++counters.featureRequests;
    const ReportSpec* entry = find(interface, ReportKind::Feature, reportId);
    if (!entry) {
        ++counters.rejected;
        return {EPIPE, {}};
    }
    return onGetFeature(reportId, entry->length);
}

void Firmware::output(int interface, const uint8_t* data, size_t length,
                      std::vector<std::vector<uint8_t>>& inputs) {
    ++counters.outputRequests;
    const ReportSpec* entry = length > 0 ? find(interface, ReportKind::Output, data[0]) : nullptr;
    if (entry && entry->length == length) {
        onOutput(data, length, inputs);
        return;
    }
    // The kernel's own output reports (keyboard LEDs) of an interface without
    // report IDs come without the ID byte.
    const ReportSpec* unnumbered = find(interface, ReportKind::Output, 0);
    if (unnumbered && unnumbered->length == length + 1)
        return;
    ++counters.rejected; // nothing to stall on the interrupt pipe: dropped
}

int Firmware::onSetFeature(const uint8_t*, size_t) {
    ++counters.rejected;
    return EPIPE;
}

Answer Firmware::onGetFeature(uint8_t, size_t) {
    ++counters.rejected;
    return {EPIPE, {}};
}

void Firmware::onOutput(const uint8_t*, size_t, std::vector<std::vector<uint8_t>>&) {}

std::unique_ptr<Firmware> makeKeyboard(uint16_t productId) {
    const std::string name = usbName(kKeyboardVendorId, productId);
    // The same report descriptors as the simulated keyboards of the link.
    std::vector<std::vector<uint8_t>> interfaces = keyboardInterfaceReports(productId);
    if (isKeyboardProduct(productId) &&
        usbProduct(kKeyboardVendorId, productId)->descriptorSet == 0)
        return std::make_unique<Keyboard>(name, kKeyboardVendorId, productId, kKeyboardRelease,
                                          std::move(interfaces), kProduct1000Reports);
    const DescriptorSet* set = descriptorSetForProduct(productId);
    if (!set)
        return nullptr;
    return std::make_unique<Keyboard>(name, kKeyboardVendorId, productId, kKeyboardRelease,
                                      std::move(interfaces), reportsOf(*set));
}

std::unique_ptr<Firmware> makeProgrammer(unsigned version) {
    char name[16];
    std::snprintf(name, sizeof name, "V%04u", version % 10000);
    return std::make_unique<Programmer>(name, kProgrammerVendorId, kProgrammerProductId, 0x0100,
                                        programmerInterfaceReports(),
                                        std::vector<ReportSpec>{{0, ReportKind::Feature, 0, 7}});
}

std::unique_ptr<Firmware> makeMouse() {
    return std::make_unique<Firmware>("USB Optical Mouse", 0x046D, 0xC077, 0x7200,
                                      mouseInterfaceReports(),
                                      std::vector<ReportSpec>{{0, ReportKind::Input, 0, 4}});
}

void swapPrefixBits(uint8_t* image) {
    for (int i = kPrefixTable; i < kPrefixTable + kTableSize; ++i) {
        const uint8_t old = image[i];
        image[i] = static_cast<uint8_t>((old & 0xCF) | ((old & 0x20) >> 1) | ((old & 0x10) << 1));
    }
}

uint32_t crc32(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace quillan::kernel_test
