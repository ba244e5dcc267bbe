// The Key LED settings and Pointing Device dialogs.
#include "dialogs/settings_dialogs.h"

#include "dialog_test_support.h"

#include <QComboBox>
#include <QLineEdit>

using namespace quillan;
using quillan::test::click;

class SettingsDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Fixture> f;

  private slots:
    void init() { f = std::make_unique<test::Fixture>(); }
    void cleanup() { f.reset(); }

    void ledChoiceIsKeptByCancel() {
        f->def->Led[2] = 1;
        LedDialog d(*f->ctx, 2);
        d.show();
        auto* combo = controlById<QComboBox>(&d, LED_COMBO);
        QCOMPARE(combo->currentText(), QStringLiteral("Power on LED"));
        QCOMPARE(combo->count(), 6);
        QTest::keyClick(combo, Qt::Key_Down);
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentText(), QStringLiteral("Num Lock LED"));
        click(&d, SET_CANCEL);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(f->def->Led[2], 3);
        QCOMPARE(f->def->Led[1], 0);
        QCOMPARE(f->redraws, 1);
    }

    void pointingDeviceBytes() {
        PointingDeviceDialog d(*f->ctx);
        // Start values: gain 1 = 13, gain 2 = 1, offsets 0, inversion 120.
        QCOMPARE(controlById<QLineEdit>(&d, 35177)->text(), QStringLiteral("13"));
        QCOMPARE(controlById<QLineEdit>(&d, 35186)->text(), QStringLiteral("120"));
        QCOMPARE(controlById<QLineEdit>(&d, 35182)->geometry(), QRect(220, 130, 50, 15));
        controlById<QLineEdit>(&d, 35181)->setText(QStringLiteral("300")); // iInvS
        controlById<QLineEdit>(&d, 35173)->setText(QStringLiteral("7x"));  // iGain2E
        controlById<QLineEdit>(&d, 35169)->setText(QStringLiteral(" 65 "));
        controlById<QLineEdit>(&d, 35170)->setText(QStringLiteral("-1"));
        click(&d, SET_OK);
        const auto& block = f->def->pointingBlock;
        QCOMPARE(block[18], uint8_t{44});
        QCOMPARE(block[3], uint8_t{0});
        QCOMPARE(block[8], uint8_t{65});
        QCOMPARE(block[9], uint8_t{0});
        QCOMPARE(block[19], uint8_t{120});
        QCOMPARE(block[20], uint8_t{0}); // spare bytes untouched

        PointingDeviceDialog cancelled(*f->ctx);
        controlById<QLineEdit>(&cancelled, 35181)->setText(QStringLiteral("1"));
        click(&cancelled, SET_CANCEL);
        QCOMPARE(f->def->pointingBlock[18], uint8_t{44});
    }
};

QTEST_MAIN(SettingsDialogsTest)
#include "test_settings_dialogs.moc"
