// Serial numbers of a production run and its CSV log: one header line, then
// one line a unit, each flushed as it is written.
#pragma once

#include "model/messages.h"

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

namespace quillan {

// The serial after this one: the numeric tail incremented, keeping its
// width ("QX-0009" -> "QX-0010"). False when there is no numeric tail or the
// tail would overflow its width ("QX-9999").
bool nextSerial(const std::string& serial, std::string& next);
// The numeric tail's value; false when there is none.
bool serialNumberTail(const std::string& serial, uint64_t& value);

extern const char* const kProductionLogHeader;

struct ProductionLine {
    std::string time; // ISO 8601 local time
    std::string serial;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string version; // "V0001"
    bool pass = false;
    double seconds = 0;
    int mismatches = 0;
    uint32_t crc = 0;
};
std::string formatLogLine(const ProductionLine& line); // without the newline
std::string isoLocalTime();

class ProductionLog {
  public:
    ProductionLog() = default;
    ~ProductionLog();
    ProductionLog(const ProductionLog&) = delete;
    ProductionLog& operator=(const ProductionLog&) = delete;

    // Opens for appending; a new or empty file gets the header. An existing
    // log is read first: the serials it records as PASS. Fails (saying why)
    // when it cannot be read or written or is not a production log.
    Outcome open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    // Appends one whole line and flushes it; false when that failed.
    bool append(const ProductionLine& line);

    const std::set<std::string>& passed() const { return passed_; }
    // The PASS serial with the highest numeric tail; "" when there is none.
    std::string highestPass() const;

  private:
    Outcome readExisting(const std::string& path);
    bool writeLine(const std::string& text);

    std::FILE* file_ = nullptr;
    std::set<std::string> passed_;
};

} // namespace quillan
