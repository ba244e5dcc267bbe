// detect, program and read: the keyboard commands, on the hidapi backend or
// on a simulated device.
#include "cli/bus.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "workflow/program.h"

#include <cstdio>

namespace quillan::cli {

namespace {

int detect(Session& session) {
    if (!checkPresence(session)) {
        sayNoKeyboard(session, "Check keyboard presence");
        return kExitFailed;
    }
    std::printf("%s\n", versionLabel(session.keyboardVersion).c_str());
    return kExitOk;
}

// As "Program Keyboard": build without files, find the keyboard, download
// and verify; the result on standard output.
int program(Session& session, const Options& options) {
    if (!loadDefinition(session, options.arguments[0]) || !buildDefinition(session, false))
        return kExitFailed;
    ProgramOptions programOptions;
    programOptions.verify = !options.noVerify;
    const ProgramReport report = programAndVerify(session, programOptions);
    session.progressBar.finish();
    if (report.result == ProgramResult::Mismatch)
        return kExitVerify;
    if (!report.passed())
        return kExitFailed;
    std::printf("%s\n", programSummary(report).c_str());
    return kExitOk;
}

// As "Read Keyboard EEProm": read, and only then replace the definition.
int read(Session& session, const std::string& file) {
    std::string versionText;
    bool dumped = false;
    const bool readBack = quillan::readBack(session, versionText, &dumped);
    session.progressBar.finish();
    if (!readBack)
        return kExitFailed;
    if (!saveDefinition(session, file) || !dumped)
        return kExitFailed;
    sayKeyboardRead(session);
    return kExitOk;
}

// Opens the bus the options name, runs the command on a session attached to
// it and closes the bus again; a bus that does not close fails the command.
template <class Step> int onBus(const Options& options, Step step) {
    Bus bus;
    if (!bus.open(options))
        return kExitFailed;
    Session session;
    attachSession(session, bus, options);
    int result = step(session);
    if (!bus.close() && result == kExitOk)
        result = kExitFailed;
    return result;
}

} // namespace

int runDetect(const Options& options) {
    return onBus(options, detect);
}

int runProgram(const Options& options) {
    return onBus(options, [&](Session& session) { return program(session, options); });
}

int runRead(const Options& options) {
    return onBus(options, [&](Session& session) { return read(session, options.arguments[0]); });
}

} // namespace quillan::cli
