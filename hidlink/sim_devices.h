// Devices of the simulated HID bus: a keyboard that behaves like the keyboard
// firmware, the programming device, and any other HID device (to occupy
// member indices). Each device has USB interfaces with a report descriptor;
// every top-level collection of an interface is addressed on its own.
#pragma once

#include "eeprom/image.h"
#include "hidlink/products.h"
#include "hidlink/report_descriptor.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillan {

// Faults a simulated device can be given. A transfer is one set/get feature,
// write or read call.
struct SimFaults {
    int unplugAfterTransfers = -1; // the device is gone once this many were made (-1: never)
    int failEveryNth = 0;          // every Nth transfer fails with EIO (0: never)
    int replyDelayUs = 0;          // every transfer takes this long
    bool refuseOpen = false;       // opening for transfers fails with EACCES
    int corruptAddress = -1;       // a keyboard stores this byte with bit 0 flipped (-1: none)
};

// Which collection of a device a handle addresses.
struct SimTarget {
    int interface = 0;
    int collection = 0;
};

class SimDevice {
  public:
    SimDevice(uint16_t vendorId, uint16_t productId, uint16_t release,
              std::vector<std::vector<uint8_t>> interfaceReports);
    virtual ~SimDevice() = default;
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    uint16_t vendorId() const { return vendorId_; }
    uint16_t productId() const { return productId_; }
    uint16_t release() const { return release_; }
    void setRelease(uint16_t bcdDevice) { release_ = bcdDevice; }
    // No product string: reading it fails (as for a device without string descriptors).
    std::optional<std::u16string> productString;
    SimFaults faults;

    const std::vector<ParsedReportDescriptor>& interfaces() const { return interfaces_; }
    const HidTopCollection* collection(const SimTarget& target) const;
    // Plugged in or not; another thread (a test's bus schedule) may change it
    // while a handle transfers.
    bool present() const { return present_; }
    void unplug() { present_ = false; }
    void plugBack() { present_ = true; }
    int transfers() const { return transfers_; }

    // Transfers as a handle on target makes them; false with an errno-style
    // code in error on failure.
    bool setFeature(const SimTarget& target, const uint8_t* data, size_t length, int& error);
    bool getFeature(const SimTarget& target, uint8_t* data, size_t length, int& error);
    bool write(const SimTarget& target, const uint8_t* data, size_t length, int& error);
    bool read(const SimTarget& target, uint8_t* data, size_t length, int& error);

  protected:
    // The firmware's answers; the report ID and length were checked against
    // the collection's descriptor. Each returns false with error on failure.
    virtual bool onSetFeature(const uint8_t* data, size_t length, int& error);
    virtual bool onGetFeature(uint8_t* data, size_t length, int& error);
    virtual bool onWrite(const uint8_t* data, size_t length, int& error);
    virtual bool onRead(uint8_t* data, size_t length, int& error);

  private:
    bool startTransfer(int& error);
    bool checkReport(const SimTarget& target, HidReportKind kind, const uint8_t* data,
                     size_t length, int& error) const;

    uint16_t vendorId_;
    uint16_t productId_;
    uint16_t release_;
    std::vector<ParsedReportDescriptor> interfaces_;
    std::atomic<bool> present_ = true;
    int transfers_ = 0;
};

// A device with an 8192-byte EEPROM that can be kept in a file.
class SimEepromDevice : public SimDevice {
  public:
    using SimDevice::SimDevice;
    std::array<uint8_t, kImageSize> eeprom{};

    enum class LoadResult { Loaded, Missing, Invalid };
    // Missing and Invalid leave the EEPROM as it was; Invalid also when the
    // file does not hold exactly 8192 bytes.
    LoadResult loadEeprom(const std::string& path);
    bool saveEeprom(const std::string& path) const;
};

// The keyboard firmware. Request report (ID 3): address, block, data [, AA].
// With block bit 7 clear the data byte is stored at block * 256 + address;
// with it set the request asks for that byte, and the answer
// (3, address, block | 80, byte [, AA]) is returned by the next get-feature
// (feature path) or queued as an input report (write/read path). Reports
// whose fifth byte is not AA are ignored.
class SimKeyboard : public SimEepromDevice {
  public:
    SimKeyboard(uint16_t productId, uint16_t release,
                std::vector<std::vector<uint8_t>> interfaceReports);

    // Reports stored and answered so far (tests look at them).
    int writesStored() const { return writesStored_; }
    int readsAnswered() const { return readsAnswered_; }

  protected:
    bool onSetFeature(const uint8_t* data, size_t length, int& error) override;
    bool onGetFeature(uint8_t* data, size_t length, int& error) override;
    bool onWrite(const uint8_t* data, size_t length, int& error) override;
    bool onRead(uint8_t* data, size_t length, int& error) override;

  private:
    std::array<uint8_t, 5> request(const uint8_t* data, size_t length);

    std::array<uint8_t, 5> featureAnswer_{};
    std::deque<std::array<uint8_t, 5>> inputQueue_;
    int writesStored_ = 0;
    int readsAnswered_ = 0;
};

// The programming device: 7-byte feature reports without report ID
// (0, address, block, four data bytes) store four bytes at block * 256 + address.
class SimProgrammer : public SimEepromDevice {
  public:
    explicit SimProgrammer(unsigned version); // product string "V" + four digits

  protected:
    bool onSetFeature(const uint8_t* data, size_t length, int& error) override;
};

// The keyboard of a product as the firmware presents it: the report
// descriptors of its descriptor set; product 1000 (which has none) has a
// vendor collection with 4-byte input and output reports (report ID 3, three
// data bytes) and a boot keyboard. nullptr for a product that is not a keyboard's.
std::unique_ptr<SimKeyboard> makeSimKeyboard(uint16_t productId, uint16_t release = 0x0001);
// The report descriptors makeSimKeyboard uses; empty for other products.
std::vector<std::vector<uint8_t>> keyboardInterfaceReports(uint16_t productId);

// The report descriptors of the programming device and of the plain mouse
// (the kernel test's firmware emulator presents the same devices).
std::vector<std::vector<uint8_t>> programmerInterfaceReports();
std::vector<std::vector<uint8_t>> mouseInterfaceReports();

// An ordinary mouse (vendor 046D), with no reports the link would accept.
std::unique_ptr<SimDevice> makeSimMouse();

} // namespace quillan
