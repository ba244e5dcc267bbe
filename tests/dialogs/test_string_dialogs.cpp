// The string definition and selection dialogs on the definition's strings.
#include "dialogs/string_dialogs.h"

#include "dialog_test_support.h"
#include "model/catalogue.h"

#include <QLineEdit>
#include <QListWidget>

using namespace quillan;
using quillan::test::click;

class StringDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Fixture> f;

    static void add(StringDefinitionDialog& d, const QString& text) {
        controlById<QLineEdit>(&d, SD_EDIT)->setText(text);
        click(&d, SD_ADD_STRING);
    }
    static QListWidget* list(QWidget* d, int id) { return controlById<QListWidget>(d, id); }
    void defineStrings(const QStringList& texts) {
        StringDefinitionDialog d(*f->ctx);
        for (const QString& text : texts)
            add(d, text);
        click(&d, SD_OK);
    }

  private slots:
    void init() { f = std::make_unique<test::Fixture>(); }
    void cleanup() { f.reset(); }

    void noStringsOpenEmptyAndStayZero() {
        f->def->stringChars[3] = {1, 2, 3, 4};
        StringDefinitionDialog d(*f->ctx);
        QCOMPARE(list(&d, SD_LIST)->count(), 0);
        add(d, QString()); // an empty text changes nothing
        QCOMPARE(f->def->NumberOfStrings, 0);
        click(&d, SD_OK);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        for (const StringCell& cell : f->def->stringChars)
            QVERIFY(cell.isZero());
        for (uint16_t entry : f->def->stringIndex)
            QCOMPARE(entry, uint16_t{0});
    }

    void abAndCAreEncoded() {
        defineStrings({QStringLiteral("ab"), QStringLiteral("C")});
        const auto& chars = f->def->stringChars;
        QCOMPARE(chars[0], (StringCell{0, 0x04, 0x1C, 0}));
        QCOMPARE(chars[1], (StringCell{0, 0x05, 0x32, 0}));
        QVERIFY(chars[2].isZero());
        QCOMPARE(chars[3], (StringCell{2, 0x06, 0x21, 0}));
        QVERIFY(chars[4].isZero());
        QCOMPARE(f->def->stringIndex[0], uint16_t{0x900});
        QCOMPARE(f->def->stringIndex[1], uint16_t{0x90C});
        QCOMPARE(f->def->NumberOfStrings, 2);
        // The key picker and the next image build see the same strings.
        QCOMPARE(f->def->stringSlots[1][0], chars[3]);

        StringDefinitionDialog again(*f->ctx);
        QCOMPARE(list(&again, SD_LIST)->item(0)->text(), QStringLiteral("ab"));
        QCOMPARE(list(&again, SD_LIST)->currentRow(), 0);
    }

    void badTextsAreRefused() {
        StringDefinitionDialog d(*f->ctx);
        add(d, QStringLiteral("caf\u00E9"));
        add(d, QString(1025, QChar('x')));
        QCOMPARE(MessageBox::shown().size(), size_t{2});
        QCOMPARE(list(&d, SD_LIST)->count(), 0);
        QCOMPARE(f->def->NumberOfStrings, 0);
        QCOMPARE(controlById<QLineEdit>(&d, SD_EDIT)->text().size(), 1025);
    }

    void deletingRenumbersTheLaterStringKeys() {
        defineStrings({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
        for (int s : {0, 2})
            f->def->cells[s].layers[1] = {1, {}, s, 0, STRING_KEY, 0, 0, 0, {}, 0};
        StringDefinitionDialog d(*f->ctx);
        // A string that a key uses is not deleted: its key would type another.
        list(&d, SD_LIST)->setCurrentRow(2);
        click(&d, SD_DELETE_STRING);
        QCOMPARE(MessageBox::shown().size(), size_t{1});
        QCOMPARE(list(&d, SD_LIST)->count(), 3);
        list(&d, SD_LIST)->setCurrentRow(1);
        click(&d, SD_DELETE_STRING);
        QCOMPARE(f->def->cells[0].layers[1].ibmkey, 0);
        QCOMPARE(f->def->cells[2].layers[1].ibmkey, 1); // still types "three"
        QCOMPARE(f->def->NumberOfStrings, 2);
        click(&d, SD_OK);
        QCOMPARE(f->def->stringIndex[1], uint16_t{0x900 + 4 * 4});
        QCOMPARE(f->def->stringChars[4].characterUSB, uint8_t{0x17}); // 't'
    }

    void cellsWithoutTextSurviveOk() {
        const StringCell rightShiftA{MOD_RIGHT_SHIFT, 0x04, 0x1C, 0};
        f->def->stringSlots[0][0] = rightShiftA;
        f->def->stringSlots[0][1] = {0, 0x05, 0x32, 0};
        f->def->NumberOfStrings = 1;
        StringDefinitionDialog d(*f->ctx);
        QCOMPARE(list(&d, SD_LIST)->item(0)->text(),
                 QString::fromStdU32String(std::u32string{kNoTextPlaceholder}) + "b");
        d.reject(); // closing is OK as well
        QCOMPARE(f->def->stringChars[0], rightShiftA);
        QCOMPARE(f->def->stringChars[1].characterUSB, uint8_t{0x05});
    }

    void selectionReturnsTheChosenStringOrMinusOne() {
        StringSelectionDialog empty(*f->ctx, 0);
        QCOMPARE(MessageBox::shown().size(), size_t{1});
        QCOMPARE(MessageBox::shown()[0].text, std::string("1 items"));
        QCOMPARE(MessageBox::shown()[0].caption, std::string("StringSelection"));
        empty.accept();
        QCOMPARE(empty.selected(), -1);

        defineStrings({QStringLiteral("x"), QStringLiteral("y")});
        StringSelectionDialog d(*f->ctx, 1);
        QCOMPARE(list(&d, SS_LIST)->currentRow(), 1);
        list(&d, SS_LIST)->setCurrentRow(0);
        d.accept();
        QCOMPARE(d.selected(), 0);
    }

    void pickerStringsWithGapsArePackedFirst() {
        // Slot 0 was given up by the key picker; slot 1 still holds "q".
        f->def->stringSlots[1][0] = {0, 0x14, 0x15, 0};
        f->def->NumberOfStrings = 1;
        f->def->cells[9].layers[0] = {1, {}, 1, 0, STRING_KEY, 0, 0, 0, {}, 1};
        StringSelectionDialog d(*f->ctx, 0);
        QCOMPARE(list(&d, SS_LIST)->count(), 1);
        QCOMPARE(list(&d, SS_LIST)->item(0)->text(), QStringLiteral("q"));
        QCOMPARE(f->def->cells[9].layers[0].ibmkey, 0);
        QCOMPARE(f->def->stringSlots[0][0].characterUSB, uint8_t{0x14});
    }
};

QTEST_MAIN(StringDialogsTest)
#include "test_string_dialogs.moc"
