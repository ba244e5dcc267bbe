// Find keyboard, Program keyboard and Read keyboard: the USB HID protocol the
// main window and the command-line tool drive. Runs on the caller's thread.
#pragma once

#include "eeprom/image.h"
#include "hidlink/backend.h"
#include "model/messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillan {

// Progress of a long transfer: range 0..range, one step per unit, position.
struct ProgressSink {
    std::function<void(int range)> setRange; // also resets the position to 0
    std::function<void(int position)> setPosition;
    void start(int range) const {
        if (setRange)
            setRange(range);
    }
    void position(int pos) const {
        if (setPosition)
            setPosition(pos);
    }
};

// Waits between reports. The real clock sleeps for most of the gap and spins
// only its end; tests use a clock that only counts.
class GapClock {
  public:
    virtual ~GapClock() = default;
    virtual void waitMicroseconds(int64_t us) = 0;
};
GapClock& realClock();
// A real clock of its own, for a thread that times one keyboard's gaps while
// other threads time theirs (what it learns of the sleeps stays its own).
std::unique_ptr<GapClock> makeRealClock();

// A clock that does not wait: counts the waits and their total.
class CountingClock : public GapClock {
  public:
    void waitMicroseconds(int64_t us) override {
        ++waits;
        totalUs += us;
    }
    int64_t waits = 0;
    int64_t totalUs = 0;
};

struct LinkContext {
    LinkContext(HidBackend& backend, uint32_t& keyboardVersion, ProgressSink progress = {},
                GapClock* clock = nullptr)
        : backend(backend), keyboardVersion(keyboardVersion), progress(std::move(progress)),
          clock(clock) {}

    HidBackend& backend;
    uint32_t& keyboardVersion; // 0 = no keyboard found; shown as "V%4.4u"
    ProgressSink progress;
    GapClock* clock = nullptr; // nullptr: realClock()
    // Asked between reports; true ends a download or read-back at once,
    // as a failure (Ctrl+C, a Stop button).
    std::function<bool()> cancelled;
};

struct FoundDevice {
    std::string path;
    int memberIndex = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string device; // the physical device (tells two keyboards apart)
};

// A keyboard or programming device found among several: its programming
// interface and the version it reports.
struct PluggedDevice {
    FoundDevice found;
    uint32_t version = 0;
};

// FindKeyboard, ProgramKeyboard and ReadKeyboard (and StoreDescriptorTable in
// eeprom/) keep the names of the keyboard system's own routines, as the trace
// and the manual name them; every other free function is camelCase.

// Enumerates the HID interfaces and accepts the first keyboard or programming
// device under the acceptance rules; sets ctx.keyboardVersion (a keyboard's
// from its bcdDevice, at least 1; the programming device's from its product
// string), 0 when nothing was accepted.
bool FindKeyboard(LinkContext& ctx, FoundDevice& found);

// Every keyboard and programming device present, one entry per physical
// device in listing order. Member indices count within each device, so the
// acceptance rules pick the same one programming interface of every
// keyboard of a product, and a keyboard with several accepted interfaces
// is listed once.
std::vector<PluggedDevice> findEveryKeyboard(HidBackend& backend);

// These report nothing themselves: a failure's message (with its caption)
// is for the caller to show; a failed or cancelled transfer has none.

// Downloads image bytes 0000..13FF. Fails when no device was found ("Didn't
// find keyboard!"), it could not be opened, or any send failed (a device
// that keeps failing ends the download at once).
Outcome ProgramKeyboard(LinkContext& ctx, EepromImage& image);
// The same on a device FindKeyboard accepted (no discovery).
Outcome programFound(LinkContext& ctx, const FoundDevice& found, EepromImage& image);

// Reads image bytes 0000..13FF back. versionText receives the first five
// characters of the keyboard's product string (its versionLabel when it has
// none). Fails when no keyboard was found (a programming device cannot be
// read), it could not be opened, or a transfer failed (the first failure's
// "Error : N , reason"); the image is then left as it was. On success bytes
// 1400..1FFF stay as they were.
Outcome ReadKeyboard(LinkContext& ctx, EepromImage& image, std::string& versionText);
// The same on a device FindKeyboard accepted; fails, untold, for a
// programming device.
Outcome readFound(LinkContext& ctx, const FoundDevice& found, EepromImage& image,
                  std::string& versionText);

bool isKeyboard(const FoundDevice& found);
bool isProgrammer(const FoundDevice& found);

// Exchanges bits 4 and 5 of every Prefix table byte (image 400..4FF).
void exchangePrefixBits(EepromImage& image);
// Brings the Prefix table into the form a programming device of that version
// takes (exchanged below 412), keeping image.prefixSwapped up to date.
void matchPrefixToVersion(EepromImage& image, uint32_t version);

// "V%4.4u" of a version, "" for 0.
std::string versionLabel(uint32_t version);

} // namespace quillan
