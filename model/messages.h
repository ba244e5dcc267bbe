// How the core shows the user a message: the GUI puts it in a message box,
// the command-line tool prints "Caption: text" to standard error.
#pragma once

#include <functional>
#include <string>
#include <vector>

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
// Steps that return more than that derive from it (BuildResult). The core
// only returns it; the workflow layer shows it (showOutcome), so that every
// front end says the same.
struct Outcome {
    bool ok = true;
    Message message; // empty when ok
    // What the step tells the user besides, shown after message: what a
    // step that went through reports ("Saved configuration file !"), or a
    // further failure of the same step.
    std::vector<Message> notes;

    static Outcome success() { return {}; }
    static Outcome failure(std::string text, std::string caption = {},
                           MessageIcon icon = MessageIcon::None) {
        Outcome refused;
        refused.ok = false;
        refused.message = Message{std::move(text), std::move(caption), icon};
        return refused;
    }
    explicit operator bool() const { return ok; }
};

// Shows an outcome: its message when it failed (a failure without text shows
// nothing), then its notes.
inline void showOutcome(const MessageSink& messages, const Outcome& outcome) {
    if (!messages)
        return;
    if (!outcome.ok && !outcome.message.text.empty())
        messages(outcome.message);
    for (const Message& note : outcome.notes)
        messages(note);
}

} // namespace quillan
