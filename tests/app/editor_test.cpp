// The editor around the commands: unsaved changes and their prompt on every
// path, undo and redo across the dialogs, status texts, tooltips, the file
// dialogs' folder and overwrite question, and the key check.
#include "app/key_check_view.h"
#include "app/pictures.h"
#include "app_fixture.h"
#include "dialogs/key_picker_window.h"
#include "dialogs/key_settings_dialog.h"
#include "gui/window_placement.h"
#include "hidlink/sim_backend.h"
#include "model/catalogue.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>

using namespace quillan;
using namespace quillan::testing;

namespace {

constexpr int kRowA = 31, kRowF4 = 115, kRowMute = 143;
const std::string kPrompt = "The keyboard definition has unsaved changes. Save them?";

void sendKey(QWidget* target, int qtKey, int evdev) {
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, evdev + 8, 0, 0);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, evdev + 8, 0, 0);
    QApplication::sendEvent(target, &release);
}

void defineKey(KeyboardDefinition& def, int row, int column, int ibmRow) {
    LayerAssignment& layer = def.cell(row, column).layers[0];
    layer.used = 1;
    layer.ibmkey = ibmRow;
    layer.keytype = catalogueRow(ibmRow)->keyType;
}

} // namespace

class EditorTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempWorkingDir> dir_;
    std::unique_ptr<Application> app_;
    CountingClock clock_;

    MainWindow& main() { return app_->mainWindow(); }
    KeyboardDefinition& def() { return app_->state().def; }
    void click(int id) { main().control<QAbstractButton>(id)->click(); }
    QString absolute(const QString& name) {
        return QDir::toNativeSeparators(QDir(dir_->path()).absoluteFilePath(name));
    }

    void start(const char* simulated) {
        app_.reset();
        std::unique_ptr<HidBackend> backend = std::make_unique<EmptyBackend>();
        if (simulated)
            backend = makeSimulatedBackend(simulated);
        app_ = startApplication(std::move(backend), &clock_);
    }

    // Opens Key Settings for row/column, runs edit inside it, then OK.
    void editKey(int row, int column, std::function<void(KeySettingsDialog&)> edit) {
        answerNextModal([edit](QWidget* modal) {
            auto* dialog = qobject_cast<KeySettingsDialog*>(modal);
            QVERIFY(dialog);
            edit(*dialog);
            dialog->command(KS_OK);
        });
        main().cellButton(row, column)->click();
    }

  private slots:
    void init() {
        dir_ = std::make_unique<TempWorkingDir>();
        start(nullptr);
    }
    void cleanup() {
        setModalHook({});
        FileDialog::clearQueuedNames();
        app_.reset();
        dir_.reset();
    }

    void titleFollowsUnsavedChanges() {
        QCOMPARE(main().windowTitle(), QString("Quillan[*]"));
        QVERIFY(!main().isWindowModified());
        click(ID_STD_REPEAT);
        QVERIFY(main().isWindowModified());
        click(ID_STD_REPEAT); // back to what is saved
        QVERIFY(!main().isWindowModified());
        auto* rate = main().control<QComboBox>(ID_REPEAT_RATE);
        rate->setCurrentIndex(3);
        emit rate->activated(3);
        QVERIFY(main().isWindowModified());
        QCOMPARE(main().undoAction()->text(), QString("&Undo Default repeat rate"));
        FileDialog::setNextFileName(QString("k.dat"));
        click(ID_SAVE);
        QVERIFY(!main().isWindowModified());
        QCOMPARE(main().statusText(), QString("Settings saved to %1 (readable copy %2)")
                                          .arg(absolute("k.dat"), absolute("Saved.txt")));
    }

    // Closing, Exit, New, Load and read-back ask first: Cancel keeps
    // everything, Discard goes on, Save saves and goes on.
    void unsavedChangesPromptOnEveryPath_data() {
        QTest::addColumn<int>("path");
        QTest::addColumn<int>("answer");
        for (int path : {0, int(ID_EXIT), int(ID_NEW), int(ID_LOAD), int(ID_READ_EEPROM)})
            for (auto answer : {QMessageBox::Cancel, QMessageBox::Discard, QMessageBox::Save})
                QTest::addRow("%d/%x", path, int(answer)) << path << int(answer);
    }
    void unsavedChangesPromptOnEveryPath() {
        QFETCH(int, path);
        QFETCH(int, answer);
        start("keyboard-100B");
        FileDialog::setNextFileName(QString("other.dat"));
        click(ID_SAVE); // what Load loads: the flag clear
        click(ID_PREFIX_MAKE_BREAK);
        QVERIFY(main().hasUnsavedChanges());
        MessageBox::clearShown();
        MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
        if (answer == QMessageBox::Save)
            FileDialog::setNextFileName(QString("saved.dat"));
        if (path == ID_LOAD)
            FileDialog::setNextFileName(QString("other.dat"));
        if (path == 0)
            main().close();
        else
            main().command(path);
        QVERIFY(shownMessage(kPrompt, "Quillan"));
        const bool goesOn = answer != QMessageBox::Cancel;
        QCOMPARE(QFile::exists("saved.dat"), answer == QMessageBox::Save);
        if (path == 0 || path == ID_EXIT)
            QCOMPARE(main().isVisible(), !goesOn);
        else if (path == ID_READ_EEPROM)
            QCOMPARE(shownMessage("Plug in the keyboard to read !", ""), goesOn);
        else
            QCOMPARE(def().PrefixMakeBreak, uint8_t(goesOn ? 0 : 1));
        if (!goesOn)
            QVERIFY(main().hasUnsavedChanges());
    }

    void noPromptWithoutChanges() {
        click(ID_NEW);
        main().close();
        QVERIFY(MessageBox::shown().empty());
        QVERIFY(!main().isVisible());
    }

    void undoRedoOfCheckBoxesAndBound() {
        click(ID_STD_REPEAT);
        QCOMPARE(main().undoAction()->text(), QString("&Undo Standard repeat"));
        QVERIFY(!main().redoAction()->isEnabled());
        main().undoAction()->trigger();
        QCOMPARE(def().StdRepeat, uint8_t(1));
        QVERIFY(main().control<QAbstractButton>(ID_STD_REPEAT)->isChecked());
        QCOMPARE(main().redoAction()->text(), QString("&Redo Standard repeat"));
        main().redoAction()->trigger();
        QCOMPARE(def().StdRepeat, uint8_t(0));
        QVERIFY(!main().control<QAbstractButton>(ID_STD_REPEAT)->isChecked());
        for (int i = 0; i < 150; ++i)
            click(ID_ANY_KEY_RELEASE);
        QCOMPARE(main().history().undoSteps(), UndoHistory::kMaxSteps);
        QCOMPARE(main().undoAction()->shortcut(), QKeySequence("Ctrl+Z"));
        QCOMPARE(main().redoAction()->shortcuts(),
                 QList<QKeySequence>({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
    }

    // A picker OK inside Key Settings gives layer 1 a string; undo takes
    // back the layer, its Used tick and the string slot, redo restores them.
    void undoAfterPickerRestoresLayerAndSlot() {
        const std::string legend = getText(def().cell(2, 3).legend);
        editKey(2, 3, [this](KeySettingsDialog& dialog) {
            dialog.findChild<QLineEdit*>(QString::number(KS_LEGEND))->setText("Q");
            dialog.command(KS_ASSIGN_MACRO + 1);
            KeyPickerWindow* picker = app_->keyPicker();
            sendKey(picker, Qt::Key_A, 30);
            sendKey(picker, Qt::Key_B, 48);
            picker->command(PICKER_OK);
        });
        const LayerAssignment after = def().cell(2, 3).layers[1];
        QCOMPARE(after.keytype, uint8_t(STRING_KEY));
        QCOMPARE(after.used, uint8_t(1));
        const int slot = after.ibmkey;
        QVERIFY(!def().stringSlots[slot][0].isZero());
        QVERIFY(main().cellButton(2, 3)->toolTip().contains("Fn1 / No Fn2: String \"ab\""));
        QCOMPARE(main().undoAction()->text(), QString("&Undo Key 3/2"));

        main().undo();
        QCOMPARE(def().cell(2, 3).layers[1], LayerAssignment{});
        QVERIFY(def().stringSlots[slot][0].isZero());
        QCOMPARE(getText(def().cell(2, 3).legend), legend);
        QCOMPARE(main().statusText(), QString("Undone: Key 3/2"));
        main().redo();
        QCOMPARE(def().cell(2, 3).layers[1], after);
        QVERIFY(!def().stringSlots[slot][0].isZero());
        QCOMPARE(getText(def().cell(2, 3).legend), std::string("Q"));

        // New and its undo.
        MessageBox::setNextAnswer(QMessageBox::Discard);
        click(ID_NEW);
        QCOMPARE(def().cell(2, 3).layers[1].keytype, uint8_t(UNUSED_KEY));
        main().undo();
        QCOMPARE(def().cell(2, 3).layers[1], after);
    }

    void statusTexts() {
        click(ID_GENERATE);
        QCOMPARE(main().statusText(), QString("EEPROM files written: %1, %2")
                                          .arg(absolute("EEPkey.bin"), absolute("EEPkey.txt")));
        start("keyboard-100B");
        defineKey(def(), 0, 0, kRowA);
        click(ID_PROGRAM);
        QVERIFY(main().statusText().startsWith("Keyboard programmed (V0001) at "));
        QVERIFY(!shownMessage("Programming failed", "Programming"));
    }

    void cellToolTipsAndVersionDisplay() {
        defineKey(def(), 1, 2, kRowF4);
        setText(def().cell(1, 2).legend, "F4");
        main().refreshFromDefinition();
        QCOMPARE(main().cellButton(1, 2)->toolTip(),
                 QString("Row 1, column 2\nLegend: F4\nNo Fn1 / No Fn2: IBM Key 115 (F4)"));
        QVERIFY(main().cellButton(0, 0)->toolTip().startsWith("Row 0, column 0"));
        QVERIFY(!main().cellButton(0, 0)->toolTip().contains("No Fn1")); // no used layer
        QVERIFY(main().control<QLineEdit>(ID_KEYBOARD_VERSION)->isReadOnly());
    }

    void saveDialogTakesClickedNameAndAsksBeforeReplacing() {
        QFile existing("a.dat");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QString shared;
        SaveFileDialog dialog(&main(), shared);
        QCOMPARE(dialog.folderLabel()->toolTip(), QDir::toNativeSeparators(dir_->path()));
        QListWidgetItem* item = dialog.fileList()->item(0);
        emit dialog.fileList()->itemClicked(item);
        QCOMPARE(dialog.fileNameField()->text(), QString("a.dat"));
        MessageBox::clearShown();
        MessageBox::setNextAnswer(QMessageBox::No);
        QVERIFY(!dialog.confirmOverwrite());
        QVERIFY(shownMessage("a.dat already exists. Replace it?", "Save File"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QVERIFY(dialog.confirmOverwrite());
        dialog.fileNameField()->setText("fresh");
        MessageBox::clearShown();
        QVERIFY(dialog.confirmOverwrite());
        QVERIFY(MessageBox::shown().empty());
        LoadFileDialog load(&main(), {}, shared);
        QCOMPARE(load.folderLabel()->toolTip(), QDir::toNativeSeparators(dir_->path()));
    }

    void keyCheckMarksArrivingKeys() {
        defineKey(def(), 0, 0, kRowA);
        defineKey(def(), 0, 1, kRowMute);
        defineKey(def(), 3, 4, kRowF4);
        defineKey(def(), 5, 5, kRowA + 1);
        def().cell(5, 5).enabled = 0; // not fitted: not counted
        TestWindow& test = app_->testWindow();
        main().command(ID_TEST_KEYBOARD);
        test.findChild<QPushButton*>(QString::number(TestWindow::kKeyCheckId))->click();
        QVERIFY(test.keyCheckShown());
        KeyCheckView* check = test.keyCheck();
        QCOMPARE(check->progressText(), QString("0 of 3 keys checked"));
        sendKey(&test, Qt::Key_A, 30);
        sendKey(&test, Qt::Key_A, 30);
        sendKey(&test, Qt::Key_VolumeMute, 113);
        sendKey(&test, Qt::Key_Z, 44);
        QCOMPARE(check->progressText(), QString("2 of 3 keys checked"));
        KeyCheckSummary summary = check->summary();
        QVERIFY(summary.seenCells[0] && summary.seenCells[1] && !summary.seenCells[3 * 8 + 4]);
        QCOMPARE(summary.unexpected.size(), size_t(1));
        QCOMPARE(usageName(summary.unexpected[0]), std::string("Z"));
        QVERIFY(!test.lines().empty()); // the messages are still listed
        sendKey(&test, Qt::Key_F4, 62);
        QCOMPARE(check->progressText(), QString("3 of 3 keys checked"));
        test.findChild<QPushButton*>(QString::number(TestWindow::kResetId))->click();
        QCOMPARE(check->progressText(), QString("0 of 3 keys checked"));
        QVERIFY(test.x() < 600); // moved onto the screen
    }

    // Cancel after the picker's OK keeps the layer; the cell shows it.
    void cancelAfterPickerRedrawsTheCell() {
        QCOMPARE(main().cellButton(2, 3)->picture(), Picture::RedCross);
        answerNextModal([this](QWidget* modal) {
            auto* dialog = qobject_cast<KeySettingsDialog*>(modal);
            dialog->command(KS_ASSIGN_MACRO);
            sendKey(app_->keyPicker(), Qt::Key_A, 30);
            app_->keyPicker()->command(PICKER_OK);
            dialog->command(KS_CANCEL);
        });
        main().cellButton(2, 3)->click();
        QCOMPARE(def().cell(2, 3).layers[0].ibmkey, kRowA);
        QCOMPARE(def().cell(2, 3).complete, uint8_t(1));
        QCOMPARE(main().cellButton(2, 3)->picture(), Picture::GreenTick);
    }

    // Every fitted key is counted once, by the first layer that sends a key.
    void keyCheckCountsEveryFittedKey() {
        const KeyUsage a{PAGE_KEYBOARD, catalogueRow(kRowA)->usb};
        const KeyUsage f4{PAGE_KEYBOARD, catalogueRow(kRowF4)->usb};
        struct Case {
            const char* what;
            std::function<void(KeyboardDefinition&)> define;
            KeyUsage expected; // invalid: not counted
        };
        const Case cases[] = {
            {"no-Fn key", [](KeyboardDefinition& d) { defineKey(d, 0, 0, kRowA); }, a},
            {"string key by its first key code",
             [f4](KeyboardDefinition& d) {
                 LayerAssignment& l = d.cell(0, 0).layers[0];
                 l = {};
                 l.used = 1;
                 l.keytype = STRING_KEY;
                 l.ibmkey = 4;
                 d.stringSlots[4][0] = StringCell{0x02, 0, 0, NORMAL_KEY}; // Shift alone
                 d.stringSlots[4][1] = StringCell{0, f4.usage, 0, NORMAL_KEY};
             },
             f4},
            {"Fn1 layer only",
             [](KeyboardDefinition& d) {
                 defineKey(d, 0, 0, kRowF4);
                 d.cell(0, 0).layers[1] = d.cell(0, 0).layers[0];
                 d.cell(0, 0).layers[0] = {};
             },
             f4},
            {"not fitted",
             [](KeyboardDefinition& d) {
                 defineKey(d, 0, 0, kRowA);
                 d.cell(0, 0).used = 0;
             },
             {}},
            {"empty string",
             [](KeyboardDefinition& d) {
                 d.cell(0, 0).layers[0].used = 1;
                 d.cell(0, 0).layers[0].keytype = STRING_KEY;
             },
             {}},
        };
        for (const Case& c : cases) {
            KeyboardDefinition d;
            for (KeyCell& cell : d.cells)
                cell.used = 0;
            d.cell(0, 0).used = 1;
            c.define(d);
            QVERIFY2(checkedUsage(d, 0) == c.expected, c.what);
            QCOMPARE(int(expectedKeys(d).size()), c.expected.valid() ? 1 : 0);
            KeyCheck check;
            check.press(c.expected);
            QCOMPARE(check.summarize(d).checked, c.expected.valid() ? 1 : 0);
        }
    }

    // Marks of the last keyboard never carry over to a new definition or
    // a reopened test window.
    void keyCheckStartsAfreshWhenTheDefinitionIsReplaced() {
        start("keyboard-100B");
        FileDialog::setNextFileName(QString("k.dat"));
        click(ID_SAVE);
        QVERIFY(main().exportJson("k.json"));
        TestWindow& test = app_->testWindow();
        const std::pair<const char*, std::function<void()>> replacements[] = {
            {"New", [this] { click(ID_NEW); }},
            {"Load",
             [this] {
                 FileDialog::setNextFileName(QString("k.dat"));
                 click(ID_LOAD);
             }},
            {"Import JSON", [this] { QVERIFY(main().importJson("k.json")); }},
            {"read-back", [this] { click(ID_READ_EEPROM); }},
            {"reopened",
             [this, &test] {
                 test.findChild<QPushButton*>("35117")->click();
                 main().command(ID_TEST_KEYBOARD);
             }},
        };
        const auto fitKeyA = [this] {
            def().cell(0, 0).used = def().cell(0, 0).enabled = 1;
            defineKey(def(), 0, 0, kRowA);
        };
        for (const auto& [what, replace] : replacements) {
            main().command(ID_TEST_KEYBOARD);
            fitKeyA();
            sendKey(&test, Qt::Key_A, 30);
            QVERIFY2(test.keyCheck()->summary().checked == 1, what);
            MessageBox::setNextAnswer(QMessageBox::Discard);
            replace();
            fitKeyA();
            QVERIFY2(test.keyCheck()->summary().checked == 0, what);
        }
    }

    // "Export as JSON…" adds the suffix and says where; "Import JSON…" is
    // its own undo step and shows the file name the document holds.
    void jsonExportNameAndImportStep() {
        QVERIFY(main().exportJson("board"));
        QVERIFY(QFile::exists("board.json"));
        QVERIFY(!QFile::exists("board"));
        QCOMPARE(main().statusText(), "Exported to " + absolute("board.json"));
        QVERIFY(main().exportJson("board.v2"));
        QVERIFY(QFile::exists("board.v2"));
        setModalHook([this](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            files->setOption(QFileDialog::DontUseNativeDialog);
            files->selectFile(absolute("menu"));
            return int(QDialog::Accepted);
        });
        for (QAction* action : main().menuBar()->actions().first()->menu()->actions())
            if (action->text() == "Export as JSON…")
                action->trigger();
        setModalHook({});
        QVERIFY(QFile::exists("menu.json"));
        main().control<QLineEdit>(ID_INPUT_NAME)->setText("previous.dat");
        QVERIFY(main().importJson("board.json"));
        QCOMPARE(main().control<QLineEdit>(ID_INPUT_NAME)->text(), QString("in.dat"));
        QCOMPARE(main().undoAction()->text(), QString("&Undo Import JSON"));
    }

    // Double-click loads a file; the Save dialog's name field has the focus.
    void fileDialogHabits() {
        FileDialog::setNextFileName(QString("k.dat"));
        click(ID_SAVE);
        click(ID_STD_REPEAT);
        QString shared;
        bool loaded = false;
        LoadFileDialog load(
            &main(), [&](const std::string& name, QWidget*) { return loaded = name == "k.dat"; },
            shared);
        QListWidgetItem* item = load.fileList()->findItems("k.dat", Qt::MatchExactly).front();
        load.fileList()->setCurrentItem(item);
        emit load.fileList()->itemDoubleClicked(item);
        QVERIFY(loaded);
        QCOMPARE(load.result(), 1);
        QCOMPARE(shared, QString("k.dat"));
        answerNextModal([](QWidget* dialog) {
            QCOMPARE(dialog->focusWidget(), dialog->findChild<QLineEdit*>("35127"));
        });
        click(ID_SAVE);
    }

    void windowsOpenOnScreen() {
        const QRect screen(0, 0, 1280, 1024);
        // The test window at 600,50 with its frame is moved in, not resized.
        QCOMPARE(fitInto(QRect(600, 50, 808, 332), screen), QRect(472, 50, 808, 332));
        QCOMPARE(fitInto(QRect(-20, -5, 100, 100), screen), QRect(0, 0, 100, 100));
        QCOMPARE(fitInto(QRect(900, 900, 2000, 200), screen), QRect(0, 824, 2000, 200));
        QCOMPARE(fitInto(QRect(10, 10, 100, 100), screen), QRect(10, 10, 100, 100));
    }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
