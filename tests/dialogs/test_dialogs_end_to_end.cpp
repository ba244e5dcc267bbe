// A key edited through the dialogs reaches the settings file and the
// EEPROM image file "EEPkey.bin".
#include "dialogs/key_picker_window.h"
#include "dialogs/key_settings_dialog.h"

#include "dialog_test_support.h"
#include "eeprom/image.h"
#include "model/catalogue.h"
#include "model/settings_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace quillan;
using quillan::test::click;
using quillan::test::sendKey;

class DialogsEndToEndTest : public QObject {
    Q_OBJECT

    static void typeKey(QWidget* picker, int qtKey, int evdev, const QString& text) {
        sendKey(picker, true, qtKey, evdev, Qt::NoModifier, text);
        sendKey(picker, false, qtKey, evdev, Qt::NoModifier, text);
    }

  private slots:
    void editedKeyIsInTheImageFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));

        test::Fixture f;
        ControlValues controls;
        f.def->currentRow = 3;
        f.def->currentColumn = 2;
        {
            KeySettingsDialog d(*f.ctx);
            d.show();
            click(&d, KS_LAYER_USED + 0);
            click(&d, KS_ASSIGN_MACRO + 0);
            typeKey(f.ctx->picker, Qt::Key_A, 30, QStringLiteral("a"));
            click(f.ctx->picker, PICKER_OK);
            click(&d, KS_LAYER_USED + 1); // Fn1 layer: the string "ab"
            click(&d, KS_ASSIGN_MACRO + 1);
            typeKey(f.ctx->picker, Qt::Key_A, 30, QStringLiteral("a"));
            typeKey(f.ctx->picker, Qt::Key_B, 48, QStringLiteral("b"));
            click(f.ctx->picker, PICKER_OK);
            click(&d, KS_OK);
        }
        const KeyCell& cell = f.def->cell(3, 2);
        QCOMPARE(cell.complete, 1);
        QCOMPARE(cell.layers[0].ibmkey, 31);
        QCOMPARE(cell.layers[1].keytype, STRING_KEY);

        QVERIFY(saveSettings(*f.def, controls, "keys.dat"));
        EepromImage image;
        QVERIFY(buildImage(*f.def, controls, image, *f.log, true).ok);

        QFile file(QStringLiteral("EEPkey.bin"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), kImageSize);
        auto at = [&](int offset) { return static_cast<uint8_t>(bytes[offset]); };
        const int position = 3 * 8 + 2;
        const int keySlot = at(0x200 + position);
        QVERIFY(keySlot != 0xFF);
        QCOMPARE(at(0x000 + keySlot), uint8_t{0x1C}); // scan set 2 of IBM key 31
        QCOMPARE(at(0x700 + keySlot), uint8_t{0x04}); // its USB usage
        const int stringSlot = at(0x200 + 0x80 + position);
        QCOMPARE(at(0x500 + stringSlot), uint8_t{STRING_KEY});
        QCOMPARE(at(0x800), uint8_t{0x00});
        QCOMPARE(at(0x801), uint8_t{0x09});
        QCOMPARE(bytes.mid(0x900, 12),
                 QByteArray("\x00\x04\x1C\x00\x00\x05\x32\x00\x00\x00\x00\x00", 12));

        test::Fixture loaded;
        ControlValues loadedControls;
        QVERIFY(loadSettings(*loaded.def, loadedControls, "keys.dat").ok);
        QCOMPARE(loaded.def->cell(3, 2).layers[0].ibmkey, 31);
        delete f.ctx->picker;
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(DialogsEndToEndTest)
#include "test_dialogs_end_to_end.moc"
