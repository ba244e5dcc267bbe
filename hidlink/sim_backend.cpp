#include "hidlink/sim_backend.h"

#include <cctype>
#include <cerrno>

namespace quillan {
namespace {

constexpr const char* kPathPrefix = "sim:";

// "sim:<device>", and "sim:<device>/<interface>#<collection>" for one collection.
std::string deviceKey(size_t device) {
    return kPathPrefix + std::to_string(device);
}
std::string entryPath(size_t device, int interface, int collection) {
    return deviceKey(device) + "/" + std::to_string(interface) + "#" + std::to_string(collection);
}

bool parseNumber(const std::string& text, size_t& pos, char end, int& value) {
    const size_t start = pos;
    value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        if (value > 100000)
            return false;
        value = value * 10 + (text[pos++] - '0');
    }
    if (pos == start)
        return false;
    if (end == '\0')
        return pos == text.size();
    return pos < text.size() && text[pos++] == end;
}

bool parsePath(const std::string& path, int& device, SimTarget& target) {
    const size_t prefix = std::strlen(kPathPrefix);
    if (path.compare(0, prefix, kPathPrefix) != 0)
        return false;
    size_t pos = prefix;
    return parseNumber(path, pos, '/', device) && parseNumber(path, pos, '#', target.interface) &&
           parseNumber(path, pos, '\0', target.collection);
}

// A handle on one collection of a simulated device.
class SimHandle : public WithLastError<HidDevice> {
  public:
    SimHandle(SimBackend& bus, std::shared_ptr<SimDevice> device, SimTarget target,
              bool forTransfers)
        : bus_(bus), device_(std::move(device)), target_(target), forTransfers_(forTransfers) {}

    bool getAttributes(uint16_t& vendorId, uint16_t& productId, uint16_t& release) override {
        if (!device_->present())
            return fail(ENODEV);
        vendorId = device_->vendorId();
        productId = device_->productId();
        release = device_->release();
        return true;
    }
    bool getCaps(HidCaps& caps) override {
        const HidTopCollection* top = device_->collection(target_);
        if (!device_->present() || !top)
            return fail(ENODEV);
        caps = top->caps();
        return true;
    }
    bool getProductString(std::u16string& text) override {
        if (!device_->present())
            return fail(ENODEV);
        if (!device_->productString)
            return fail(EPIPE); // no string descriptor
        text = *device_->productString;
        return true;
    }
    bool setFeature(const uint8_t* data, size_t length) override {
        return transfer() && check(device_->setFeature(target_, data, length, error_));
    }
    bool getFeature(uint8_t* data, size_t length) override {
        return transfer() && check(device_->getFeature(target_, data, length, error_));
    }
    bool write(const uint8_t* data, size_t length) override {
        return transfer() && check(device_->write(target_, data, length, error_));
    }
    bool read(uint8_t* data, size_t length, int) override {
        return transfer() && check(device_->read(target_, data, length, error_));
    }

  private:
    // A handle opened for queries carries no reports.
    bool transfer() {
        if (!forTransfers_)
            return fail(EBADF);
        bus_.countTransfer();
        return true;
    }

    SimBackend& bus_;
    std::shared_ptr<SimDevice> device_;
    SimTarget target_;
    bool forTransfers_;
};

bool parseHex16(const std::string& text, uint16_t& value) {
    if (text.size() != 4)
        return false;
    value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = static_cast<uint16_t>(value * 16 + digit);
    }
    return true;
}

bool parseDecimal4(const std::string& text, unsigned& value) {
    if (text.size() != 4)
        return false;
    value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

} // namespace

SimEepromDevice* SimBackend::primary() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& device : devices_)
        if (auto* eepromDevice = dynamic_cast<SimEepromDevice*>(device.get()))
            return eepromDevice;
    return nullptr;
}

SimKeyboard* SimBackend::keyboard() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& device : devices_)
        if (auto* keyboard = dynamic_cast<SimKeyboard*>(device.get()))
            return keyboard;
    return nullptr;
}

SimProgrammer* SimBackend::programmer() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& device : devices_)
        if (auto* programmer = dynamic_cast<SimProgrammer*>(device.get()))
            return programmer;
    return nullptr;
}

void SimBackend::unplugAll() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& device : devices_)
        device->unplug();
}

namespace {

// A fresh device like model: blank EEPROM, the same faults.
std::unique_ptr<SimEepromDevice> freshLike(const SimEepromDevice& model) {
    std::unique_ptr<SimEepromDevice> fresh;
    if (dynamic_cast<const SimKeyboard*>(&model)) {
        fresh = makeSimKeyboard(model.productId(), model.release());
    } else {
        unsigned version = 0;
        for (size_t i = 1; model.productString && i < model.productString->size(); ++i)
            version = version * 10 + static_cast<unsigned>((*model.productString)[i] - u'0');
        fresh = std::make_unique<SimProgrammer>(version);
    }
    fresh->faults = model.faults;
    return fresh;
}

} // namespace

SimEepromDevice* SimBackend::plugFreshUnit() {
    const SimEepromDevice* model = primary();
    if (!model)
        return nullptr;
    std::unique_ptr<SimEepromDevice> fresh = freshLike(*model);
    unplugAll();
    return &add(std::move(fresh));
}

SimEepromDevice* SimBackend::unitAt(const std::string& device) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (size_t d = 0; d < devices_.size(); ++d)
        if (deviceKey(d) == device)
            return dynamic_cast<SimEepromDevice*>(devices_[d].get());
    return nullptr;
}

SimEepromDevice* SimBackend::replaceUnit(const std::string& device) {
    std::shared_ptr<SimDevice> old;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (size_t d = 0; d < devices_.size() && !old; ++d)
            if (deviceKey(d) == device)
                old = devices_[d];
    }
    const auto* model = dynamic_cast<const SimEepromDevice*>(old.get());
    if (!model)
        return nullptr;
    old->unplug();
    return &add(freshLike(*model));
}

void SimBackend::at(int64_t transfers, std::function<void(SimBackend&)> action) {
    const std::lock_guard<std::mutex> lock(mutex_);
    schedule_.push_back({transfers, std::move(action)});
    scheduled_ = true;
}

void SimBackend::countTransfer() {
    const int64_t now = ++transferCount_;
    if (!scheduled_)
        return;
    std::vector<std::function<void(SimBackend&)>> due;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = schedule_.begin(); it != schedule_.end();) {
            if (it->transfers <= now) {
                due.push_back(std::move(it->action));
                it = schedule_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& action : due) // unlocked: the actions plug and unplug
        action(*this);
}

std::vector<HidInterfaceEntry> SimBackend::enumerate() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HidInterfaceEntry> entries;
    for (size_t d = 0; d < devices_.size(); ++d) {
        const SimDevice& device = *devices_[d];
        if (!device.present())
            continue;
        const auto& interfaces = device.interfaces();
        for (int i = 0; i < static_cast<int>(interfaces.size()); ++i) {
            for (int c = 0; c < static_cast<int>(interfaces[i].collections.size()); ++c) {
                HidInterfaceEntry entry;
                entry.path = entryPath(d, i, c);
                entry.vendorId = device.vendorId();
                entry.productId = device.productId();
                entry.releaseNumber = device.release();
                entry.collection = c;
                entry.device = deviceKey(d);
                entries.push_back(entry);
            }
        }
    }
    error_ = 0;
    return entries;
}

std::unique_ptr<HidDevice> SimBackend::openPath(const std::string& path, bool forTransfers) {
    int device = 0;
    SimTarget target;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!parsePath(path, device, target) || device >= static_cast<int>(devices_.size())) {
        error_ = ENOENT;
        return nullptr;
    }
    const std::shared_ptr<SimDevice>& sim = devices_[device];
    if (!sim->present() || !sim->collection(target)) {
        error_ = sim->present() ? ENOENT : ENODEV;
        return nullptr;
    }
    if (forTransfers && sim->faults.refuseOpen) {
        error_ = EACCES;
        return nullptr;
    }
    error_ = 0;
    return std::make_unique<SimHandle>(*this, sim, target, forTransfers);
}

std::unique_ptr<HidDevice> SimBackend::open(const std::string& path) {
    ++openCount_;
    return openPath(path, true);
}

std::unique_ptr<HidDevice> SimBackend::openQuery(const std::string& path) {
    return openPath(path, false);
}

std::string SimBackend::lastErrorText() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::strerror(error_);
}

std::unique_ptr<SimEepromDevice> makeSimulatedDevice(const std::string& kind) {
    const std::string keyboardPrefix = "keyboard-";
    const std::string programmerPrefix = "programmer-";
    if (kind.compare(0, keyboardPrefix.size(), keyboardPrefix) == 0) {
        uint16_t productId = 0;
        if (!parseHex16(kind.substr(keyboardPrefix.size()), productId) ||
            !isKeyboardProduct(productId))
            return nullptr;
        return makeSimKeyboard(productId);
    }
    if (kind.compare(0, programmerPrefix.size(), programmerPrefix) == 0) {
        unsigned version = 0;
        if (!parseDecimal4(kind.substr(programmerPrefix.size()), version))
            return nullptr;
        return std::make_unique<SimProgrammer>(version);
    }
    return nullptr;
}

bool splitSimulatedKind(const std::string& text, std::string& kind, int& count) {
    const size_t star = text.find('*');
    kind = text.substr(0, star);
    count = 1;
    if (star == std::string::npos)
        return true;
    size_t pos = star + 1;
    return parseNumber(text, pos, '\0', count) && count >= 1 && count <= kMaxSimulatedDevices;
}

std::unique_ptr<SimBackend> makeSimulatedBackend(const std::string& text) {
    std::string kind;
    int count = 0;
    if (!splitSimulatedKind(text, kind, count))
        return nullptr;
    auto backend = std::make_unique<SimBackend>();
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<SimEepromDevice> device = makeSimulatedDevice(kind);
        if (!device)
            return nullptr;
        backend->add(std::move(device));
    }
    return backend;
}

} // namespace quillan
