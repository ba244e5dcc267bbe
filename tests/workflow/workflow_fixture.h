// The workflow tests' scratch directory, session on the simulated bus and
// production line of fresh units.
#pragma once

#include "hidlink/sim_backend.h"
#include "model/settings_file.h"
#include "workflow/produce.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;
using namespace quillan;

namespace {

class WorkflowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        dir_ = fs::temp_directory_path() /
               ("quillan-workflow-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
        startSession(session_);
        session_.clock = &clock_;
        session_.messages = [this](const Message& m) { messages_ += m.text + "\n"; };
        session_.def.cells[9].complete = 1; // something besides the blank matrix
        ASSERT_TRUE(saveSettings(session_.def, session_.controls, "def.dat"));
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    SimBackend& use(const std::string& kind) {
        auto sim = std::shared_ptr<SimBackend>(makeSimulatedBackend(kind));
        session_.backend = sim;
        return *sim;
    }
    ProgramReport programDefinition(bool verify = true) {
        EXPECT_TRUE(loadDefinition(session_, "def.dat"));
        EXPECT_TRUE(buildDefinition(session_, false));
        ProgramOptions options;
        options.verify = verify;
        return programAndVerify(session_, options);
    }
    // A line of fresh units like kind; unit N is given corruptAt[N] if set.
    ProduceHooks line(SimBackend& sim, std::map<int, int> corruptAt = {}) {
        sim.unplugAll();
        ProduceHooks hooks;
        hooks.unitWanted = [&sim, corruptAt](int unit) {
            SimEepromDevice* device = sim.plugFreshUnit();
            const auto found = corruptAt.find(unit);
            device->faults.corruptAddress = found == corruptAt.end() ? -1 : found->second;
        };
        hooks.unitDone = [&sim](int, const std::string&) { sim.unplugAll(); };
        hooks.pause = [this](int) { ++pauses_; };
        hooks.event = [this](const UnitEvent& e) {
            events_.push_back(e.state);
            if (!e.text.empty())
                texts_.push_back(e.text);
        };
        return hooks;
    }
    static std::vector<std::string> logLines(const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    static std::string readWhole(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // serial,device,version,result,...: the fields after the time.
    static std::string fieldsAfterTime(const std::string& line) {
        return line.substr(line.find(',') + 1);
    }
    uint32_t imageCrcWithSerial(const std::string& serial) {
        EepromImage image = session_.image;
        setImageSerial(image, serial);
        return crc32(image.bytes.data(), kTransferBytes);
    }

    fs::path previous_, dir_;
    Session session_;
    CountingClock clock_;
    std::string messages_;
    std::vector<UnitState> events_;
    std::vector<std::string> texts_; // "QX-0001 PASS: ...", "QX-0001 FAIL: ..."
    int pauses_ = 0;
};

} // namespace
