// What the application would own for one run of a command: the definition,
// the control values, the image and the log "qnlog.txt"; and the load, build
// and save steps as the main window's buttons run them.
#pragma once

#include "eeprom/image.h"
#include "model/definition.h"
#include "model/log.h"

#include <string>

namespace quillan::cli {

struct Session {
    KeyboardDefinition def;
    ControlValues controls;
    EepromImage image;
    Log log;

    Session(); // start-up state, log opened with its start line
};

std::string baseName(const std::string& path);

// Loads as the Load button does: the file, then the string slots; the
// file-name field shows the loaded file's name without its folder.
bool loadDefinition(Session& session, const std::string& file);
// Builds the image; a refused build is reported on standard error.
bool buildDefinition(Session& session, bool writeFiles);
// Saves as the Save button does: the chosen name goes into the file-name field.
bool saveDefinition(Session& session, const std::string& file);
// After a read-back: replaces the definition with what session.image holds,
// writes "eepraw.txt" and saves the result as file.
bool refillAndSave(Session& session, const std::string& file);

} // namespace quillan::cli
