#include "workflow/unit_ledger.h"

#include "workflow/produce.h"

namespace quillan {

// The lowest serial given back, else the next one counted (past every
// serial the log knows as used). False when the tail has no room left.
bool ProductionLedger::pick(std::string& serial, bool& fromGivenBack) const {
    fromGivenBack = !givenBack_.empty();
    if (fromGivenBack) {
        serial = *givenBack_.begin(); // serials of one width: the lowest sorts first
        return true;
    }
    if (next_.empty())
        return false;
    if (!log_) {
        serial = next_;
        return true;
    }
    return log_->firstUnused(next_, serial);
}

std::string ProductionLedger::upcoming() const {
    std::string serial;
    bool givenBack = false;
    return pick(serial, givenBack) ? serial : "";
}

uint32_t ProductionLedger::crcWith(const std::string& serial) const {
    if (!image_)
        return 0;
    EepromImage image = *image_;
    setImageSerial(image, serial);
    return crc32(image.bytes.data(), kTransferBytes);
}

Outcome ProductionLedger::takeSerial(int, const PluggedDevice& plugged, std::string& serial) {
    bool givenBack = false;
    if (!pick(serial, givenBack))
        return Outcome::failure("No serial number follows " + (next_.empty() ? last_ : next_) +
                                " in its width");
    if (log_) {
        const ProductionLine line{isoLocalTime(),
                                  serial,
                                  plugged.found.vendorId,
                                  plugged.found.productId,
                                  versionLabel(plugged.version),
                                  LineResult::Started,
                                  0,
                                  0,
                                  crcWith(serial),
                                  false};
        if (const Outcome reserved = log_->reserve(line); !reserved)
            return Outcome::failure("Nothing programmed: serial " + serial +
                                    " could not be reserved in the log: " + reserved.message.text);
    }
    if (givenBack) {
        givenBack_.erase(serial);
    } else {
        last_ = serial;
        if (!nextSerial(last_, next_))
            next_.clear();
    }
    return Outcome::success();
}

Outcome ProductionLedger::record(const UnitRecord& record, std::string& logLine) {
    const ProgramReport empty;
    const ProgramReport& report = record.report ? *record.report : empty;
    const FoundDevice found = record.plugged ? record.plugged->found : FoundDevice{};
    const bool known = report.device.vendorId != 0;
    const ProductionLine line{isoLocalTime(),
                              record.serial,
                              known ? report.device.vendorId : found.vendorId,
                              known ? report.device.productId : found.productId,
                              versionLabel(report.version   ? report.version
                                           : record.plugged ? record.plugged->version
                                                            : 0),
                              record.pass ? LineResult::Pass : LineResult::Fail,
                              report.seconds,
                              report.mismatchCount,
                              report.crc ? report.crc : crcWith(record.serial),
                              report.verification == Verification::Verified};
    logLine = formatLogLine(line, !log_ || log_->hasVerifiedColumn());
    if (log_)
        if (const Outcome logged = log_->record(line); !logged)
            return Outcome::failure("The keyboard with serial " + record.serial +
                                    " was programmed and " + (record.pass ? "PASSED" : "FAILED") +
                                    " but its result could not be logged: " + logged.message.text);
    if (!record.pass)
        givenBack_.insert(record.serial);
    return Outcome::success();
}

Outcome MemoryLedger::takeSerial(int unit, const PluggedDevice& plugged, std::string& serial) {
    Outcome taken = ProductionLedger::takeSerial(unit, plugged, serial);
    if (taken)
        entries_.push_back({unit, plugged.found.device, serial, true, false, false});
    return taken;
}

Outcome MemoryLedger::record(const UnitRecord& record, std::string& logLine) {
    entries_.push_back(
        {record.unit, record.device, record.serial, false, record.pass, record.cancelled});
    return ProductionLedger::record(record, logLine);
}

} // namespace quillan
