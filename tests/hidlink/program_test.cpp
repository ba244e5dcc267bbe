#include "link_test_support.h"

#include <algorithm>

namespace quillan::test {
namespace {

bool program(Bench& bench, EepromImage& image) {
    LinkContext ctx = bench.context();
    return bench.shown(ProgramKeyboard(ctx, image));
}

bool sameTransferRange(const std::array<uint8_t, kImageSize>& eeprom, const EepromImage& image) {
    return std::equal(image.bytes.begin(), image.bytes.begin() + 0x1400, eeprom.begin());
}

TEST(ProgramKeyboard, FeaturePathSendsEveryByteOfTheTransferRange) {
    Bench bench;
    SimKeyboard& keyboard = bench.sim.add(makeSimKeyboard(0x100B));
    EepromImage image = patternImage();
    ASSERT_TRUE(program(bench, image));

    const std::vector<Transfer>& sent = bench.transfers();
    ASSERT_EQ(sent.size(), 5120u);
    EXPECT_TRUE(std::all_of(sent.begin(), sent.end(), [](const Transfer& t) {
        return t.op == Op::SetFeature && t.bytes.size() == 5 && t.ok;
    }));
    EXPECT_EQ(sent.front().bytes, bytes({3, 0, 0, image.bytes[0], 0xAA}));
    EXPECT_EQ(sent[256 + 1].bytes, bytes({3, 1, 1, image.bytes[0x101], 0xAA}));
    EXPECT_EQ(sent.back().bytes, bytes({3, 255, 19, image.bytes[0x13FF], 0xAA}));

    EXPECT_TRUE(sameTransferRange(keyboard.eeprom, image));
    EXPECT_EQ(keyboard.eeprom[0x1400], 0xFF); // never sent
    EXPECT_EQ(bench.clock.waits, 5120);
    EXPECT_EQ(bench.clock.totalUs, 5120 * 2000);
    EXPECT_EQ(bench.ranges, std::vector<int>{20});
    std::vector<int> blocks(20);
    for (int b = 0; b < 20; ++b)
        blocks[b] = b + 1;
    EXPECT_EQ(bench.positions, blocks);
    EXPECT_TRUE(bench.messages.empty());
}

TEST(ProgramKeyboard, Product1000AtMemberZeroSendsOutputReports) {
    Bench bench;
    SimKeyboard& keyboard = bench.sim.add(makeSimKeyboard(0x1000));
    EepromImage image = patternImage();
    ASSERT_TRUE(program(bench, image));
    const std::vector<Transfer>& sent = bench.transfers();
    ASSERT_EQ(sent.size(), 5120u);
    EXPECT_EQ(sent.front().op, Op::Write);
    EXPECT_EQ(sent.front().bytes, bytes({3, 0, 0, image.bytes[0]}));
    EXPECT_EQ(sent.back().bytes, bytes({3, 255, 19, image.bytes[0x13FF]}));
    EXPECT_TRUE(sameTransferRange(keyboard.eeprom, image));
}

// Product 1000 away from member 0 or 2 is sent 4-byte feature reports,
// which this keyboard refuses: the download fails and stops early.
TEST(ProgramKeyboard, Product1000ElsewhereSendsShortFeatureReports) {
    Bench bench;
    bench.sim.add(makeSimMouse());
    bench.sim.add(makeSimKeyboard(0x1000)); // vendor collection at member 1
    EepromImage image = patternImage();
    EXPECT_FALSE(program(bench, image));
    const std::vector<Transfer>& sent = bench.transfers();
    ASSERT_FALSE(sent.empty());
    EXPECT_LT(sent.size(), 50u);
    EXPECT_EQ(sent.front().op, Op::SetFeature);
    EXPECT_EQ(sent.front().bytes, bytes({3, 0, 0, image.bytes[0]}));
}

TEST(ProgramKeyboard, ProgrammerGetsFourBytesPerReport) {
    Bench bench;
    SimProgrammer& programmer = bench.sim.add(std::make_unique<SimProgrammer>(412));
    EepromImage image = patternImage();
    ASSERT_TRUE(program(bench, image));
    const std::vector<Transfer>& sent = bench.transfers();
    ASSERT_EQ(sent.size(), 1280u);
    EXPECT_EQ(sent.front().bytes,
              bytes({0, 0, 0, image.bytes[0], image.bytes[1], image.bytes[2], image.bytes[3]}));
    EXPECT_EQ(sent.back().bytes, bytes({0, 252, 19, image.bytes[0x13FC], image.bytes[0x13FD],
                                        image.bytes[0x13FE], image.bytes[0x13FF]}));
    EXPECT_TRUE(sameTransferRange(programmer.eeprom, image));
    EXPECT_EQ(bench.clock.totalUs, 1280 * 10000);
    EXPECT_EQ(bench.positions.back(), 20);
}

// Programming devices below version 412 take bits 4 and 5 of the Prefix
// table exchanged; the image remembers which form it is in.
TEST(ProgramKeyboard, PrefixBitsFollowTheProgrammerVersion) {
    EepromImage image;
    image.bytes[0x400] = 0x10;
    image.bytes[0x401] = 0x20;
    image.bytes[0x4FF] = 0xFF;
    image.bytes[0x3FF] = 0x10; // outside the table
    image.bytes[0x500] = 0x10;

    Bench old;
    SimProgrammer& oldDevice = old.sim.add(std::make_unique<SimProgrammer>(411));
    ASSERT_TRUE(program(old, image));
    EXPECT_EQ(oldDevice.eeprom[0x400], 0x20);
    EXPECT_EQ(oldDevice.eeprom[0x401], 0x10);
    EXPECT_EQ(oldDevice.eeprom[0x4FF], 0xFF);
    EXPECT_EQ(oldDevice.eeprom[0x3FF], 0x10);
    EXPECT_EQ(oldDevice.eeprom[0x500], 0x10);
    EXPECT_TRUE(image.prefixSwapped);

    oldDevice.eeprom.fill(0);
    ASSERT_TRUE(program(old, image)); // again: still exchanged, not undone
    EXPECT_EQ(oldDevice.eeprom[0x400], 0x20);

    Bench current;
    SimProgrammer& newDevice = current.sim.add(std::make_unique<SimProgrammer>(412));
    ASSERT_TRUE(program(current, image));
    EXPECT_EQ(newDevice.eeprom[0x400], 0x10);
    EXPECT_EQ(newDevice.eeprom[0x401], 0x20);
    EXPECT_FALSE(image.prefixSwapped);

    // A keyboard takes the table as built, whatever its version.
    Bench keyboard;
    SimKeyboard& direct = keyboard.sim.add(makeSimKeyboard(0x100B, 0x0100));
    ASSERT_TRUE(program(keyboard, image));
    EXPECT_EQ(direct.eeprom[0x400], 0x10);
}

TEST(ProgramKeyboard, NothingFoundOrNotOpened) {
    Bench none;
    none.sim.add(makeSimMouse());
    EepromImage image = patternImage();
    EXPECT_FALSE(program(none, image));
    ASSERT_EQ(none.messages.size(), 1u);
    EXPECT_EQ(none.messages[0].text, "Didn't find keyboard!");
    EXPECT_EQ(none.messages[0].caption, "Programming");

    Bench refused;
    refused.sim.add(makeSimKeyboard(0x100B)).faults.refuseOpen = true;
    EXPECT_FALSE(program(refused, image));
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_EQ(refused.messages[0].text, "Couldn.t creat Handle to keyboard!");
    EXPECT_EQ(refused.messages[0].caption, "Programming");
    EXPECT_TRUE(refused.transfers().empty());
    EXPECT_TRUE(refused.ranges.empty());
}

TEST(ProgramKeyboard, UnplugMidDownloadStopsAtOnce) {
    Bench bench;
    bench.sim.add(makeSimKeyboard(0x100B)).faults.unplugAfterTransfers = 1000;
    EepromImage image = patternImage();
    EXPECT_FALSE(program(bench, image));
    const std::vector<Transfer>& sent = bench.transfers();
    EXPECT_GT(sent.size(), 1000u);
    EXPECT_LT(sent.size(), 1020u);
    ASSERT_FALSE(bench.positions.empty());
    EXPECT_EQ(bench.positions.back(), 3); // blocks 0..2 completed
}

TEST(ProgramKeyboard, OccasionalFailedSendsAreReportedButDoNotStopTheDownload) {
    Bench bench;
    SimKeyboard& keyboard = bench.sim.add(makeSimKeyboard(0x100A));
    keyboard.faults.failEveryNth = 700;
    EepromImage image = patternImage();
    EXPECT_FALSE(program(bench, image));
    EXPECT_EQ(bench.transfers().size(), 5120u);
    EXPECT_EQ(keyboard.writesStored(), 5120 - 5120 / 700);
    EXPECT_EQ(bench.positions.back(), 20);
}

TEST(ProgramKeyboard, ProgrammerThatStopsAnsweringEndsTheDownload) {
    Bench bench;
    bench.sim.add(std::make_unique<SimProgrammer>(412)).faults.unplugAfterTransfers = 10;
    EepromImage image = patternImage();
    EXPECT_FALSE(program(bench, image));
    EXPECT_LT(bench.transfers().size(), 30u);
}

} // namespace
} // namespace quillan::test
