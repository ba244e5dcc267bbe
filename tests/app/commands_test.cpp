// The main window's commands, through its controls: New, the check boxes,
// pointing device and beep, image files, save and load through the file
// dialogs, programming and read-back against the simulated keyboard.
#include "app_fixture.h"
#include "hidlink/sim_backend.h"
#include "model/catalogue.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

using namespace quillan;
using namespace quillan::testing;

namespace {

constexpr int kRowA = 31; // a normal key of the catalogue

void defineKey(KeyboardDefinition& def, int row, int column, int ibmRow) {
    KeyCell& cell = def.cell(row, column);
    cell.complete = 1;
    LayerAssignment& layer = cell.layers[0];
    const IbmKeyRow* entry = catalogueRow(ibmRow);
    layer.used = 1;
    layer.ibmkey = ibmRow;
    layer.keytype = entry->keyType;
    layer.scan2code = entry->scan2;
    layer.scan3code = entry->scan3;
    layer.usbcode = entry->usb;
}

qint64 fileSize(const QString& name) {
    return QFileInfo(name).exists() ? QFileInfo(name).size() : -1;
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempWorkingDir> dir_;
    std::unique_ptr<Application> app_;
    SimBackend* sim_ = nullptr;
    CountingClock clock_;

    MainWindow& main() { return app_->mainWindow(); }
    KeyboardDefinition& def() { return app_->state().def; }
    void click(int id) { main().control<QAbstractButton>(id)->click(); }
    bool checked(int id) { return main().control<QAbstractButton>(id)->isChecked(); }
    QLineEdit* edit(int id) { return main().control<QLineEdit>(id); }
    QComboBox* combo(int id) { return main().control<QComboBox>(id); }

    void start(std::unique_ptr<HidBackend> backend) {
        app_.reset();
        app_ = startApplication(std::move(backend), &clock_);
    }
    void startSimulated(const char* kind) {
        std::unique_ptr<SimBackend> backend = makeSimulatedBackend(kind);
        sim_ = backend.get();
        start(std::move(backend));
    }

  private slots:
    void init() {
        dir_ = std::make_unique<TempWorkingDir>();
        sim_ = nullptr;
        start(std::make_unique<EmptyBackend>());
    }
    void cleanup() {
        app_.reset();
        dir_.reset();
    }

    void newResetsDefinitionAndControls() {
        defineKey(def(), 1, 1, kRowA);
        def().StdRepeat = 0;
        def().PrefixMakeBreak = 1;
        def().Led = {1, 2, 3, 4};
        def().EnableBits = 3;
        def().BeepLength = 50;
        combo(ID_REPEAT_DELAY)->setCurrentIndex(3);
        combo(ID_MAX_SCAN_ROWS)->setCurrentIndex(2);
        edit(ID_DEBOUNCE)->setText("99");
        edit(ID_INPUT_NAME)->setText("other.dat");
        edit(ID_SERIAL)->setText("SN-1");
        click(ID_NEW);
        QCOMPARE(def().cell(1, 1).complete, uint8_t(0));
        QCOMPARE(def().cell(1, 1).layers[0].used, uint8_t(0));
        QCOMPARE(main().cellButton(1, 1)->picture(), Picture::RedCross);
        QCOMPARE(def().StdRepeat, uint8_t(1));
        QVERIFY(checked(ID_STD_REPEAT));
        QVERIFY(!checked(ID_PREFIX_MAKE_BREAK));
        QCOMPARE(def().Led, (std::array<int32_t, 4>{0, 0, 0, 0}));
        QCOMPARE(combo(ID_REPEAT_DELAY)->currentIndex(), 1);
        QCOMPARE(combo(ID_REPEAT_RATE)->currentIndex(), 7);
        QCOMPARE(combo(ID_MAX_SCAN_ROWS)->currentIndex(), 13);
        QCOMPARE(combo(ID_POINT_DEVICE)->currentIndex(), 0);
        QCOMPARE(edit(ID_DEBOUNCE)->text(), QString("30"));
        QCOMPARE(edit(ID_INPUT_NAME)->text(), QString("in.dat"));
        QCOMPARE(edit(ID_OUTPUT_NAME)->text(), QString("out.dat"));
        // Kept by New.
        QCOMPARE(edit(ID_SERIAL)->text(), QString("SN-1"));
        QCOMPARE(def().EnableBits, uint8_t(3));
        QCOMPARE(def().BeepLength, uint8_t(50));
    }

    void jsonExportThenImportReplacesTheDefinitionAsALoadDoes() {
        QStringList entries;
        for (QAction* action : main().menuBar()->actions().first()->menu()->actions())
            entries << action->text();
        QVERIFY(entries.contains("Export as JSON…") && entries.contains("Import JSON…"));

        defineKey(def(), 2, 3, kRowA);
        def().pointingBlock[5] = 77;
        edit(ID_DEBOUNCE)->setText("12");
        edit(ID_INPUT_NAME)->setText("mine.dat");
        QVERIFY(main().exportJson("def.json"));
        click(ID_NEW);
        def().pointingBlock[5] = 0;
        QVERIFY(main().importJson("def.json"));
        QCOMPARE(def().cell(2, 3).layers[0].ibmkey, kRowA);
        QCOMPARE(def().pointingBlock[5], uint8_t(77));
        QCOMPARE(edit(ID_DEBOUNCE)->text(), QString("12"));
        QCOMPARE(edit(ID_INPUT_NAME)->text(), QString("mine.dat")); // the document's file name
        QCOMPARE(app_->state().image.bytes[0x605], uint8_t(12));    // the image was rebuilt

        QFile strings("strings.json");
        QVERIFY(strings.open(QIODevice::WriteOnly));
        strings.write(R"({"format": "quillan-definition", "version": 1, "strings": ["a"],
                          "settings": {"enable": ["keyboard", "pointing device"],
                                       "pointing device": "Gyro Parex"}})");
        strings.close();
        QVERIFY(main().importJson("strings.json"));
        QCOMPARE(def().NumberOfStrings, 1);
        QCOMPARE(def().stringSlots[0][0].characterUSB, catalogueRow(kRowA)->usb); // unpacked
        QVERIFY(checked(ID_ENABLE_POINTING));
        QVERIFY(combo(ID_POINT_DEVICE)->isEnabled());
        QCOMPARE(combo(ID_POINT_DEVICE)->currentText(), QString("Gyro Parex"));

        QFile bad("bad.json");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(R"({"format": "quillan-definition", "version": 1, "keys": [{"row": 99}]})");
        bad.close();
        QVERIFY(!main().importJson("bad.json"));
        QCOMPARE(def().NumberOfStrings, 1);
        QVERIFY(shownMessage("keys[0].row: value out of range 0..15 (line 1)", "Import JSON"));
    }

    void checkBoxesInvertTheirFlags() {
        const std::pair<int, uint8_t KeyboardDefinition::*> boxes[] = {
            {ID_STD_REPEAT, &KeyboardDefinition::StdRepeat},
            {ID_GLOBAL_REPEAT_DISABLE, &KeyboardDefinition::GlobalRepeatDisable},
            {ID_ANY_KEY_RELEASE, &KeyboardDefinition::AnyKeyRelease},
            {ID_PREFIX_MAKE_BREAK, &KeyboardDefinition::PrefixMakeBreak}};
        for (const auto& [id, flag] : boxes) {
            const uint8_t before = def().*flag;
            click(id);
            QCOMPARE(def().*flag, uint8_t(!before));
            QCOMPARE(checked(id), bool(!before));
            click(id);
            QCOMPARE(def().*flag, before);
            QCOMPARE(checked(id), bool(before));
        }
        main().command(ID_ENABLE_KEYBOARD);
        QCOMPARE(def().EnableBits, uint8_t(0));
        QVERIFY(!checked(ID_ENABLE_KEYBOARD));
    }

    void enablePointingDevice() {
        click(ID_ENABLE_POINTING);
        QCOMPARE(def().EnableBits, uint8_t(3));
        QVERIFY(checked(ID_ENABLE_POINTING));
        QCOMPARE(combo(ID_POINT_DEVICE)->currentText(), QString("Trackerball"));
        QVERIFY(combo(ID_POINT_DEVICE)->isEnabled());
        QCOMPARE(main().controlValues().PointDevice, 1);
        click(ID_ENABLE_POINTING);
        QCOMPARE(def().EnableBits, uint8_t(1));
        QVERIFY(!checked(ID_ENABLE_POINTING));
        QCOMPARE(combo(ID_POINT_DEVICE)->currentText(), QString("None"));
        QVERIFY(!combo(ID_POINT_DEVICE)->isEnabled());
    }

    void beepLength() {
        click(ID_ACTIVATE_BEEP);
        QCOMPARE(def().BeepLength, uint8_t(100));
        QVERIFY(checked(ID_ACTIVATE_BEEP));
        QVERIFY(edit(ID_BEEP_LENGTH)->isEnabled());
        QCOMPARE(edit(ID_BEEP_LENGTH)->text(), QString("100"));

        edit(ID_BEEP_LENGTH)->selectAll();
        QTest::keyClicks(edit(ID_BEEP_LENGTH), "250");
        QCOMPARE(def().BeepLength, uint8_t(200));
        QCOMPARE(edit(ID_BEEP_LENGTH)->text(), QString("200"));

        edit(ID_BEEP_LENGTH)->setText("12x"); // not a number: ignored
        QCOMPARE(def().BeepLength, uint8_t(200));
        edit(ID_BEEP_LENGTH)->setText("300"); // would be 44 as a low byte
        QCOMPARE(def().BeepLength, uint8_t(200));
        edit(ID_BEEP_LENGTH)->setText("99999999999");
        QCOMPARE(def().BeepLength, uint8_t(200));
        edit(ID_BEEP_LENGTH)->setText("42");
        QCOMPARE(def().BeepLength, uint8_t(42));

        edit(ID_BEEP_LENGTH)->selectAll();
        QTest::keyClicks(edit(ID_BEEP_LENGTH), "0");
        QCOMPARE(def().BeepLength, uint8_t(0));
        QVERIFY(!edit(ID_BEEP_LENGTH)->isEnabled());
        QVERIFY(!checked(ID_ACTIVATE_BEEP));

        click(ID_ACTIVATE_BEEP);
        click(ID_ACTIVATE_BEEP);
        QCOMPARE(def().BeepLength, uint8_t(0));
        QVERIFY(!edit(ID_BEEP_LENGTH)->isEnabled());
    }

    void fieldsAreBounded() {
        edit(ID_DEBOUNCE)->setText("300");
        QCOMPARE(main().controlValues().DebounceTime, 255);
        edit(ID_DEBOUNCE)->setText("0");
        QCOMPARE(main().controlValues().DebounceTime, 1);
        edit(ID_DEBOUNCE)->setText("");
        QCOMPARE(main().controlValues().DebounceTime, 1);
        edit(ID_DEBOUNCE)->setText("77");
        QCOMPARE(main().controlValues().DebounceTime, 77);
        QTest::keyClicks(edit(ID_DEBOUNCE), "ab"); // digits only
        QCOMPARE(edit(ID_DEBOUNCE)->text(), QString("77"));

        QTest::keyClicks(edit(ID_SERIAL), QString(40, 'S'));
        QCOMPARE(edit(ID_SERIAL)->text().size(), 31);
        QCOMPARE(main().controlValues().serialNumber.size(), size_t(31));
        ControlValues values = main().controlValues();
        values.fileName = std::string(40, 'f');
        values.serialNumber = std::string(40, 's');
        main().applyControlValues(values);
        QCOMPARE(main().controlValues().fileName.size(), size_t(31));
        QCOMPARE(main().controlValues().serialNumber.size(), size_t(31));
    }

    void generateWritesTheImageFiles() {
        defineKey(def(), 0, 0, kRowA);
        click(ID_GENERATE);
        QCOMPARE(fileSize("EEPkey.bin"), qint64(8192));
        QVERIFY(fileSize("EEPkey.txt") > 0);
        QFile text("EEPkey.txt");
        QVERIFY(text.open(QIODevice::ReadOnly));
        QVERIFY(text.readLine().startsWith("Scan Set2 code table"));
        QVERIFY(MessageBox::shown().empty());
    }

    void refusedBuildShowsItsMessage() {
        // 512 distinct keys: more than the image holds.
        for (int cell = 0; cell < kCells; ++cell) {
            for (int layer = 0; layer < kLayers; ++layer) {
                LayerAssignment& l = def().cells[cell].layers[layer];
                l.used = 1;
                l.ibmkey = 1 + cell % 64;
                l.keymode = uint8_t(layer | ((cell / 64) << 2));
                l.keytype = NORMAL_KEY;
            }
        }
        click(ID_GENERATE);
        QCOMPARE(fileSize("EEPkey.bin"), qint64(-1));
        QCOMPARE(MessageBox::shown().size(), size_t(1));
        QVERIFY(!MessageBox::shown()[0].text.empty());
        MessageBox::clearShown();
        startSimulated("keyboard-100B");
        def() = KeyboardDefinition{};
        for (int cell = 0; cell < kCells; ++cell)
            for (int layer = 0; layer < kLayers; ++layer) {
                LayerAssignment& l = def().cells[cell].layers[layer];
                l.used = 1;
                l.ibmkey = 1 + cell % 64;
                l.keymode = uint8_t(layer | ((cell / 64) << 2));
            }
        click(ID_PROGRAM); // nothing is sent for a refused build
        QCOMPARE(sim_->keyboard()->writesStored(), 0);
        QVERIFY(!shownMessage("Plug in the keyboard to program !", "Download"));
    }

    void saveAndLoadThroughTheDialogs() {
        defineKey(def(), 2, 3, kRowA);
        setText(def().cell(2, 3).legend, "Esc");
        edit(ID_SERIAL)->setText("SER-42");
        edit(ID_DEBOUNCE)->setText("45");
        combo(ID_REPEAT_DELAY)->setCurrentIndex(2);
        FileDialog::setNextFileName(QString("mykeys"));
        click(ID_SAVE);
        QVERIFY(fileSize("mykeys.dat") > 0);
        QVERIFY(QFile::exists("Saved.txt"));
        QVERIFY(QFile::exists("EEPkey.bin"));
        QCOMPARE(edit(ID_INPUT_NAME)->text(), QString("mykeys.dat"));
        QVERIFY(shownMessage("Saved configuration file !", "Save"));

        click(ID_NEW);
        edit(ID_SERIAL)->setText("changed");
        QCOMPARE(def().cell(2, 3).complete, uint8_t(0));
        // The real Load File dialog: pick the file and press "Load".
        answerNextModal([](QWidget* dialog) {
            auto* files = dialog->findChild<QListWidget*>("35121");
            QVERIFY(!files->findItems("mykeys.dat", Qt::MatchExactly).isEmpty());
            files->setCurrentItem(files->findItems("mykeys.dat", Qt::MatchExactly).front());
            dialog->findChild<QPushButton*>("1")->click();
        });
        click(ID_LOAD);
        QCOMPARE(def().cell(2, 3).complete, uint8_t(1));
        QCOMPARE(getText(def().cell(2, 3).legend), std::string("Esc"));
        QCOMPARE(main().cellButton(2, 3)->picture(), Picture::GreenTick);
        QCOMPARE(edit(ID_SERIAL)->text(), QString("SER-42"));
        QCOMPARE(edit(ID_DEBOUNCE)->text(), QString("45"));
        QCOMPARE(combo(ID_REPEAT_DELAY)->currentIndex(), 2);
        QCOMPARE(edit(ID_INPUT_NAME)->text(), QString("mykeys.dat"));
    }

    void saveThroughTheRealDialog() {
        answerNextModal([](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("35127")->setText("typed.dat");
            dialog->findChild<QPushButton*>("1")->click();
        });
        click(ID_SAVE);
        QVERIFY(fileSize("typed.dat") > 0);
        QCOMPARE(edit(ID_INPUT_NAME)->text(), QString("typed.dat"));
    }

    void cancelledSaveWritesNothing() {
        FileDialog::setNextFileName(std::nullopt);
        click(ID_SAVE);
        QCOMPARE(edit(ID_INPUT_NAME)->text(), QString("in.dat"));
        QVERIFY(!QFile::exists("Saved.txt"));
        QVERIFY(!shownMessage("Saved configuration file !", "Save"));
        answerNextModal([](QWidget* dialog) { dialog->findChild<QPushButton*>("2")->click(); });
        click(ID_SAVE);
        QCOMPARE(edit(ID_INPUT_NAME)->text(), QString("in.dat"));
        QVERIFY(!QFile::exists("Saved.txt"));
    }

    void failedLoadLeavesEverything() {
        QFile bad("bad.dat");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a settings file");
        bad.close();
        defineKey(def(), 4, 4, kRowA);
        edit(ID_SERIAL)->setText("keep");
        const auto cells = def().cells;
        const ControlValues before = main().controlValues();
        FileDialog::setNextFileName(QString("bad.dat"));
        click(ID_LOAD);
        QVERIFY(def().cells == cells);
        QCOMPARE(main().controlValues(), before);
        QVERIFY(!shownMessage("Loaded configuration file !", "Load"));
        FileDialog::setNextFileName(QString("missing.dat"));
        click(ID_LOAD);
        QVERIFY(shownMessage("Could not open file !", "Open file"));
        QVERIFY(def().cells == cells);
        QCOMPARE(main().controlValues(), before);
    }

    void programAndReadBackTheSimulatedKeyboard() {
        startSimulated("keyboard-100B");
        defineKey(def(), 0, 0, kRowA);
        defineKey(def(), 7, 2, kRowA + 1);
        click(ID_PROGRAM);
        QVERIFY(shownMessage("Plug in the keyboard to program !", "Download"));
        QVERIFY(!shownMessage("Programming failed", "Programming"));
        QVERIFY(!shownMessage("No Keyboard Found!", "Programming"));
        const EepromImage& image = app_->state().image;
        const SimKeyboard* keyboard = sim_->keyboard();
        QVERIFY(std::equal(image.bytes.begin(), image.bytes.begin() + 0x1400,
                           keyboard->eeprom.begin()));
        QCOMPARE(main().progressBar()->maximum(), 20);
        QCOMPARE(main().progressBar()->value(), 20);
        QVERIFY(clock_.waits >= 5120); // paced by the injected clock
        QCOMPARE(edit(ID_KEYBOARD_VERSION)->text(), QString("V0001"));
        QVERIFY(main().clientArea()->isEnabled()); // input allowed again

        click(ID_NEW);
        MessageBox::clearShown();
        click(ID_READ_EEPROM);
        QVERIFY(shownMessage("Plug in the keyboard to read !", ""));
        QVERIFY(shownMessage("Keyboard read !", "Reading"));
        QCOMPARE(def().cell(0, 0).complete, uint8_t(1));
        QCOMPARE(def().cell(0, 0).layers[0].ibmkey, kRowA);
        QCOMPARE(def().cell(7, 2).layers[0].ibmkey, kRowA + 1);
        QCOMPARE(def().cell(1, 0).used, uint8_t(0));
        QCOMPARE(main().cellButton(1, 0)->picture(), Picture::GreyCircle);
        QCOMPARE(main().cellButton(0, 0)->picture(), Picture::GreenTick);
        QVERIFY(fileSize("eepraw.txt") > 0);
        QCOMPARE(main().progressBar()->value(), main().progressBar()->maximum());
        QCOMPARE(main().progressBar()->text(), QString("Read 5120 bytes"));
    }

    void programmingDevice() {
        startSimulated("programmer-0411");
        defineKey(def(), 0, 1, kRowA);
        click(ID_PROGRAM);
        QVERIFY(shownMessage("Plug in the keyboard to program !", "Download"));
        QVERIFY(!shownMessage("Programming failed", "Programming"));
        QCOMPARE(main().progressBar()->value(), 20);
        QVERIFY(std::equal(app_->state().image.bytes.begin(),
                           app_->state().image.bytes.begin() + 0x400,
                           sim_->programmer()->eeprom.begin()));
        // The programming device cannot be read back; the matrix stays.
        click(ID_READ_EEPROM);
        QVERIFY(
            shownMessage("No keyboard detected or Upload not supported!", "Read Keyboard EEProm"));
        QCOMPARE(def().cell(0, 1).complete, uint8_t(1));
    }

    void backendChoice() {
        QVERIFY(makeBackend("keyboard-100A") != nullptr);
        QVERIFY(makeBackend("no-such-device") == nullptr);
        QVERIFY(makeBackend("") != nullptr); // the real bus
    }

    void checkPresence() {
        startSimulated("keyboard-100B");
        click(ID_CHECK_PRESENCE);
        QCOMPARE(edit(ID_KEYBOARD_VERSION)->text(), QString("V0001"));
        QCOMPARE(app_->state().keyboardVersion, 1u);
        QCOMPARE(main().statusText(), QString("Keyboard V0001 found"));
    }

    void noKeyboard() {
        click(ID_CHECK_PRESENCE);
        QCOMPARE(edit(ID_KEYBOARD_VERSION)->text(), QString());
        QCOMPARE(main().statusText(), QString("No keyboard found"));
        click(ID_PROGRAM);
        QVERIFY(shownMessage("No Keyboard Found!", "Programming"));
        QVERIFY(!shownMessage("Programming failed", "Programming"));
        QCOMPARE(edit(ID_KEYBOARD_VERSION)->text(), QString());
        QVERIFY(main().clientArea()->isEnabled());

        defineKey(def(), 3, 3, kRowA);
        MessageBox::clearShown();
        click(ID_READ_EEPROM);
        QVERIFY(
            shownMessage("No keyboard detected or Upload not supported!", "Read Keyboard EEProm"));
        QVERIFY(!shownMessage("Keyboard read !", "Reading"));
        // The matrix is reset only by a read that succeeded.
        QCOMPARE(def().cell(3, 3).complete, uint8_t(1));
        QCOMPARE(def().cell(3, 3).layers[0].ibmkey, kRowA);
        QVERIFY(!QFile::exists("eepraw.txt"));
    }

    void testKeyboardShowsTheTestWindow() {
        click(ID_TEST_KEYBOARD);
        QVERIFY(app_->testWindow().isVisible());
        app_->testWindow().findChild<QPushButton*>("35117")->click();
        QVERIFY(!app_->testWindow().isVisible());
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
