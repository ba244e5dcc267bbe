// The HID backend interface: what discovery and the report protocol need of
// the platform. Implemented on hidapi (hidraw) and by a simulated bus.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace quillan {

// Capabilities of one top-level application collection, counted as the
// platform HID API counts them: one byte for the report ID always included
// (a length is 0 when the collection has no report of that kind).
struct HidCaps {
    uint16_t usage = 0;
    uint16_t usagePage = 0;
    uint16_t inputReportByteLength = 0;
    uint16_t outputReportByteLength = 0;
    uint16_t featureReportByteLength = 0;
};

// One entry per top-level application collection of each present HID
// interface, in a stable order; the position in the list is the member index.
struct HidInterfaceEntry {
    std::string path; // what open() takes
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t releaseNumber = 0; // bcdDevice
    int collection = 0;         // index of the collection within its interface
    // The physical device the interface belongs to: the same for every
    // interface of one keyboard, different for two keyboards of one product
    // ("" : the path alone tells it).
    std::string device;
};

class HidDevice {
  public:
    virtual ~HidDevice() = default;
    virtual bool getAttributes(uint16_t& vendorId, uint16_t& productId, uint16_t& release) = 0;
    virtual bool getCaps(HidCaps& caps) = 0;
    virtual bool getProductString(std::u16string& text) = 0;
    // data[0] is the report ID. Each returns false on failure (see lastError).
    virtual bool setFeature(const uint8_t* data, size_t length) = 0;
    virtual bool getFeature(uint8_t* data, size_t length) = 0;
    virtual bool write(const uint8_t* data, size_t length) = 0;
    virtual bool read(uint8_t* data, size_t length, int timeoutMs) = 0;
    virtual int lastErrorCode() const = 0;
    virtual std::string lastErrorText() const = 0;
};

class HidBackend {
  public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidInterfaceEntry> enumerate() = 0;
    // nullptr when the path cannot be opened (see lastErrorCode).
    virtual std::unique_ptr<HidDevice> open(const std::string& path) = 0;
    // Opens only to read the attributes, the capabilities and the product
    // string (as discovery does); it may succeed where open() is refused,
    // for example for lack of access to the device's reports.
    virtual std::unique_ptr<HidDevice> openQuery(const std::string& path) { return open(path); }
    virtual int lastErrorCode() const = 0;
    virtual std::string lastErrorText() const = 0;
};

// The error bookkeeping the backends share: Interface (HidDevice or
// HidBackend) answers lastErrorCode and lastErrorText from an errno-style code
// that a failure sets and a success clears.
template <class Interface> class WithLastError : public Interface {
  public:
    int lastErrorCode() const override { return error_; }
    std::string lastErrorText() const override { return std::strerror(error_); }

  protected:
    bool fail(int code) {
        error_ = code;
        return false;
    }
    bool succeed() {
        error_ = 0;
        return true;
    }
    bool check(bool ok) { return ok ? succeed() : false; }

    int error_ = 0;
};

} // namespace quillan
