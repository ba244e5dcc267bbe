// The assertion reporter: tells the user where a failed check happened and
// asks whether to stop.
#pragma once

namespace quillan {

// Shows "File <file>, Line <line>" with caption "Assertion Failed!" and the
// buttons Abort, Retry and Ignore, owned by the active window. Returns true
// when the caller is to stop the process (Abort or Retry).
bool reportAssertion(const char* file, int line);

// Ends the process after a failed check the user chose not to ignore.
[[noreturn]] void fatalExit();

} // namespace quillan
