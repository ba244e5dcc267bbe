// The simulated HID bus: the devices added to it, listed one entry per
// top-level collection in the order they were added (interfaces in order,
// collections in descriptor order), as the platform lists them. Several
// threads may list, open and plug at once; each device is transferred to
// by one handle at a time.
#pragma once

#include "hidlink/backend.h"
#include "hidlink/sim_devices.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillan {

class SimBackend : public WithLastError<HidBackend> {
  public:
    // Appends a device to the bus; returns it for configuring.
    template <class Device> Device& add(std::unique_ptr<Device> device) {
        Device& added = *device;
        const std::lock_guard<std::mutex> lock(mutex_);
        devices_.push_back(std::shared_ptr<SimDevice>(std::move(device)));
        return added;
    }
    // Not while other threads plug devices in.
    const std::vector<std::shared_ptr<SimDevice>>& devices() const { return devices_; }
    // The first keyboard or programming device on the bus (the one whose
    // EEPROM --sim-eeprom keeps); nullptr when there is none.
    SimEepromDevice* primary() const;
    SimKeyboard* keyboard() const;
    SimProgrammer* programmer() const;
    int openCount() const { return openCount_; } // open() calls for transfers

    // A simulated production line: every device is unplugged, then a fresh
    // device like the first keyboard or programming device ever added (blank
    // EEPROM, the same faults) is plugged in. Returns it (nullptr if none).
    void unplugAll();
    SimEepromDevice* plugFreshUnit();
    // A station's swap: the device behind this entry device key is unplugged
    // and a fresh one like it (blank EEPROM, the same faults) is plugged in
    // beside the others. nullptr when there is no such device.
    SimEepromDevice* replaceUnit(const std::string& device);
    // The keyboard or programming device behind this entry device key,
    // plugged in or not; nullptr when there is none.
    SimEepromDevice* unitAt(const std::string& device) const;

    // Test seam, the bus's clock: the transfers made on it so far by every
    // handle together. An action given to at() runs once, on the thread of
    // the transfer that reaches its count, just before that transfer (to
    // plug devices in, unplug them, plug them back).
    int64_t transferCount() const { return transferCount_; }
    void at(int64_t transfers, std::function<void(SimBackend&)> action);
    void countTransfer(); // the handles' tick

    std::vector<HidInterfaceEntry> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;
    std::unique_ptr<HidDevice> openQuery(const std::string& path) override;
    int lastErrorCode() const override {
        const std::lock_guard<std::mutex> lock(mutex_);
        return error_;
    }
    std::string lastErrorText() const override;

  private:
    std::unique_ptr<HidDevice> openPath(const std::string& path, bool forTransfers);

    struct Scheduled {
        int64_t transfers;
        std::function<void(SimBackend&)> action;
    };

    mutable std::mutex mutex_; // devices_, error_, schedule_
    std::vector<std::shared_ptr<SimDevice>> devices_;
    std::atomic<int> openCount_ = 0;
    std::atomic<int64_t> transferCount_ = 0;
    std::atomic<bool> scheduled_ = false;
    std::vector<Scheduled> schedule_;
};

// The simulated kinds: "keyboard-1000", "keyboard-1001", "keyboard-100A",
// "keyboard-100B", "keyboard-100C" (a keyboard of that product, bcdDevice
// 0001, blank EEPROM) and "programmer-NNNN" (the programming device with
// product string "VNNNN"). The hexadecimal digits may be of either case.
// A kind followed by "*N" (N 1..16) plugs in N such devices at once.
// nullptr for any other kind.
std::unique_ptr<SimBackend> makeSimulatedBackend(const std::string& kind);
// Splits "KIND*N" into the kind and N (1 without "*N"); false when N is
// not a number 1..16.
constexpr int kMaxSimulatedDevices = 16;
bool splitSimulatedKind(const std::string& text, std::string& kind, int& count);
// One device of such a kind (plugged in later with SimBackend::add).
std::unique_ptr<SimEepromDevice> makeSimulatedDevice(const std::string& kind);

} // namespace quillan
