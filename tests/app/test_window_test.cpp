// The keyboard test window: one line per key message, with the texts of
// the string table, scrolling, StopTest.
#include "app/assertion.h"
#include "app/string_table.h"
#include "app/test_window.h"
#include "gui/message_box.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QtTest>

using namespace quillan;

namespace {

void send(QWidget& window, QEvent::Type type, int qtKey, int evdev,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(type, qtKey, modifiers, quint32(evdev + 8), 0, 0);
    QApplication::sendEvent(&window, &event);
}

QStringList texts(const TestLine& line) {
    return {line.kind,
            line.keyName,
            QString::number(line.repeatCount),
            QString::number(line.scanCode),
            line.extended,
            line.context,
            line.previous,
            line.transition};
}

} // namespace

class TestWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { MessageBox::setTestMode(true); }

    void createdHiddenAtItsPlace() {
        TestWindow window;
        QCOMPARE(window.windowTitle(), QString("Test Window"));
        QVERIFY(!window.isVisible());
        QCOMPARE(window.size(), QSize(800, 300));
        auto* stop = window.findChild<QPushButton*>("35117");
        QVERIFY(stop);
        QCOMPARE(stop->text(), QString("StopTest"));
        QCOMPARE(stop->geometry(), QRect(10, 10, 100, 15));
        window.show();
        stop->click();
        QVERIFY(!window.isVisible());
    }

    void keyDownAndUpLines() {
        TestWindow window;
        send(window, QEvent::KeyPress, Qt::Key_A, 30);
        send(window, QEvent::KeyRelease, Qt::Key_A, 30);
        QCOMPARE(window.lines().size(), size_t(2));
        QCOMPARE(texts(window.lines()[0]),
                 (QStringList{"KEYDOWN", "A", "1", "30", "Not Ext", "No Alt", "Up", "Press"}));
        QCOMPARE(texts(window.lines()[1]),
                 (QStringList{"KEYUP", "A", "1", "30", "Not Ext", "No Alt", "Down", "Release"}));
    }

    void altGivesSystemKeyLines() {
        TestWindow window;
        send(window, QEvent::KeyPress, Qt::Key_Alt, 56, Qt::AltModifier);
        send(window, QEvent::KeyPress, Qt::Key_A, 30, Qt::AltModifier);
        QCOMPARE(window.lines().size(), size_t(2)); // no key-up line before the release
        QCOMPARE(texts(window.lines()[0]), (QStringList{"SYSKEYDOWN", "MENU (ALT)", "1", "56",
                                                        "Not Ext", "Alt", "Up", "Press"}));
        QCOMPARE(texts(window.lines()[1]),
                 (QStringList{"SYSKEYDOWN", "A", "1", "30", "Not Ext", "Alt", "Up", "Press"}));
        send(window, QEvent::KeyRelease, Qt::Key_A, 30, Qt::AltModifier);
        QCOMPARE(window.lines().back().kind, QString("SYSKEYUP"));
    }

    void rightAltIsExtended() {
        TestWindow window;
        send(window, QEvent::KeyPress, Qt::Key_AltGr, 100);
        QCOMPARE(texts(window.lines().back()),
                 (QStringList{"SYSKEYDOWN", "MENU (ALT)", "1", "56", "Ext", "Alt", "Up", "Press"}));
    }

    void unnamedKeyIsUndefined() {
        TestWindow window;
        send(window, QEvent::KeyPress, Qt::Key_Meta, 125); // left Windows key, code 91
        QCOMPARE(window.lines().back().keyName, QString("Undefined"));
        QCOMPARE(window.lines().back().extended, QString("Ext"));
        QString text;
        QVERIFY(stringTableText(virtualKeyNameId(255), text));
        QCOMPARE(text, QString("Undefined"));
        QCOMPARE(virtualKeyNameId(246), 362);
        QCOMPARE(virtualKeyNameId(135), 354);
    }

    void tabAndRepeatsAreListed() {
        TestWindow window;
        send(window, QEvent::KeyPress, Qt::Key_Tab, 15);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, 15 + 8, 0, 0, QString(),
                         true);
        QApplication::sendEvent(&window, &repeat);
        QCOMPARE(window.lines().size(), size_t(2));
        QCOMPARE(window.lines()[1].keyName, QString("TAB"));
        QCOMPARE(window.lines()[1].previous, QString("Down"));
        QCOMPARE(window.lines()[1].repeatCount, 1);
    }

    void keepsOnlyTheLastLines() {
        TestWindow window;
        window.show();
        for (int i = 0; i < TestWindow::kKeptLines + 10; ++i)
            send(window, QEvent::KeyPress, Qt::Key_B, 48);
        QCOMPARE(int(window.lines().size()), TestWindow::kKeptLines);
        QVERIFY(!window.grab().isNull()); // painting the scrolled lines
    }

    void columnsInThousandthsOfAnInch() {
        QCOMPARE(TestWindow::toPixels(TestWindow::kNameColumn, 96), 144);
        QCOMPARE(TestWindow::toPixels(TestWindow::kTransitionColumn, 96), 672);
        QCOMPARE(TestWindow::toPixels(TestWindow::kTransitionColumn, 120), 840);
    }

    void assertionReporter() {
        MessageBox::clearShown();
        MessageBox::setNextAnswer(QMessageBox::Ignore);
        QVERIFY(!reportAssertion("app/quillan.cpp", 42));
        MessageBox::setNextAnswer(QMessageBox::Abort);
        QVERIFY(reportAssertion("app/quillan.cpp", 43));
        MessageBox::setNextAnswer(QMessageBox::Retry);
        QVERIFY(reportAssertion("app/quillan.cpp", 44));
        QCOMPARE(MessageBox::shown().size(), size_t(3));
        QCOMPARE(MessageBox::shown()[0].text, std::string("File app/quillan.cpp, Line 42"));
        QCOMPARE(MessageBox::shown()[0].caption, std::string("Assertion Failed!"));
    }
};

QTEST_MAIN(TestWindowTest)
#include "test_window_test.moc"
