#include "web/src/webhid_backend.h"

#include "hidlink/hidapi_backend.h"
#include "hidlink/products.h"
#include "hidlink/report_descriptor.h"
#include "hidlink/sim_devices.h"

#include <emscripten.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace quillan {

// quillan-cli's "real hardware" bus is the browser's.
std::unique_ptr<HidBackend> makeHidapiBackend() {
    return web::makeWebHidBackend();
}

} // namespace quillan

namespace quillan::web {

namespace {

// clang-format off
// Each returns a negative errno on failure. The transport keeps the devices;
// handles and paths are its own.

// Text of one line per collection: "path vendor product release collection
// input output feature", numbers in decimal. Freed by the caller.
EM_ASYNC_JS(char*, hidEnumerate, (), {
    const text = await Module.quillanHid.enumerate();
    const size = lengthBytesUTF8(text) + 1;
    const out = _malloc(size);
    stringToUTF8(text, out, size);
    return out;
});
EM_ASYNC_JS(int, hidOpen, (const char* path, int query),
            { return await Module.quillanHid.open(UTF8ToString(path), query != 0); });
EM_JS(void, hidClose, (int handle), { Module.quillanHid.close(handle); });
EM_ASYNC_JS(int, hidSetFeature, (int handle, const uint8_t* data, int length), {
    return await Module.quillanHid.sendFeature(handle, HEAPU8.slice(data, data + length));
});
EM_ASYNC_JS(int, hidGetFeature, (int handle, uint8_t* data, int length), {
    const answer = await Module.quillanHid.receiveFeature(handle, HEAPU8[data], length);
    if (typeof answer == "number")
        return answer;
    HEAPU8.set(answer.subarray(0, length), data);
    return answer.length;
});
EM_ASYNC_JS(int, hidWrite, (int handle, const uint8_t* data, int length), {
    return await Module.quillanHid.sendOutput(handle, HEAPU8.slice(data, data + length));
});
EM_ASYNC_JS(int, hidRead, (int handle, uint8_t* data, int length, int timeoutMs), {
    const answer = await Module.quillanHid.receiveInput(handle, length, timeoutMs);
    if (typeof answer == "number")
        return answer;
    HEAPU8.set(answer.subarray(0, length), data);
    return answer.length;
});
// The product string as UTF-16 code units written to out; their count, or
// a negative errno.
EM_JS(int, hidProductString, (int handle, char16_t* out, int capacity), {
    const text = Module.quillanHid.productName(handle);
    if (typeof text != "string")
        return text;
    const count = Math.min(text.length, capacity);
    for (let i = 0; i < count; ++i)
        HEAPU16[(out >> 1) + i] = text.charCodeAt(i);
    return count;
});
// Within the running task: the transport's report calls give the event loop
// back every few milliseconds, so a wait needs no unwinding of its own.
EM_JS(void, pauseMicroseconds, (double us), { Module.quillanHid.pause(us); });

// clang-format on

// What an entry the browser does not list is opened as: never.
constexpr const char* kAbsentPath = "absent";

struct Collection {
    HidInterfaceEntry entry;
    HidCaps caps;
};

// A collection's usage page and usage in one number.
using Usage = uint32_t;
Usage usageOf(uint16_t page, uint16_t usage) {
    return static_cast<Usage>(page) << 16 | usage;
}

// The usages of each interface's collections, in the product's own order.
std::vector<std::vector<Usage>> keyboardInterfaceUsages(uint16_t productId) {
    std::vector<std::vector<Usage>> out;
    for (const std::vector<uint8_t>& report : keyboardInterfaceReports(productId)) {
        out.emplace_back();
        for (const HidTopCollection& c : parseReportDescriptor(report).collections)
            out.back().push_back(usageOf(c.usagePage, c.usage));
    }
    return out;
}

std::string devicePath(const std::string& path) {
    return path.substr(0, path.find('#'));
}

// The collections of one device the browser lists, by index into the list.
struct ListedDevice {
    std::vector<size_t> members;
    bool placed = false;
};

// Whether the device's collections are the interface's, some perhaps left
// out, in the same order.
bool fitsInterface(const std::vector<Collection>& listed, const ListedDevice& device,
                   const std::vector<Usage>& wanted) {
    size_t next = 0;
    for (Usage usage : wanted)
        if (next < device.members.size() &&
            usageOf(listed[device.members[next]].caps.usagePage,
                    listed[device.members[next]].caps.usage) == usage)
            ++next;
    return next == device.members.size() && !device.members.empty();
}

// The browser lists a keyboard's interfaces in no set order and leaves out
// what it protects (a boot keyboard, a mouse). Member indices decide which
// collection carries the requests, so the collections are put in the order
// of the product's own descriptors, each one the browser left out standing
// as an entry that cannot be opened.
std::vector<Collection> inInterfaceOrder(const std::vector<Collection>& listed) {
    std::vector<Collection> out;
    std::vector<bool> taken(listed.size(), false);
    for (size_t i = 0; i < listed.size(); ++i) {
        if (taken[i])
            continue;
        const HidInterfaceEntry& first = listed[i].entry;
        std::vector<ListedDevice> devices; // this product's devices
        for (size_t j = i; j < listed.size(); ++j) {
            if (taken[j] || listed[j].entry.vendorId != first.vendorId ||
                listed[j].entry.productId != first.productId)
                continue;
            const std::string path = devicePath(listed[j].entry.path);
            auto it = std::find_if(devices.begin(), devices.end(), [&](const ListedDevice& d) {
                return devicePath(listed[d.members.front()].entry.path) == path;
            });
            if (it == devices.end())
                it = devices.insert(devices.end(), ListedDevice{});
            it->members.push_back(j);
            taken[j] = true;
        }
        const std::vector<std::vector<Usage>> layout =
            first.vendorId == kKeyboardVendorId ? keyboardInterfaceUsages(first.productId)
                                                : std::vector<std::vector<Usage>>{};
        for (const std::vector<Usage>& wanted : layout) {
            auto it = std::find_if(devices.begin(), devices.end(), [&](const ListedDevice& d) {
                return !d.placed && fitsInterface(listed, d, wanted);
            });
            size_t next = 0;
            for (Usage usage : wanted) {
                const bool present = it != devices.end() && next < it->members.size() &&
                                     usageOf(listed[it->members[next]].caps.usagePage,
                                             listed[it->members[next]].caps.usage) == usage;
                if (present) {
                    out.push_back(listed[it->members[next++]]);
                    continue;
                }
                Collection absent = listed[i];
                absent.entry.path = kAbsentPath;
                out.push_back(absent);
            }
            if (it != devices.end())
                it->placed = true;
        }
        for (const ListedDevice& device : devices)
            if (!device.placed)
                for (size_t j : device.members)
                    out.push_back(listed[j]);
    }
    return out;
}

std::vector<Collection> parseCollections(const std::string& text) {
    std::vector<Collection> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Collection c;
        unsigned vendor = 0, product = 0, release = 0, usagePage = 0, usage = 0;
        unsigned input = 0, output = 0, feature = 0;
        if (!(fields >> c.entry.path >> vendor >> product >> release >> c.entry.collection >>
              usagePage >> usage >> input >> output >> feature))
            continue;
        c.entry.vendorId = static_cast<uint16_t>(vendor);
        c.entry.productId = static_cast<uint16_t>(product);
        c.entry.releaseNumber = static_cast<uint16_t>(release);
        c.caps = HidCaps{static_cast<uint16_t>(usage), static_cast<uint16_t>(usagePage),
                         static_cast<uint16_t>(input), static_cast<uint16_t>(output),
                         static_cast<uint16_t>(feature)};
        out.push_back(c);
    }
    return out;
}

class WebHidDevice : public HidDevice {
  public:
    WebHidDevice(int handle, Collection collection)
        : handle_(handle), collection_(std::move(collection)) {}
    ~WebHidDevice() override { hidClose(handle_); }

    bool getAttributes(uint16_t& vendorId, uint16_t& productId, uint16_t& release) override {
        vendorId = collection_.entry.vendorId;
        productId = collection_.entry.productId;
        release = collection_.entry.releaseNumber;
        return true;
    }
    bool getCaps(HidCaps& caps) override {
        caps = collection_.caps;
        return true;
    }
    bool getProductString(std::u16string& text) override {
        char16_t buffer[128];
        const int count = hidProductString(handle_, buffer, 127);
        if (count < 0)
            return fail(count);
        text.assign(buffer, buffer + count);
        return true;
    }
    bool setFeature(const uint8_t* data, size_t length) override {
        return done(hidSetFeature(handle_, data, static_cast<int>(length)));
    }
    bool getFeature(uint8_t* data, size_t length) override {
        return done(hidGetFeature(handle_, data, static_cast<int>(length)));
    }
    bool write(const uint8_t* data, size_t length) override {
        return done(hidWrite(handle_, data, static_cast<int>(length)));
    }
    bool read(uint8_t* data, size_t length, int timeoutMs) override {
        return done(hidRead(handle_, data, static_cast<int>(length), timeoutMs));
    }
    int lastErrorCode() const override { return error_; }
    std::string lastErrorText() const override { return std::strerror(error_); }

  private:
    bool done(int result) { return result >= 0 ? (error_ = 0, true) : fail(result); }
    bool fail(int result) {
        error_ = -result;
        return false;
    }
    int handle_;
    Collection collection_;
    int error_ = 0;
};

class WebHidBackend : public HidBackend {
  public:
    std::vector<HidInterfaceEntry> enumerate() override {
        char* text = hidEnumerate();
        collections_ = inInterfaceOrder(parseCollections(text ? text : ""));
        std::free(text);
        std::vector<HidInterfaceEntry> entries;
        for (const Collection& c : collections_)
            entries.push_back(c.entry);
        return entries;
    }
    std::unique_ptr<HidDevice> open(const std::string& path) override { return openAs(path, 0); }
    std::unique_ptr<HidDevice> openQuery(const std::string& path) override {
        return openAs(path, 1);
    }
    int lastErrorCode() const override { return error_; }
    std::string lastErrorText() const override { return std::strerror(error_); }

  private:
    std::unique_ptr<HidDevice> openAs(const std::string& path, int query) {
        const Collection* known = nullptr;
        for (const Collection& c : collections_)
            if (c.entry.path == path)
                known = &c;
        if (!known || path == kAbsentPath) {
            error_ = ENODEV;
            return nullptr;
        }
        const int handle = hidOpen(path.c_str(), query);
        if (handle < 0) {
            error_ = -handle;
            return nullptr;
        }
        error_ = 0;
        return std::make_unique<WebHidDevice>(handle, *known);
    }
    std::vector<Collection> collections_;
    int error_ = 0;
};

class BrowserClock : public GapClock {
  public:
    void waitMicroseconds(int64_t us) override { pauseMicroseconds(static_cast<double>(us)); }
};

} // namespace

std::unique_ptr<HidBackend> makeWebHidBackend() {
    return std::make_unique<WebHidBackend>();
}

GapClock& browserClock() {
    static BrowserClock clock;
    return clock;
}

} // namespace quillan::web
