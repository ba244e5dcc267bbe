#include "workflow/program.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace quillan {

namespace {

constexpr const char* kCaption = "Programming";
constexpr int kBlocks = 20;
constexpr int kBlockSize = 256;

void say(const Session& session, const std::string& text) {
    if (session.messages)
        session.messages(Message{text, kCaption, MessageIcon::None});
}

// The read-back reports one step a byte; shown one step a block, so that
// the bar ends at 20 after programming and verifying alike.
ProgressSink blockProgress(const ProgressSink& bytes) {
    return ProgressSink{[bytes](int) { bytes.start(kBlocks); },
                        [bytes](int position) { bytes.position(position / kBlockSize); }};
}

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x77073096u);

bool verify(Session& session, const ProgramOptions& options, ProgramReport& report) {
    if (options.verifying)
        options.verifying();
    LinkContext ctx = linkContext(session);
    ctx.progress = blockProgress(session.progress);
    EepromImage readBack = session.image;
    std::string versionText;
    if (const Outcome read = readFound(ctx, report.device, readBack, versionText); !read) {
        showOutcome(session.messages, read);
        say(session, "Programming failed\nThe keyboard could not be read back.");
        return false;
    }
    report.verification = Verification::Verified;
    compareTransfer(session.image, readBack, report);
    if (report.mismatchCount == 0)
        return true;
    report.result = ProgramResult::Mismatch;
    say(session, "Programming failed\n" + mismatchText(report));
    return false;
}

} // namespace

uint32_t crc32(const uint8_t* data, size_t length) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i)
        c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void compareTransfer(const EepromImage& sent, const EepromImage& read, ProgramReport& report) {
    report.mismatches.clear();
    report.mismatchCount = 0;
    for (int address = 0; address < kTransferBytes; ++address) {
        if (sent.bytes[address] == read.bytes[address])
            continue;
        if (report.mismatchCount++ < kShownMismatches)
            report.mismatches.push_back({address, sent.bytes[address], read.bytes[address]});
    }
}

namespace {

bool wasCancelled(const Session& session) {
    return session.cancelled && session.cancelled();
}

// Download and read-back on the device found; fills the report's result.
void downloadAndVerify(Session& session, const ProgramOptions& options, LinkContext& ctx,
                       ProgramReport& report) {
    const Outcome sent = programFound(ctx, report.device, session.image);
    report.crc = crc32(session.image.bytes.data(), kTransferBytes);
    if (!sent) {
        showOutcome(session.messages, sent);
        const bool cancelled = wasCancelled(session);
        report.result = cancelled ? ProgramResult::Cancelled : ProgramResult::Failed;
        say(session, cancelled ? "Programming failed\nCancelled." : "Programming failed");
        return;
    }
    report.result = ProgramResult::Passed;
    if (!isKeyboard(report.device))
        report.verification = Verification::ProgrammingDevice;
    else if (options.verify && !verify(session, options, report) &&
             report.result != ProgramResult::Mismatch)
        report.result = wasCancelled(session) ? ProgramResult::Cancelled : ProgramResult::Failed;
}

} // namespace

ProgramReport programAndVerify(Session& session, const ProgramOptions& options) {
    LinkContext ctx = linkContext(session);
    FoundDevice device;
    if (!FindKeyboard(ctx, device)) {
        sayNoKeyboard(session, kCaption);
        ProgramReport report;
        report.result = ProgramResult::NoDevice;
        return report;
    }
    return programAndVerifyFound(session, device, session.keyboardVersion, options);
}

ProgramReport programAndVerifyFound(Session& session, const FoundDevice& device, uint32_t version,
                                    const ProgramOptions& options) {
    ProgramReport report;
    const auto start = std::chrono::steady_clock::now();
    session.keyboardVersion = version;
    report.device = device;
    report.version = version;
    LinkContext ctx = linkContext(session);
    downloadAndVerify(session, options, ctx, report);
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

std::string mismatchText(const ProgramReport& report) {
    std::string text;
    char line[64];
    for (const ByteMismatch& m : report.mismatches) {
        std::snprintf(line, sizeof line, "Verify failed at %04X: wrote %02X, read %02X\n",
                      m.address, m.wrote, m.read);
        text += line;
    }
    std::snprintf(line, sizeof line, "%d byte%s differ%s", report.mismatchCount,
                  report.mismatchCount == 1 ? "" : "s", report.mismatchCount == 1 ? "s" : "");
    return text + line;
}

std::string programSummary(const ProgramReport& report) {
    const char* verified = "not verified";
    if (report.verification == Verification::Verified)
        verified = "verified";
    else if (report.verification == Verification::ProgrammingDevice)
        verified = "not verified (programming device)";
    char text[128];
    std::snprintf(text, sizeof text, "%s programmed in %.1f s, %s",
                  versionLabel(report.version).c_str(), report.seconds, verified);
    return text;
}

} // namespace quillan
