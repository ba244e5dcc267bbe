#include "hidlink/sim_devices.h"

#include "eeprom/descriptors.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace quillan {
namespace {

constexpr uint8_t kRequestReportId = 3;
constexpr uint8_t kRequestMarker = 0xAA;
constexpr uint8_t kReadFlag = 0x80;

// clang-format off

// Product 1000: vendor collection whose requests and answers travel as
// output and input reports of report ID 3 with three data bytes.
constexpr std::array<uint8_t, 27> kVendorInOutReport = {
    0x06, 0xA0, 0xFF,       // Usage Page (Vendor FFA0)
    0x09, 0xA5,             // Usage (A5)
    0xA1, 0x01,             // Collection (Application)
    0x85, 0x03,             //   Report ID (3)
    0x15, 0x00,             //   Logical Minimum (0)
    0x26, 0xFF, 0x00,       //   Logical Maximum (255)
    0x75, 0x08,             //   Report Size (8)
    0x95, 0x03,             //   Report Count (3)
    0x09, 0xA6,             //   Usage (A6)
    0x81, 0x02,             //   Input (Data, Variable, Absolute)
    0x09, 0xA7,             //   Usage (A7)
    0x91, 0x02,             //   Output (Data, Variable, Absolute)
    0xC0,                   // End Collection
};

// Programming device: six feature bytes, no report ID.
constexpr std::array<uint8_t, 21> kProgrammerReport = {
    0x06, 0x00, 0xFF,       // Usage Page (Vendor FF00)
    0x09, 0x01,             // Usage (1)
    0xA1, 0x01,             // Collection (Application)
    0x15, 0x00,             //   Logical Minimum (0)
    0x26, 0xFF, 0x00,       //   Logical Maximum (255)
    0x75, 0x08,             //   Report Size (8)
    0x95, 0x06,             //   Report Count (6)
    0x09, 0x01,             //   Usage (1)
    0xB1, 0x02,             //   Feature (Data, Variable, Absolute)
    0xC0,                   // End Collection
};

// Mouse without report ID: three buttons, X and Y.
constexpr std::array<uint8_t, 50> kPlainMouseReport = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,             // Generic Desktop, Mouse, Application
    0x09, 0x01, 0xA1, 0x00,                         //   Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03,             //     Buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, //     3 x 1 bit
    0x81, 0x02,                                     //     Input
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,             //     5 bits padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31,             //     X, Y
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, //     2 x 8 bits, -127..127
    0x81, 0x06,                                     //     Input (Relative)
    0xC0, 0xC0,                                     //   End Collection x 2
};

// clang-format on

std::vector<uint8_t> toVector(std::span<const uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

std::vector<ParsedReportDescriptor> parseAll(const std::vector<std::vector<uint8_t>>& reports) {
    std::vector<ParsedReportDescriptor> parsed;
    for (const std::vector<uint8_t>& report : reports)
        parsed.push_back(parseReportDescriptor(report));
    return parsed;
}

std::vector<std::vector<uint8_t>> keyboardReports(uint16_t productId) {
    if (!isKeyboardProduct(productId))
        return {};
    const int number = usbProduct(kKeyboardVendorId, productId)->descriptorSet;
    if (number == 0) { // a product without a descriptor set of its own
        const DescriptorSet* set1 = descriptorSet(1);
        std::vector<std::vector<uint8_t>> reports{toVector(kVendorInOutReport)};
        if (set1 && set1->interfaceReports.size() > 1)
            reports.push_back(toVector(set1->interfaceReports.back())); // boot keyboard
        return reports;
    }
    const DescriptorSet* set = descriptorSet(number);
    std::vector<std::vector<uint8_t>> reports;
    if (set)
        for (std::span<const uint8_t> report : set->interfaceReports)
            reports.push_back(toVector(report));
    return reports;
}

} // namespace

// --- SimDevice -------------------------------------------------------------

SimDevice::SimDevice(uint16_t vendorId, uint16_t productId, uint16_t release,
                     std::vector<std::vector<uint8_t>> interfaceReports)
    : vendorId_(vendorId), productId_(productId), release_(release),
      interfaces_(parseAll(interfaceReports)) {}

const HidTopCollection* SimDevice::collection(const SimTarget& target) const {
    if (target.interface < 0 || target.interface >= static_cast<int>(interfaces_.size()))
        return nullptr;
    const auto& collections = interfaces_[target.interface].collections;
    if (target.collection < 0 || target.collection >= static_cast<int>(collections.size()))
        return nullptr;
    return &collections[target.collection];
}

bool SimDevice::startTransfer(int& error) {
    if (!present_) {
        error = ENODEV;
        return false;
    }
    ++transfers_;
    if (faults.replyDelayUs > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(faults.replyDelayUs));
    if (faults.unplugAfterTransfers >= 0 && transfers_ > faults.unplugAfterTransfers) {
        present_ = false;
        error = ENODEV;
        return false;
    }
    if (faults.failEveryNth > 0 && transfers_ % faults.failEveryNth == 0) {
        error = EIO;
        return false;
    }
    return true;
}

// The report must be one the collection declares, with its exact length
// (report ID byte included).
bool SimDevice::checkReport(const SimTarget& target, HidReportKind kind, const uint8_t* data,
                            size_t length, int& error) const {
    const HidTopCollection* top = collection(target);
    const HidReportInfo* info = top && data && length > 0 ? top->report(kind, data[0]) : nullptr;
    if (!info || length != 1 + (info->bits + 7) / 8) {
        error = EINVAL;
        return false;
    }
    return true;
}

bool SimDevice::setFeature(const SimTarget& target, const uint8_t* data, size_t length,
                           int& error) {
    return startTransfer(error) &&
           checkReport(target, HidReportKind::Feature, data, length, error) &&
           onSetFeature(data, length, error);
}

bool SimDevice::getFeature(const SimTarget& target, uint8_t* data, size_t length, int& error) {
    return startTransfer(error) &&
           checkReport(target, HidReportKind::Feature, data, length, error) &&
           onGetFeature(data, length, error);
}

bool SimDevice::write(const SimTarget& target, const uint8_t* data, size_t length, int& error) {
    return startTransfer(error) &&
           checkReport(target, HidReportKind::Output, data, length, error) &&
           onWrite(data, length, error);
}

bool SimDevice::read(const SimTarget& target, uint8_t* data, size_t length, int& error) {
    if (!startTransfer(error))
        return false;
    const HidTopCollection* top = collection(target);
    bool hasInput = false;
    if (top)
        for (const HidReportInfo& info : top->reports)
            hasInput = hasInput || info.kind == HidReportKind::Input;
    if (!hasInput || !data || length == 0) {
        error = EINVAL;
        return false;
    }
    return onRead(data, length, error);
}

bool SimDevice::onSetFeature(const uint8_t*, size_t, int& error) {
    error = EPIPE;
    return false;
}
bool SimDevice::onGetFeature(uint8_t*, size_t, int& error) {
    error = EPIPE;
    return false;
}
bool SimDevice::onWrite(const uint8_t*, size_t, int& error) {
    error = EPIPE;
    return false;
}
bool SimDevice::onRead(uint8_t*, size_t, int& error) {
    error = ETIMEDOUT; // nothing to report
    return false;
}

// --- SimEepromDevice -------------------------------------------------------

SimEepromDevice::LoadResult SimEepromDevice::loadEeprom(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return LoadResult::Missing;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || bytes.size() != eeprom.size())
        return LoadResult::Invalid;
    std::memcpy(eeprom.data(), bytes.data(), eeprom.size());
    return LoadResult::Loaded;
}

bool SimEepromDevice::saveEeprom(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(eeprom.data()),
              static_cast<std::streamsize>(eeprom.size()));
    out.close();
    return !out.fail();
}

// --- SimKeyboard -----------------------------------------------------------

SimKeyboard::SimKeyboard(uint16_t productId, uint16_t release,
                         std::vector<std::vector<uint8_t>> interfaceReports)
    : SimEepromDevice(kKeyboardVendorId, productId, release, std::move(interfaceReports)) {
    eeprom.fill(0xFF); // a blank EEPROM
}

// Carries out one request; returns the answer (meaningful for a read).
std::array<uint8_t, 5> SimKeyboard::request(const uint8_t* data, size_t length) {
    const uint8_t address = data[1];
    const uint8_t block = data[2];
    std::array<uint8_t, 5> answer{kRequestReportId, address, block, data[3], kRequestMarker};
    if (length >= 5 && data[4] != kRequestMarker)
        return answer;
    const int index = (block & ~kReadFlag) * 256 + address;
    if (index >= kImageSize)
        return answer;
    if (block & kReadFlag) {
        answer[3] = eeprom[index];
        ++readsAnswered_;
    } else {
        eeprom[index] = index == faults.corruptAddress ? data[3] ^ 1 : data[3];
        ++writesStored_;
    }
    return answer;
}

bool SimKeyboard::onSetFeature(const uint8_t* data, size_t length, int& error) {
    if (data[0] != kRequestReportId || length < 4) {
        error = EPIPE;
        return false;
    }
    const std::array<uint8_t, 5> answer = request(data, length);
    if (data[2] & kReadFlag)
        featureAnswer_ = answer;
    return true;
}

bool SimKeyboard::onGetFeature(uint8_t* data, size_t length, int& error) {
    if (data[0] != kRequestReportId) {
        error = EPIPE;
        return false;
    }
    std::memcpy(data, featureAnswer_.data(), std::min(length, featureAnswer_.size()));
    data[0] = kRequestReportId;
    return true;
}

bool SimKeyboard::onWrite(const uint8_t* data, size_t length, int& error) {
    if (data[0] != kRequestReportId || length < 4) {
        error = EPIPE;
        return false;
    }
    const std::array<uint8_t, 5> answer = request(data, length);
    if (data[2] & kReadFlag)
        inputQueue_.push_back(answer);
    return true;
}

bool SimKeyboard::onRead(uint8_t* data, size_t length, int& error) {
    if (inputQueue_.empty()) {
        error = ETIMEDOUT;
        return false;
    }
    const std::array<uint8_t, 5> answer = inputQueue_.front();
    inputQueue_.pop_front();
    std::memcpy(data, answer.data(), std::min<size_t>(length, 4)); // 4-byte input report
    return true;
}

// --- SimProgrammer ---------------------------------------------------------

SimProgrammer::SimProgrammer(unsigned version)
    : SimEepromDevice(kProgrammerVendorId, kProgrammerProductId, 0x0100,
                      programmerInterfaceReports()) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", version % 10000);
    std::u16string text = u"V";
    for (const char* c = digits; *c; ++c)
        text += static_cast<char16_t>(*c);
    productString = text;
    eeprom.fill(0xFF);
}

bool SimProgrammer::onSetFeature(const uint8_t* data, size_t length, int& error) {
    const uint8_t address = data[1];
    const uint8_t block = data[2];
    if (length != 7 || address % 4 != 0 || block * 256 + address + 4 > kImageSize) {
        error = EPIPE;
        return false;
    }
    std::memcpy(&eeprom[block * 256 + address], data + 3, 4);
    return true;
}

// --- factories -------------------------------------------------------------

std::vector<std::vector<uint8_t>> keyboardInterfaceReports(uint16_t productId) {
    return keyboardReports(productId);
}

std::unique_ptr<SimKeyboard> makeSimKeyboard(uint16_t productId, uint16_t release) {
    std::vector<std::vector<uint8_t>> reports = keyboardReports(productId);
    if (reports.empty())
        return nullptr;
    return std::make_unique<SimKeyboard>(productId, release, std::move(reports));
}

std::vector<std::vector<uint8_t>> programmerInterfaceReports() {
    return {toVector(kProgrammerReport)};
}

std::vector<std::vector<uint8_t>> mouseInterfaceReports() {
    return {toVector(kPlainMouseReport)};
}

std::unique_ptr<SimDevice> makeSimMouse() {
    auto mouse = std::make_unique<SimDevice>(0x046D, 0xC077, 0x7200, mouseInterfaceReports());
    mouse->productString = u"USB Optical Mouse";
    return mouse;
}

} // namespace quillan
