#include "cli/session.h"

#include "cli/commands.h"
#include "eeprom/image_files.h"
#include "model/settings_file.h"

#include <filesystem>

namespace quillan::cli {

Session::Session() {
    initStartupDefinition(def, controls);
    if (log.open("qnlog.txt"))
        log.writeStartLine();
}

std::string baseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

bool loadDefinition(Session& session, const std::string& file) {
    if (!loadSettings(session.def, session.controls, file, stderrSink()).loaded)
        return false;
    unpackStrings(session.def);
    session.controls.fileName = baseName(file);
    return true;
}

bool buildDefinition(Session& session, bool writeFiles) {
    const BuildResult result =
        buildImage(session.def, session.controls, session.image, session.log, writeFiles);
    if (!result.ok)
        stderrSink()({result.message, result.caption, MessageIcon::Error});
    return result.ok;
}

bool saveDefinition(Session& session, const std::string& file) {
    session.controls.fileName = baseName(file);
    return saveSettings(session.def, session.controls, file, stderrSink());
}

bool refillAndSave(Session& session, const std::string& file) {
    resetMatrix(session.def);
    clearStringDefinitions(session.def, true);
    refillFromImage(session.def, session.controls, session.image, session.log);
    if (!writeReadbackDump(session.image))
        stderrSink()({"Could not write eepraw.txt", "Reading", MessageIcon::Warning});
    return saveDefinition(session, file);
}

} // namespace quillan::cli
