// Where the stations of a production run take their serial numbers from and
// record their results. The run calls it under one lock, in the order
// things happen: a unit takes the next serial when it starts, and a FAIL
// gives its serial back to the next unit to start.
#pragma once

#include "workflow/program.h"

#include <set>
#include <string>
#include <vector>

namespace quillan {

// One unit's end as the ledger records it.
struct UnitRecord {
    int unit = 0; // 1, 2, ... in order of start
    std::string device;
    std::string serial;
    bool pass = false;
    bool cancelled = false;                // the run was stopped while it ran
    const ProgramReport* report = nullptr; // valid during record()
};

class UnitLedger {
  public:
    virtual ~UnitLedger() = default;
    // The serial for a unit starting on device; false, with why, when there
    // is none to give (the run starts no more units).
    virtual bool takeSerial(int unit, const std::string& device, std::string& serial,
                            std::string& why) = 0;
    // The unit's result. A FAIL gives record.serial back. False, with why,
    // when it could not be recorded (the run ends).
    virtual bool record(const UnitRecord& record, std::string& why) = 0;
};

// A ledger in memory: serials counted from the first, given-back serials
// first (the lowest of them), every start and result kept in order.
class MemoryLedger : public UnitLedger {
  public:
    explicit MemoryLedger(std::string first) : next_(std::move(first)) {}
    bool takeSerial(int unit, const std::string& device, std::string& serial,
                    std::string& why) override;
    bool record(const UnitRecord& record, std::string& why) override;

    struct Entry {
        int unit = 0;
        std::string device;
        std::string serial;
        bool started = true; // false: a result
        bool pass = false;
        bool cancelled = false;
    };
    const std::vector<Entry>& entries() const { return entries_; }

  private:
    std::string next_; // "" once the tail has no room left
    std::string last_;
    std::set<std::string> givenBack_;
    std::vector<Entry> entries_;
};

} // namespace quillan
