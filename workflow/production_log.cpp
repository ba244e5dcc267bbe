#include "workflow/production_log.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace quillan {

const char* const kProductionLogHeader =
    "time,serial,device,version,result,seconds,mismatches,crc32";

namespace {

size_t tailStart(const std::string& serial) {
    size_t start = serial.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(serial[start - 1])))
        --start;
    return start;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

} // namespace

bool serialNumberTail(const std::string& serial, uint64_t& value) {
    const size_t start = tailStart(serial);
    if (start == serial.size() || serial.size() - start > 18)
        return false;
    value = std::stoull(serial.substr(start));
    return true;
}

bool nextSerial(const std::string& serial, std::string& next) {
    const size_t start = tailStart(serial);
    if (start == serial.size())
        return false;
    std::string digits = serial.substr(start);
    int i = static_cast<int>(digits.size()) - 1;
    for (; i >= 0 && digits[i] == '9'; --i)
        digits[i] = '0';
    if (i < 0)
        return false; // all nines: the width would overflow
    ++digits[i];
    next = serial.substr(0, start) + digits;
    return true;
}

std::string isoLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    // +hhmm -> +hh:mm
    const size_t length = std::strlen(text);
    if (length < 5)
        return text;
    return std::string(text, length - 2) + ":" + std::string(text + length - 2);
}

std::string formatLogLine(const ProductionLine& line) {
    char text[256];
    std::snprintf(text, sizeof text, "%s,%s,%04X:%04X,%s,%s,%.1f,%d,%08X", line.time.c_str(),
                  line.serial.c_str(), line.vendorId, line.productId, line.version.c_str(),
                  line.pass ? "PASS" : "FAIL", line.seconds, line.mismatches, line.crc);
    return text;
}

ProductionLog::~ProductionLog() {
    if (file_)
        std::fclose(file_);
}

Outcome ProductionLog::readExisting(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line))
        return Outcome::success(); // new or empty
    if (line != kProductionLogHeader)
        return Outcome::failure(path + " is not a production log");
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = splitFields(line);
        if (fields.size() >= 5 && fields[4] == "PASS")
            passed_.insert(fields[1]);
    }
    return Outcome::success();
}

Outcome ProductionLog::open(const std::string& path) {
    if (Outcome read = readExisting(path); !read)
        return read;
    file_ = std::fopen(path.c_str(), "a");
    if (!file_ || (std::ftell(file_) == 0 && !writeLine(kProductionLogHeader)))
        return Outcome::failure("cannot write " + path);
    return Outcome::success();
}

// One whole line in one write, flushed to the disk before the next unit.
bool ProductionLog::writeLine(const std::string& text) {
    const std::string whole = text + "\n";
    if (!file_ || std::fputs(whole.c_str(), file_) < 0 || std::fflush(file_) != 0)
        return false;
    return fsync(fileno(file_)) == 0 || errno == EINVAL; // EINVAL: a pipe or terminal
}

bool ProductionLog::append(const ProductionLine& line) {
    if (!writeLine(formatLogLine(line)))
        return false;
    if (line.pass)
        passed_.insert(line.serial);
    return true;
}

std::string ProductionLog::highestPass() const {
    std::string best;
    uint64_t bestValue = 0;
    for (const std::string& serial : passed_) {
        uint64_t value = 0;
        if (serialNumberTail(serial, value) && (best.empty() || value >= bestValue)) {
            best = serial;
            bestValue = value;
        }
    }
    return best;
}

} // namespace quillan
