#include "cli/session.h"

#include "cli/commands.h"

namespace quillan::cli {

Session::Session() {
    startSession(*this);
    messages = stderrSink();
    openLog(*this);
}

bool loadDefinition(Session& session, const std::string& file) {
    return quillan::loadDefinition(session, file);
}

BuildResult buildDefinition(Session& session, bool writeFiles) {
    return quillan::buildDefinition(session, writeFiles);
}

bool saveDefinition(Session& session, const std::string& file) {
    return saveDefinitionNamed(session, file, baseName(file));
}

bool refillAndSave(Session& session, const std::string& file) {
    const bool dumped = refillFromReadback(session);
    return saveDefinition(session, file) && dumped;
}

} // namespace quillan::cli
