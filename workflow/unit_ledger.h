// Where the stations of a production run take their serial numbers from and
// record their results. The run calls it under one lock, in the order
// things happen: a unit takes the next serial when it starts, and a FAIL
// gives its serial back to the next unit to start.
#pragma once

#include "workflow/production_log.h"
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
    const PluggedDevice* plugged = nullptr;
};

class UnitLedger {
  public:
    virtual ~UnitLedger() = default;
    // The serial for a unit starting on plugged; a failure (the run starts
    // no more units) says why there is none to give.
    virtual Outcome takeSerial(int unit, const PluggedDevice& plugged, std::string& serial) = 0;
    // The unit's result; logLine gets the line recorded. A FAIL gives
    // record.serial back. A failure (the run ends) says why it could not be
    // recorded.
    virtual Outcome record(const UnitRecord& record, std::string& logLine) = 0;
    // The serial the next unit would take ("" when there is none).
    virtual std::string upcoming() const = 0;
};

// The ledger of a production run: serials counted from the first, given-back
// serials first (the lowest of them). With a log, every serial the log
// knows as used is skipped, a unit's serial is reserved by a STARTED line
// before it is programmed, and its result line follows.
class ProductionLedger : public UnitLedger {
  public:
    // image: the built image, for the CRC each line gives.
    ProductionLedger(std::string first, ProductionLog* log = nullptr, const EepromImage* image = {})
        : next_(std::move(first)), log_(log), image_(image) {}
    Outcome takeSerial(int unit, const PluggedDevice& plugged, std::string& serial) override;
    Outcome record(const UnitRecord& record, std::string& logLine) override;
    std::string upcoming() const override;

  private:
    bool pick(std::string& serial, bool& fromGivenBack) const;
    uint32_t crcWith(const std::string& serial) const;

    std::string next_; // "" once the tail has no room left
    std::string last_;
    std::set<std::string> givenBack_;
    ProductionLog* log_;
    const EepromImage* image_;
};

// A ledger without a log that keeps every start and result in order.
class MemoryLedger : public ProductionLedger {
  public:
    explicit MemoryLedger(std::string first) : ProductionLedger(std::move(first)) {}
    Outcome takeSerial(int unit, const PluggedDevice& plugged, std::string& serial) override;
    Outcome record(const UnitRecord& record, std::string& logLine) override;

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
    std::vector<Entry> entries_;
};

} // namespace quillan
