#include "app/test_window.h"

#include "app/assertion.h"
#include "app/key_check_view.h"
#include "app/string_table.h"
#include "gui/control_table.h"
#include "gui/window_placement.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <array>

namespace quillan {

namespace {

// A text of the string table; a missing one is reported, and unless the user
// ignores it the process ends (an ignored one gives an empty text).
QString tableText(int id) {
    QString text;
    if (!stringTableText(id, text) && reportAssertion(__FILE__, __LINE__))
        fatalExit();
    return text;
}

int kindStringId(KeyMessageKind kind) {
    switch (kind) {
    case KeyMessageKind::KeyDown:
        return IDS_KEYDOWN;
    case KeyMessageKind::KeyUp:
        return IDS_KEYUP;
    case KeyMessageKind::SysKeyDown:
        return IDS_SYSKEYDOWN;
    case KeyMessageKind::SysKeyUp:
        return IDS_SYSKEYUP;
    }
    return IDS_KEYDOWN;
}

} // namespace

TestLine makeTestLine(const KeyMessage& message) {
    TestLine line;
    line.kind = tableText(kindStringId(message.kind));
    line.keyName = tableText(virtualKeyNameId(static_cast<int>(message.virtualKey & 0xFF)));
    line.repeatCount = message.repeatCount();
    line.scanCode = message.scanCode();
    line.extended = tableText(message.extended() ? IDS_EXT : IDS_NOT_EXT);
    line.context = tableText(message.altHeld() ? IDS_ALT : IDS_NO_ALT);
    line.previous = tableText(message.previouslyDown() ? IDS_DOWN : IDS_UP);
    line.transition = tableText(message.released() ? IDS_RELEASE : IDS_PRESS);
    return line;
}

TestWindow::TestWindow() : QWidget(nullptr, Qt::Window) {
    QString title;
    stringTableText(IDS_TEST_TITLE, title);
    setWindowTitle(title);
    setObjectName("TestWindow");
    setGeometry(600, 50, 800, 300);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, background.color(QPalette::Base));
    setPalette(background);
    setFocusPolicy(Qt::StrongFocus);

    // clang-format off
    const std::array<ControlRow, 3> buttons = {{
        // kind              text         flags   x   y    w   h  id
        {ControlKind::Push, "StopTest",  0,      10, 10, 100, 15, kStopTestId},
        {ControlKind::Push, "Key check", 0,     120, 10, 100, 15, kKeyCheckId},
        {ControlKind::Push, "Reset",     0,     230, 10, 100, 15, kResetId},
    }};
    // clang-format on
    stopTest_ = static_cast<QPushButton*>(createControl(this, buttons[0]));
    keyCheckButton_ = static_cast<QPushButton*>(createControl(this, buttons[1]));
    reset_ = static_cast<QPushButton*>(createControl(this, buttons[2]));
    for (QPushButton* button : {stopTest_, keyCheckButton_, reset_})
        button->setFocusPolicy(Qt::NoFocus); // keys go to the window, never to a button
    connect(stopTest_, &QPushButton::clicked, this, &QWidget::hide);
    connect(keyCheckButton_, &QPushButton::clicked, this,
            [this] { showKeyCheck(!keyCheckShown()); });
    keyCheck_ = new KeyCheckView(this, def_);
    connect(reset_, &QPushButton::clicked, keyCheck_, &KeyCheckView::reset);
    showKeyCheck(false);
}

void TestWindow::showKeyCheck(bool on) {
    keyCheck_->setVisible(on);
    reset_->setVisible(on);
    keyCheckButton_->setText(on ? "Key messages" : "Key check");
    update();
}

bool TestWindow::keyCheckShown() const {
    return !keyCheck_->isHidden();
}

void TestWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    keyCheck_->setGeometry(0, kFixedStrip, width(), height() - kFixedStrip);
}

void TestWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) // opened, not restored from an icon
        resetKeyCheck();
    keepOnScreen(this);
}

void TestWindow::resetKeyCheck() {
    keyCheck_->reset();
}

void TestWindow::addKeyMessage(const KeyMessage& message) {
    lines_.push_back(makeTestLine(message));
    while (static_cast<int>(lines_.size()) > kKeptLines)
        lines_.pop_front();
    // Everything below the button strip moves up by one line.
    update(QRect(0, kFixedStrip, width(), height() - kFixedStrip));
}

bool TestWindow::event(QEvent* event) {
    // Every key, Tab and the Alt combinations included, is listed rather
    // than used for focus changes or shortcuts.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::KeyPress && !key->isAutoRepeat())
            keyCheck_->press(usageOfEvdev(evdevCodeOf(*key)));
        addKeyMessage(translator_.translate(*key, event->type() == QEvent::KeyPress));
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void TestWindow::paintEvent(QPaintEvent*) {
    if (keyCheckShown())
        return;
    QPainter painter(this);
    painter.setClipRect(QRect(0, kFixedStrip, width(), height() - kFixedStrip));
    const int newestTop = height() - toPixels(kLineHeight, logicalDpiY());
    int top = newestTop;
    for (auto line = lines_.rbegin(); line != lines_.rend(); ++line) {
        if (top + painter.fontMetrics().height() < kFixedStrip)
            break;
        drawLine(painter, *line, top);
        top -= kLineStep;
    }
}

void TestWindow::drawLine(QPainter& painter, const TestLine& line, int top) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int dpi = logicalDpiX();
    const int baseline = top + metrics.ascent();
    auto left = [&](int column, const QString& text) {
        painter.drawText(toPixels(column, dpi), baseline, text);
    };
    // Numbers end half a space before their column.
    auto right = [&](int column, int number) {
        const QString text = QString::number(number);
        const int x = toPixels(column, dpi) -
                      (metrics.horizontalAdvance(text) + metrics.horizontalAdvance(' ') / 2);
        painter.drawText(x, baseline, text);
    };
    left(kKindColumn, line.kind);
    left(kNameColumn, line.keyName);
    right(kRepeatColumn, line.repeatCount);
    right(kScanColumn, line.scanCode);
    left(kExtColumn, line.extended);
    left(kContextColumn, line.context);
    left(kPreviousColumn, line.previous);
    left(kTransitionColumn, line.transition);
}

} // namespace quillan
