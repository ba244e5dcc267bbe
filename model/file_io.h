// Whole-file writes that never leave a half-written file behind, and the
// conversion of texts typed on the command line or read from JSON into the
// Latin-1 bytes that the settings file, the image and the keyboard hold.
#pragma once

#include "model/messages.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillan {

// Writes bytes to path so that path is either the complete new file or
// untouched: the bytes go to a uniquely named temporary file in the target's
// folder, are flushed and synced, and the temporary file is renamed over the
// target. A symbolic link is written through to its target, whose
// permissions are kept; a new file gets the permissions the umask allows.
// On failure the temporary file is removed and the message text says why
// ("Could not write PATH: reason").
Outcome writeFileAtomically(const std::string& path, std::string_view bytes);

// Reads the whole file at path into bytes. Fails with "cannot open PATH",
// "cannot read PATH" or, beyond limit bytes, "PATH is larger than N MB".
Outcome readWholeFile(const std::string& path, std::string& bytes, size_t limit);

// Decodes UTF-8 into characters; refuses invalid UTF-8 (overlong forms,
// surrogates, cut sequences) naming the position: "invalid UTF-8 at position 2".
Outcome codePointsFromUtf8(std::string_view utf8, std::u32string& text);
// One character as UTF-8.
std::string utf8FromCodePoint(char32_t c);

// Converts UTF-8 text to Latin-1 bytes. Refuses invalid UTF-8 and every
// character above U+00FF, naming the character and its position (1-based,
// in characters): "\"€\" at position 3 is not a Latin-1 character".
Outcome latin1FromUtf8(std::string_view utf8, std::string& latin1);
// Latin-1 bytes as UTF-8 text.
std::string utf8FromLatin1(std::string_view latin1);

} // namespace quillan
