// The trace log "qnlog.txt": plain formatted-print lines written by the
// builder and the dialogs. Owned by the application and passed by reference.
// A log that could not be opened, or was never opened, swallows every trace.
#pragma once

#include "model/owned_file.h"

#include <string>

namespace quillan {

class Log {
  public:
    Log() = default;

    // Opens path for text writing, truncating it or (append) adding to it;
    // false when it cannot be opened.
    bool open(const std::string& path, bool append = false);
    // Writes the start-up line "Started at <asctime>" followed by " \n".
    void writeStartLine();
    void close();
    bool isOpen() const { return static_cast<bool>(file_); }
    void flush();

    // printf-style trace; a line without "\n" is continued by the next trace.
    void trace(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Collects traces in memory as well (tests read them back).
    void captureToString(bool on) { capture_ = on; }
    const std::string& captured() const { return captured_; }
    void clearCaptured() { captured_.clear(); }

  private:
    OwnedFile file_;
    bool capture_ = false;
    std::string captured_;
};

} // namespace quillan
