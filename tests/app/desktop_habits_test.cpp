// What a desktop user reaches for beside the buttons: the menu entries that
// run the buttons' commands with their shortcuts, the keyboard commands off
// while a production run has the bus, and a tab order that follows the
// screen.
#include "app_fixture.h"
#include "hidlink/sim_backend.h"

#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>

using namespace quillan;
using namespace quillan::testing;

class DesktopHabitsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempWorkingDir> dir_;
    std::unique_ptr<Application> app_;
    CountingClock clock_;

    MainWindow& main() { return app_->mainWindow(); }
    QLineEdit* edit(int id) { return main().control<QLineEdit>(id); }
    void startSimulated(const char* kind) {
        app_.reset();
        app_ = startApplication(makeSimulatedBackend(kind), &clock_);
    }

  private slots:
    void init() {
        dir_ = std::make_unique<TempWorkingDir>();
        startSimulated("keyboard-100B");
    }
    void cleanup() {
        FileDialog::clearQueuedNames();
        app_.reset();
        dir_.reset();
    }

    // The menu entries beside the buttons run the buttons' commands.
    void menuEntriesRunTheirButtonsCommands() {
        struct Entry {
            int menu;
            const char* text;
            const char* shortcut;
            int id;
            std::function<bool()> ran;
        };
        const Entry entries[] = {
            {0, "&New", "Ctrl+N", ID_NEW,
             [this] { return edit(ID_INPUT_NAME)->text() == "in.dat"; }},
            {0, "&Save settings to file…", "Ctrl+S", ID_SAVE,
             [] { return QFile::exists("menu.dat"); }},
            {0, "&Load settings from file…", "Ctrl+O", ID_LOAD,
             [this] { return edit(ID_INPUT_NAME)->text() == "menu.dat"; }},
            {0, "&Generate EEPROM File", "", ID_GENERATE,
             [] { return QFile::exists("EEPkey.bin"); }},
            {2, "&Program Keyboard", "Ctrl+P", ID_PROGRAM,
             [] { return shownMessage("Plug in the keyboard to program !", "Download"); }},
            {2, "&Read Keyboard EEProm", "", ID_READ_EEPROM,
             [] { return shownMessage("Keyboard read !", "Reading"); }},
            {2, "&Check keyboard presence", "", ID_CHECK_PRESENCE,
             [this] { return main().statusText() == "Keyboard V0001 found"; }},
        };
        const QList<QAction*> menus = main().menuBar()->actions();
        for (const Entry& entry : entries) {
            QAction* action = main().commandAction(entry.id);
            QVERIFY2(action && menus[entry.menu]->menu()->actions().contains(action), entry.text);
            QCOMPARE(action->text(), QString(entry.text));
            QCOMPARE(action->shortcut(), QKeySequence(entry.shortcut));
            edit(ID_INPUT_NAME)->setText("x");
            MessageBox::clearShown();
            MessageBox::setNextAnswer(QMessageBox::Discard);
            FileDialog::clearQueuedNames();
            FileDialog::setNextFileName(QString("menu.dat"));
            main().statusBar()->clearMessage();
            action->trigger();
            QVERIFY2(entry.ran(), entry.text);
        }
        // While the keyboard commands are off, neither route runs them.
        main().setKeyboardCommandsEnabled(false);
        MessageBox::clearShown();
        main().commandAction(ID_PROGRAM)->trigger();
        main().command(ID_PROGRAM);
        QVERIFY(MessageBox::shown().empty());
        QVERIFY(!main().control(ID_READ_EEPROM)->isEnabled());
        main().setKeyboardCommandsEnabled(true);
        QVERIFY(main().commandAction(ID_CHECK_PRESENCE)->isEnabled());
    }

    // Tab follows the screen: top to bottom, left to right, the matrix as
    // one block at its top-left corner.
    void tabOrderFollowsTheScreen() {
        const int cell0 = kFirstCellControlId, cell127 = kFirstCellControlId + kCells - 1;
        const int order[] = {ID_LIST,
                             ID_CHECK_PRESENCE,
                             ID_GENERATE,
                             cell0,
                             cell0 + 1,
                             cell0 + 8,
                             cell127,
                             ID_SAVE,
                             ID_LOAD,
                             ID_PROGRAM,
                             ID_READ_EEPROM,
                             ID_TEST_KEYBOARD,
                             ID_STD_REPEAT,
                             ID_REPEAT_DELAY,
                             ID_DEBOUNCE,
                             ID_PREFIX_MAKE_BREAK,
                             ID_LED1,
                             ID_NEW,
                             ID_LED3,
                             ID_LED4,
                             ID_POINT_DEV_SET,
                             ID_ACTIVATE_BEEP,
                             ID_ENABLE_POINTING,
                             ID_POINT_DEVICE,
                             ID_SERIAL};
        QList<int> chain;
        QWidget* widget = main().control(ID_LIST);
        do {
            if (widget->parentWidget() == main().clientArea())
                chain << widget->objectName().toInt();
            widget = widget->nextInFocusChain();
        } while (widget != main().control(ID_LIST));
        for (size_t i = 1; i < std::size(order); ++i)
            QVERIFY2(chain.indexOf(order[i - 1]) < chain.indexOf(order[i]),
                     qPrintable(QString("%1 before %2").arg(order[i - 1]).arg(order[i])));
    }
};

QTEST_MAIN(DesktopHabitsTest)
#include "desktop_habits_test.moc"
