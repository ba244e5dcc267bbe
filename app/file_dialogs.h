// "Load File" and "Save File": browse the working directory (drive,
// directory and "*.dat" lists) and leave the chosen name in the shared
// file-name buffer. Changing drive or directory changes the process's
// working directory, which stays changed.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace quillan {

// Loads the settings file name with owner for its messages; true on success.
using SettingsLoader = std::function<bool(const std::string& name, QWidget* owner)>;

// The drives the drive list offers: on Windows the present letters as
// "C: ", elsewhere the mounted file-system roots.
struct DriveList {
    QStringList entries; // list texts
    QStringList roots;   // what changing to the entry enters
    int current = -1;    // entry of the drive holding the working directory
};
DriveList listDrives();

class FileListDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Kind { Load, Save };
    static constexpr int kSharedBufferSize = 256;

    FileListDialog(Kind kind, QWidget* parent);

    // Refills the drive, directory and file lists from the working directory.
    void fillLists();
    // What picking drive entry index and double-clicking a directory do.
    void selectDrive(int index);
    void enterDirectory(const QString& name);

    QComboBox* driveList() const { return drives_; }
    QListWidget* directoryList() const { return directories_; }
    QListWidget* fileList() const { return files_; }
    QLineEdit* fileNameField() const { return name_; }
    QLabel* folderLabel() const { return folder_; }

  protected:
    Kind kind_;
    QComboBox* drives_ = nullptr;
    QListWidget* directories_ = nullptr;
    QListWidget* files_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* folder_ = nullptr; // the working directory as a path
};

class LoadFileDialog : public FileListDialog {
    Q_OBJECT
  public:
    LoadFileDialog(QWidget* parent, SettingsLoader loader, QString& sharedName);
    // "Load": loads the selected file; nothing happens without a selection.
    // False when nothing was loaded.
    bool load();

  private:
    SettingsLoader loader_;
    QString& sharedName_;
};

class SaveFileDialog : public FileListDialog {
    Q_OBJECT
  public:
    SaveFileDialog(QWidget* parent, QString& sharedName);
    // "Save": the typed name (".dat" added when it has no extension) into
    // the shared buffer. "Cancel": the shared buffer emptied.
    void save();
    void cancel();
    // Whether the typed name may be written: a name of an existing file is
    // only taken when the user agrees to replace it.
    bool confirmOverwrite();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QString& sharedName_;
};

// Runs the dialogs modally. Returns 1 (loaded / name chosen) or 2 (Cancel).
class FileDialog {
  public:
    static int runLoad(QWidget* parent, const SettingsLoader& loader, QString& sharedName);
    static int runSave(QWidget* parent, QString& sharedName);

    // Test seam: while answers are queued no dialog is shown; each run takes
    // the next one: a name is loaded or chosen as if picked, std::nullopt
    // is Cancel.
    static void setNextFileName(std::optional<QString> name);
    static void clearQueuedNames();

  private:
    static std::deque<std::optional<QString>>& queued();
};

// The typed name as the Save dialog stores it: cut to the shared buffer,
// ".dat" added to a name without extension, "" stays "".
QString normalisedSaveName(const QString& typed);

} // namespace quillan
