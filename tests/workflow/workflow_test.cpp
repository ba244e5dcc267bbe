// The shared workflows on the simulated bus: program and verify on every
// product, a corrupted byte, serial numbers, and production runs with their
// log (consecutive serials, CRCs, FAIL, resume, refusal, interruption).
#include "workflow_fixture.h"

#include <atomic>
#include <cerrno>
#include <cstring>

TEST_F(WorkflowTest, EveryProductIsProgrammedAndVerifiedWhereItCanBeRead) {
    struct Case {
        const char* kind;
        Verification verification;
    };
    for (const Case c : {Case{"keyboard-1000", Verification::Verified},
                         Case{"keyboard-1001", Verification::Verified},
                         Case{"keyboard-100A", Verification::Verified},
                         Case{"keyboard-100B", Verification::Verified},
                         Case{"keyboard-100C", Verification::Verified},
                         Case{"programmer-0411", Verification::ProgrammingDevice},
                         Case{"programmer-0412", Verification::ProgrammingDevice}}) {
        SCOPED_TRACE(c.kind);
        SimBackend& sim = use(c.kind);
        const ProgramReport report = programDefinition();
        EXPECT_EQ(report.result, ProgramResult::Passed);
        EXPECT_EQ(report.verification, c.verification);
        EXPECT_EQ(report.mismatchCount, 0);
        EXPECT_EQ(report.crc, crc32(session_.image.bytes.data(), kTransferBytes));
        EXPECT_TRUE(std::equal(session_.image.bytes.begin(),
                               session_.image.bytes.begin() + kTransferBytes,
                               sim.primary()->eeprom.begin()));
        EXPECT_NE(programSummary(report).find(c.verification == Verification::Verified
                                                  ? ", verified"
                                                  : ", not verified (programming device)"),
                  std::string::npos);
    }
    use("keyboard-100B");
    EXPECT_EQ(programSummary(programDefinition(false)).substr(5),
              " programmed in 0.0 s, not verified")
        << "V0001 and the time";
}

TEST_F(WorkflowTest, ACorruptedByteFailsTheVerification) {
    for (const char* kind : {"keyboard-1000", "keyboard-100B"}) {
        for (int address : {0x000, 0x123, 0x630, 0x13FF}) {
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(address));
            use(kind).primary()->faults.corruptAddress = address;
            messages_.clear();
            const ProgramReport report = programDefinition();
            ASSERT_EQ(report.result, ProgramResult::Mismatch);
            ASSERT_EQ(report.mismatchCount, 1);
            const ByteMismatch m = report.mismatches[0];
            EXPECT_EQ(m.address, address);
            EXPECT_EQ(m.wrote, session_.image.bytes[address]);
            EXPECT_EQ(m.read, m.wrote ^ 1);
            char line[64];
            std::snprintf(line, sizeof line, "Verify failed at %04X: wrote %02X, read %02X\n",
                          address, m.wrote, m.read);
            const std::string expected =
                std::string("Programming failed\n") + line + "1 byte differs\n";
            EXPECT_EQ(messages_.substr(messages_.size() - expected.size()), expected);
        }
    }
    // No keyboard: nothing to verify.
    session_.backend = std::make_shared<SimBackend>();
    EXPECT_EQ(programDefinition().result, ProgramResult::NoDevice);
}

TEST_F(WorkflowTest, MismatchTextShowsTheFirstTenAndCountsAll) {
    EepromImage sent, read;
    for (int i = 0; i < 25; ++i)
        read.bytes[i * 7] = 0x5A;
    read.bytes[kTransferBytes] = 1; // beyond what travels
    ProgramReport report;
    compareTransfer(sent, read, report);
    EXPECT_EQ(report.mismatchCount, 25);
    const std::string text = mismatchText(report);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kShownMismatches);
    EXPECT_EQ(text.substr(0, 40), "Verify failed at 0000: wrote 00, read 5A");
    EXPECT_NE(text.find("Verify failed at 003F:"), std::string::npos);
    EXPECT_EQ(text.find("Verify failed at 0046:"), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind('\n') + 1), "25 bytes differ");
}

TEST_F(WorkflowTest, SerialNumbersCountInTheirWidth) {
    struct Case {
        const char* serial;
        const char* next; // nullptr: refused
    };
    for (const Case c : {Case{"QX-0009", "QX-0010"}, Case{"QX-0010", "QX-0011"}, Case{"7", "8"},
                         Case{"A0199", "A0200"}, Case{"QX-9999", nullptr}, Case{"9", nullptr},
                         Case{"QX", nullptr}, Case{"", nullptr}, Case{"12AB", nullptr}}) {
        std::string next;
        EXPECT_EQ(nextSerial(c.serial, next), c.next != nullptr) << c.serial;
        if (c.next) {
            EXPECT_EQ(next, c.next);
        }
    }
    // The serial goes where a build puts it.
    ASSERT_TRUE(loadDefinition(session_, "def.dat"));
    session_.controls.serialNumber = "QX-0042";
    ASSERT_TRUE(buildDefinition(session_, false));
    EepromImage built = session_.image;
    setImageSerial(session_.image, "SOMETHING-MUCH-LONGER-0001");
    setImageSerial(session_.image, "QX-0042");
    EXPECT_EQ(session_.image.bytes, built.bytes);
}

TEST_F(WorkflowTest, ProductionRunLogsConsecutivePassesWithTheirCrcs) {
    SimBackend& sim = use("keyboard-100B");
    const ProduceResult result =
        produce(session_, {"def.dat", "QX-0009", 3, "run.csv", true}, line(sim));
    EXPECT_EQ(result.end, ProduceEnd::Done);
    EXPECT_EQ(result.passed, 3);
    const std::vector<std::string> lines = logLines("run.csv");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], kProductionLogHeader);
    const char* serials[] = {"QX-0009", "QX-0010", "QX-0011"};
    for (int i = 0; i < 3; ++i) {
        // The reservation before the unit, its result after it.
        char expected[128];
        std::snprintf(expected, sizeof expected, "%s,04B4:100B,V0001,STARTED,0.0,0,%08X,no",
                      serials[i], imageCrcWithSerial(serials[i]));
        EXPECT_EQ(fieldsAfterTime(lines[2 * i + 1]), expected);
        std::snprintf(expected, sizeof expected, "%s,04B4:100B,V0001,PASS,0.0,0,%08X,yes",
                      serials[i], imageCrcWithSerial(serials[i]));
        EXPECT_EQ(fieldsAfterTime(lines[2 * i + 2]), expected);
        EXPECT_EQ(lines[2 * i + 2][10], 'T') << "ISO 8601 time first";
    }
    // Each unit was a fresh device holding its own serial.
    EXPECT_EQ(sim.devices().size(), 4u);
    const auto* third = dynamic_cast<SimEepromDevice*>(sim.devices()[3].get());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&third->eeprom[kSerialNumberAddress])),
              "QX-0011");
}

TEST_F(WorkflowTest, AFailKeepsTheSerialAndAResumeSkipsWhatPassed) {
    SimBackend& sim = use("keyboard-1000");
    ProduceResult result =
        produce(session_, {"def.dat", "S-08", 2, "run.csv", true}, line(sim, {{2, 0x100}}));
    EXPECT_EQ(result.end, ProduceEnd::Done);
    EXPECT_EQ(result.failed, 1);
    std::vector<std::string> lines = logLines("run.csv");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(fieldsAfterTime(lines[2]).substr(0, 25), "S-08,04B4:1000,V0001,PASS");
    EXPECT_EQ(fieldsAfterTime(lines[4]).substr(0, 25), "S-09,04B4:1000,V0001,FAIL");
    EXPECT_EQ(lines[4].substr(lines[4].size() - 15, 2), ",1") << "one mismatching byte";
    EXPECT_EQ(fieldsAfterTime(lines[6]).substr(0, 25), "S-09,04B4:1000,V0001,PASS");
    EXPECT_EQ(texts_[1], "S-09 FAIL: verify mismatch at 0100");

    // Without --serial: after the highest PASS. With one that passed: skipped.
    for (const char* first : {"", "S-08"}) {
        SCOPED_TRACE(first);
        result = produce(session_, {"def.dat", first, 1, "run.csv", true}, line(sim));
        EXPECT_EQ(result.end, ProduceEnd::Done);
    }
    lines = logLines("run.csv");
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(fieldsAfterTime(lines[8]).substr(0, 10), "S-10,04B4:");
    EXPECT_EQ(fieldsAfterTime(lines[10]).substr(0, 10), "S-11,04B4:");
}

TEST_F(WorkflowTest, BadSerialsAndLogsAreRefusedBeforeAnythingIsProgrammed) {
    SimBackend& sim = use("keyboard-100B");
    std::ofstream("foreign.csv") << "not,a,production,log\n";
    struct Case {
        const char* serial;
        int count;
        const char* log;
        ProduceEnd end;
    };
    for (const Case c :
         {Case{"QX", 0, "", ProduceEnd::Refused}, Case{"QX-9999", 0, "", ProduceEnd::Refused},
          Case{"QX-9998", 3, "", ProduceEnd::Refused}, Case{"A,01", 0, "", ProduceEnd::Refused},
          Case{"", 0, "empty.csv", ProduceEnd::Refused},
          Case{"QX-0001", 0, "foreign.csv", ProduceEnd::Failed},
          Case{"QX-0001", 0, "no/such/dir.csv", ProduceEnd::Failed}}) {
        SCOPED_TRACE(c.serial);
        messages_.clear();
        const ProduceResult result =
            produce(session_, {"def.dat", c.serial, c.count, c.log, true}, line(sim));
        EXPECT_EQ(result.end, c.end);
        EXPECT_FALSE(messages_.empty());
    }
    EXPECT_EQ(sim.openCount(), 0);
    EXPECT_EQ(logLines("foreign.csv").size(), 1u);
}

TEST_F(WorkflowTest, InterruptionEndsBetweenUnitsOrAbortsTheUnit) {
    SimBackend& sim = use("keyboard-100B");
    // Ctrl+C once the first unit passed, while nobody plugs in the next: a
    // clean end.
    ProduceHooks hooks = line(sim);
    const auto plug = hooks.unitWanted;
    hooks.unitWanted = [&plug](int unit) {
        if (unit == 1)
            plug(unit);
    };
    hooks.unitDone = [](int, const std::string&) {}; // nobody unplugs it
    std::atomic<bool> interrupt = false;
    const auto tell = hooks.event;
    hooks.event = [&](const UnitEvent& e) {
        tell(e);
        interrupt = interrupt || e.state == UnitState::Pass;
    };
    hooks.stop = [&interrupt] { return interrupt.load(); };
    ProduceResult result = produce(session_, {"def.dat", "U-1", 0, "run.csv", true}, hooks);
    EXPECT_EQ(result.end, ProduceEnd::Stopped);
    EXPECT_EQ(result.passed, 1);

    // Ctrl+C in the middle of the next download: FAIL, whole lines only.
    hooks = line(sim);
    std::atomic<int> asked = 0;
    hooks.cancelled = [&asked] { return ++asked > 3000; };
    hooks.stop = [&asked] { return asked > 3000; };
    result = produce(session_, {"def.dat", "", 0, "run.csv", true}, hooks);
    EXPECT_EQ(result.end, ProduceEnd::Aborted);
    const std::vector<std::string> lines = logLines("run.csv");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(fieldsAfterTime(lines[4]).substr(0, 8), "U-2,04B4");
    EXPECT_NE(lines[4].find(",FAIL,"), std::string::npos);
    EXPECT_EQ(texts_.back(), "U-2 FAIL: cancelled");
    std::ifstream in("run.csv", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all.back(), '\n');
}

TEST_F(WorkflowTest, TheFileNameFieldIsTheSavedNameCutTo31Characters) {
    const std::string long40(40, 'n');
    const std::string umlauts = std::string(30, 'a') + "\xC3\xA4\xC3\xB6"; // 32 characters
    struct Case {
        std::string name, field;
    };
    for (const Case& c : {Case{"x.dat", "x.dat"}, Case{long40, long40.substr(0, 31)},
                          Case{umlauts, umlauts.substr(0, 32)}, Case{"", ""}})
        EXPECT_EQ(fileNameField(c.name), c.field) << c.name;

    // The command line saves under the base name, the window under the name
    // typed: for the same name both give the same bytes.
    fs::create_directories("sub");
    ASSERT_TRUE(saveDefinitionNamed(session_, "sub/same.dat", baseName("sub/same.dat")));
    ASSERT_TRUE(saveDefinitionNamed(session_, "same.dat", "same.dat"));
    const auto bytes = [](const char* path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(bytes("sub/same.dat"), bytes("same.dat"));
    EXPECT_EQ(session_.controls.fileName, "same.dat");
}

TEST_F(WorkflowTest, JsonExportAndImportGiveBackTheDefinition) {
    session_.controls.fileName = "exported.dat";
    ASSERT_TRUE(exportJson(session_, "d.json"));
    const std::string saved = encodeSettings(session_.def, session_.controls);
    const auto pointing = session_.def.pointingBlock;

    startSession(session_);
    session_.def.pointingBlock[0] ^= 0xFF;
    PortableDefinition document;
    ASSERT_TRUE(importJson(session_, "d.json", &document));
    EXPECT_EQ(session_.controls.fileName, "exported.dat");
    EXPECT_EQ(session_.def.pointingBlock, pointing);
    EXPECT_EQ(document.settings, saved);
    EXPECT_EQ(encodeSettings(session_.def, session_.controls), saved);

    // Refusals are returned, not shown, and leave the session alone.
    struct Case {
        const char* path;
        const char* message;
    };
    messages_.clear();
    for (const Case c : {Case{"nope.json", "cannot open nope.json"},
                         Case{"def.dat", "def.dat is a settings file, not a JSON definition"}}) {
        const Outcome read = importJson(session_, c.path);
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.message.text, c.message);
        EXPECT_EQ(session_.controls.fileName, "exported.dat");
    }
    EXPECT_EQ(messages_, "");
}

// The link's own words come first, once, then the step's.
TEST_F(WorkflowTest, TheLinksFailuresAreShownOnceBeforeTheStepsOwnWords) {
    const std::string noRead = "No keyboard detected or Upload not supported!\n";
    const std::string eio = "Error : 5 , " + std::string(std::strerror(EIO)) + "\n";
    const std::string eacces = "Error : 13 , " + std::string(std::strerror(EACCES)) + "\n";
    struct Case {
        const char* kind; // "" for an empty bus
        bool refuseOpen;
        int failEveryNth;
        bool read;
        std::string expected;
    };
    const Case cases[] = {
        {"keyboard-100B", true, 0, false,
         "Couldn.t creat Handle to keyboard!\nProgramming failed\n"},
        {"keyboard-100B", false, 1, false, "Programming failed\n"},
        {"keyboard-100B", true, 0, true, eacces + noRead},
        {"keyboard-100B", false, 1, true, eio + noRead},
        {"", false, 0, true, "Didn't find keyboard!\n" + noRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + (c.read ? " read" : " program"));
        if (*c.kind) {
            SimEepromDevice* device = use(c.kind).primary();
            device->faults.refuseOpen = c.refuseOpen;
            device->faults.failEveryNth = c.failEveryNth;
        } else {
            session_.backend = std::make_shared<SimBackend>();
        }
        ASSERT_TRUE(loadDefinition(session_, "def.dat"));
        ASSERT_TRUE(buildDefinition(session_, false));
        messages_.clear();
        std::string versionText;
        if (c.read)
            EXPECT_FALSE(readBack(session_, versionText, nullptr));
        else
            EXPECT_NE(programAndVerify(session_, {}).result, ProgramResult::Passed);
        EXPECT_EQ(messages_, c.expected);
    }
}
