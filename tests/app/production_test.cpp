// Verification after programming in the main window ("Verify after
// programming", the result on the progress bar, the differing bytes) and the
// "Production run…" window on the simulated keyboard.
#include "app_fixture.h"
#include "hidlink/sim_backend.h"
#include "model/settings_file.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>

using namespace quillan;
using namespace quillan::testing;

class ProductionTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempWorkingDir> dir_;
    std::unique_ptr<Application> app_;
    SimBackend* sim_ = nullptr;
    CountingClock clock_;

    MainWindow& main() { return app_->mainWindow(); }
    QAction* action(const char* name) { return main().findChild<QAction*>(name); }
    void start(const char* kind) {
        app_.reset();
        std::unique_ptr<SimBackend> backend = makeSimulatedBackend(kind);
        sim_ = backend.get();
        app_ = startApplication(std::move(backend), &clock_);
    }
    void program() { main().control<QAbstractButton>(ID_PROGRAM)->click(); }
    // The "Production run…" window opened for a run from "def.dat" (a
    // start-up definition saved first) that logs to "run.csv"; count 0
    // leaves the window's count as it is. nullptr when nothing could be saved.
    ProductionWindow* openRun(const char* serial, int count) {
        KeyboardDefinition def;
        ControlValues controls;
        initStartupDefinition(def, controls);
        if (!saveSettings(def, controls, "def.dat"))
            return nullptr;
        action("productionRun")->trigger();
        ProductionWindow& window = app_->productionWindow();
        window.settingsFileEdit()->setText("def.dat");
        window.serialEdit()->setText(serial);
        if (count > 0)
            window.countBox()->setValue(count);
        window.logFileEdit()->setText("run.csv");
        return &window;
    }

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        QSettings("Quillan", "Quillan").clear();
        dir_ = std::make_unique<TempWorkingDir>();
        start("keyboard-100B");
    }
    void cleanup() {
        app_.reset();
        dir_.reset();
    }

    void verifiedDownloadShowsOnTheProgressBar() {
        QAction* verify = action("verifyAfterProgramming");
        QVERIFY(verify && verify->isCheckable() && verify->isChecked());
        program();
        QVERIFY(!shownMessage("Programming failed", "Programming"));
        QProgressBar* bar = main().progressBar();
        QVERIFY(bar->isTextVisible());
        QVERIFY(bar->text().startsWith("V0001 programmed in "));
        QVERIFY(bar->text().endsWith(", verified"));
        QCOMPARE(bar->value(), 20);

        // Off, and remembered.
        verify->setChecked(false);
        QVERIFY(!QSettings("Quillan", "Quillan").value("verifyAfterProgramming").toBool());
        start("keyboard-100B");
        QVERIFY(!action("verifyAfterProgramming")->isChecked());
        program();
        QVERIFY(main().progressBar()->text().endsWith(", not verified"));
    }

    void mismatchShowsProgrammingFailedWithTheBytes() {
        sim_->primary()->faults.corruptAddress = 0x123;
        program();
        QCOMPARE(MessageBox::shown().back().caption, std::string("Programming"));
        const std::string text = MessageBox::shown().back().text;
        QVERIFY(text.rfind("Programming failed\nVerify failed at 0123: wrote ", 0) == 0);
        QVERIFY(text.find("1 byte differs") != std::string::npos);
        QVERIFY(!main().progressBar()->isTextVisible());
        QVERIFY(main().clientArea()->isEnabled());
    }

    void productionRunWindow() {
        ProductionWindow* run = openRun("QX-0009", 2);
        QVERIFY(run);
        ProductionWindow& window = *run;
        QVERIFY(window.isVisible());
        const ProduceResult result = window.start();
        QCOMPARE(int(result.end), int(ProduceEnd::Done));
        QCOMPARE(window.statusLabel()->text(), QString("PASS"));
        QCOMPARE(window.countsLabel()->text(), QString("passed 2, failed 0"));
        QCOMPARE(window.logLines()->count(), 2);
        QVERIFY(window.logLines()->item(1)->text().contains(",QX-0010,04B4:100B,V0001,PASS,"));
        QVERIFY(QFileInfo::exists("run.csv"));
        // The main window's definition was not touched by the run.
        QCOMPARE(app_->state().controls.fileName, std::string("in.dat"));

        // A serial that cannot be counted on is refused with a message in
        // the window; the counters of the run before are cleared.
        const size_t boxes = MessageBox::shown().size();
        for (const char* serial : {"QX-9999", "QX\u20AC1"}) {
            window.serialEdit()->setText(QString::fromUtf8(serial));
            QCOMPARE(int(window.start().end), int(ProduceEnd::Refused));
            QVERIFY(!window.messageLabel()->text().isEmpty());
            QCOMPARE(window.countsLabel()->text(), QString("passed 0, failed 0"));
            QCOMPARE(window.logLines()->count(), 0);
            QCOMPARE(window.progressBar()->value(), -1);
        }
        QCOMPARE(MessageBox::shown().size(), boxes);
    }

    // Stop in the middle of a unit: the unit is logged as FAIL, the run
    // ends, and no box waits for a click (nor does the load's message).
    void stopDuringAUnitEndsItCleanly() {
        ProductionWindow* run = openRun("QX-0001", 0);
        QVERIFY(run);
        ProductionWindow& window = *run;
        // Stop pressed a quarter into the download (the unit runs on a
        // worker of its own).
        sim_->at(1300, [&window](SimBackend&) { window.stop(); });
        const size_t boxes = MessageBox::shown().size();
        const ProduceResult result = window.start();
        QCOMPARE(int(result.end), int(ProduceEnd::Aborted));
        QCOMPARE(MessageBox::shown().size(), boxes);
        QCOMPARE(window.statusLabel()->text(), QString("FAIL"));
        QVERIFY(window.messageLabel()->text().contains("QX-0001 FAIL: cancelled"));
        QVERIFY(window.logLines()->item(0)->text().contains(",QX-0001,04B4:100B,V0001,FAIL,"));
        QVERIFY(window.stopButton()->isEnabled() == false);
    }

    // Unsaved changes: the run takes the editor's definition, not the file;
    // it follows "Verify after programming".
    void currentDefinitionAndVerifySetting() {
        main().control<QAbstractButton>(ID_NEW)->click();
        main().control<QAbstractButton>(ID_ACTIVATE_BEEP)->click();
        QVERIFY(main().hasUnsavedChanges());
        action("verifyAfterProgramming")->setChecked(false);
        action("productionRun")->trigger();
        ProductionWindow& window = app_->productionWindow();
        QVERIFY(window.currentDefinitionButton()->isChecked());
        QVERIFY(window.runsLabel()->text().contains("current definition"));
        window.settingsFileEdit()->setText("missing.dat");
        window.serialEdit()->setText("QX-0001");
        window.countBox()->setValue(1);
        window.logFileEdit()->setText("run.csv");
        QCOMPARE(int(window.start().end), int(ProduceEnd::Done));
        QVERIFY(window.logLines()->item(0)->text().endsWith(",no"));
        const auto* unit = dynamic_cast<SimEepromDevice*>(sim_->devices().back().get());
        QCOMPARE(int(unit->eeprom[kGeneralInfoTable + 0xF]), 100); // the beep length
        window.settingsFileButton()->setChecked(true);
        QVERIFY(window.runsLabel()->text().contains("missing.dat"));
        QCOMPARE(int(window.start().end), int(ProduceEnd::Failed));
    }

    // Four keyboards plugged in: a row per station, each with its own serial,
    // a full progress bar and its PASS; the totals; the same log.
    void everyStationHasItsRow() {
        start("keyboard-100B*4");
        ProductionWindow* run = openRun("QX-0001", 4);
        QVERIFY(run);
        ProductionWindow& window = *run;
        QCOMPARE(int(window.start().end), int(ProduceEnd::Done));
        // A unit that ends before the last starts frees its row for it.
        QTableWidget* rows = window.stationRows();
        QVERIFY(rows->rowCount() >= 1 && rows->rowCount() <= 4);
        for (int row = 0; row < rows->rowCount(); ++row) {
            QVERIFY(rows->item(row, 0)->text().startsWith("sim:"));
            QCOMPARE(static_cast<QProgressBar*>(rows->cellWidget(row, 2))->value(), 20);
            QVERIFY(rows->item(row, 3)->text().startsWith(rows->item(row, 1)->text() + " PASS: "));
        }
        QStringList serials;
        for (int line = 0; line < window.logLines()->count(); ++line)
            serials << window.logLines()->item(line)->text().section(',', 1, 1);
        serials.sort();
        QCOMPARE(serials, (QStringList{"QX-0001", "QX-0002", "QX-0003", "QX-0004"}));
        QCOMPARE(window.countsLabel()->text(), QString("passed 4, failed 0"));
        QCOMPARE(window.logLines()->count(), 4);
    }

    // While a run has the bus, the main window's keyboard commands are off.
    void keyboardCommandsAreOffDuringARun() {
        ProductionWindow* run = openRun("QX-0001", 1);
        QVERIFY(run);
        ProductionWindow& window = *run;
        QList<bool> seen; // Program, Read, Check presence, menu entry; per change
        connect(&window, &ProductionWindow::runningChanged, this, [&](bool) {
            for (int id : {ID_PROGRAM, ID_READ_EEPROM, ID_CHECK_PRESENCE})
                seen << main().control(id)->isEnabled();
            seen << main().commandAction(ID_PROGRAM)->isEnabled();
        });
        QCOMPARE(int(window.start().end), int(ProduceEnd::Done));
        QCOMPARE(seen, (QList<bool>{false, false, false, false, true, true, true, true}));
    }
};

QTEST_MAIN(ProductionTest)
#include "production_test.moc"
