// Shared test scaffolding: a link context with recorded messages and
// progress and a counting clock, and a backend wrapper that records every
// report transfer made through it.
#pragma once

#include "hidlink/link.h"
#include "hidlink/sim_backend.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quillan::test {

enum class Op { SetFeature, GetFeature, Write, Read };

struct Transfer {
    Op op;
    std::vector<uint8_t> bytes; // as sent, or as received
    bool ok;
};

class RecordingDevice : public HidDevice {
  public:
    RecordingDevice(std::unique_ptr<HidDevice> inner, std::vector<Transfer>& log)
        : inner_(std::move(inner)), log_(log) {}
    bool getAttributes(uint16_t& v, uint16_t& p, uint16_t& r) override {
        return inner_->getAttributes(v, p, r);
    }
    bool getCaps(HidCaps& caps) override { return inner_->getCaps(caps); }
    bool getProductString(std::u16string& text) override { return inner_->getProductString(text); }
    bool setFeature(const uint8_t* data, size_t length) override {
        return record(Op::SetFeature, data, length, inner_->setFeature(data, length));
    }
    bool getFeature(uint8_t* data, size_t length) override {
        return record(Op::GetFeature, data, length, inner_->getFeature(data, length));
    }
    bool write(const uint8_t* data, size_t length) override {
        return record(Op::Write, data, length, inner_->write(data, length));
    }
    bool read(uint8_t* data, size_t length, int timeoutMs) override {
        return record(Op::Read, data, length, inner_->read(data, length, timeoutMs));
    }
    int lastErrorCode() const override { return inner_->lastErrorCode(); }
    std::string lastErrorText() const override { return inner_->lastErrorText(); }

  private:
    bool record(Op op, const uint8_t* data, size_t length, bool ok) {
        log_.push_back({op, std::vector<uint8_t>(data, data + length), ok});
        return ok;
    }
    std::unique_ptr<HidDevice> inner_;
    std::vector<Transfer>& log_;
};

class RecordingBackend : public HidBackend {
  public:
    explicit RecordingBackend(HidBackend& inner) : inner_(inner) {}
    std::vector<HidInterfaceEntry> enumerate() override { return inner_.enumerate(); }
    std::unique_ptr<HidDevice> open(const std::string& path) override {
        std::unique_ptr<HidDevice> device = inner_.open(path);
        if (!device)
            return nullptr;
        return std::make_unique<RecordingDevice>(std::move(device), transfers);
    }
    std::unique_ptr<HidDevice> openQuery(const std::string& path) override {
        return inner_.openQuery(path);
    }
    int lastErrorCode() const override { return inner_.lastErrorCode(); }
    std::string lastErrorText() const override { return inner_.lastErrorText(); }

    std::vector<Transfer> transfers;

  private:
    HidBackend& inner_;
};

// A simulated bus seen through a recorder, with everything a link call reports.
struct Bench {
    SimBackend sim;
    RecordingBackend recorder{sim};
    uint32_t version = 0;
    std::vector<Message> messages;
    std::vector<int> ranges;
    std::vector<int> positions;
    CountingClock clock;

    LinkContext context() {
        LinkContext ctx{recorder, version, {}, &clock};
        ctx.progress.setRange = [this](int range) { ranges.push_back(range); };
        ctx.progress.setPosition = [this](int position) { positions.push_back(position); };
        return ctx;
    }
    std::vector<Transfer>& transfers() { return recorder.transfers; }
    // What a front end shows of a link call's outcome; true when it went through.
    bool shown(const Outcome& outcome) {
        showOutcome([this](const Message& m) { messages.push_back(m); }, outcome);
        return outcome.ok;
    }
};

// An image whose byte n is a pattern of n, so that misplaced bytes show.
inline EepromImage patternImage() {
    EepromImage image;
    for (size_t n = 0; n < image.bytes.size(); ++n)
        image.bytes[n] = static_cast<uint8_t>((n * 7 + n / 256) & 0xFF);
    return image;
}

inline std::vector<uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

} // namespace quillan::test
