// What the keyboard firmware, its programming device and a plain mouse answer
// on their HID interfaces, independent of how the reports reach them. The
// uhid emulator hands every request from the kernel to one of these.
#pragma once

#include "eeprom/image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillan::kernel_test {

enum class ReportKind { Input = 0, Output = 1, Feature = 2 };

// One report an interface declares; length counts the report ID byte, which
// every report carries on the wire (0 when the interface has no report IDs).
struct ReportSpec {
    int interface;
    ReportKind kind;
    uint8_t id;
    size_t length;
};

// What a request does to the firmware; error is 0 or an errno value that the
// device answers instead of the report (the kernel turns it into EIO).
struct Answer {
    int error = 0;
    std::vector<uint8_t> report;
};

// The byte the EEPROM holds at address before anything is programmed: a
// pattern rather than the blank FF, so that a byte a download missed shows.
uint8_t unprogrammedByte(int address);

class Firmware {
  public:
    Firmware(std::string name, uint16_t vendorId, uint16_t productId, uint16_t version,
             std::vector<std::vector<uint8_t>> interfaceReports, std::vector<ReportSpec> reports);
    virtual ~Firmware() = default;
    Firmware(const Firmware&) = delete;
    Firmware& operator=(const Firmware&) = delete;

    const std::string& name() const { return name_; }
    uint16_t vendorId() const { return vendorId_; }
    uint16_t productId() const { return productId_; }
    uint16_t version() const { return version_; }
    const std::vector<std::vector<uint8_t>>& interfaceReports() const { return interfaceReports_; }

    // SET_REPORT of a feature report (data[0] is the report ID); 0 or an errno value.
    int setFeature(int interface, const uint8_t* data, size_t length);
    // GET_REPORT of a feature report: the answer carries the report ID in byte 0.
    Answer getFeature(int interface, uint8_t reportId);
    // An output report (interrupt pipe or SET_REPORT); input reports it gives
    // rise to are appended to inputs.
    void output(int interface, const uint8_t* data, size_t length,
                std::vector<std::vector<uint8_t>>& inputs);

    std::array<uint8_t, kImageSize> eeprom;
    int corruptAddress = -1; // a keyboard stores this byte with bit 0 flipped (-1: none)

    // What the device has done so far.
    struct Counters {
        int stored = 0;   // EEPROM bytes written
        int answered = 0; // EEPROM bytes read back
        int featureRequests = 0;
        int outputRequests = 0;
        int rejected = 0; // reports the device refused or ignored
    } counters;

  protected:
    virtual int onSetFeature(const uint8_t* data, size_t length);
    virtual Answer onGetFeature(uint8_t reportId, size_t length);
    virtual void onOutput(const uint8_t* data, size_t length,
                          std::vector<std::vector<uint8_t>>& inputs);

  private:
    const ReportSpec* find(int interface, ReportKind kind, uint8_t id) const;

    std::string name_;
    uint16_t vendorId_;
    uint16_t productId_;
    uint16_t version_;
    std::vector<std::vector<uint8_t>> interfaceReports_;
    std::vector<ReportSpec> reports_;
};

// The keyboard of product 1000, 1001, 100A, 100B or 100C; nullptr otherwise.
std::unique_ptr<Firmware> makeKeyboard(uint16_t productId);
// The programming device 1593:FF02 whose product string is "V" and four digits.
std::unique_ptr<Firmware> makeProgrammer(unsigned version);
// A plain three-button mouse that answers no requests.
std::unique_ptr<Firmware> makeMouse();

// Exchanges bits 4 and 5 of every Prefix table byte, as the download does for
// programming devices of old firmware.
void swapPrefixBits(uint8_t* image);

// CRC-32 (IEEE 802.3) of the bytes.
uint32_t crc32(const uint8_t* data, size_t length);

} // namespace quillan::kernel_test
