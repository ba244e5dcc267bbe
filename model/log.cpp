#include "model/log.h"

#include <cstdarg>
#include <ctime>

namespace quillan {

bool Log::open(const std::string& path, bool append) {
    return file_.open(path, append ? "a" : "w");
}

void Log::writeStartLine() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    trace("Started at %s \n", local ? std::asctime(local) : "(unknown time)\n");
}

void Log::close() {
    file_.reset();
}

void Log::flush() {
    if (file_)
        std::fflush(file_.get());
}

void Log::trace(const char* format, ...) {
    if (!file_ && !capture_)
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0)
        return;
    if (file_)
        std::fputs(buffer, file_.get());
    if (capture_)
        captured_ += buffer;
}

} // namespace quillan
