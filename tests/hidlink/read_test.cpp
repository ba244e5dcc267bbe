#include "link_test_support.h"

#include <cerrno>
#include <cstring>

namespace quillan::test {
namespace {

bool readBack(Bench& bench, EepromImage& image, std::string& versionText) {
    LinkContext ctx = bench.context();
    return bench.shown(ReadKeyboard(ctx, image, versionText));
}

// Fills a keyboard's EEPROM with a pattern and reads it back.
class EachProduct : public ::testing::TestWithParam<uint16_t> {};

TEST_P(EachProduct, ReadsTheTransferRangeBack) {
    Bench bench;
    SimKeyboard& keyboard = bench.sim.add(makeSimKeyboard(GetParam()));
    const EepromImage pattern = patternImage();
    std::copy(pattern.bytes.begin(), pattern.bytes.end(), keyboard.eeprom.begin());

    EepromImage image; // all 00
    image.bytes[0x1400] = 0x5A;
    image.prefixSwapped = true;
    std::string versionText;
    ASSERT_TRUE(readBack(bench, image, versionText));
    EXPECT_TRUE(
        std::equal(image.bytes.begin(), image.bytes.begin() + 0x1400, pattern.bytes.begin()));
    EXPECT_EQ(image.bytes[0x1400], 0x5A); // beyond the range: untouched
    EXPECT_FALSE(image.prefixSwapped);
    EXPECT_EQ(versionText, "V0001"); // no product string: the version
    EXPECT_EQ(bench.ranges, std::vector<int>{5120});
    EXPECT_EQ(bench.positions.size(), 5120u);
    EXPECT_EQ(bench.positions.back(), 5120);
    EXPECT_EQ(keyboard.readsAnswered(), 5120);
    EXPECT_EQ(keyboard.writesStored(), 0); // reading never writes
    EXPECT_TRUE(bench.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Products, EachProduct,
                         ::testing::Values(0x1000, 0x1001, 0x100A, 0x100B, 0x100C));

TEST(ReadKeyboard, RequestsCarryTheReadFlagAndTheCurrentByte) {
    Bench feature;
    feature.sim.add(makeSimKeyboard(0x100B));
    EepromImage image = patternImage();
    std::string text;
    ASSERT_TRUE(readBack(feature, image, text));
    const std::vector<Transfer>& sent = feature.transfers();
    ASSERT_EQ(sent.size(), 2u * 5120);
    const uint8_t last = patternImage().bytes[0x13FF];
    EXPECT_EQ(sent[0].op, Op::SetFeature);
    EXPECT_EQ(sent[0].bytes, bytes({3, 0, 0x80, patternImage().bytes[0], 0xAA}));
    EXPECT_EQ(sent[1].op, Op::GetFeature);
    EXPECT_EQ(sent[1].bytes.size(), 5u);
    EXPECT_EQ(sent[2 * 5119].bytes, bytes({3, 255, 0x80 + 19, last, 0xAA}));

    Bench output;
    output.sim.add(makeSimKeyboard(0x1000));
    ASSERT_TRUE(readBack(output, image, text));
    const std::vector<Transfer>& written = output.transfers();
    ASSERT_EQ(written.size(), 2u * 5120);
    EXPECT_EQ(written[0].op, Op::Write);
    EXPECT_EQ(written[0].bytes.size(), 4u);
    EXPECT_EQ(written[1].op, Op::Read);
    EXPECT_EQ(written[1].bytes, bytes({3, 0, 0x80, 0xFF})); // blank EEPROM answers FF
}

TEST(ReadKeyboard, VersionTextIsTheProductStringStart) {
    Bench bench;
    bench.sim.add(makeSimKeyboard(0x100C)).productString = u"K0412 keyboard";
    EepromImage image;
    std::string text;
    ASSERT_TRUE(readBack(bench, image, text));
    EXPECT_EQ(text, "K0412");
}

TEST(ReadKeyboard, FailedTransfersLeaveTheImageAlone) {
    Bench bench;
    SimKeyboard& keyboard = bench.sim.add(makeSimKeyboard(0x100B));
    keyboard.faults.failEveryNth = 1001;
    const EepromImage before = patternImage();
    EepromImage image = before;
    std::string text;
    EXPECT_FALSE(readBack(bench, image, text));
    EXPECT_EQ(image.bytes, before.bytes);
    ASSERT_EQ(bench.messages.size(), 1u); // the first failure only
    EXPECT_EQ(bench.messages[0].text, "Error : 5 , " + std::string(std::strerror(EIO)));
    EXPECT_EQ(bench.messages[0].caption, "Reading");
}

TEST(ReadKeyboard, UnpluggedKeyboardEndsTheReadAtOnce) {
    Bench bench;
    bench.sim.add(makeSimKeyboard(0x1000)).faults.unplugAfterTransfers = 300;
    EepromImage image = patternImage();
    std::string text;
    EXPECT_FALSE(readBack(bench, image, text));
    EXPECT_LT(bench.transfers().size(), 320u);
    EXPECT_EQ(image.bytes, patternImage().bytes);
}

TEST(ReadKeyboard, NothingToReadFrom) {
    Bench none;
    EepromImage image;
    std::string text;
    EXPECT_FALSE(readBack(none, image, text));
    ASSERT_EQ(none.messages.size(), 1u);
    EXPECT_EQ(none.messages[0].text, "Didn't find keyboard!");
    EXPECT_EQ(none.messages[0].caption, "Reading");

    Bench programmer; // cannot read back: false without a message
    programmer.sim.add(std::make_unique<SimProgrammer>(412));
    EXPECT_FALSE(readBack(programmer, image, text));
    EXPECT_TRUE(programmer.messages.empty());
    EXPECT_TRUE(programmer.transfers().empty());

    Bench refused;
    refused.sim.add(makeSimKeyboard(0x1001)).faults.refuseOpen = true;
    EXPECT_FALSE(readBack(refused, image, text));
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_EQ(refused.messages[0].text, "Error : 13 , " + std::string(std::strerror(EACCES)));
}

// Product 1000 accepted at member 1 (no input or output reports): 4-byte
// feature requests whose first byte is 0, answered by 4-byte get-feature.
class ShortFeatureKeyboard : public HidDevice {
  public:
    explicit ShortFeatureKeyboard(std::vector<Transfer>& log, uint16_t vendor)
        : log_(log), vendor_(vendor) {}
    bool getAttributes(uint16_t& v, uint16_t& p, uint16_t& r) override {
        v = vendor_;
        p = 0x1000;
        r = 1;
        return true;
    }
    bool getCaps(HidCaps& caps) override {
        caps = HidCaps{0xA5, 0xFFA0, 0, 0, 4};
        return true;
    }
    bool getProductString(std::u16string&) override { return false; }
    bool setFeature(const uint8_t* data, size_t length) override {
        log_.push_back({Op::SetFeature, {data, data + length}, true});
        address_ = (data[2] & 0x7F) * 256 + data[1];
        return true;
    }
    bool getFeature(uint8_t* data, size_t length) override {
        log_.push_back({Op::GetFeature, {data, data + length}, true});
        data[3] = static_cast<uint8_t>(address_ ^ 0x5A);
        return true;
    }
    bool write(const uint8_t*, size_t) override { return false; }
    bool read(uint8_t*, size_t, int) override { return false; }
    int lastErrorCode() const override { return 0; }
    std::string lastErrorText() const override { return ""; }

  private:
    std::vector<Transfer>& log_;
    uint16_t vendor_;
    int address_ = 0;
};

class ShortFeatureBus : public HidBackend {
  public:
    std::vector<HidInterfaceEntry> enumerate() override {
        return {{"other", 0x1111, 0x1000, 1, 0, ""}, {"keyboard", 0x04B4, 0x1000, 1, 0, ""}};
    }
    std::unique_ptr<HidDevice> open(const std::string& path) override {
        return std::make_unique<ShortFeatureKeyboard>(log, path == "keyboard" ? 0x04B4 : 0x1111);
    }
    int lastErrorCode() const override { return 0; }
    std::string lastErrorText() const override { return ""; }
    std::vector<Transfer> log;
};

TEST(ReadKeyboard, Product1000FeaturePathUsesFourBytesWithReportByteZero) {
    ShortFeatureBus bus;
    uint32_t version = 0;
    CountingClock clock;
    LinkContext ctx{bus, version, {}, &clock};
    EepromImage image = patternImage();
    std::string text;
    ASSERT_TRUE(ReadKeyboard(ctx, image, text));
    ASSERT_EQ(bus.log.size(), 2u * 5120);
    EXPECT_EQ(bus.log[0].bytes, bytes({0, 0, 0x80, patternImage().bytes[0]}));
    EXPECT_EQ(bus.log[1].bytes.size(), 4u);
    EXPECT_EQ(image.bytes[0x1234], (0x1234 ^ 0x5A) & 0xFF);

    bus.log.clear();
    ASSERT_TRUE(ProgramKeyboard(ctx, image));
    ASSERT_EQ(bus.log.size(), 5120u);
    EXPECT_EQ(bus.log.back().bytes, bytes({3, 255, 19, image.bytes[0x13FF]}));
}

} // namespace
} // namespace quillan::test
