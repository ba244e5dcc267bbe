// The workflows of the application and of quillan-cli, written once: what a
// run works on (definition, control values, image, log, keyboard version,
// backend, clock) and the load, save, build and read-back steps as the main
// window's buttons run them. The GUI and the command-line tool only wire the
// sinks and show the results.
#pragma once

#include "eeprom/image.h"
#include "hidlink/link.h"
#include "model/definition.h"
#include "model/definition_json.h"
#include "model/file_names.h"
#include "model/log.h"
#include "model/messages.h"

#include <functional>
#include <memory>
#include <string>

namespace quillan {

struct Session {
    KeyboardDefinition def;
    ControlValues controls; // what the GUI keeps in its controls
    EepromImage image;
    Log log;
    uint32_t keyboardVersion = 0; // 0 = no keyboard found
    std::shared_ptr<HidBackend> backend;
    GapClock* clock = nullptr; // nullptr: the real clock
    MessageSink messages;
    ProgressSink progress;
    std::function<bool()> cancelled; // asked between reports
};

// The start-up state: definition and control values as the application
// starts with them, no keyboard found. The log is opened apart (openLog).
void startSession(Session& session);
// Opens (truncating) the trace log and writes its start line. A log that
// cannot be opened is said once per process on standard error; the run goes
// on without traces.
bool openLog(Session& session, const std::string& path = kLogFile);

// The link as the session drives it.
LinkContext linkContext(Session& session);

std::string baseName(const std::string& path);

// Loads a settings file and unpacks its strings; a load that fails leaves
// the session as it was. The file-name field gets the file's name.
bool loadDefinition(Session& session, const std::string& path);
// Builds the image; a refused build is shown and leaves the image alone, image
// files that could not be written are shown (filesFailed).
BuildResult buildDefinition(Session& session, bool writeFiles);
// Writes the settings file with the control values as they are.
bool saveDefinition(Session& session, const std::string& path);
// What the file-name field holds for a file saved under name: its first
// kTextSize - 1 characters (UTF-8 text, cut between characters).
std::string fileNameField(const std::string& name);
// Writes the settings file to path with the file-name field set from name
// (fileNameField) first; both front ends save through this.
bool saveDefinitionNamed(Session& session, const std::string& path, const std::string& name);

// Writes settings file bytes as they are, shown as a save is ("Saved.txt"
// from the session's definition); quillan-cli import saves through this.
bool saveSettingsImage(Session& session, const std::string& bytes, const std::string& path);

// The session's definition in its readable form, as "Export as JSON"
// writes it. Strings an edit changed but no build packed are packed first;
// when they cannot be, refused ("Not exported: …").
Outcome portableDefinition(Session& session, PortableDefinition& out);

// "Export as JSON": the settings file image as a save would write it, plus
// the pointing-device block, written to path. Strings an edit changed but no
// build packed are refused ("Not exported: …"), like a save. The refusal or
// write failure is returned for the front end to show.
Outcome exportJson(Session& session, const std::string& path);
// "Import JSON": reads the document at path and takes it as a settings file
// with the document's bytes; the file-name field gets the "file name" the
// document holds. A refusal leaves the session as it was and is returned for
// the front end to show. document (when given) gets what was read.
Outcome importJson(Session& session, const std::string& path,
                   PortableDefinition* document = nullptr);

// "Check keyboard presence": true when a keyboard or programming device was
// found (its version is then non-zero).
bool checkPresence(Session& session);
// Shows "No Keyboard Found!" under the caption of the command that looked.
void sayNoKeyboard(const Session& session, const char* caption);
// Shows "Keyboard read !": the read went through and its files are written.
void sayKeyboardRead(const Session& session);

// "Read Keyboard EEProm" after the prompt: reads the keyboard back and only
// then replaces the definition, the strings and the control values with
// what it holds and writes "eepraw.txt". versionText gets what the version
// field shows. Shows "No keyboard detected or Upload not supported!" on failure.
// dumpWritten (when given) tells whether "eepraw.txt" was written; a dump
// that could not be written is shown with the reason.
bool readBack(Session& session, std::string& versionText, bool* dumpWritten = nullptr);
// Replaces the definition with what session.image holds and writes
// "eepraw.txt"; false (shown with the reason) when the dump was not written.
bool refillFromReadback(Session& session);

} // namespace quillan
