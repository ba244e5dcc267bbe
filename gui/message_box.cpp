#include "gui/message_box.h"

#include "gui/modal.h"

#include <QPointer>
#include <deque>

namespace quillan {

namespace {

struct TestState {
    bool on = false;
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<Message> shown;
};

TestState& testState() {
    static TestState state;
    return state;
}

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QMessageBox::StandardButton MessageBox::show(QWidget* parent, const QString& text,
                                             const QString& caption, MessageIcon icon,
                                             QMessageBox::StandardButtons buttons) {
    TestState& state = testState();
    if (state.on) {
        state.shown.push_back(Message{text.toStdString(), caption.toStdString(), icon});
        if (state.answers.empty())
            return QMessageBox::Ok;
        const QMessageBox::StandardButton answer = state.answers.front();
        state.answers.pop_front();
        return answer;
    }
    QMessageBox box(boxIcon(icon), caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(runModal(box));
}

void MessageBox::setTestMode(bool on) {
    TestState& state = testState();
    state.on = on;
    state.answers.clear();
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer) {
    testState().answers.push_back(answer);
}

const std::vector<Message>& MessageBox::shown() {
    return testState().shown;
}

void MessageBox::clearShown() {
    testState().shown.clear();
}

MessageSink MessageBox::sinkFor(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [owner](const Message& message) {
        show(owner.data(), QString::fromStdString(message.text),
             QString::fromStdString(message.caption), message.icon);
    };
}

} // namespace quillan
