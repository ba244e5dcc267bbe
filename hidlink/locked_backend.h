// One thread's view of a backend that several threads share (the stations
// of a production run): every call on the backend is made under the lock
// the views share, and the error of a view's last call stays with that
// view. A device opened through a view belongs to the thread that opened it.
#pragma once

#include "hidlink/backend.h"

#include <memory>
#include <mutex>
#include <type_traits>

namespace quillan {

class LockedBackend : public HidBackend {
  public:
    LockedBackend(std::shared_ptr<HidBackend> backend, std::shared_ptr<std::mutex> lock)
        : backend_(std::move(backend)), lock_(std::move(lock)) {}

    std::vector<HidInterfaceEntry> enumerate() override {
        return call([&] { return backend_->enumerate(); });
    }
    std::unique_ptr<HidDevice> open(const std::string& path) override {
        return call([&] { return backend_->open(path); });
    }
    std::unique_ptr<HidDevice> openQuery(const std::string& path) override {
        return call([&] { return backend_->openQuery(path); });
    }
    int lastErrorCode() const override { return errorCode_; }
    std::string lastErrorText() const override { return errorText_; }

  private:
    template <class F> std::invoke_result_t<F> call(F f) {
        const std::lock_guard<std::mutex> guard(*lock_);
        auto result = f();
        errorCode_ = backend_->lastErrorCode();
        errorText_ = backend_->lastErrorText();
        return result;
    }

    std::shared_ptr<HidBackend> backend_;
    std::shared_ptr<std::mutex> lock_;
    int errorCode_ = 0;
    std::string errorText_;
};

} // namespace quillan
