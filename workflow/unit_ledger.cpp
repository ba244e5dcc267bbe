#include "workflow/unit_ledger.h"

#include "workflow/production_log.h"

namespace quillan {

bool MemoryLedger::takeSerial(int unit, const std::string& device, std::string& serial,
                              std::string& why) {
    if (!givenBack_.empty()) {
        // Serials of one width: the lowest sorts first.
        serial = *givenBack_.begin();
        givenBack_.erase(givenBack_.begin());
    } else if (next_.empty()) {
        why = "No serial number follows " + last_ + " in its width";
        return false;
    } else {
        serial = next_;
        last_ = next_;
        if (!nextSerial(last_, next_))
            next_.clear();
    }
    entries_.push_back({unit, device, serial, true, false, false});
    return true;
}

bool MemoryLedger::record(const UnitRecord& record, std::string&) {
    if (!record.pass)
        givenBack_.insert(record.serial);
    entries_.push_back(
        {record.unit, record.device, record.serial, false, record.pass, record.cancelled});
    return true;
}

} // namespace quillan
