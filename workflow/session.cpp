#include "workflow/session.h"

#include "eeprom/image_files.h"
#include "model/settings_file.h"
#include "model/string_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace quillan {

namespace {

void say(const Session& session, const std::string& text, const char* caption,
         MessageIcon icon = MessageIcon::None) {
    if (session.messages)
        session.messages(Message{text, caption, icon});
}

// Shows a refusal or failure as the step that gave it words it, and what
// else the step has to say.
void tell(const Session& session, const Outcome& outcome) {
    showOutcome(session.messages, outcome);
}

} // namespace

void startSession(Session& session) {
    initStartupDefinition(session.def, session.controls);
    session.keyboardVersion = 0;
}

bool openLog(Session& session, const std::string& path) {
    if (!session.log.open(path)) {
        // Said once per process: the program goes on without traces.
        static bool told = false;
        if (!told)
            std::fprintf(stderr, "Could not open %s: %s (no traces are written)\n", path.c_str(),
                         std::strerror(errno));
        told = true;
        return false;
    }
    session.log.writeStartLine();
    session.log.flush();
    return true;
}

LinkContext linkContext(Session& session) {
    LinkContext ctx{*session.backend, session.keyboardVersion, session.progress, session.clock};
    ctx.cancelled = session.cancelled;
    return ctx;
}

std::string baseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

bool loadDefinition(Session& session, const std::string& path) {
    const LoadResult loaded = loadSettings(session.def, session.controls, path);
    tell(session, loaded);
    if (!loaded)
        return false; // the load has unpacked the strings
    session.controls.fileName = baseName(path);
    return true;
}

BuildResult buildDefinition(Session& session, bool writeFiles) {
    const BuildResult result =
        buildImage(session.def, session.controls, session.image, session.log, writeFiles);
    session.log.flush();
    tell(session, result);
    return result;
}

bool saveDefinition(Session& session, const std::string& path) {
    const Outcome saved = saveSettings(session.def, session.controls, path);
    tell(session, saved);
    return saved.ok;
}

std::string fileNameField(const std::string& name) {
    int characters = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;
        if (startsCharacter && ++characters > kTextSize - 1)
            return name.substr(0, i);
    }
    return name;
}

bool saveDefinitionNamed(Session& session, const std::string& path, const std::string& name) {
    session.controls.fileName = fileNameField(name);
    return saveDefinition(session, path);
}

bool saveSettingsImage(Session& session, const std::string& bytes, const std::string& path) {
    const Outcome saved = writeSettingsBytes(bytes, session.def, path);
    tell(session, saved);
    return saved.ok;
}

Outcome portableDefinition(Session& session, PortableDefinition& out) {
    if (Outcome packed = packStaleStrings(session.def); !packed) {
        packed.message.text = "Not exported: " + packed.message.text;
        return packed;
    }
    out = {encodeSettings(session.def, session.controls), session.def.pointingBlock};
    return Outcome::success();
}

Outcome exportJson(Session& session, const std::string& path) {
    PortableDefinition definition;
    if (Outcome taken = portableDefinition(session, definition); !taken)
        return taken;
    return saveDefinitionJson(definition, path);
}

Outcome importJson(Session& session, const std::string& path, PortableDefinition* document) {
    PortableDefinition definition;
    if (const Outcome read = loadDefinitionJson(path, definition); !read)
        return read;
    if (!decodeSettings(session.def, session.controls, definition.settings, ""))
        return Outcome::failure(path + " does not hold a settings file image");
    session.controls.fileName = getText(session.def.header.fileName);
    session.def.pointingBlock = definition.pointingBlock;
    if (document)
        *document = std::move(definition);
    return Outcome::success();
}

bool checkPresence(Session& session) {
    LinkContext ctx = linkContext(session);
    FoundDevice found;
    FindKeyboard(ctx, found);
    return session.keyboardVersion != 0;
}

void sayNoKeyboard(const Session& session, const char* caption) {
    say(session, "No Keyboard Found!", caption);
}

void sayKeyboardRead(const Session& session) {
    say(session, "Keyboard read !", "Reading");
}

bool refillFromReadback(Session& session) {
    replaceFromImage(session.def, session.controls, session.image, session.log);
    session.log.flush();
    const Outcome dumped = writeReadbackDump(session.image);
    if (!dumped)
        say(session, dumped.message.text, "Reading", MessageIcon::Warning);
    return dumped.ok;
}

bool readBack(Session& session, std::string& versionText, bool* dumpWritten) {
    // Into a copy: a failed read leaves the image and the definition alone.
    EepromImage copy = session.image;
    LinkContext ctx = linkContext(session);
    if (const Outcome read = ReadKeyboard(ctx, copy, versionText); !read) {
        tell(session, read);
        say(session, "No keyboard detected or Upload not supported!", "Read Keyboard EEProm");
        return false;
    }
    session.image = copy;
    const bool dumped = refillFromReadback(session);
    if (dumpWritten)
        *dumpWritten = dumped;
    return true;
}

} // namespace quillan
