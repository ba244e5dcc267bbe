// One serial, one keyboard: the production log's damage, locking, log-ahead
// reservations and full disk, the serial rules, and the checks that catch
// a log line reported before it is on the disk.
#include "workflow_fixture.h"

#include <cerrno>
#include <tuple>
#include <unistd.h>

namespace {

class ProduceTest : public WorkflowTest {};

const std::string kHeader = std::string(kProductionLogHeader) + "\n";
const std::string kPass1 = "2026-12-08T13:26:19+00:00,QX-0001,04B4:100B,V0001,PASS,0.0,0,"
                           "00000000,yes\n";

// Serials of the PASS lines, in order.
std::vector<std::string> passes(const std::vector<std::string>& lines) {
    std::vector<std::string> serials;
    for (const std::string& line : lines)
        if (line.find(",PASS,") != std::string::npos) {
            const size_t from = line.find(',') + 1;
            serials.push_back(line.substr(from, line.find(',', from) - from));
        }
    return serials;
}

} // namespace

TEST(SerialRules, EachRuleIsNamed) {
    struct Case {
        std::string serial;
        const char* refusal; // "" : accepted
    };
    for (const Case& c :
         std::vector<Case>{{std::string(31, 'A'), ""},
                           {"Caf\xE9-01", ""}, // Latin-1 é
                           {std::string(32, 'A'), "serial too long: 32 characters, at most 31"},
                           {"QX\n01", "serial contains a control character"},
                           {"QX\t01", "serial contains a control character"},
                           {"QX\x7F"
                            "01",
                            "serial contains a control character"},
                           {"QX\x85"
                            "01",
                            "serial contains a control character"},
                           {"A,01", "serial contains a comma"}}) {
        const Outcome checked = checkSerial(c.serial);
        EXPECT_EQ(checked.message.text, c.refusal) << c.serial;
        EXPECT_EQ(bool(checked), *c.refusal == 0);
    }
}

TEST(SerialRules, CrcKnownAnswer) {
    const char* text = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
}

TEST_F(ProduceTest, ALongSerialIsRefusedNotCut) {
    SimBackend& sim = use("keyboard-100B");
    const std::string longest = "L" + std::string(29, '0') + "1";
    ProduceResult result =
        produce(session_, {"def.dat", longest + "0", 1, "run.csv", true}, line(sim));
    EXPECT_EQ(result.end, ProduceEnd::Refused);
    EXPECT_NE(messages_.find("serial too long: 32 characters, at most 31"), std::string::npos);
    EXPECT_EQ(sim.openCount(), 0);
    result = produce(session_, {"def.dat", longest, 1, "run.csv", true}, line(sim));
    ASSERT_EQ(result.end, ProduceEnd::Done);
    const auto* unit = dynamic_cast<SimEepromDevice*>(sim.devices().back().get());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&unit->eeprom[kSerialNumberAddress])),
              longest);
}

// Logs as a crash, a full disk or an older version leave them: refused by
// line number; repaired on request, with every serial they name kept used.
TEST_F(ProduceTest, DamagedLogsAreRefusedOrRepaired) {
    SimBackend& sim = use("keyboard-100B");
    const std::string old = "time,serial,device,version,result,seconds,mismatches,crc32\n";
    struct Case {
        std::string log;
        const char* refusal;
        const char* damaged; // what the side file gets
        const char* next;    // the serial a resume programs
    };
    for (const Case& c : std::vector<Case>{
             {kHeader + kPass1 + "2026-12-08T13:26:20+00:00,QX-00",
              "line 3 is cut short (no end of line)", "2026-12-08T13:26:20+00:00,QX-00\n",
              "QX-0002"},
             {kHeader + kPass1 + "2026-12-08T13:26:20+00:00,QX-0002,04B4", "line 3 is cut short",
              "2026-12-08T13:26:20+00:00,QX-0002,04B4\n", "QX-0003"},
             {kHeader + "T,QX-0002T,QX-0003,04B4:100B,V0001,PASS,0.0,0,0,yes\n" + kPass1,
              "line 2 is not a log line", "T,QX-0002T,QX-0003,04B4:100B,V0001,PASS,0.0,0,0,yes\n",
              "QX-0002"},
             {"time,serial,dev", "line 1 is cut short", "time,serial,dev\n", ""},
             {old + "T,QX-0007,04B4:100B,V0001,PASS,0.0,0,0\n", "", "", "QX-0008"}}) {
        SCOPED_TRACE(c.log);
        fs::remove("run.csv.damaged");
        std::ofstream("run.csv", std::ios::binary) << c.log;
        messages_.clear();
        ProduceResult result = produce(session_, {"def.dat", "", 1, "run.csv", true}, line(sim));
        if (*c.refusal) {
            EXPECT_EQ(result.end, ProduceEnd::Refused);
            EXPECT_NE(messages_.find(c.refusal), std::string::npos) << messages_;
            EXPECT_EQ(readWhole("run.csv"), c.log) << "untouched";
            result = produce(session_, {"def.dat", "QX-0001", 1, "run.csv", true, true}, line(sim));
            EXPECT_EQ(readWhole("run.csv.damaged"), c.damaged);
        }
        if (!*c.next)
            continue;
        EXPECT_EQ(result.end, ProduceEnd::Done) << messages_;
        const std::vector<std::string> lines = logLines("run.csv");
        EXPECT_EQ(passes(lines).back(), c.next);
        EXPECT_EQ(lines.back().size() - lines.back().rfind(",PASS,"), *c.refusal ? 24u : 20u)
            << "an older log keeps its columns";
    }
    // A cut header is repaired into a new log; the next run refuses nothing.
    std::ofstream("run.csv", std::ios::binary) << "time,serial,dev";
    EXPECT_EQ(produce(session_, {"def.dat", "QX-0001", 1, "run.csv", true, true}, line(sim)).end,
              ProduceEnd::Done);
    EXPECT_EQ(logLines("run.csv")[0], kProductionLogHeader);
}

// A STARTED line with no result: the unit may carry the serial.
TEST_F(ProduceTest, AStartedSerialWithoutResultIsUsed) {
    SimBackend& sim = use("keyboard-100B");
    const std::string started = "T,QX-0002,04B4:100B,V0001,STARTED,0.0,0,0,no\n";
    const std::string failed = "T,QX-0002,04B4:100B,V0001,FAIL,0.0,0,0,yes\n";
    struct Case {
        std::string log;
        const char* note;
        const char* next;
    };
    for (const Case& c : std::vector<Case>{
             {kHeader + kPass1 + started, "QX-0002 was started but has no result: treated as used",
              "QX-0003"},
             {kHeader + kPass1 + started + failed, "", "QX-0002"},
             {kHeader + kPass1 + started + failed + started, "was started", "QX-0003"}}) {
        std::ofstream("run.csv", std::ios::binary) << c.log;
        messages_.clear();
        ASSERT_EQ(produce(session_, {"def.dat", "", 1, "run.csv", true}, line(sim)).end,
                  ProduceEnd::Done);
        EXPECT_EQ(passes(logLines("run.csv")).back(), c.next);
        EXPECT_EQ(messages_.find("was started") != std::string::npos, *c.note != 0);
        EXPECT_NE(messages_.find(c.note), std::string::npos) << messages_;
    }
}

TEST_F(ProduceTest, ResumeSkipsEverySerialThatPassed) {
    SimBackend& sim = use("keyboard-100B");
    std::ofstream("run.csv", std::ios::binary)
        << kHeader << "T,QX-0010,04B4:100B,V0001,PASS,0.0,0,0,yes\n";
    ASSERT_EQ(produce(session_, {"def.dat", "QX-0009", 2, "run.csv", true}, line(sim)).end,
              ProduceEnd::Done);
    EXPECT_EQ(passes(logLines("run.csv")),
              (std::vector<std::string>{"QX-0010", "QX-0009", "QX-0011"}));
}

// A second run on a log that a run holds is refused at once.
TEST_F(ProduceTest, OneRunALog) {
    SimBackend& sim = use("keyboard-100B");
    ProduceHooks hooks = line(sim);
    ProduceResult second;
    std::string secondSays;
    const auto plug = hooks.unitWanted;
    hooks.unitWanted = [&](int unit) {
        Session other;
        startSession(other);
        other.backend = session_.backend;
        other.messages = [&secondSays](const Message& m) { secondSays += m.text; };
        second = produce(other, {"def.dat", "QX-0001", 1, "run.csv", true}, {});
        plug(unit);
    };
    EXPECT_EQ(produce(session_, {"def.dat", "QX-0001", 1, "run.csv", true}, hooks).end,
              ProduceEnd::Done);
    EXPECT_EQ(second.end, ProduceEnd::Refused);
    EXPECT_EQ(secondSays, "log run.csv is in use by another production run");
    EXPECT_EQ(passes(logLines("run.csv")), std::vector<std::string>{"QX-0001"});
}

// The disk refuses a write (or a sync) at the Nth log call: the log keeps
// whole lines, a serial whose reservation failed is not programmed, and a
// unit whose result was lost keeps its serial used.
TEST_F(ProduceTest, AFullDiskNeverLosesASerial) {
    SimBackend& sim = use("keyboard-100B");
    struct Case {
        int failingCall; // 2: the reservation, 3: the result (1: the header)
        bool shortWrite; // else the sync fails
        const char* says;
        int programmed;
    };
    for (const Case c :
         {Case{2, true, "Nothing programmed: serial QX-0001 could not be reserved", 0},
          Case{2, false, "Nothing programmed", 0},
          Case{3, true,
               "The keyboard with serial QX-0001 was programmed and PASSED but "
               "its result could not be logged",
               1},
          Case{3, false, "was programmed and PASSED but", 1}}) {
        fs::remove("run.csv");
        messages_.clear();
        ProduceHooks hooks = line(sim);
        int calls = 0;
        hooks.logDisk.write = [&](int fd, const char* data, unsigned long size) -> long {
            if (++calls == c.failingCall && c.shortWrite) {
                errno = ENOSPC;
                return ::write(fd, data, size / 2);
            }
            return ::write(fd, data, size);
        };
        hooks.logDisk.sync = [&](int) {
            errno = EIO;
            return calls == c.failingCall && !c.shortWrite ? -1 : 0;
        };
        const ProduceResult result =
            produce(session_, {"def.dat", "QX-0001", 1, "run.csv", true}, hooks);
        EXPECT_EQ(result.end, ProduceEnd::Failed);
        EXPECT_EQ(result.passed, 0);
        EXPECT_NE(messages_.find(c.says), std::string::npos) << messages_;
        const auto* unit = dynamic_cast<SimEepromDevice*>(sim.devices().back().get());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&unit->eeprom[kSerialNumberAddress])) ==
                      "QX-0001",
                  c.programmed == 1);
        const std::string log = readWhole("run.csv");
        EXPECT_EQ(log.back(), '\n');
        EXPECT_EQ(logLines("run.csv").size(), size_t(c.failingCall - 1));
        // A resume programs QX-0002 after a lost result, QX-0001 otherwise.
        ASSERT_EQ(produce(session_, {"def.dat", "QX-0001", 1, "run.csv", true}, line(sim)).end,
                  ProduceEnd::Done);
        EXPECT_EQ(passes(logLines("run.csv")).back(), c.programmed ? "QX-0002" : "QX-0001");
    }
}

// Every line is on the disk before the unit it logs is reported, and the
// verified column says whether the unit was read back.
TEST_F(ProduceTest, ALineIsSyncedBeforeItsUnitIsReported) {
    for (const auto& [kind, verify, verified] :
         {std::tuple{"keyboard-100B", true, "yes"}, std::tuple{"keyboard-100B", false, "no"},
          std::tuple{"programmer-0411", true, "no"}}) {
        SimBackend& sim = use(kind);
        fs::remove("run.csv");
        ProduceHooks hooks = line(sim);
        std::string synced;
        hooks.logDisk.sync = [&](int fd) {
            synced = readWhole("run.csv");
            return ::fsync(fd);
        };
        int reported = 0;
        hooks.event = [&](const UnitEvent& e) {
            if (e.state != UnitState::Pass && (e.state != UnitState::Programming || e.progress))
                return;
            ++reported;
            EXPECT_EQ(synced, readWhole("run.csv")) << "everything written is synced";
            const char* word = e.state == UnitState::Pass ? ",PASS," : ",STARTED,";
            EXPECT_NE(synced.find(word), std::string::npos);
        };
        ASSERT_EQ(produce(session_, {"def.dat", "QX-0001", 1, "run.csv", verify}, hooks).end,
                  ProduceEnd::Done);
        EXPECT_EQ(reported, 2);
        EXPECT_EQ(logLines("run.csv").back().substr(logLines("run.csv").back().rfind(',') + 1),
                  verified);
    }
}
