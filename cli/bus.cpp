#include "cli/bus.h"

#include "hidlink/hidapi_backend.h"

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
    if (options.simulate.empty()) {
        backend_ = makeHidapiBackend();
        return backend_ != nullptr;
    }
    int count = 1;
    if (!splitSimulatedKind(options.simulate, kind_, count)) {
        std::fprintf(stderr, "unknown simulated kind %s\n", options.simulate.c_str());
        return false;
    }
    eepromFile_ = options.simEeprom;
    if (!options.simFault.empty())
        parseSimFault(options.simFault, corruptAddress_); // checked with the options
    auto sim = std::make_shared<SimBackend>();
    sim_ = sim.get();
    backend_ = sim;
    // KIND*N plugs N devices at once; the EEPROM file is the first one's.
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<SimEepromDevice> device = makeSimulatedDevice(kind_);
        if (!device) {
            std::fprintf(stderr, "unknown simulated kind %s\n", kind_.c_str());
            return false;
        }
        if (i == 0 && !line && !eepromFile_.empty() &&
            device->loadEeprom(eepromFile_) == SimEepromDevice::LoadResult::Invalid) {
            std::fprintf(stderr, "%s does not hold an 8192-byte EEPROM\n", eepromFile_.c_str());
            return false;
        }
        device->faults.corruptAddress = corruptAddress_;
        SimEepromDevice& added = sim_->add(std::move(device));
        if (i == 0)
            current_ = &added;
    }
    if (line)
        sim_->unplugAll(); // the model of the fresh units, never plugged in
    return true;
}

void Bus::plugFresh() {
    if (sim_)
        current_ = sim_->plugFreshUnit();
}

void Bus::replaceUnit(const std::string& device) {
    if (sim_)
        sim_->replaceUnit(device);
}

void Bus::unplug() {
    if (sim_)
        sim_->unplugAll();
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
