#include "hidlink/hidapi_backend.h"

#include "hidlink/products.h"
#include "hidlink/report_descriptor.h"

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <tuple>

namespace quillan {
namespace {

constexpr size_t kMaxDescriptorSize = 4096; // HID_MAX_DESCRIPTOR_SIZE
constexpr size_t kMaxStringChars = 256;

// What enumeration learnt about one collection of a hidraw interface.
struct CollectionInfo {
    std::string devicePath; // "/dev/hidrawN"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0;
    std::u16string productString;
    bool capsKnown = false;
    HidCaps caps;
};

std::u16string fromWide(const wchar_t* text) {
    std::u16string out;
    for (; text && *text; ++text)
        out += static_cast<char16_t>(*text);
    return out;
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

// "/dev/hidraw3" -> "/sys/class/hidraw/hidraw3/device"
std::string sysfsDevice(const std::string& devicePath) {
    const size_t slash = devicePath.rfind('/');
    const std::string node = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
    return "/sys/class/hidraw/" + node + "/device";
}

bool readReportDescriptor(const std::string& devicePath, std::vector<uint8_t>& bytes) {
    std::ifstream in(sysfsDevice(devicePath) + "/report_descriptor", std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && !bytes.empty() && bytes.size() <= kMaxDescriptorSize;
}

// The HID device's place in the device tree ("/sys/devices/.../1-2:1.1/0003:...");
// sorting by it keeps a USB device's interfaces together and in order.
std::string physicalOrder(const std::string& devicePath) {
    char resolved[PATH_MAX];
    if (realpath(sysfsDevice(devicePath).c_str(), resolved))
        return resolved;
    return devicePath;
}

// The physical device a hidraw interface belongs to: its HID_PHYS without
// the "/inputN" of the interface ("usb-0000:00:14.0-2"), so that the
// interfaces of one keyboard share it and two keyboards, even of one
// product, differ. Without HID_PHYS, the interface's own path.
std::string physicalDevice(const std::string& devicePath) {
    std::ifstream uevent(sysfsDevice(devicePath) + "/uevent");
    const std::string key = "HID_PHYS=";
    for (std::string line; std::getline(uevent, line);) {
        if (line.compare(0, key.size(), key) != 0 || line.size() == key.size())
            continue;
        std::string phys = line.substr(key.size());
        const size_t input = phys.rfind("/input");
        if (input != std::string::npos)
            phys.erase(input);
        return phys;
    }
    return devicePath;
}

// hid_init once for every backend of the process, hid_exit after the last:
// stations open their devices from several threads.
std::mutex libraryMutex;
int libraryUsers = 0;
bool libraryReady = false;

bool acquireLibrary() {
    const std::lock_guard<std::mutex> lock(libraryMutex);
    if (libraryUsers++ == 0)
        libraryReady = hid_init() == 0;
    return libraryReady;
}

void releaseLibrary() {
    const std::lock_guard<std::mutex> lock(libraryMutex);
    if (--libraryUsers == 0 && libraryReady) {
        hid_exit();
        libraryReady = false;
    }
}

int errnoOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

// The key by which the listing is ordered: served devices first.
using OrderKey = std::tuple<int, std::string, int>;

// A device opened only to be asked about: answers from what enumeration learnt.
class QueryDevice : public WithLastError<HidDevice> {
  public:
    explicit QueryDevice(CollectionInfo info) : info_(std::move(info)) {}
    bool getAttributes(uint16_t& vendorId, uint16_t& productId, uint16_t& release) override {
        vendorId = info_.vendorId;
        productId = info_.productId;
        release = info_.release;
        return true;
    }
    bool getCaps(HidCaps& caps) override {
        if (!info_.capsKnown)
            return fail(EIO);
        caps = info_.caps;
        return true;
    }
    bool getProductString(std::u16string& text) override {
        text = info_.productString;
        return true;
    }
    bool setFeature(const uint8_t*, size_t) override { return fail(EBADF); }
    bool getFeature(uint8_t*, size_t) override { return fail(EBADF); }
    bool write(const uint8_t*, size_t) override { return fail(EBADF); }
    bool read(uint8_t*, size_t, int) override { return fail(EBADF); }

  protected:
    CollectionInfo info_;
};

// A device opened for transfers.
class HidapiDevice : public QueryDevice {
  public:
    HidapiDevice(CollectionInfo info, hid_device* handle)
        : QueryDevice(std::move(info)), handle_(handle) {}
    ~HidapiDevice() override { hid_close(handle_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    bool getProductString(std::u16string& text) override {
        wchar_t buffer[kMaxStringChars] = {};
        errno = 0;
        if (hid_get_product_string(handle_, buffer, kMaxStringChars) != 0)
            return failed();
        text = fromWide(buffer);
        return true;
    }
    bool setFeature(const uint8_t* data, size_t length) override {
        errno = 0;
        return check(hid_send_feature_report(handle_, data, length), length);
    }
    bool getFeature(uint8_t* data, size_t length) override {
        errno = 0;
        // A short answer leaves the rest of the buffer as the request was: refuse it.
        return check(hid_get_feature_report(handle_, data, length), length);
    }
    bool write(const uint8_t* data, size_t length) override {
        errno = 0;
        return check(hid_write(handle_, data, length), length);
    }
    bool read(uint8_t* data, size_t length, int timeoutMs) override {
        errno = 0;
        const int result = hid_read_timeout(handle_, data, length, timeoutMs);
        if (result == 0)
            return fail(ETIMEDOUT);
        return check(result, length);
    }
    std::string lastErrorText() const override {
        const wchar_t* text = hid_error(handle_);
        return text && *text ? narrow(text) : std::strerror(error_);
    }

  private:
    bool failed() { return fail(errnoOr(EIO)); }
    bool check(int result, size_t atLeast) {
        if (result < 0 || static_cast<size_t>(result) < atLeast)
            return failed();
        return succeed();
    }

    hid_device* handle_;
};

class HidapiBackend : public WithLastError<HidBackend> {
  public:
    HidapiBackend() { acquireLibrary(); }
    ~HidapiBackend() override { releaseLibrary(); }
    HidapiBackend(const HidapiBackend&) = delete;
    HidapiBackend& operator=(const HidapiBackend&) = delete;

    std::vector<HidInterfaceEntry> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;
    std::unique_ptr<HidDevice> openQuery(const std::string& path) override;

  private:
    const CollectionInfo* find(const std::string& path);

    std::map<std::string, CollectionInfo> known_; // by entry path
};

// Adds one entry per top-level collection of a hidraw interface.
void addInterface(const hid_device_info& device, std::map<OrderKey, HidInterfaceEntry>& order,
                  std::map<std::string, CollectionInfo>& known) {
    CollectionInfo base;
    base.devicePath = device.path;
    base.vendorId = device.vendor_id;
    base.productId = device.product_id;
    base.release = device.release_number;
    base.productString = fromWide(device.product_string);

    std::vector<uint8_t> descriptor;
    ParsedReportDescriptor parsed;
    if (readReportDescriptor(base.devicePath, descriptor))
        parsed = parseReportDescriptor(descriptor);
    const size_t count = std::max<size_t>(1, parsed.collections.size());

    const bool served = usbProduct(base.vendorId, base.productId) != nullptr;
    const std::string place = physicalOrder(base.devicePath);
    const std::string physical = physicalDevice(base.devicePath);
    for (size_t c = 0; c < count; ++c) {
        CollectionInfo info = base;
        // A descriptor that could not be read or parsed gives no capabilities.
        if (parsed.ok && c < parsed.collections.size()) {
            info.capsKnown = true;
            info.caps = parsed.collections[c].caps();
        }
        HidInterfaceEntry entry;
        entry.path = base.devicePath + "#" + std::to_string(c);
        entry.vendorId = base.vendorId;
        entry.productId = base.productId;
        entry.releaseNumber = base.release;
        entry.collection = static_cast<int>(c);
        entry.device = physical;
        order[OrderKey{served ? 0 : 1, place, static_cast<int>(c)}] = entry;
        known[entry.path] = std::move(info);
    }
}

std::vector<HidInterfaceEntry> HidapiBackend::enumerate() {
    known_.clear();
    errno = 0;
    hid_device_info* list = hid_enumerate(0, 0);
    std::map<OrderKey, HidInterfaceEntry> order;
    std::vector<std::string> seen; // hidapi may list an interface once per usage
    for (const hid_device_info* device = list; device; device = device->next) {
        if (!device->path || std::find(seen.begin(), seen.end(), device->path) != seen.end())
            continue;
        seen.emplace_back(device->path);
        addInterface(*device, order, known_);
    }
    hid_free_enumeration(list);
    error_ = list ? 0 : errnoOr(0);
    std::vector<HidInterfaceEntry> entries;
    for (auto& [key, entry] : order)
        entries.push_back(std::move(entry));
    return entries;
}

const CollectionInfo* HidapiBackend::find(const std::string& path) {
    if (!known_.count(path))
        enumerate();
    const auto it = known_.find(path);
    if (it == known_.end()) {
        error_ = ENOENT;
        return nullptr;
    }
    return &it->second;
}

std::unique_ptr<HidDevice> HidapiBackend::openQuery(const std::string& path) {
    const CollectionInfo* info = find(path);
    if (!info)
        return nullptr;
    error_ = 0;
    return std::make_unique<QueryDevice>(*info);
}

std::unique_ptr<HidDevice> HidapiBackend::open(const std::string& path) {
    const CollectionInfo* info = find(path);
    if (!info)
        return nullptr;
    errno = 0;
    hid_device* handle = hid_open_path(info->devicePath.c_str());
    if (!handle) {
        error_ = errnoOr(EIO);
        return nullptr;
    }
    error_ = 0;
    return std::make_unique<HidapiDevice>(*info, handle);
}

} // namespace

std::unique_ptr<HidBackend> makeHidapiBackend() {
    return std::make_unique<HidapiBackend>();
}

} // namespace quillan
