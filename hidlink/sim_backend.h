// The simulated HID bus: the devices added to it, listed one entry per
// top-level collection in the order they were added (interfaces in order,
// collections in descriptor order), as the platform lists them.
#pragma once

#include "hidlink/backend.h"
#include "hidlink/sim_devices.h"

#include <memory>
#include <string>
#include <vector>

namespace quillan {

class SimBackend : public WithLastError<HidBackend> {
  public:
    // Appends a device to the bus; returns it for configuring.
    template <class Device> Device& add(std::unique_ptr<Device> device) {
        Device& added = *device;
        devices_.push_back(std::shared_ptr<SimDevice>(std::move(device)));
        return added;
    }
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

    std::vector<HidInterfaceEntry> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;
    std::unique_ptr<HidDevice> openQuery(const std::string& path) override;

  private:
    std::unique_ptr<HidDevice> openPath(const std::string& path, bool forTransfers);

    std::vector<std::shared_ptr<SimDevice>> devices_;
    int openCount_ = 0;
};

// The simulated kinds: "keyboard-1000", "keyboard-1001", "keyboard-100A",
// "keyboard-100B", "keyboard-100C" (a keyboard of that product, bcdDevice
// 0001, blank EEPROM) and "programmer-NNNN" (the programming device with
// product string "VNNNN"). The hexadecimal digits may be of either case.
// nullptr for any other kind.
std::unique_ptr<SimBackend> makeSimulatedBackend(const std::string& kind);
// One device of such a kind (plugged in later with SimBackend::add).
std::unique_ptr<SimEepromDevice> makeSimulatedDevice(const std::string& kind);

} // namespace quillan
