// Start-up and the main window's layout: windows, log, start values, the
// matrix buttons, the control table, combo boxes, pictures, accelerators.
#include "app/string_table.h"
#include "app_fixture.h"
#include "model/catalogue.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

using namespace quillan;
using namespace quillan::testing;

namespace {

QStringList comboItems(QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QString buttonText(MainWindow& window, int id) {
    return window.control<QAbstractButton>(id)->text();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempWorkingDir> dir_;
    std::unique_ptr<Application> app_;
    MainWindow& main() { return app_->mainWindow(); }

  private slots:
    void init() {
        dir_ = std::make_unique<TempWorkingDir>();
        app_ = startApplication(std::make_unique<EmptyBackend>(), nullptr);
    }
    void cleanup() {
        setModalHook({});
        app_.reset();
        dir_.reset();
    }

    void windowsAtStart() {
        QCOMPARE(main().windowTitle(), QString("Quillan[*]")); // "Quillan*" with unsaved changes
        QCOMPARE(main().size(), QSize(720, 610));
        QVERIFY(main().isVisible());
        const QList<QAction*> menus = main().menuBar()->actions();
        QCOMPARE(menus.size(), 4);
        QCOMPARE(menus[0]->text(), QString("&File"));
        QCOMPARE(menus[0]->menu()->actions().at(0)->text(), QString("E&xit"));
        QCOMPARE(menus[1]->text(), QString("&Edit"));
        QCOMPARE(menus[1]->menu()->actions().at(0)->text(), QString("&Undo"));
        QVERIFY(!menus[1]->menu()->actions().at(0)->isEnabled());
        QCOMPARE(menus[2]->text(), QString("&Keyboard")); // beside the File and Help menus
        QCOMPARE(menus[2]->menu()->actions().at(0)->text(), QString("Verify after programming"));
        QCOMPARE(menus[2]->menu()->actions().at(1)->text(), QString("Production run\u2026"));
        QCOMPARE(menus[3]->text(), QString("&Help"));
        QCOMPARE(menus[3]->menu()->actions().at(0)->text(), QString("&About ..."));
        QCOMPARE(app_->testWindow().windowTitle(), QString("Test Window"));
        QCOMPARE(app_->testWindow().pos(), QPoint(600, 50));
        QVERIFY(!app_->testWindow().isVisible());
        QVERIFY(app_->keyPicker() != nullptr);
        QVERIFY(app_->dialogContext().picker == app_->keyPicker());
        QString text;
        QVERIFY(stringTableText(IDS_PICKER_TITLE, text));
        QCOMPARE(text, QString("Key Macro Tool"));
    }

    void logHoldsOneStartLine() {
        app_->state().log.flush();
        QFile log("qnlog.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString content = QString::fromLatin1(log.readAll());
        QVERIFY(content.startsWith("Started at "));
        QCOMPARE(content.count("Started at"), 1);
        QVERIFY(content.endsWith("\n \n"));
    }

    void unopenableLogIsNoLog() {
        app_.reset();
        MessageBox::setTestMode(true);
        AppOptions options;
        options.backend = std::make_unique<EmptyBackend>();
        options.logPath = "no-such-dir/qnlog.txt";
        Application app(std::move(options));
        QVERIFY(!app.state().log.isOpen());
        app.mainWindow().command(ID_GENERATE); // traces go nowhere, nothing breaks
        QVERIFY(QFile::exists("EEPkey.bin"));
    }

    void startValues() {
        const KeyboardDefinition& def = app_->state().def;
        QCOMPARE(int(def.EnableBits), 1);
        QCOMPARE(int(def.StdRepeat), 1);
        QCOMPARE(int(def.GlobalRepeatDisable), 0);
        QCOMPARE(int(def.BeepLength), 0);
        QCOMPARE(def.NumberOfStrings, 0);
        const uint8_t block[20] = {13, 1, 13, 1, 13, 1, 13,  1,   0,   0,
                                   0,  0, 0,  0, 0,  0, 120, 120, 120, 120};
        for (int i = 0; i < 20; ++i)
            QCOMPARE(int(def.pointingBlock[i]), int(block[i]));
        QVERIFY(main().control<QAbstractButton>(ID_ENABLE_KEYBOARD)->isChecked());
        QVERIFY(!main().control<QAbstractButton>(ID_ENABLE_POINTING)->isChecked());
        QVERIFY(main().control<QAbstractButton>(ID_STD_REPEAT)->isChecked());
        QCOMPARE(main().controlValues(), ControlValues{});
    }

    void matrixButtons() {
        for (int row = 0; row < kRows; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                PictureButton* button = main().cellButton(row, column);
                QCOMPARE(button->objectName(), QString::number(34560 + column + 8 * row));
                QCOMPARE(button->geometry(), QRect(40 + 20 * column, 40 + 20 * row, 16, 16));
                QCOMPARE(button->picture(), Picture::RedCross); // used, not complete
                QCOMPARE(app_->state().def.cell(row, column).controlId, 34560 + column + 8 * row);
            }
        }
    }

    void controlsOfTheTable() {
        MainWindow& w = main();
        QCOMPARE(buttonText(w, ID_GENERATE), QString("Generate EEPROM File"));
        QCOMPARE(w.control(ID_GENERATE)->geometry(), QRect(360, 30, 180, 20));
        QCOMPARE(buttonText(w, ID_CHECK_PRESENCE), QString("Check keyboard presence"));
        QCOMPARE(w.control(ID_CHECK_PRESENCE)->geometry(), QRect(360, 0, 180, 20));
        QCOMPARE(buttonText(w, ID_READ_EEPROM), QString("Read Keyboard EEProm"));
        QCOMPARE(buttonText(w, ID_ANY_KEY_RELEASE), QString("Any key release dis. repeat"));
        QCOMPARE(w.control(ID_ANY_KEY_RELEASE)->geometry(), QRect(360, 260, 220, 20));
        QCOMPARE(buttonText(w, ID_POINT_DEV_SET), QString("Point Dev Set."));
        QCOMPARE(w.control(ID_LED4)->geometry(), QRect(420, 458, 20, 20));
        QCOMPARE(w.control(ID_ACTIVATE_BEEP)->geometry(), QRect(10, 500, 120, 20));
        QCOMPARE(w.control<QLineEdit>(ID_OUTPUT_NAME)->text(), QString("out.dat"));
        QCOMPARE(w.control<QLineEdit>(ID_INPUT_NAME)->text(), QString("in.dat"));
        QCOMPARE(w.control<QLineEdit>(ID_DEBOUNCE)->text(), QString("30"));
        QCOMPARE(w.control<QLineEdit>(ID_BEEP_LENGTH)->text(), QString("0"));
        QCOMPARE(w.control<QLabel>(ID_PROGRAM_VERSION)->text(), QString("04.00"));
        // Hidden and disabled ones.
        QVERIFY(w.control(ID_USB_DOWNLOAD)->isHidden() && !w.control(ID_USB_DOWNLOAD)->isEnabled());
        QVERIFY(w.control(ID_OUTPUT_NAME)->isHidden());
        QVERIFY(w.control(ID_DEFINE_STRINGS)->isHidden());
        QVERIFY(!w.control(ID_INPUT_NAME)->isEnabled());
        QVERIFY(!w.control(ID_ENABLE_KEYBOARD)->isEnabled());
        QVERIFY(!w.control(ID_BEEP_LENGTH)->isEnabled());
        // 77 controls besides the 128 cell buttons and the progress bar.
        const auto children = w.clientArea()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(int(children.size()), 77 + 128 + 1);
        QCOMPARE(w.clientArea()->findChild<QLabel*>("static36")->text(), QString("Led 1:"));
    }

    void comboBoxes() {
        MainWindow& w = main();
        auto* delay = w.control<QComboBox>(ID_REPEAT_DELAY);
        QCOMPARE(comboItems(delay), (QStringList{"244 mS", "488 mS", "732 mS", "976 mS"}));
        QCOMPARE(delay->currentIndex(), 1);
        const QStringList rates = comboItems(w.control<QComboBox>(ID_REPEAT_RATE));
        QCOMPARE(rates.size(), 32);
        QCOMPARE(rates[0], QString("32 mS"));
        QCOMPARE(rates[8], QString("64 mS"));
        QCOMPARE(rates[9], QString("72 mS"));
        QCOMPARE(rates[17], QString("144 mS"));
        QCOMPARE(rates[25], QString("288 mS"));
        QCOMPARE(rates[31], QString("480 mS"));
        QCOMPARE(w.control<QComboBox>(ID_REPEAT_RATE)->currentText(), QString("60 mS"));
        auto* rows = w.control<QComboBox>(ID_MAX_SCAN_ROWS);
        QCOMPARE(rows->count(), 16);
        QCOMPARE(rows->currentText(), QString("14"));
        QCOMPARE(comboItems(w.control<QComboBox>(ID_POINT_DEVICE)),
                 (QStringList{"None", "Trackerball", "Gyro Parex"}));
    }

    void progressBarAtTheBottom() {
        QProgressBar* bar = main().progressBar();
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 2048);
        QCOMPARE(bar->geometry().bottom() + 1 + 5, main().clientArea()->height());
        QCOMPARE(bar->width(), main().clientArea()->width());
    }

    void cellPictures() {
        KeyCell cell;
        QCOMPARE(cellPicture(cell, true), Picture::QuestionMark);
        QCOMPARE(cellPicture(cell, false), Picture::RedCross);
        cell.enabled = 0;
        QCOMPARE(cellPicture(cell, false), Picture::Sleeping);
        cell.enabled = 1;
        cell.used = 0;
        QCOMPARE(cellPicture(cell, false), Picture::GreyCircle);
        cell.used = 1;
        cell.complete = 1;
        const std::pair<int, Picture> byType[] = {
            {NORMAL_KEY, Picture::GreenTick},   {UNUSED_KEY, Picture::GreenTick},
            {MOUSE_BUTTON_KEY, Picture::Mouse}, {STRING_KEY, Picture::Str},
            {CONSUMER_KEY, Picture::Note},      {SYSTEM_KEY, Picture::Power},
            {FN2_KEY, Picture::GreenTick}};
        for (const auto& [type, picture] : byType) {
            cell.layers[0].keytype = uint8_t(type);
            QCOMPARE(cellPicture(cell, false), picture);
        }
        cell.layers[0].keytype = NORMAL_KEY;
        cell.layers[1].keytype = MOUSE_BUTTON_KEY; // only layer [0,0] counts
        QCOMPARE(cellPicture(cell, false), Picture::GreenTick);
        QCOMPARE(ledPicture(0), Picture::GreyLamp);
        QCOMPARE(ledPicture(4), Picture::YellowLamp);
        QCOMPARE(picturePixmap(Picture::Note).size(), QSize(16, 16));
    }

    void buttonsShowTheDefinition() {
        KeyboardDefinition& def = app_->state().def;
        def.cell(3, 4).enabled = 0;
        def.cell(5, 6).complete = 1;
        def.cell(5, 6).layers[0].keytype = STRING_KEY;
        def.Led[2] = 3;
        main().refreshFromDefinition();
        QCOMPARE(main().cellButton(3, 4)->picture(), Picture::Sleeping);
        QCOMPARE(main().cellButton(5, 6)->picture(), Picture::Str);
        QCOMPARE(main().control<PictureButton>(ID_LED3)->picture(), Picture::YellowLamp);
        QCOMPARE(main().control<PictureButton>(ID_LED1)->picture(), Picture::GreyLamp);
        QVERIFY(!main().grab().isNull());
    }

    void editedCellShowsQuestionMark() {
        Picture during = Picture::GreenTick;
        answerNextModal([&](QWidget*) { during = main().cellButton(2, 5)->picture(); });
        main().cellButton(2, 5)->click();
        QCOMPARE(during, Picture::QuestionMark);
        QCOMPARE(app_->state().def.currentRow, 2);
        QCOMPARE(app_->state().def.currentColumn, 5);
        QVERIFY(!main().keyDialogOpen());
        QCOMPARE(main().cellButton(2, 5)->picture(), Picture::RedCross);
    }

    void acceleratorOnlyInTheMainWindow() {
        int abouts = 0;
        QString aboutText;
        setModalHook([&](QDialog& dialog) {
            ++abouts;
            aboutText = dialog.findChild<QLabel*>("aboutText")->text();
            return 1;
        });
        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        main().clientArea()->setFocus();
        QTest::keyClick(main().clientArea(), Qt::Key_Slash, Qt::AltModifier);
        QCOMPARE(abouts, 1);
        QCOMPARE(aboutText, QString("Quillan Version 4.0"));
        QTest::keyClick(main().clientArea(), Qt::Key_Question, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(abouts, 2);
        QTest::keyClick(main().clientArea(), Qt::Key_Slash); // no Alt: no command
        QCOMPARE(abouts, 2);

        // A control with the focus gets the command and ignores it.
        QWidget* serial = main().control(ID_SERIAL);
        serial->setFocus();
        QTest::keyClick(serial, Qt::Key_Slash, Qt::AltModifier);
        QCOMPARE(abouts, 2);

        // So does the test window.
        main().command(ID_TEST_KEYBOARD);
        TestWindow& test = app_->testWindow();
        QVERIFY(test.isVisible());
        test.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&test));
        const size_t before = test.lines().size();
        QTest::keyClick(&test, Qt::Key_Slash, Qt::AltModifier);
        QCOMPARE(abouts, 2);
        // ... and lists the key as any other (Alt, then "/" as a system key).
        const auto slash =
            std::find_if(test.lines().begin() + before, test.lines().end(),
                         [](const TestLine& line) { return line.keyName == "OEM_2"; });
        QVERIFY(slash != test.lines().end());
        QCOMPARE(slash->kind, QString("SYSKEYDOWN"));
    }

    void closingEndsTheRunWithTestWindowOpen() {
        main().command(ID_TEST_KEYBOARD);
        QSignalSpy closed(&main(), &MainWindow::closed);
        main().command(ID_EXIT);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!main().isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
