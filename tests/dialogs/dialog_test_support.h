// Shared pieces of the dialog tests: a fresh definition with its context,
// synthetic key events with native scan codes, and clicks by control id.
#pragma once

#include "dialogs/dialogs.h"
#include "gui/control_table.h"
#include "gui/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <memory>

namespace quillan::test {

struct Fixture {
    Fixture() {
        def = std::make_unique<KeyboardDefinition>();
        ControlValues controls;
        initStartupDefinition(*def, controls);
        log = std::make_unique<Log>();
        log->captureToString(true);
        ctx = std::make_unique<DialogContext>(
            DialogContext{*def, *log, [this] { ++redraws; }, nullptr});
        MessageBox::setTestMode(true);
        MessageBox::clearShown();
    }
    std::unique_ptr<KeyboardDefinition> def;
    std::unique_ptr<Log> log;
    std::unique_ptr<DialogContext> ctx;
    int redraws = 0;
};

// A key press or release as the window system delivers it on Linux: the
// native scan code is the evdev code plus 8.
inline void sendKey(QWidget* target, bool press, int qtKey, int evdev,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, modifiers,
                    static_cast<quint32>(evdev + 8), 0, 0, text);
    QApplication::sendEvent(target, &event);
}

inline void click(QWidget* parent, int id) {
    auto* button = controlById<QAbstractButton>(parent, id);
    QVERIFY2(button != nullptr, qPrintable(QStringLiteral("no button %1").arg(id)));
    button->click();
}

} // namespace quillan::test
