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
        QCOMPARE(controls, 23);
        QCOMPARE(picker->windowTitle(), QStringLiteral("Key Macro Tool"));
        QCOMPARE(list()->geometry(), QRect(10, 10, 500, 240));
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
