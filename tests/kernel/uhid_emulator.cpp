// quillan-uhid-emulator: presents the keyboard firmware, its programming
// device or a plain mouse to the running kernel through /dev/uhid, one uhid
// device per USB interface, and answers the kernel's report requests until it
// is told to stop (SIGTERM or SIGINT). It can misbehave on request, to check
// that the tool reports a faulty device instead of hanging or succeeding.
//
// Its helper commands compare a programmed EEPROM with an image file.
#include "tests/kernel/firmware.h"
#include "tests/kernel/image_commands.h"

#include <linux/uhid.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quillan::kernel_test {
namespace {

constexpr int kStartTimeoutMs = 30000; // TCG guests are slow to probe drivers
constexpr uint16_t kBusUsb = 0x03;     // BUS_USB of linux/input.h

struct Options {
    std::string device; // keyboard-XXXX, programmer-NNNN or mouse
    std::string readyFile;
    std::string dumpFile;
    std::string loadFile;
    bool wrongVendor = false;
    int stallSetAfter = -1; // feature SET_REPORTs answered before the device stalls for good
    int stallGetAfter = -1; // the same for GET_REPORT
    bool shortAnswers = false;
    int destroyAfter = -1; // requests served before the device is destroyed
    int corruptAddress = -1;
    bool verbose = false;
};

struct Interface {
    int fd = -1;
    bool started = false;
    std::string uniq;
    std::string hidraw;
};

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(signalPipe[1], &byte, 1);
}

// The hidraw node whose HID device carries this unique string, or "".
std::string findHidraw(const std::string& uniq) {
    std::string found;
    DIR* dir = opendir("/sys/class/hidraw");
    if (!dir)
        return found;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream uevent(std::string("/sys/class/hidraw/") + entry->d_name + "/device/uevent");
        std::string line;
        while (std::getline(uevent, line))
            if (line == "HID_UNIQ=" + uniq)
                found = std::string("/dev/") + entry->d_name;
    }
    closedir(dir);
    if (!found.empty() && access(found.c_str(), R_OK | W_OK) != 0)
        return ""; // the device node is not there yet
    return found;
}

class Emulator {
  public:
    Emulator(const Options& options, std::unique_ptr<Firmware> firmware)
        : options_(options), firmware_(std::move(firmware)) {}

    ~Emulator() {
        for (Interface& interface : interfaces_)
            if (interface.fd >= 0)
                close(interface.fd);
    }

    bool create();
    void serve();
    void finish();

  private:
    bool createInterface(int index);
    bool waitUntil(const std::function<bool()>& done);
    bool pollOnce(int timeoutMs, bool& signalled);
    void handleEvent(int index);
    void onSetReport(int index, const uhid_set_report_req& request);
    void onGetReport(int index, const uhid_get_report_req& request);
    void onOutput(int index, const uhid_output_req& request);
    void sendInput(int index, std::vector<uint8_t> report);
    void countRequest();
    void destroy();
    bool send(int index, const uhid_event& event);

    Options options_;
    std::unique_ptr<Firmware> firmware_;
    std::vector<Interface> interfaces_;
    bool ready_ = false;
    bool destroyed_ = false;
    int requests_ = 0;
    int setRequests_ = 0;
    int getRequests_ = 0;
    int unanswered_ = 0;
};

bool Emulator::send(int index, const uhid_event& event) {
    const ssize_t written = write(interfaces_[index].fd, &event, sizeof event);
    if (written != static_cast<ssize_t>(sizeof event)) {
        std::fprintf(stderr, "emulator: write to /dev/uhid failed: %s\n", std::strerror(errno));
        return false;
    }
    return true;
}

bool Emulator::createInterface(int index) {
    Interface& interface = interfaces_[index];
    interface.fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (interface.fd < 0) {
        std::fprintf(stderr, "emulator: cannot open /dev/uhid: %s\n", std::strerror(errno));
        return false;
    }
    interface.uniq = "quillan-emulator-" + std::to_string(getpid()) + "-" + std::to_string(index);
    const std::vector<uint8_t>& report = firmware_->interfaceReports()[index];
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_CREATE2;
    uhid_create2_req& create = event->u.create2;
    std::snprintf(reinterpret_cast<char*>(create.name), sizeof create.name, "%s",
                  firmware_->name().c_str());
    // One place per emulator, as a USB device's interfaces share theirs.
    std::snprintf(reinterpret_cast<char*>(create.phys), sizeof create.phys, "quillan-%d/input%d",
                  static_cast<int>(getpid()), index);
    std::snprintf(reinterpret_cast<char*>(create.uniq), sizeof create.uniq, "%s",
                  interface.uniq.c_str());
    create.rd_size = static_cast<uint16_t>(report.size());
    std::memcpy(create.rd_data, report.data(), report.size());
    create.bus = kBusUsb;
    create.vendor = firmware_->vendorId() + (options_.wrongVendor ? 1 : 0);
    create.product = firmware_->productId();
    create.version = firmware_->version();
    if (!send(index, *event))
        return false;
    // Each interface is bound before the next one is created, so that the
    // kernel numbers them in interface order.
    if (!waitUntil([&] { return interface.started; })) {
        std::fprintf(stderr, "emulator: interface %d was not started by the kernel\n", index);
        return false;
    }
    if (!waitUntil([&] { return !(interface.hidraw = findHidraw(interface.uniq)).empty(); })) {
        std::fprintf(stderr, "emulator: interface %d has no hidraw node\n", index);
        return false;
    }
    std::printf("emulator: interface %d is %s\n", index, interface.hidraw.c_str());
    return true;
}

bool Emulator::create() {
    interfaces_.resize(firmware_->interfaceReports().size());
    for (size_t i = 0; i < interfaces_.size(); ++i)
        if (!createInterface(static_cast<int>(i)))
            return false;
    ready_ = true;
    std::printf("emulator: %s ready (%04X:%04X)\n", options_.device.c_str(),
                firmware_->vendorId() + (options_.wrongVendor ? 1 : 0), firmware_->productId());
    std::fflush(stdout);
    if (!options_.readyFile.empty())
        writeFile(options_.readyFile, nullptr, 0);
    return true;
}

// Serves events until done() holds; false on a time-out or a signal.
bool Emulator::waitUntil(const std::function<bool()>& done) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        bool signalled = false;
        if (!pollOnce(20, signalled) || signalled)
            return false;
    }
    return true;
}

bool Emulator::pollOnce(int timeoutMs, bool& signalled) {
    std::vector<pollfd> fds{{signalPipe[0], POLLIN, 0}};
    for (const Interface& interface : interfaces_)
        fds.push_back({destroyed_ ? -1 : interface.fd, POLLIN, 0});
    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0 && errno != EINTR) {
        std::fprintf(stderr, "emulator: poll failed: %s\n", std::strerror(errno));
        return false;
    }
    if (ready <= 0)
        return true;
    if (fds[0].revents & POLLIN) {
        signalled = true;
        return true;
    }
    for (size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents & POLLIN)
            handleEvent(static_cast<int>(i - 1));
    return true;
}

void Emulator::serve() {
    bool signalled = false;
    while (!signalled)
        if (!pollOnce(-1, signalled))
            return;
}

void Emulator::handleEvent(int index) {
    auto event = std::make_unique<uhid_event>();
    const ssize_t got = read(interfaces_[index].fd, event.get(), sizeof *event);
    if (got <= 0)
        return;
    switch (event->type) {
    case UHID_START:
        interfaces_[index].started = true;
        break;
    case UHID_STOP:
        interfaces_[index].started = false;
        break;
    case UHID_SET_REPORT:
        onSetReport(index, event->u.set_report);
        break;
    case UHID_GET_REPORT:
        onGetReport(index, event->u.get_report);
        break;
    case UHID_OUTPUT:
        onOutput(index, event->u.output);
        break;
    default: // UHID_OPEN, UHID_CLOSE
        break;
    }
}

void Emulator::onSetReport(int index, const uhid_set_report_req& request) {
    const size_t size = std::min<size_t>(request.size, UHID_DATA_MAX);
    if (options_.verbose)
        std::printf("emulator: if %d SET_REPORT type %u id %u size %zu\n", index, request.rtype,
                    request.rnum, size);
    if (request.rtype == UHID_FEATURE_REPORT && options_.stallSetAfter >= 0 &&
        ++setRequests_ > options_.stallSetAfter) {
        ++unanswered_;
        return;
    }
    uhid_event reply{};
    reply.type = UHID_SET_REPORT_REPLY;
    reply.u.set_report_reply.id = request.id;
    if (request.rtype == UHID_FEATURE_REPORT) {
        reply.u.set_report_reply.err =
            static_cast<uint16_t>(firmware_->setFeature(index, request.data, size));
    } else if (request.rtype == UHID_OUTPUT_REPORT) {
        std::vector<std::vector<uint8_t>> inputs;
        firmware_->output(index, request.data, size, inputs);
        for (std::vector<uint8_t>& input : inputs)
            sendInput(index, std::move(input));
    } else {
        reply.u.set_report_reply.err = EPIPE;
    }
    send(index, reply);
    countRequest();
}

void Emulator::onGetReport(int index, const uhid_get_report_req& request) {
    if (options_.verbose)
        std::printf("emulator: if %d GET_REPORT type %u id %u\n", index, request.rtype,
                    request.rnum);
    if (request.rtype == UHID_FEATURE_REPORT && options_.stallGetAfter >= 0 &&
        ++getRequests_ > options_.stallGetAfter) {
        ++unanswered_;
        return;
    }
    Answer answer{EPIPE, {}};
    if (request.rtype == UHID_FEATURE_REPORT)
        answer = firmware_->getFeature(index, request.rnum);
    if (options_.shortAnswers && answer.report.size() > 2)
        answer.report.resize(2);
    auto reply = std::make_unique<uhid_event>();
    std::memset(reply.get(), 0, sizeof *reply);
    reply->type = UHID_GET_REPORT_REPLY;
    reply->u.get_report_reply.id = request.id;
    reply->u.get_report_reply.err = static_cast<uint16_t>(answer.error);
    reply->u.get_report_reply.size = static_cast<uint16_t>(answer.report.size());
    std::copy(answer.report.begin(), answer.report.end(), reply->u.get_report_reply.data);
    send(index, *reply);
    countRequest();
}

void Emulator::onOutput(int index, const uhid_output_req& request) {
    const size_t size = std::min<size_t>(request.size, UHID_DATA_MAX);
    if (options_.verbose)
        std::printf("emulator: if %d OUTPUT size %zu\n", index, size);
    std::vector<std::vector<uint8_t>> inputs;
    firmware_->output(index, request.data, size, inputs);
    for (std::vector<uint8_t>& input : inputs)
        sendInput(index, std::move(input));
    countRequest();
}

void Emulator::sendInput(int index, std::vector<uint8_t> report) {
    if (options_.shortAnswers && report.size() > 2)
        report.resize(2);
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_INPUT2;
    event->u.input2.size = static_cast<uint16_t>(report.size());
    std::copy(report.begin(), report.end(), event->u.input2.data);
    send(index, *event);
}

// Requests made while the interfaces are being bound (keyboard LEDs) do not count.
void Emulator::countRequest() {
    if (!ready_)
        return;
    ++requests_;
    if (options_.destroyAfter >= 0 && requests_ >= options_.destroyAfter && !destroyed_) {
        std::printf("emulator: destroying the device after %d requests\n", requests_);
        std::fflush(stdout);
        destroy();
    }
}

void Emulator::destroy() {
    for (size_t i = 0; i < interfaces_.size(); ++i) {
        uhid_event event{};
        event.type = UHID_DESTROY;
        if (interfaces_[i].fd >= 0)
            send(static_cast<int>(i), event);
    }
    destroyed_ = true;
}

void Emulator::finish() {
    if (!destroyed_)
        destroy();
    const Firmware::Counters& c = firmware_->counters;
    std::printf("emulator: %s stored %d answered %d feature-requests %d output-requests %d "
                "rejected %d unanswered %d crc32 %08x\n",
                options_.device.c_str(), c.stored, c.answered, c.featureRequests, c.outputRequests,
                c.rejected, unanswered_, crc32(firmware_->eeprom.data(), firmware_->eeprom.size()));
    if (!options_.dumpFile.empty() &&
        !writeFile(options_.dumpFile, firmware_->eeprom.data(), firmware_->eeprom.size()))
        std::fprintf(stderr, "emulator: cannot write %s\n", options_.dumpFile.c_str());
    std::fflush(stdout);
}

std::unique_ptr<Firmware> makeFirmware(const std::string& device) {
    unsigned long number = 0;
    char* end = nullptr;
    if (device.rfind("keyboard-", 0) == 0) {
        number = std::strtoul(device.c_str() + 9, &end, 16);
        return *end ? nullptr : makeKeyboard(static_cast<uint16_t>(number));
    }
    if (device.rfind("programmer-", 0) == 0) {
        number = std::strtoul(device.c_str() + 11, &end, 10);
        return *end || device.size() != 15 ? nullptr : makeProgrammer(number);
    }
    return device == "mouse" ? makeMouse() : nullptr;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: quillan-uhid-emulator [options] keyboard-XXXX | programmer-NNNN | mouse\n"
        "  --ready FILE       create FILE once every interface has its hidraw node\n"
        "  --dump FILE        write the 8192-byte EEPROM to FILE at exit\n"
        "  --load FILE        start from the 8192-byte EEPROM in FILE\n"
        "  --wrong-vendor     present the device with the vendor ID plus one\n"
        "  --stall-set N      answer N feature SET_REPORTs, then no more\n"
        "  --stall-get N      answer N feature GET_REPORTs, then no more\n"
        "  --short-answers    cut every answer to a read to two bytes\n"
        "  --destroy-after N  destroy the device after N requests\n"
        "  --corrupt ADDR     store the byte sent for ADDR (hexadecimal) with bit 0 flipped\n"
        "  --verbose          trace every request\n"
        "       quillan-uhid-emulator compare IMAGE EEPROM [--swap-prefix]\n"
        "  IMAGE's bytes 0000..13FF (Prefix bits 4/5 exchanged with --swap-prefix) must\n"
        "  equal EEPROM's, and EEPROM's bytes from 1400 on must be unprogrammed\n"
        "       quillan-uhid-emulator crc FILE\n"
        "  the CRC-32 of FILE's bytes 0000..13FF\n");
    return 2;
}

bool parseNumber(const char* text, int& value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    value = static_cast<int>(number);
    return *text && !*end && number >= 0 && number < 1000000;
}

bool parseHexAddress(const char* text, int& value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 16);
    value = static_cast<int>(number);
    return *text && !*end && number >= 0 && number < kImageSize;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--ready" && hasValue)
            options.readyFile = argv[++i];
        else if (word == "--dump" && hasValue)
            options.dumpFile = argv[++i];
        else if (word == "--load" && hasValue)
            options.loadFile = argv[++i];
        else if (word == "--wrong-vendor")
            options.wrongVendor = true;
        else if (word == "--stall-set" && hasValue &&
                 parseNumber(argv[i + 1], options.stallSetAfter))
            ++i;
        else if (word == "--stall-get" && hasValue &&
                 parseNumber(argv[i + 1], options.stallGetAfter))
            ++i;
        else if (word == "--short-answers")
            options.shortAnswers = true;
        else if (word == "--destroy-after" && hasValue &&
                 parseNumber(argv[i + 1], options.destroyAfter))
            ++i;
        else if (word == "--corrupt" && hasValue &&
                 parseHexAddress(argv[i + 1], options.corruptAddress))
            ++i;
        else if (word == "--verbose")
            options.verbose = true;
        else if (word.rfind("--", 0) != 0 && options.device.empty())
            options.device = word;
        else
            return false;
    }
    return !options.device.empty();
}

int emulate(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options))
        return usage();
    std::unique_ptr<Firmware> firmware = makeFirmware(options.device);
    if (!firmware) {
        std::fprintf(stderr, "emulator: unknown device %s\n", options.device.c_str());
        return usage();
    }
    if (!options.loadFile.empty()) {
        std::vector<uint8_t> bytes;
        if (!readFile(options.loadFile, bytes) || bytes.size() != firmware->eeprom.size()) {
            std::fprintf(stderr, "emulator: %s is not an 8192-byte EEPROM\n",
                         options.loadFile.c_str());
            return 1;
        }
        std::copy(bytes.begin(), bytes.end(), firmware->eeprom.begin());
    }
    firmware->corruptAddress = options.corruptAddress;
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 1;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    Emulator emulator(options, std::move(firmware));
    if (!emulator.create()) {
        emulator.finish();
        return 1;
    }
    emulator.serve();
    emulator.finish();
    return 0;
}

} // namespace
} // namespace quillan::kernel_test

int main(int argc, char** argv) {
    using namespace quillan::kernel_test;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "compare" || command == "crc") {
        const int result =
            command == "compare" ? compareCommand(argc, argv) : crcCommand(argc, argv);
        return result == kUsageError ? usage() : result;
    }
    return emulate(argc, argv);
}
