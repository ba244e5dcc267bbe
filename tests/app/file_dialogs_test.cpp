// Load File and Save File: the drive, directory and "*.dat" lists, moving
// between directories, and what Load, Save and Cancel leave behind.
#include "app/file_dialogs.h"
#include "app_fixture.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>

using namespace quillan;
using namespace quillan::testing;

namespace {

QStringList items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void touch(const QString& name) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class FileDialogsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempWorkingDir> dir_;

  private slots:
    void init() {
        dir_ = std::make_unique<TempWorkingDir>();
        touch("b.dat");
        touch("A.DAT");
        touch("notes.txt");
        QDir().mkdir("sub1");
        QDir().mkdir("sub.two");
        FileDialog::clearQueuedNames();
    }
    void cleanup() { dir_.reset(); }

    void listsOfTheWorkingDirectory() {
        QString shared;
        LoadFileDialog dialog(nullptr, {}, shared);
        QCOMPARE(dialog.windowTitle(), QString("Load File"));
        QCOMPARE(dialog.fileList()->objectName(), QString("35121"));
        QCOMPARE(dialog.driveList()->objectName(), QString("35122"));
        QCOMPARE(dialog.directoryList()->objectName(), QString("35123"));
        QCOMPARE(items(dialog.fileList()), (QStringList{"A.DAT", "b.dat"}));
        QCOMPARE(dialog.fileList()->currentRow(), 0);
        const QStringList directories = items(dialog.directoryList());
        QVERIFY(directories.contains(".."));
        QVERIFY(directories.contains("sub1"));
        QVERIFY(directories.contains("sub.two"));
        QVERIFY(!directories.contains("notes.txt"));
        QVERIFY(dialog.driveList()->count() > 0);
        QVERIFY(dialog.driveList()->currentIndex() >= 0);
    }

    void drivesHoldTheWorkingDirectory() {
        const DriveList drives = listDrives();
        QVERIFY(!drives.entries.isEmpty());
        QCOMPARE(drives.entries.size(), drives.roots.size());
        QVERIFY(drives.current >= 0 && drives.current < drives.roots.size());
        QVERIFY(QDir::currentPath().startsWith(drives.roots[drives.current]));
    }

    void directoriesAreEnteredAndLeft() {
        QString shared;
        SaveFileDialog dialog(nullptr, shared);
        QCOMPARE(dialog.fileList()->objectName(), QString("35124"));
        QCOMPARE(dialog.fileNameField()->objectName(), QString("35127"));
        const QString top = QDir::currentPath();
        touch("sub1/inner.dat");
        dialog.enterDirectory("sub1");
        QCOMPARE(QDir::currentPath(), top + "/sub1");
        QCOMPARE(items(dialog.fileList()), QStringList{"inner.dat"});
        dialog.enterDirectory("no-such-directory"); // stays where it is
        QCOMPARE(QDir::currentPath(), top + "/sub1");
        dialog.enterDirectory("..");
        QCOMPARE(QDir::currentPath(), top);
        QCOMPARE(items(dialog.fileList()), (QStringList{"A.DAT", "b.dat"}));
        dialog.selectDrive(dialog.driveList()->currentIndex());
        QCOMPARE(dialog.fileList()->count() >= 0, true);
        QDir::setCurrent(top);
    }

    void loadTakesTheSelectedFileOnly() {
        QStringList loaded;
        QString shared = "before.dat";
        SettingsLoader loader = [&](const std::string& name, QWidget*) {
            loaded << QString::fromStdString(name);
            return name != "b.dat";
        };
        LoadFileDialog dialog(nullptr, loader, shared);
        dialog.fileList()->clearSelection();
        QVERIFY(!dialog.load()); // nothing selected: nothing loaded
        QVERIFY(loaded.isEmpty());
        dialog.fileList()->setCurrentRow(1);
        QVERIFY(!dialog.load()); // the loader refused b.dat
        QCOMPARE(shared, QString("before.dat"));
        dialog.fileList()->setCurrentRow(0);
        QVERIFY(dialog.load());
        QCOMPARE(shared, QString("A.DAT"));
        QCOMPARE(loaded, (QStringList{"b.dat", "A.DAT"}));
    }

    void emptyDirectoryGivesEmptyFileList() {
        QString shared;
        LoadFileDialog dialog(nullptr, {}, shared);
        dialog.enterDirectory("sub.two");
        QCOMPARE(dialog.fileList()->count(), 0);
        QVERIFY(!dialog.load());
        dialog.enterDirectory("..");
    }

    void saveAndCancelFillTheSharedName() {
        QString shared = "old.dat";
        SaveFileDialog dialog(nullptr, shared);
        dialog.fileNameField()->setText("mine");
        dialog.save();
        QCOMPARE(shared, QString("mine.dat"));
        dialog.fileNameField()->setText("other.bin");
        dialog.save();
        QCOMPARE(shared, QString("other.bin"));
        dialog.cancel();
        QCOMPARE(shared, QString());
        QCOMPARE(normalisedSaveName(QString(300, 'x')).size(), 256);
        QCOMPARE(normalisedSaveName("  "), QString());
    }

    void seamAnswersWithoutADialog() {
        QString shared = "kept.dat";
        FileDialog::setNextFileName(QString("picked"));
        QCOMPARE(FileDialog::runSave(nullptr, shared), 1);
        QCOMPARE(shared, QString("picked.dat"));
        FileDialog::setNextFileName(std::nullopt);
        QCOMPARE(FileDialog::runSave(nullptr, shared), 2);
        QCOMPARE(shared, QString());
        shared = "kept.dat";
        FileDialog::setNextFileName(std::nullopt);
        QCOMPARE(FileDialog::runLoad(nullptr, {}, shared), 2);
        QCOMPARE(shared, QString("kept.dat")); // Cancel in Load keeps the buffer
    }
};

QTEST_MAIN(FileDialogsTest)
#include "file_dialogs_test.moc"
