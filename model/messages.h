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

} // namespace quillan
