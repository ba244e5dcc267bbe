// What the application would own for one run of a command: a workflow
// session at its start-up state, messages on standard error, the log
// "qnlog.txt" opened; and the load, build and save steps as the main
// window's buttons run them.
#pragma once

#include "cli/terminal_progress.h"
#include "workflow/session.h"

#include <string>

namespace quillan::cli {

struct Session : quillan::Session {
    Session();                    // start-up state, log opened with its start line
    TerminalProgress progressBar; // what a device command shows its transfers on
};

using quillan::baseName;

// Loads as the Load button does: the file, then the string slots; the
// file-name field shows the loaded file's name without its folder.
bool loadDefinition(Session& session, const std::string& file);
// Builds the image; a refused build is reported on standard error.
BuildResult buildDefinition(Session& session, bool writeFiles);
// Saves as the Save button does: the chosen name goes into the file-name field.
bool saveDefinition(Session& session, const std::string& file);
// After a read-back: replaces the definition with what session.image holds,
// writes "eepraw.txt" and saves the result as file.
bool refillAndSave(Session& session, const std::string& file);

} // namespace quillan::cli
