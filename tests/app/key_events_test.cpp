// Qt key events -> key messages: the evdev tables and the key data word.
#include "app/string_table.h"
#include "gui/key_events.h"

#include <QKeyEvent>
#include <QtTest>

using namespace quillan;

namespace {

constexpr uint32_t kPrevious = 1u << 30;
constexpr uint32_t kRelease = 1u << 31;
constexpr uint32_t kAlt = 1u << 29;
constexpr uint32_t kExtended = 1u << 24;

uint32_t data(int scan, uint32_t flags = 0) {
    return 1u | (uint32_t(scan) << 16) | flags;
}

QKeyEvent nativeEvent(QEvent::Type type, int qtKey, int evdev, bool autoRepeat = false,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return QKeyEvent(type, qtKey, modifiers, quint32(evdev + 8), 0, 0, QString(), autoRepeat);
}

} // namespace

class KeyEventsTest : public QObject {
    Q_OBJECT
  private slots:
    void mainBlockScanCodesEqualEvdevCodes() {
        // evdev numbers the keys of the main block and keypad as scan set 1 does.
        for (int evdev = 1; evdev <= 83; ++evdev) {
            const ScanSet1Code code = scanSet1FromEvdev(evdev);
            QCOMPARE(int(code.code), evdev);
            QCOMPARE(code.extended, evdev == 69); // Num Lock comes extended
            QVERIFY2(virtualKeyFromEvdev(evdev) != 0, qPrintable(QString::number(evdev)));
            QVERIFY(virtualKeyNameId(virtualKeyFromEvdev(evdev)) != IDS_UNDEFINED_KEY);
        }
    }

    void translationTable_data() {
        QTest::addColumn<int>("evdev");
        QTest::addColumn<int>("scan");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("virtualKey");
        QTest::newRow("A") << 30 << 0x1E << false << 65;
        QTest::newRow("1") << 2 << 0x02 << false << 49;
        QTest::newRow("Escape") << 1 << 0x01 << false << 27;
        QTest::newRow("left Ctrl") << 29 << 0x1D << false << 17;
        QTest::newRow("right Ctrl") << 97 << 0x1D << true << 17;
        QTest::newRow("left Alt") << 56 << 0x38 << false << 18;
        QTest::newRow("right Alt") << 100 << 0x38 << true << 18;
        QTest::newRow("keypad Enter") << 96 << 0x1C << true << 13;
        QTest::newRow("keypad /") << 98 << 0x35 << true << 111;
        QTest::newRow("Pause") << 119 << 0x45 << false << 19;
        QTest::newRow("Print Screen") << 99 << 0x37 << true << 44;
        QTest::newRow("Home") << 102 << 0x47 << true << 36;
        QTest::newRow("Delete") << 111 << 0x53 << true << 46;
        QTest::newRow("key 102") << 86 << 0x56 << false << 226;
        QTest::newRow("F11") << 87 << 0x57 << false << 122;
        QTest::newRow("F12") << 88 << 0x58 << false << 123;
        QTest::newRow("F13") << 183 << 0x64 << false << 124;
        QTest::newRow("F24") << 194 << 0x76 << false << 135;
        QTest::newRow("left Windows") << 125 << 0x5B << true << 91;
        QTest::newRow("Mute") << 113 << 0x20 << true << 173;
        QTest::newRow("unknown") << 240 << 0 << false << 0;
        QTest::newRow("outside") << -1 << 0 << false << 0;
    }
    void translationTable() {
        QFETCH(int, evdev);
        QFETCH(int, scan);
        QFETCH(bool, extended);
        QFETCH(int, virtualKey);
        QCOMPARE(int(scanSet1FromEvdev(evdev).code), scan);
        QCOMPARE(scanSet1FromEvdev(evdev).extended, extended);
        QCOMPARE(int(virtualKeyFromEvdev(evdev)), virtualKey);
    }

    void pressRepeatRelease() {
        KeyEventTranslator translator;
        KeyMessage m = translator.translate(nativeEvent(QEvent::KeyPress, Qt::Key_A, 30), true);
        QCOMPARE(m.kind, KeyMessageKind::KeyDown);
        QCOMPARE(m.virtualKey, 65u);
        QCOMPARE(m.keyData, data(0x1E));
        m = translator.translate(nativeEvent(QEvent::KeyPress, Qt::Key_A, 30, true), true);
        QCOMPARE(m.keyData, data(0x1E, kPrevious));
        QCOMPARE(m.repeatCount(), 1);
        m = translator.translate(nativeEvent(QEvent::KeyRelease, Qt::Key_A, 30), false);
        QCOMPARE(m.kind, KeyMessageKind::KeyUp);
        QCOMPARE(m.keyData, data(0x1E, kPrevious | kRelease));
    }

    void altMakesSystemKeys() {
        KeyEventTranslator t;
        KeyMessage m = t.translate(nativeEvent(QEvent::KeyPress, Qt::Key_Alt, 56), true);
        QCOMPARE(m.kind, KeyMessageKind::SysKeyDown);
        QCOMPARE(m.keyData, data(0x38, kAlt));
        m = t.translate(nativeEvent(QEvent::KeyPress, Qt::Key_A, 30), true);
        QCOMPARE(m.kind, KeyMessageKind::SysKeyDown);
        QCOMPARE(m.keyData, data(0x1E, kAlt));
        m = t.translate(nativeEvent(QEvent::KeyRelease, Qt::Key_A, 30), false);
        QCOMPARE(m.kind, KeyMessageKind::SysKeyUp);
        QCOMPARE(m.keyData, data(0x1E, kAlt | kPrevious | kRelease));
        // Alt released after another key: a plain key-up without Alt context.
        m = t.translate(nativeEvent(QEvent::KeyRelease, Qt::Key_Alt, 56), false);
        QCOMPARE(m.kind, KeyMessageKind::KeyUp);
        QCOMPARE(m.keyData, data(0x38, kPrevious | kRelease));
    }

    void altAloneAndRightAlt() {
        KeyEventTranslator t;
        KeyMessage m = t.translate(nativeEvent(QEvent::KeyPress, Qt::Key_AltGr, 100), true);
        QCOMPARE(m.kind, KeyMessageKind::SysKeyDown);
        QCOMPARE(m.keyData, data(0x38, kAlt | kExtended));
        QVERIFY(m.extended());
        m = t.translate(nativeEvent(QEvent::KeyRelease, Qt::Key_AltGr, 100), false);
        QCOMPARE(m.kind, KeyMessageKind::SysKeyUp);
        QCOMPARE(m.keyData, data(0x38, kExtended | kPrevious | kRelease));
    }

    void ctrlAltAndF10() {
        KeyEventTranslator t;
        t.translate(nativeEvent(QEvent::KeyPress, Qt::Key_Control, 29), true);
        t.translate(nativeEvent(QEvent::KeyPress, Qt::Key_Alt, 56), true);
        KeyMessage m = t.translate(nativeEvent(QEvent::KeyPress, Qt::Key_A, 30), true);
        QCOMPARE(m.kind, KeyMessageKind::KeyDown);
        QVERIFY(m.altHeld());

        KeyEventTranslator plain;
        m = plain.translate(nativeEvent(QEvent::KeyPress, Qt::Key_F10, 68), true);
        QCOMPARE(m.kind, KeyMessageKind::SysKeyDown);
        QVERIFY(!m.altHeld());
    }

    void syntheticEventsUseTheQtKey() {
        KeyEventTranslator t;
        QKeyEvent withAlt(QEvent::KeyPress, Qt::Key_Q, Qt::AltModifier);
        KeyMessage m = t.translate(withAlt, true);
        QCOMPARE(m.kind, KeyMessageKind::SysKeyDown);
        QCOMPARE(m.keyData, data(0x10, kAlt));
        QKeyEvent keypad(QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier);
        QCOMPARE(t.translate(keypad, true).scanCode(), 0x4C);
        QKeyEvent digit(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier);
        QCOMPARE(t.translate(digit, true).scanCode(), 0x06);
        QCOMPARE(evdevFromQtKey(Qt::Key_Right, false), 106);
        QCOMPARE(evdevFromQtKey(Qt::Key_F24, false), 194);
        QCOMPARE(evdevFromQtKey(Qt::Key_Launch0, false), 0);
    }
};

QTEST_MAIN(KeyEventsTest)
#include "key_events_test.moc"
