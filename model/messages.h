// How the core shows the user a message: the GUI puts it in a message box,
// the command-line tool prints "Caption: text" to standard error.
#pragma once

#include <functional>
#include <string>

namespace quillan {

enum class MessageIcon { None, Information, Warning, Error };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
};

using MessageSink = std::function<void(const Message&)>;

// What a core step that can be refused or fail gives back: ok, or the
// message that says why (its text and caption as the user is shown them).
// Steps that return more than that derive from it (BuildResult).
struct Outcome {
    bool ok = true;
    Message message; // empty when ok

    static Outcome success() { return {}; }
    static Outcome failure(std::string text, std::string caption = {},
                           MessageIcon icon = MessageIcon::None) {
        return {false, Message{std::move(text), std::move(caption), icon}};
    }
    explicit operator bool() const { return ok; }
};

} // namespace quillan
