// Program Keyboard with verification: downloads the built image, reads a
// keyboard's bytes 0000..13FF back and compares them with what was sent.
#pragma once

#include "workflow/session.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillan {

constexpr int kShownMismatches = 10;

enum class ProgramResult { Passed, NoDevice, Failed, Mismatch, Cancelled };
enum class Verification { Verified, Off, ProgrammingDevice };

struct ByteMismatch {
    int address = 0;
    uint8_t wrote = 0;
    uint8_t read = 0;
};

struct ProgramReport {
    ProgramResult result = ProgramResult::Failed;
    Verification verification = Verification::Off;
    FoundDevice device;
    uint32_t version = 0;
    std::vector<ByteMismatch> mismatches; // the first kShownMismatches
    int mismatchCount = 0;                // all of them
    double seconds = 0;
    uint32_t crc = 0; // CRC-32 of image bytes 0000..13FF as sent
    bool passed() const { return result == ProgramResult::Passed; }
};

struct ProgramOptions {
    bool verify = true;
    std::function<void()> verifying; // told when the read-back starts
};

// Finds the keyboard once (shows "No Keyboard Found!" when there is none;
// session.keyboardVersion then is 0, else the version found),
// downloads session.image, and reads a keyboard back to compare. A failed
// download shows "Programming failed"; a mismatch shows it with the
// differing bytes (mismatchText). The programming device is not verified.
ProgramReport programAndVerify(Session& session, const ProgramOptions& options);
// The same on a device already found, of that version (no discovery; the
// session's keyboard version becomes version).
ProgramReport programAndVerifyFound(Session& session, const FoundDevice& device, uint32_t version,
                                    const ProgramOptions& options);

// Compares what was sent with what was read back (bytes 0000..13FF).
void compareTransfer(const EepromImage& sent, const EepromImage& read, ProgramReport& report);

// "Verify failed at %04X: wrote %02X, read %02X" for the first differing
// bytes, one a line, and a last line with the count of all.
std::string mismatchText(const ProgramReport& report);
// "V0001 programmed in 10.4 s, verified" (or "not verified (programming
// device)", "not verified").
std::string programSummary(const ProgramReport& report);

// CRC-32 (IEEE 802.3) of the bytes.
uint32_t crc32(const uint8_t* data, size_t length);

} // namespace quillan
