// The HID bus a quillan-cli command runs on: hidapi, or a simulated device
// of the --simulate kind (its EEPROM kept in the --sim-eeprom file, faults
// from --sim-fault, given to every device). "KIND*N" plugs N devices at
// once; a simulated production line swaps each finished device for a fresh
// one.
#pragma once

#include "cli/commands.h"
#include "cli/session.h"
#include "hidlink/sim_backend.h"

#include <memory>
#include <string>

namespace quillan::cli {

// "corrupt:ADDR" (ADDR hexadecimal, below 1400) as a corrupted address.
bool parseSimFault(const std::string& text, int& corruptAddress);

class Bus {
  public:
    // With line set, the simulated devices are fresh units (the --sim-eeprom
    // file only receives the last one programmed, see setLastUnit).
    bool open(const Options& options, bool line = false);
    // Writes the simulated EEPROM back (the last device's); false when that failed.
    bool close();
    std::shared_ptr<HidBackend> backend() const { return backend_; }
    bool simulated() const { return sim_ != nullptr; }

    // Simulated line: the device (entry device key) whose EEPROM close()
    // writes back.
    void setLastUnit(const std::string& device);

  private:
    std::shared_ptr<HidBackend> backend_;
    SimBackend* sim_ = nullptr;
    SimEepromDevice* current_ = nullptr;
    std::string kind_;
    std::string eepromFile_;
    int corruptAddress_ = -1;
};

// Points a device command's session at the bus, at the --clock and at its
// progress bar.
void attachSession(Session& session, const Bus& bus, const Options& options);

} // namespace quillan::cli
