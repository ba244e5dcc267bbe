// The Key Settings dialog: fill, check boxes that write at once,
// StoreEveryThing with its complete rules, stepping, and the key picker and
// string selection hand-offs.
#include "dialogs/key_settings_dialog.h"

#include "dialog_test_support.h"
#include "dialogs/key_picker_window.h"
#include "dialogs/string_dialogs.h"
#include "model/catalogue.h"
#include "rules/string_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace quillan;
using quillan::test::click;

class KeySettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Fixture> f;

    KeyCell& cell() { return f->def->currentCell(); }
    static QComboBox* combo(QWidget* d, int id) { return controlById<QComboBox>(d, id); }
    static bool checked(QWidget* d, int id) { return controlById<QCheckBox>(d, id)->isChecked(); }

  private slots:
    void init() {
        f = std::make_unique<test::Fixture>();
        f->def->currentRow = 4;
        f->def->currentColumn = 6;
    }
    void cleanup() {
        delete f->ctx->picker;
        f.reset();
    }

    // The title names the key, and follows Previous and Next.
    void titleNamesTheKey() {
        const struct {
            int row, column;
            const char* legend;
            const char* title;
        } cases[] = {
            {2, 1, "Esc", "Key Settings \u2013 row 2, column 1: Esc"},
            {15, 7, "", "Key Settings \u2013 row 15, column 7"},
        };
        for (const auto& c : cases) {
            f->def->currentRow = c.row;
            f->def->currentColumn = c.column;
            setText(cell().legend, c.legend);
            KeySettingsDialog d(*f->ctx);
            QCOMPARE(d.windowTitle(), QString::fromUtf8(c.title));
        }
        setText(f->def->cell(0, 0).legend, "A");
        KeySettingsDialog d(*f->ctx); // at 15/7: Next wraps to 0/0
        click(&d, KS_NEXT);
        QCOMPARE(d.windowTitle(), QString::fromUtf8("Key Settings \u2013 row 0, column 0: A"));
    }

    // Tab goes top to bottom, left to right.
    void tabOrderFollowsTheScreen() {
        KeySettingsDialog d(*f->ctx);
        const int order[] = {KS_KEY_USED,
                             KS_LEGEND,
                             KS_ENABLE_KEY,
                             KS_PREVIOUS,
                             KS_NEXT,
                             KS_LAYER_USED,
                             KS_LAYER_USED + 1,
                             KS_MODE,
                             KS_MODE + 6,
                             KS_ASSIGN_MACRO,
                             KS_ASSIGN_MACRO + 1,
                             KS_LAYER_USED + 2,
                             KS_ASSIGN_MACRO + 3,
                             KS_OK,
                             KS_CANCEL};
        QWidget* first = controlById<QWidget>(&d, KS_KEY_USED);
        QList<int> chain;
        QWidget* widget = first;
        do {
            if (widget->parentWidget() == &d)
                chain << widget->objectName().toInt();
            widget = widget->nextInFocusChain();
        } while (widget != first);
        for (size_t i = 1; i < std::size(order); ++i)
            QVERIFY2(chain.indexOf(order[i - 1]) < chain.indexOf(order[i]),
                     qPrintable(QString("%1 before %2").arg(order[i - 1]).arg(order[i])));
    }

    // Enter presses OK in every dialog; Previous and Next are never default.
    void enterPressesOk() {
        setText(cell().legend, "Old");
        KeySettingsDialog d(*f->ctx);
        for (int id : {KS_PREVIOUS, KS_NEXT, KS_CANCEL, KS_ASSIGN_MACRO}) {
            auto* button = controlById<QPushButton>(&d, id);
            QVERIFY(!button->autoDefault() && !button->isDefault());
        }
        QVERIFY(controlById<QPushButton>(&d, KS_OK)->isDefault());
        d.show();
        auto* legend = controlById<QLineEdit>(&d, KS_LEGEND);
        legend->setFocus();
        legend->setText("Esc");
        QTest::keyClick(legend, Qt::Key_Return);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(f->def->currentColumn, 6); // did not move
        QCOMPARE(getText(cell().legend), std::string("Esc"));
    }

    void fillShowsTheCell() {
        setText(cell().legend, "Esc");
        cell().enabled = 0;
        cell().layers[0] = {1, {}, 31, MODE_ALT | MODE_ALT_GR, NORMAL_KEY, 0, 0, 0, {}, 0};
        cell().layers[1] = {0, {}, 2, 0, STRING_KEY, 0, 0, 0, {}, 1};
        KeySettingsDialog d(*f->ctx);
        QVERIFY(checked(&d, KS_KEY_USED));
        QVERIFY(!checked(&d, KS_ENABLE_KEY));
        QVERIFY(checked(&d, KS_LAYER_USED + 0));
        QVERIFY(checked(&d, KS_MODE + 0) && checked(&d, KS_MODE + 5) && !checked(&d, KS_MODE + 1));
        QCOMPARE(combo(&d, KS_IBM_KEY + 0)->currentText(), QStringLiteral("IBM Key 31"));
        QCOMPARE(combo(&d, KS_KEY_TYPE + 1)->currentText(), QStringLiteral("String Key"));
        QCOMPARE(combo(&d, KS_KEY_TYPE + 2)->currentText(), QStringLiteral("No Key"));
        QCOMPARE(combo(&d, KS_KEY_TYPE + 0)->count(), 20);
        QCOMPARE(combo(&d, KS_IBM_KEY + 3)->count(), kCatalogueRows);
        QVERIFY(!combo(&d, KS_IBM_KEY + 0)->isEnabled());
        QVERIFY(controlById<QPushButton>(&d, KS_ASSIGN_STRING + 1)->isEnabled());
        QVERIFY(!controlById<QPushButton>(&d, KS_ASSIGN_STRING + 0)->isEnabled());
        QCOMPARE(controlById<QLineEdit>(&d, KS_LEGEND)->text(), QStringLiteral("Esc"));
        QCOMPARE(controlById<QLabel>(&d, KS_COL_ROW)->text(), QStringLiteral("6/4"));
        QCOMPARE(combo(&d, KS_IBM_KEY + 2)->geometry().topLeft(), QPoint(75, 307));
    }

    void checkBoxesWriteAtOnceAndCancelKeepsThem() {
        KeySettingsDialog d(*f->ctx);
        d.show();
        click(&d, KS_LAYER_USED + 2);
        click(&d, KS_MODE + 6 * 3 + 4); // Repeat off of layer 3
        click(&d, KS_KEY_USED);
        QCOMPARE(cell().layers[2].used, 1);
        QCOMPARE(cell().layers[3].keymode, MODE_REPEAT_OFF);
        QCOMPARE(cell().used, 0);
        QVERIFY(!checked(&d, KS_KEY_USED));
        QCOMPARE(f->redraws, 1);
        click(&d, KS_CANCEL);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(cell().layers[2].used, 1);
    }

    void storeEveryThingAndComplete() {
        cell().layers[0].used = 1; // its only used layer is "No Key"
        KeySettingsDialog d(*f->ctx);
        controlById<QLineEdit>(&d, KS_LEGEND)->setText(QString(40, QChar('x')));
        d.storeEveryThing();
        QCOMPARE(getText(cell().legend), std::string(31, 'x'));
        QCOMPARE(cell().complete, 0);
        QVERIFY(f->log->captured().find("StoreEveryThing bIBMKey = 0\n") != std::string::npos);

        cell().layers[0].keytype = STRING_KEY; // string slot 0 counts as complete
        d.fill();
        d.storeEveryThing();
        QCOMPARE(cell().complete, 1);
        QCOMPARE(cell().layers[0].keytype, STRING_KEY);

        click(&d, KS_LAYER_USED + 0); // no used layer at all
        click(&d, KS_OK);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(cell().complete, 0);
    }

    void keysTheCombosCannotShowSurviveAStore() {
        cell().layers[1] = {1, {}, kNoCatalogueRow, 0, FN2_KEY, 0, 0, 0, {}, 0};
        KeySettingsDialog d(*f->ctx);
        d.storeEveryThing();
        QCOMPARE(cell().layers[1].ibmkey, kNoCatalogueRow);
        QCOMPARE(cell().layers[1].keytype, FN2_KEY);
    }

    void nextAndPreviousWrapAndSkipDisabledCells() {
        f->def->currentRow = 15;
        f->def->currentColumn = 7;
        f->def->cell(0, 0).enabled = 0;
        KeySettingsDialog d(*f->ctx);
        controlById<QLineEdit>(&d, KS_LEGEND)->setText(QStringLiteral("Last"));
        click(&d, KS_NEXT);
        QCOMPARE(getText(f->def->cell(15, 7).legend), std::string("Last"));
        QCOMPARE(f->def->currentRow, 0);
        QCOMPARE(f->def->currentColumn, 1);
        QCOMPARE(controlById<QLabel>(&d, KS_COL_ROW)->text(), QStringLiteral("1/0"));
        click(&d, KS_PREVIOUS);
        QCOMPARE(f->def->currentRow * 8 + f->def->currentColumn, 127);
        QCOMPARE(controlById<QLineEdit>(&d, KS_LEGEND)->text(), QStringLiteral("Last"));

        for (KeyCell& c : f->def->cells)
            c.enabled = 0;
        click(&d, KS_NEXT);
        QCOMPARE(f->def->currentRow * 8 + f->def->currentColumn, 127);
    }

    void assignMacroWritesTheLayerThroughThePicker() {
        KeySettingsDialog d(*f->ctx);
        d.show();
        controlById<QLineEdit>(&d, KS_LEGEND)->setText(QStringLiteral("Vol"));
        click(&d, KS_ASSIGN_MACRO + 2);
        KeyPickerWindow* picker = f->ctx->picker;
        QVERIFY(picker != nullptr && picker->isVisible());
        QCOMPARE(picker->target().layer, 2);
        click(picker, PICKER_VOLUME_DOWN);
        click(picker, PICKER_OK);
        QCOMPARE(cell().layers[2].ibmkey, 145);
        QCOMPARE(combo(&d, KS_IBM_KEY + 2)->currentText(), QStringLiteral("Volume down"));
        QCOMPARE(combo(&d, KS_KEY_TYPE + 2)->currentText(), QStringLiteral("Consumer Key"));
        QCOMPARE(controlById<QLineEdit>(&d, KS_LEGEND)->text(), QStringLiteral("Vol"));
        QVERIFY(checked(&d, KS_LAYER_USED + 2)); // the layer now has a key
        // The picker stands beside the dialog, unless the screen is too small.
        const QRect screen = d.screen()->availableGeometry();
        const QRect dialog = d.frameGeometry(), beside = picker->frameGeometry();
        QVERIFY(!beside.intersects(dialog) ||
                (dialog.width() + beside.width() > screen.width() &&
                 dialog.height() + beside.height() > screen.height()));
    }

    void assignStringTakesTheChosenStringOrKeepsTheOld() {
        std::vector<StringCells> strings(3);
        for (StringCells& s : strings)
            s.resize(1);
        for (int i = 0; i < 3; ++i)
            encodeChar(U'a' + i, strings[i][0]);
        packStrings(*f->def, strings);
        unpackStrings(*f->def);
        cell().layers[1] = {1, {}, 0, 0, STRING_KEY, 0, 0, 0, {}, 1};
        KeySettingsDialog d(*f->ctx);

        QTimer::singleShot(0, [] {
            auto* selection =
                qobject_cast<StringSelectionDialog*>(QApplication::activeModalWidget());
            QVERIFY(selection != nullptr);
            controlById<QListWidget>(selection, SS_LIST)->setCurrentRow(2);
            selection->accept();
        });
        click(&d, KS_ASSIGN_STRING + 1);
        QCOMPARE(cell().layers[1].ibmkey, 2);
        QVERIFY(f->log->captured().find("^2 bIBMKey = 2\n") != std::string::npos);

        QTimer::singleShot(0, [] {
            auto* selection =
                qobject_cast<StringSelectionDialog*>(QApplication::activeModalWidget());
            QVERIFY(selection != nullptr);
            controlById<QListWidget>(selection, SS_LIST)->clearSelection();
            selection->accept();
        });
        click(&d, KS_ASSIGN_STRING + 1);
        QCOMPARE(cell().layers[1].ibmkey, 2);
    }
};

QTEST_MAIN(KeySettingsTest)
#include "test_key_settings_dialog.moc"
