// Program keyboard and Read keyboard: image bytes 0000..13FF, 20 blocks of
// 256 bytes, sent to the keyboard one byte per report (or four bytes per
// report through the programming device) and read back one byte per request.
#include "hidlink/link.h"
#include "hidlink/products.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace quillan {
namespace {

constexpr int kBlocks = 20;
constexpr int kBlockSize = 256;
static_assert(kBlocks * kBlockSize == kTransferBytes);
constexpr int kProgrammerBytesPerReport = 4;
constexpr int64_t kKeyboardGapUs = 2000;
constexpr int64_t kProgrammerGapUs = 10000;
constexpr int kReadTimeoutMs = 1000;
// A device that fails this many transfers in a row is taken as gone.
constexpr int kGiveUpAfterFailures = 8;

constexpr uint8_t kRequestReportId = 3;
constexpr uint8_t kRequestMarker = 0xAA;
constexpr uint8_t kReadFlag = 0x80;

// Programming devices below this version take the Prefix table with bits 4
// and 5 of every byte exchanged.
constexpr uint32_t kUnswappedPrefixVersion =
    usbProduct(kProgrammerVendorId, kProgrammerProductId)->prefixExchangedBelow;

constexpr const char* kProgrammingCaption = "Programming";
constexpr const char* kReadingCaption = "Reading";

SendPath sendPathFor(const FoundDevice& found) {
    const UsbProduct* product = usbProduct(found.vendorId, found.productId);
    return product ? sendPathAt(*product, found.memberIndex) : SendPath::Feature;
}

GapClock& clockOf(const LinkContext& ctx) {
    return ctx.clock ? *ctx.clock : realClock();
}

Outcome refused(const std::string& text, const char* caption) {
    return Outcome::failure(text, caption);
}

// A transfer that failed or was cancelled: the caller says what it means.
Outcome untold() {
    return Outcome::failure({});
}

Outcome told(bool ok) {
    return ok ? Outcome::success() : untold();
}

// Counts failed transfers; tells when the device has to be taken as gone.
class FailureCount {
  public:
    // Returns false once too many transfers failed in a row.
    bool record(bool ok) {
        if (ok) {
            run_ = 0;
            return true;
        }
        ++total_;
        return ++run_ < kGiveUpAfterFailures;
    }
    bool any() const { return total_ > 0; }

  private:
    int total_ = 0;
    int run_ = 0;
};

bool cancelled(const LinkContext& ctx) {
    return ctx.cancelled && ctx.cancelled();
}

bool sendKeyboardReport(HidDevice& device, SendPath path, const std::array<uint8_t, 5>& report) {
    switch (path) {
    case SendPath::OutputReport:
        return device.write(report.data(), 4);
    case SendPath::ShortFeature:
        return device.setFeature(report.data(), 4);
    case SendPath::Feature:
    case SendPath::Programmer:
        break;
    }
    return device.setFeature(report.data(), report.size());
}

Outcome downloadToKeyboard(LinkContext& ctx, const FoundDevice& found, const EepromImage& image) {
    std::unique_ptr<HidDevice> device = ctx.backend.open(found.path);
    if (!device)
        return refused("Couldn.t creat Handle to keyboard!", kProgrammingCaption);
    GapClock& clock = clockOf(ctx);
    const SendPath path = sendPathFor(found);
    FailureCount failures;
    ctx.progress.start(kBlocks);
    for (int block = 0; block < kBlocks; ++block) {
        for (int address = 0; address < kBlockSize; ++address) {
            const std::array<uint8_t, 5> report{
                kRequestReportId, static_cast<uint8_t>(address), static_cast<uint8_t>(block),
                image.bytes[block * kBlockSize + address], kRequestMarker};
            const bool sent = sendKeyboardReport(*device, path, report);
            clock.waitMicroseconds(kKeyboardGapUs);
            if (!failures.record(sent) || cancelled(ctx))
                return untold();
        }
        ctx.progress.position(block + 1);
    }
    return told(!failures.any());
}

} // namespace

void exchangePrefixBits(EepromImage& image) {
    for (int i = kPrefixTable; i < kPrefixTable + kTableSize; ++i) {
        const uint8_t old = image.bytes[i];
        image.bytes[i] =
            static_cast<uint8_t>((old & 0xCF) | ((old & 0x20) >> 1) | ((old & 0x10) << 1));
    }
}

void matchPrefixToVersion(EepromImage& image, uint32_t version) {
    const bool wantSwapped = version < kUnswappedPrefixVersion;
    if (image.prefixSwapped != wantSwapped) {
        exchangePrefixBits(image);
        image.prefixSwapped = wantSwapped;
    }
}

namespace {

Outcome downloadThroughProgrammer(LinkContext& ctx, const FoundDevice& found, EepromImage& image) {
    matchPrefixToVersion(image, ctx.keyboardVersion);
    std::unique_ptr<HidDevice> device = ctx.backend.open(found.path);
    if (!device)
        return refused("Couldn.t creat Handle to keyboard!", kProgrammingCaption);
    GapClock& clock = clockOf(ctx);
    FailureCount failures;
    ctx.progress.start(kBlocks);
    for (int block = 0; block < kBlocks; ++block) {
        for (int address = 0; address < kBlockSize; address += kProgrammerBytesPerReport) {
            std::array<uint8_t, 7> report{0, static_cast<uint8_t>(address),
                                          static_cast<uint8_t>(block)};
            std::memcpy(&report[3], &image.bytes[block * kBlockSize + address],
                        kProgrammerBytesPerReport);
            const bool sent = device->setFeature(report.data(), report.size());
            clock.waitMicroseconds(kProgrammerGapUs);
            if (!failures.record(sent) || cancelled(ctx))
                return untold();
        }
        ctx.progress.position(block + 1);
    }
    return told(!failures.any());
}

// One read request; byte 3 of the answer is the image byte.
bool readByte(HidDevice& device, SendPath path, int n, uint8_t current, uint8_t& value) {
    std::array<uint8_t, 5> request{kRequestReportId, static_cast<uint8_t>(n % kBlockSize),
                                   static_cast<uint8_t>(n / kBlockSize | kReadFlag), current,
                                   kRequestMarker};
    std::array<uint8_t, 5> answer = request;
    bool ok = false;
    switch (path) {
    case SendPath::OutputReport:
        ok = device.write(request.data(), 4) && device.read(answer.data(), 4, kReadTimeoutMs);
        break;
    case SendPath::ShortFeature:
        request[0] = 0;
        answer[0] = 0;
        ok = device.setFeature(request.data(), 4) && device.getFeature(answer.data(), 4);
        break;
    case SendPath::Feature:
    case SendPath::Programmer: // never asked to read
        ok = device.setFeature(request.data(), request.size()) &&
             device.getFeature(answer.data(), answer.size());
        break;
    }
    if (ok)
        value = answer[3];
    return ok;
}

// The first five characters of the product string (low byte of each);
// the version label when the keyboard has no product string.
std::string keyboardVersionText(HidDevice& device, uint32_t version) {
    std::u16string text;
    if (!device.getProductString(text) || text.empty() || text[0] == 0)
        return versionLabel(version);
    std::string shown;
    for (size_t i = 0; i < text.size() && i < 5 && text[i] != 0; ++i)
        shown += static_cast<char>(text[i] & 0xFF);
    return shown;
}

Outcome readError(int code) {
    char text[512];
    std::snprintf(text, sizeof text, "Error : %d , %s", code, std::strerror(code));
    return refused(text, kReadingCaption);
}

Outcome readFromKeyboard(LinkContext& ctx, const FoundDevice& found, EepromImage& image,
                         std::string& versionText) {
    std::unique_ptr<HidDevice> device = ctx.backend.open(found.path);
    if (!device)
        return readError(ctx.backend.lastErrorCode());
    versionText = keyboardVersionText(*device, ctx.keyboardVersion);
    const SendPath path = sendPathFor(found);
    // Read into a copy so that a failed read leaves the caller's image alone.
    EepromImage copy = image;
    FailureCount failures;
    Outcome firstError = untold(); // the one failure told; later ones are not
    ctx.progress.start(kTransferBytes);
    for (int n = 0; n < kTransferBytes; ++n) {
        const bool ok = readByte(*device, path, n, copy.bytes[n], copy.bytes[n]);
        if (!ok && !failures.any())
            firstError = readError(device->lastErrorCode());
        if (!failures.record(ok) || cancelled(ctx))
            return firstError;
        ctx.progress.position(n + 1);
    }
    if (failures.any())
        return firstError;
    image.bytes = copy.bytes;
    image.prefixSwapped = false; // as the keyboard holds it
    return Outcome::success();
}

} // namespace

bool isProgrammer(const FoundDevice& found) {
    const UsbProduct* product = usbProduct(found.vendorId, found.productId);
    return product && product->kind == ProductKind::Programmer;
}

bool isKeyboard(const FoundDevice& found) {
    const UsbProduct* product = usbProduct(found.vendorId, found.productId);
    return product && product->kind == ProductKind::Keyboard;
}

Outcome ProgramKeyboard(LinkContext& ctx, EepromImage& image) {
    FoundDevice found;
    if (!FindKeyboard(ctx, found))
        return refused("Didn't find keyboard!", kProgrammingCaption);
    return programFound(ctx, found, image);
}

Outcome programFound(LinkContext& ctx, const FoundDevice& found, EepromImage& image) {
    if (isKeyboard(found))
        return downloadToKeyboard(ctx, found, image);
    if (isProgrammer(found))
        return downloadThroughProgrammer(ctx, found, image);
    return refused("No keyboard identified ?!", kProgrammingCaption);
}

Outcome ReadKeyboard(LinkContext& ctx, EepromImage& image, std::string& versionText) {
    FoundDevice found;
    if (!FindKeyboard(ctx, found))
        return refused("Didn't find keyboard!", kReadingCaption);
    return readFound(ctx, found, image, versionText);
}

Outcome readFound(LinkContext& ctx, const FoundDevice& found, EepromImage& image,
                  std::string& versionText) {
    if (!isKeyboard(found))
        return untold(); // the programming device cannot read back
    return readFromKeyboard(ctx, found, image, versionText);
}

} // namespace quillan
