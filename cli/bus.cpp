#include "cli/bus.h"

#include "workflow/backend.h"

#include <cstdio>
#include <cstdlib>

namespace quillan::cli {

bool parseSimFault(const std::string& text, int& corruptAddress) {
    const std::string prefix = "corrupt:";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.size() == prefix.size() ||
        text.size() > prefix.size() + 4)
        return false;
    char* end = nullptr;
    const long address = std::strtol(text.c_str() + prefix.size(), &end, 16);
    if (*end || address < 0 || address >= kTransferBytes)
        return false;
    corruptAddress = static_cast<int>(address);
    return true;
}

bool Bus::open(const Options& options, bool line) {
    backend_ = makeBackend(options.simulate);
    if (options.simulate.empty())
        return backend_ != nullptr;
    kind_ = options.simulate;
    eepromFile_ = options.simEeprom;
    if (!options.simFault.empty())
        parseSimFault(options.simFault, corruptAddress_); // checked with the options
    sim_ = dynamic_cast<SimBackend*>(backend_.get());
    SimEepromDevice* device = sim_ ? sim_->primary() : nullptr;
    if (!device) {
        std::fprintf(stderr, "unknown simulated kind %s\n", kind_.c_str());
        return false;
    }
    if (!line && !eepromFile_.empty() &&
        device->loadEeprom(eepromFile_) == SimEepromDevice::LoadResult::Invalid) {
        std::fprintf(stderr, "%s does not hold an 8192-byte EEPROM\n", eepromFile_.c_str());
        return false;
    }
    // KIND*N: every device of the bus has the fault.
    for (const std::shared_ptr<SimDevice>& plugged : sim_->devices())
        plugged->faults.corruptAddress = corruptAddress_;
    current_ = device;
    return true;
}

void Bus::setLastUnit(const std::string& device) {
    if (SimEepromDevice* unit = sim_ ? sim_->unitAt(device) : nullptr)
        current_ = unit;
}

bool Bus::close() {
    if (eepromFile_.empty() || !current_)
        return true;
    if (current_->saveEeprom(eepromFile_))
        return true;
    std::fprintf(stderr, "could not write %s\n", eepromFile_.c_str());
    return false;
}

void attachSession(Session& session, const Bus& bus, const Options& options) {
    session.backend = bus.backend();
    session.clock = options.clock;
    session.progress = session.progressBar.sink();
}

} // namespace quillan::cli
