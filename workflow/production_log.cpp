#include "workflow/production_log.h"

#include "model/definition.h"
#include "model/file_io.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillan {

const char* const kProductionLogHeader =
    "time,serial,device,version,result,seconds,mismatches,crc32,verified";
const char* const kProductionLogHeaderUnverified =
    "time,serial,device,version,result,seconds,mismatches,crc32";

namespace {

constexpr const char* kResultWords[] = {"STARTED", "PASS", "FAIL"};

size_t tailStart(const std::string& serial) {
    size_t start = serial.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(serial[start - 1])))
        --start;
    return start;
}

std::vector<std::string> splitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at = text.find(separator); at != std::string::npos;
         from = at + 1, at = text.find(separator, from))
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
}

bool parseResult(const std::string& word, LineResult& result) {
    for (int i = 0; i < 3; ++i)
        if (word == kResultWords[i]) {
            result = static_cast<LineResult>(i);
            return true;
        }
    return false;
}

bool isControl(unsigned char c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

LogDisk withDefaults(LogDisk disk) {
    if (!disk.write)
        disk.write = [](int fd, const char* data, unsigned long size) {
            return static_cast<long>(::write(fd, data, size));
        };
    if (!disk.sync)
        disk.sync = [](int fd) { return ::fsync(fd); };
    return disk;
}

// The fields after the time of a damaged line: any of them may name the
// serial of a unit that was programmed.
void addNamedSerials(const std::string& line, std::set<std::string>& used) {
    const std::vector<std::string> fields = splitOn(line, ',');
    for (size_t i = 1; i < fields.size(); ++i)
        if (!fields[i].empty())
            used.insert(fields[i]);
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

Outcome checkSerial(const std::string& serial) {
    constexpr size_t kMax = kTextSize - 1;
    if (serial.size() > kMax)
        return Outcome::failure("serial too long: " + std::to_string(serial.size()) +
                                " characters, at most " + std::to_string(kMax));
    for (const char c : serial)
        if (isControl(static_cast<unsigned char>(c)))
            return Outcome::failure("serial contains a control character");
    if (serial.find(',') != std::string::npos)
        return Outcome::failure("serial contains a comma");
    return Outcome::success();
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

std::string formatLogLine(const ProductionLine& line, bool verifiedColumn) {
    char text[256];
    std::snprintf(text, sizeof text, "%s,%s,%04X:%04X,%s,%s,%.1f,%d,%08X", line.time.c_str(),
                  line.serial.c_str(), line.vendorId, line.productId, line.version.c_str(),
                  kResultWords[static_cast<int>(line.result)], line.seconds, line.mismatches,
                  line.crc);
    if (!verifiedColumn)
        return text;
    return std::string(text) + (line.verified ? ",yes" : ",no");
}

// An exclusive lock on the file now at path. A repair renames a new file
// over the log, so a lock won on a file that is no longer the log is
// dropped and taken again on the new one.
Outcome ProductionLog::lock(const std::string& path) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        OwnedFile file;
        if (!file.open(path, "a+"))
            return Outcome::failure("cannot open " + path + ": " + std::strerror(errno));
        const int fd = fileno(file.get());
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) {
                refusal_ = true;
                return Outcome::failure("log " + path + " is in use by another production run");
            }
            return Outcome::failure("cannot lock " + path + ": " + std::strerror(errno));
        }
        struct stat held {};
        struct stat named {};
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            file_ = std::move(file);
            return Outcome::success();
        }
    }
    return Outcome::failure("cannot lock " + path + ": it keeps being replaced");
}

Outcome ProductionLog::readAll(std::string& text) const {
    const int fd = fileno(file_.get());
    char buffer[65536];
    text.clear();
    for (off_t at = 0;;) {
        const ssize_t got = pread(fd, buffer, sizeof buffer, at);
        if (got < 0)
            return Outcome::failure("cannot read " + path_ + ": " + std::strerror(errno));
        if (got == 0)
            return Outcome::success();
        text.append(buffer, static_cast<size_t>(got));
        at += got;
    }
}

// Reads the lines; collects the damaged ones (a last line cut short, a
// line that is not a log line) with their numbers.
Outcome ProductionLog::parse(const std::string& text, bool repair) {
    std::vector<std::string> lines = splitOn(text, '\n');
    const std::string fragment = lines.back(); // "" when the text ends in a newline
    lines.pop_back();
    const bool headerCut = lines.empty();
    const bool known =
        headerCut ? std::string(kProductionLogHeader).rfind(fragment, 0) == 0
                  : lines[0] == kProductionLogHeader || lines[0] == kProductionLogHeaderUnverified;
    if (!known)
        return Outcome::failure(path_ + " is not a production log");
    verifiedColumn_ = headerCut || lines[0] == kProductionLogHeader;
    const size_t fieldCount = verifiedColumn_ ? 9 : 8;
    std::set<std::string> pending;
    std::vector<std::string> damaged;
    std::string kept = headerCut ? "" : lines[0] + "\n";
    std::string firstDamage;
    for (size_t i = headerCut ? 0 : 1; i <= lines.size(); ++i) {
        const bool last = i == lines.size();
        if (last && fragment.empty())
            break;
        const std::string& line = last ? fragment : lines[i];
        const std::vector<std::string> fields = splitOn(line, ',');
        LineResult result = LineResult::Started;
        if (!last && fields.size() == fieldCount && !fields[1].empty() &&
            parseResult(fields[4], result)) {
            kept += line + "\n";
            if (result == LineResult::Pass)
                passed_.insert(fields[1]);
            if (result == LineResult::Started)
                pending.insert(fields[1]);
            else
                pending.erase(fields[1]);
            continue;
        }
        if (damaged.empty())
            firstDamage = "log " + path_ + ": line " + std::to_string(i + 1) +
                          (last ? " is cut short (no end of line)" : " is not a log line");
        damaged.push_back(line);
    }
    used_ = passed_;
    for (const std::string& serial : pending) {
        used_.insert(serial);
        notes_.push_back(serial + " was started but has no result: treated as used");
    }
    if (damaged.empty())
        return Outcome::success();
    refusal_ = !repair;
    if (!repair)
        return Outcome::failure(firstDamage +
                                "; nothing is programmed until the log is "
                                "repaired (its damaged lines set aside in " +
                                path_ + ".damaged)");
    notes_.push_back(firstDamage + ": " + std::to_string(damaged.size()) +
                     " damaged line(s) set aside in " + path_ + ".damaged");
    return setAside(damaged, kept);
}

// Appends the damaged lines to the side file, then replaces the log by its
// whole lines and locks the new file.
Outcome ProductionLog::setAside(const std::vector<std::string>& damaged, const std::string& kept) {
    const std::string side = path_ + ".damaged";
    std::ifstream in(side, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    for (const std::string& line : damaged)
        text += line + "\n";
    if (Outcome written = writeFileAtomically(side, text); !written)
        return written;
    if (Outcome written = writeFileAtomically(path_, kept); !written)
        return written;
    return lock(path_);
}

// Serials named by lines set aside earlier stay used.
void ProductionLog::readSideFile() {
    std::ifstream in(path_ + ".damaged", std::ios::binary);
    for (std::string line; std::getline(in, line);)
        addNamedSerials(line, named_);
}

Outcome ProductionLog::open(const std::string& path, bool repair, LogDisk disk) {
    close();
    path_ = path;
    disk_ = withDefaults(std::move(disk));
    std::string text;
    Outcome result = lock(path);
    if (result)
        result = readAll(text);
    if (result && !text.empty())
        result = parse(text, repair); // a repair may leave nothing, not even the header
    if (result)
        readSideFile();
    struct stat now {};
    if (result && fstat(fileno(file_.get()), &now) == 0 && now.st_size == 0) {
        verifiedColumn_ = true;
        result = appendLine(kProductionLogHeader);
    }
    if (!result) {
        const bool refused = refusal_;
        close();
        refusal_ = refused;
    }
    return result;
}

void ProductionLog::close() {
    file_.reset();
    refusal_ = false;
    passed_.clear();
    used_.clear();
    named_.clear();
    notes_.clear();
}

// One write call, then a sync; whatever went wrong, the file is cut back to
// its length before, so that it only ever holds whole lines.
Outcome ProductionLog::appendLine(const std::string& text) {
    if (!file_)
        return Outcome::failure("the production log is not open");
    const int fd = fileno(file_.get());
    const std::string whole = text + "\n";
    struct stat before {};
    if (fstat(fd, &before) != 0)
        return Outcome::failure("cannot write " + path_ + ": " + std::strerror(errno));
    errno = 0;
    const long written = disk_.write(fd, whole.data(), whole.size());
    bool ok = written == static_cast<long>(whole.size());
    if (ok && disk_.sync(fd) != 0 && errno != EINVAL) // EINVAL: not a file that syncs
        ok = false;
    if (ok)
        return Outcome::success();
    const std::string reason = errno != 0 ? std::strerror(errno) : "the disk took part of it";
    std::string text2 = "cannot write " + path_ + ": " + reason;
    if (ftruncate(fd, before.st_size) != 0 || fsync(fd) != 0)
        text2 += " (and the part written could not be taken back)";
    return Outcome::failure(text2);
}

Outcome ProductionLog::reserve(ProductionLine line) {
    if (isUsed(line.serial))
        return Outcome::failure(line.serial + " is already used");
    line.result = LineResult::Started;
    if (Outcome written = appendLine(formatLogLine(line, verifiedColumn_)); !written)
        return written;
    used_.insert(line.serial);
    return Outcome::success();
}

Outcome ProductionLog::record(const ProductionLine& line) {
    if (Outcome written = appendLine(formatLogLine(line, verifiedColumn_)); !written)
        return written;
    if (line.result == LineResult::Pass)
        passed_.insert(line.serial);
    else if (line.result == LineResult::Fail && !passed_.count(line.serial))
        used_.erase(line.serial); // the serial goes to the next unit
    return Outcome::success();
}

bool ProductionLog::firstUnused(const std::string& serial, std::string& unused) const {
    unused = serial;
    while (isUsed(unused))
        if (!nextSerial(unused, unused))
            return false;
    return true;
}

std::string ProductionLog::highestUsed() const {
    std::string best;
    uint64_t bestValue = 0;
    for (const std::string& serial : used_) {
        uint64_t value = 0;
        if (serialNumberTail(serial, value) && (best.empty() || value >= bestValue)) {
            best = serial;
            bestValue = value;
        }
    }
    return best;
}

} // namespace quillan
