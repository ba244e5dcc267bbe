// Find keyboard, Program keyboard and Read keyboard: the USB HID protocol the
// main window and the command-line tool drive. Runs on the caller's thread.
#pragma once

#include "eeprom/image.h"
#include "hidlink/backend.h"
#include "model/messages.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quillan {

// Progress of a long transfer: range 0..range, one step per unit, position.
struct ProgressSink {
    std::function<void(int range)> setRange;   // also resets the position to 0
    std::function<void(int position)> setPosition;
    void start(int range) const { if (setRange) setRange(range); }
    void position(int pos) const { if (setPosition) setPosition(pos); }
};

// Waits between reports. The real clock sleeps for most of the gap and spins
// only its end; tests use a clock that only counts.
class GapClock {
  public:
    virtual ~GapClock() = default;
    virtual void waitMicroseconds(int64_t us) = 0;
};
GapClock& realClock();

struct LinkContext {
    HidBackend& backend;
    uint32_t& keyboardVersion; // 0 = no keyboard found; shown as "V%4.4u"
    MessageSink messages;
    ProgressSink progress;
    GapClock* clock = nullptr; // nullptr: realClock()
};

struct FoundDevice {
    std::string path;
    int memberIndex = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// Enumerates the HID interfaces and accepts the first keyboard or programming
// device under the acceptance rules; sets ctx.keyboardVersion.
bool FindKeyboard(LinkContext& ctx, FoundDevice& found);

// Downloads image bytes 0000..13FF. False when no device was found, it could
// not be opened, or any send failed (a device that keeps failing ends the
// download at once).
bool ProgramKeyboard(LinkContext& ctx, EepromImage& image);

// Reads image bytes 0000..13FF back. versionText receives the first five
// characters of the keyboard's product string. False when nothing was read
// or a transfer failed (the image is then not to be used).
bool ReadKeyboard(LinkContext& ctx, EepromImage& image, std::string& versionText);

// "V%4.4u" of a version, "" for 0.
std::string versionLabel(uint32_t version);

} // namespace quillan
