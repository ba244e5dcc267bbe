// Serial numbers of a production run and its CSV log: one header line, then
// whole lines only. A unit's serial is reserved by a STARTED line before the
// unit is programmed and its result is logged after it; each line goes to
// the disk in one write and is synced before anyone is told about it. The
// log is locked for the whole run, so that no two runs share serials.
#pragma once

#include "model/messages.h"
#include "model/owned_file.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace quillan {

// The serial after this one: the numeric tail incremented, keeping its
// width ("QX-0009" -> "QX-0010"). False when there is no numeric tail or the
// tail would overflow its width ("QX-9999").
bool nextSerial(const std::string& serial, std::string& next);
// The numeric tail's value; false when there is none.
bool serialNumberTail(const std::string& serial, uint64_t& value);

// Whether serial (Latin-1 bytes) fits the image's serial-number field and a
// log line: at most 31 bytes, no control character, no comma. The failure
// names the rule ("serial too long: 32 characters, at most 31").
Outcome checkSerial(const std::string& serial);

extern const char* const kProductionLogHeader;
// The header of logs written before the verified column.
extern const char* const kProductionLogHeaderUnverified;

enum class LineResult { Started, Pass, Fail };

struct ProductionLine {
    std::string time; // ISO 8601 local time
    std::string serial;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string version; // "V0001"
    LineResult result = LineResult::Started;
    double seconds = 0;
    int mismatches = 0;
    uint32_t crc = 0;
    bool verified = false; // read back and compared
};
// Without the newline; the verified column only where the log has it.
std::string formatLogLine(const ProductionLine& line, bool verifiedColumn = true);
std::string isoLocalTime();

// The calls that reach the disk, so that tests can play a full disk.
struct LogDisk {
    std::function<long(int fd, const char* data, unsigned long size)> write;
    std::function<int(int fd)> sync;
};

class ProductionLog {
  public:
    // Locks the log (refused when another run holds it), reads it and, for
    // a new or empty file, writes the header. A damaged line (cut short,
    // or not a log line) is refused by its line number unless repair is
    // set: then the damaged lines go to the side file PATH.damaged and the
    // log is rewritten without them. Serials named by damaged lines, and
    // serials started with no result after them, count as used.
    Outcome open(const std::string& path, bool repair = false, LogDisk disk = {});
    bool isOpen() const { return static_cast<bool>(file_); }
    // After a failed open: whether the log was refused (another run holds
    // it, or it is damaged) rather than unreadable or unwritable.
    bool refused() const { return refusal_; }
    void close();

    // Reserves line.serial with a STARTED line. Nothing may be programmed
    // with the serial unless this succeeded.
    Outcome reserve(ProductionLine line);
    // Logs the unit's result. On failure the log is cut back to where it
    // was: the serial stays reserved (used).
    Outcome record(const ProductionLine& line);

    // PASS, started without a result, or named by a damaged line.
    bool isUsed(const std::string& serial) const {
        return used_.count(serial) != 0 || named_.count(serial) != 0;
    }
    // The first serial from serial on that is not used; false when the
    // numeric tail runs out of its width.
    bool firstUnused(const std::string& serial, std::string& unused) const;
    // The serial logged as PASS or STARTED with the highest numeric tail; ""
    // when there is none.
    std::string highestUsed() const;
    const std::set<std::string>& passed() const { return passed_; }
    bool hasVerifiedColumn() const { return verifiedColumn_; }
    // What the open found and the user should know ("QX-0002 was started
    // but has no result: treated as used").
    const std::vector<std::string>& notes() const { return notes_; }

  private:
    Outcome lock(const std::string& path);
    Outcome readAll(std::string& text) const;
    Outcome parse(const std::string& text, bool repair);
    Outcome setAside(const std::vector<std::string>& damaged, const std::string& kept);
    void readSideFile();
    Outcome appendLine(const std::string& text);

    std::string path_;
    OwnedFile file_;
    LogDisk disk_;
    bool verifiedColumn_ = true;
    bool refusal_ = false;
    std::set<std::string> passed_;
    std::set<std::string> used_;  // passed, or started without a result
    std::set<std::string> named_; // fields of damaged lines
    std::vector<std::string> notes_;
};

} // namespace quillan
