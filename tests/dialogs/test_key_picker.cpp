// The key picker window driven with synthetic key events and its controls.
#include "dialogs/key_picker_window.h"

#include "dialog_test_support.h"
#include "model/catalogue.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>

using namespace quillan;
using quillan::test::click;
using quillan::test::sendKey;

namespace {
const QString kEmpty7 = QStringLiteral("\t\t\t\t\t\t\t");
constexpr int kEvdevLeftCtrl = 29, kEvdevA = 30, kEvdevRightShift = 54, kEvdevLeftAlt = 56;
constexpr int kEvdevPrintScreen = 99;
} // namespace

class KeyPickerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Fixture> f;
    std::unique_ptr<KeyPickerWindow> picker;

    QListWidget* list() { return controlById<QListWidget>(picker.get(), PICKER_LIST); }
    bool checked(int id) { return controlById<QCheckBox>(picker.get(), id)->isChecked(); }

  private slots:
    void init() {
        f = std::make_unique<test::Fixture>();
        picker = std::make_unique<KeyPickerWindow>(f->ctx->def, f->ctx->log);
        picker->showForLayer(2, 3, 0);
    }
    void cleanup() {
        picker.reset();
        f.reset();
    }

    void controlsStandWhereTheyBelong() {
        int controls = 0;
        for (QWidget* child : picker->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            controls += child->objectName().toInt() > 0;
        QCOMPARE(controls, 32); // with the eight consumer and system buttons and the headings
        QCOMPARE(picker->windowTitle(), QStringLiteral("Key Macro Tool"));
        QCOMPARE(list()->geometry(), QRect(10, 30, 500, 208)); // headings above it
        QCOMPARE(controlById<QLabel>(picker.get(), PICKER_TYPED_CHARACTER)->geometry(),
                 QRect(10, 265, 300, 15));
        QCOMPARE(controlById<QWidget>(picker.get(), PICKER_SHIFT_RIGHT)->geometry(),
                 QRect(620, 150, 80, 20));
        QCOMPARE(controlById<QAbstractButton>(picker.get(), PICKER_REPEAT_OFF)->text(),
                 QStringLiteral("Repeat Off"));
    }

    void leftCtrlThenA() {
        sendKey(picker.get(), true, Qt::Key_Control, kEvdevLeftCtrl, Qt::ControlModifier);
        QVERIFY(checked(PICKER_CTRL_LEFT));
        sendKey(picker.get(), true, Qt::Key_A, kEvdevA, Qt::ControlModifier, QStringLiteral("a"));
        sendKey(picker.get(), false, Qt::Key_A, kEvdevA, Qt::ControlModifier, QStringLiteral("a"));
        QCOMPARE(picker->lines(), QStringList{QStringLiteral("IBM Key 31\t\tCtrl l\t\t\t\t\t")});
        QCOMPARE(controlById<QLabel>(picker.get(), PICKER_TYPED_CHARACTER)->text(),
                 QStringLiteral("a"));
        sendKey(picker.get(), false, Qt::Key_Control, kEvdevLeftCtrl);
        QVERIFY(!checked(PICKER_CTRL_LEFT));
    }

    void altHeldWhileTyping() {
        sendKey(picker.get(), true, Qt::Key_Alt, kEvdevLeftAlt, Qt::AltModifier);
        QVERIFY(checked(PICKER_ALT));
        sendKey(picker.get(), true, Qt::Key_A, kEvdevA, Qt::AltModifier);
        sendKey(picker.get(), false, Qt::Key_A, kEvdevA, Qt::AltModifier);
        sendKey(picker.get(), false, Qt::Key_Alt, kEvdevLeftAlt);
        QCOMPARE(picker->lines(), QStringList{QStringLiteral("IBM Key 31\tAlt\t\t\t\t\t\t")});
        QVERIFY(!checked(PICKER_ALT));
    }

    void printScreenOnRelease() {
        sendKey(picker.get(), true, Qt::Key_Print, kEvdevPrintScreen);
        QVERIFY(picker->lines().isEmpty());
        sendKey(picker.get(), false, Qt::Key_Print, kEvdevPrintScreen);
        QCOMPARE(picker->lines(), QStringList{"IBM Key 124" + kEmpty7});
    }

    void selectingALineSetsTheToggles() {
        click(picker.get(), PICKER_SHIFT_LEFT);
        QVERIFY(checked(PICKER_SHIFT_LEFT));
        sendKey(picker.get(), true, Qt::Key_Shift, kEvdevRightShift, Qt::ShiftModifier);
        sendKey(picker.get(), true, Qt::Key_A, kEvdevA, Qt::ShiftModifier, QStringLiteral("A"));
        sendKey(picker.get(), false, Qt::Key_Shift, kEvdevRightShift);
        click(picker.get(), PICKER_SHIFT_LEFT); // off again
        picker->command(PICKER_MUTE);           // no button: still handled
        QCOMPARE(picker->lines(), (QStringList{QStringLiteral("IBM Key 31\t\t\tShift l\t\t\t\t"),
                                               "Mute" + kEmpty7}));

        // A line naming "Shift r" in column 3: right on, left off.
        list()->item(0)->setText(QStringLiteral("IBM Key 31\t\t\tShift r\t\t\t\t"));
        list()->setCurrentRow(0);
        QVERIFY(checked(PICKER_SHIFT_RIGHT));
        QVERIFY(!checked(PICKER_SHIFT_LEFT));

        // Flipping a toggle rewrites the selected line in place.
        click(picker.get(), PICKER_BASE);
        QCOMPARE(list()->item(0)->text(), QStringLiteral("IBM Key 31\t\t\tShift r\tBase\t\t\t"));
        QCOMPARE(list()->currentRow(), 0);
        click(picker.get(), PICKER_DELETE);
        QCOMPARE(picker->lines(), QStringList{"Mute" + kEmpty7});
    }

    void okWritesTheLayerAndCancelDoesNot() {
        int assigned = 0;
        picker->setAssignedHandler([&] { ++assigned; });
        click(picker.get(), PICKER_FN1);
        click(picker.get(), PICKER_CANCEL);
        QVERIFY(!picker->isVisible());
        QCOMPARE(f->def->cell(2, 3).layers[0].keytype, UNUSED_KEY);
        QCOMPARE(assigned, 0);

        picker->showForLayer(2, 3, 0); // the cancelled lines are gone
        QVERIFY(picker->lines().isEmpty());
        click(picker.get(), PICKER_VOLUME_UP);
        click(picker.get(), PICKER_OK);
        QVERIFY(!picker->isVisible());
        QCOMPARE(assigned, 1);
        const LayerAssignment& layer = f->def->cell(2, 3).layers[0];
        QCOMPARE(layer.ibmkey, 144);
        QCOMPARE(layer.keytype, CONSUMER_KEY);
        QVERIFY(f->log->captured().find("$ bIBMKey = 144\n") != std::string::npos);

        picker->showForLayer(2, 3, 0);
        QCOMPARE(picker->lines(), QStringList{"Volume up" + kEmpty7});
    }

    // Every consumer and system row has a button, and the same keys pressed
    // on the keyboard add their rows rather than letter keys.
    void mediaAndSystemKeys_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("evdev");
        QTest::addColumn<QString>("name");
        QTest::newRow("power") << 35150 << int(Qt::Key_PowerOff) << 116 << "System power";
        QTest::newRow("sleep") << 35151 << int(Qt::Key_Sleep) << 142 << "System sleep";
        QTest::newRow("wake") << 35152 << int(Qt::Key_WakeUp) << 143 << "System wake";
        QTest::newRow("next") << 35153 << int(Qt::Key_MediaNext) << 163 << "Next track";
        QTest::newRow("prev") << 35154 << int(Qt::Key_MediaPrevious) << 165 << "Prev track";
        QTest::newRow("stop") << 35155 << int(Qt::Key_MediaStop) << 166 << "Stop";
        QTest::newRow("play") << 35156 << int(Qt::Key_MediaTogglePlayPause) << 164 << "Play-Pause";
        QTest::newRow("mute") << 35157 << int(Qt::Key_VolumeMute) << 113 << "Mute";
        QTest::newRow("up") << 35158 << int(Qt::Key_VolumeUp) << 115 << "Volume up";
        QTest::newRow("down") << 35159 << int(Qt::Key_VolumeDown) << 114 << "Volume down";
    }
    void mediaAndSystemKeys() {
        QFETCH(int, id);
        QFETCH(int, qtKey);
        QFETCH(int, evdev);
        QFETCH(QString, name);
        auto* button = controlById<QAbstractButton>(picker.get(), id);
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->text(), name);
        button->click();
        sendKey(picker.get(), true, qtKey, evdev);
        sendKey(picker.get(), false, qtKey, evdev);
        sendKey(picker.get(), true, qtKey, 0); // a synthetic event without a scan code
        QCOMPARE(picker->lines(), QStringList({name + kEmpty7, name + kEmpty7, name + kEmpty7}));
        QVERIFY(findRowByName(name.toLatin1().constData()) > 0);
    }

    // What a line's key is shows beside it; the line text stays as it is.
    void linesShowWhatTheKeyIs() {
        sendKey(picker.get(), true, Qt::Key_A, kEvdevA);
        sendKey(picker.get(), true, Qt::Key_F4, 62);
        click(picker.get(), PICKER_MIDDLE_MOUSE);
        QCOMPARE(picker->lines(), (QStringList{"IBM Key 31" + kEmpty7, "IBM Key 115" + kEmpty7,
                                               "Middle Mouse Button" + kEmpty7}));
        QCOMPARE(list()->item(0)->toolTip(), QStringLiteral("IBM Key 31 (A)"));
        QCOMPARE(list()->item(1)->toolTip(), QStringLiteral("IBM Key 115 (F4)"));
        QCOMPARE(list()->item(2)->toolTip(), QStringLiteral("Middle Mouse Button"));
        for (int i = 0; i < 40; ++i)
            click(picker.get(), PICKER_FN1);
        picker->show();
        QTest::qWait(1);
        const QRect last = list()->visualItemRect(list()->item(list()->count() - 1));
        QVERIFY(last.top() >= 0 && last.bottom() <= list()->viewport()->height()); // scrolled
        QVERIFY(controlById<QWidget>(picker.get(), PICKER_HEADINGS) != nullptr);
    }

    // OK ticks "Used" of a layer that gets a key and clears it for "No Key".
    void okMarksTheLayerUsed() {
        click(picker.get(), PICKER_FN2);
        click(picker.get(), PICKER_OK);
        QCOMPARE(f->def->cell(2, 3).layers[0].used, uint8_t{1});
        picker->showForLayer(2, 3, 0);
        click(picker.get(), PICKER_CLEAR);
        click(picker.get(), PICKER_OK);
        QCOMPARE(f->def->cell(2, 3).layers[0].keytype, UNUSED_KEY);
        QCOMPARE(f->def->cell(2, 3).layers[0].used, uint8_t{0});
    }

    void overlongStringIsRefusedAndTheWindowStays() {
        for (int i = 0; i < 448; ++i)
            picker->command(PICKER_LEFT_MOUSE);
        click(picker.get(), PICKER_OK);
        QCOMPARE(MessageBox::shown().size(), size_t{1});
        QVERIFY(MessageBox::shown()[0].text.find("447") != std::string::npos);
        QVERIFY(picker->isVisible());
        QCOMPARE(f->def->cell(2, 3).layers[0].keytype, UNUSED_KEY);
        QCOMPARE(f->def->NumberOfStrings, 0);
    }
};

QTEST_MAIN(KeyPickerTest)
#include "test_key_picker.moc"
