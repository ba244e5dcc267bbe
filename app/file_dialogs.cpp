#include "app/file_dialogs.h"

#include "gui/control_table.h"
#include "gui/message_box.h"
#include "gui/modal.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <algorithm>
#include <cstdio>

namespace quillan {

namespace {

// The controls of either dialog, in this order: file list, drive list,
// directory list (the Load dialog's ids, then the Save dialog's), the Save
// dialog's file-name field, the folder line and the two buttons.
// clang-format off
constexpr std::array<ControlRow, 3> kLoadLists = {{
    // kind               text flags                   x    y    w    h   id
    {ControlKind::List,     "", kSorted | kScrollBar, 250,  10, 200, 240, 35121},
    {ControlKind::DropList, "", 0,                      5,  10, 100,  22, 35122},
    {ControlKind::List,     "", kSorted | kScrollBar,   5,  40, 200, 200, 35123},
}};
constexpr std::array<ControlRow, 3> kSaveLists = {{
    {ControlKind::List,     "", kSorted | kScrollBar, 250,  10, 200, 240, 35124},
    {ControlKind::DropList, "", 0,                      5,  10, 100,  22, 35125},
    {ControlKind::List,     "", kSorted | kScrollBar,   5,  40, 200, 200, 35126},
}};
constexpr ControlRow kSaveName   = {ControlKind::Edit,  "", 0, 250, 250, 100,  18, 35127};
constexpr ControlRow kFolderLine = {ControlKind::Label, "", 0,   5, 245, 240,  18, 0};
constexpr std::array<ControlRow, 2> kLoadButtons = {{
    {ControlKind::Push, "Load",   kDefault, 260, 270, 80, 22, 1},
    {ControlKind::Push, "Cancel", 0,        360, 270, 80, 22, 2},
}};
constexpr std::array<ControlRow, 2> kSaveButtons = {{
    {ControlKind::Push, "Save",   kDefault, 260, 275, 80, 22, 1},
    {ControlKind::Push, "Cancel", 0,        360, 275, 80, 22, 2},
}};
// clang-format on

// The numbers the trace line gives: 2 for a folder with no matching file,
// 5 for a folder that cannot be read.
constexpr int kNoMatch = 2;
constexpr int kNotReadable = 5;

void reportEmptyEnumeration(int error) {
    std::printf("Invalid File Handle. GetLastError reports %d\n", error);
    std::fflush(stdout);
}

} // namespace

DriveList listDrives() {
    DriveList list;
    const QString current = QDir::currentPath();
#ifdef Q_OS_WIN
    for (const QFileInfo& drive : QDir::drives()) {
        const QString root = drive.absolutePath();
        list.entries << QString("%1: ").arg(root.left(1).toUpper());
        list.roots << root;
        if (current.startsWith(root.left(2), Qt::CaseInsensitive))
            list.current = list.roots.size() - 1;
    }
#else
    QStringList roots;
    for (const QFileInfo& drive : QDir::drives())
        roots << drive.absoluteFilePath();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && QFileInfo(volume.rootPath()).isDir())
            roots << volume.rootPath();
    roots.sort();
    roots.removeDuplicates();
    list.entries = roots;
    list.roots = roots;
    const QString currentRoot = QStorageInfo(current).rootPath();
    list.current = static_cast<int>(roots.indexOf(currentRoot));
    if (list.current < 0 && !roots.isEmpty())
        list.current = 0;
#endif
    return list;
}

FileListDialog::FileListDialog(Kind kind, QWidget* parent) : QDialog(parent), kind_(kind) {
    const std::array<ControlRow, 3>& lists = kind == Kind::Load ? kLoadLists : kSaveLists;
    setWindowTitle(kind == Kind::Load ? "Load File" : "Save File");
    setFixedSize(460, 310);
    files_ = static_cast<QListWidget*>(createControl(this, lists[0]));
    drives_ = static_cast<QComboBox*>(createControl(this, lists[1]));
    directories_ = static_cast<QListWidget*>(createControl(this, lists[2]));
    if (kind == Kind::Save) {
        name_ = static_cast<QLineEdit*>(createControl(this, kSaveName));
        name_->setMaxLength(kSharedBufferSize);
    }
    folder_ = static_cast<QLabel*>(createControl(this, kFolderLine));
    folder_->setObjectName("folder");
    connect(drives_, &QComboBox::activated, this, &FileListDialog::selectDrive);
    connect(directories_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { enterDirectory(item->text()); });
    fillLists();
}

void FileListDialog::fillLists() {
    const DriveList drives = listDrives();
    drives_->clear();
    drives_->addItems(drives.entries);
    drives_->setCurrentIndex(drives.current);

    const QDir here = QDir::current();
    const QString path = QDir::toNativeSeparators(here.absolutePath());
    folder_->setToolTip(path);
    folder_->setText(folder_->fontMetrics().elidedText(path, Qt::ElideMiddle, folder_->width()));
    directories_->clear();
    if (here.isReadable()) {
        QDir::Filters filter = QDir::AllDirs | QDir::Hidden | QDir::NoDot;
        if (here.isRoot())
            filter |= QDir::NoDotDot;
        directories_->addItems(here.entryList(QStringList(), filter));
        directories_->addItem(".");
        directories_->setCurrentRow(0);
    } else {
        reportEmptyEnumeration(kNotReadable);
    }

    files_->clear();
    QDir pattern(here);
    pattern.setNameFilters(QStringList("*.dat"));
    pattern.setFilter(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    const QStringList names = here.isReadable() ? pattern.entryList() : QStringList();
    files_->addItems(names);
    if (!names.isEmpty())
        files_->setCurrentRow(0);
    else
        reportEmptyEnumeration(here.isReadable() ? kNoMatch : kNotReadable);
}

void FileListDialog::selectDrive(int index) {
    const DriveList drives = listDrives();
    if (index >= 0 && index < drives.roots.size())
        QDir::setCurrent(drives.roots[index]); // a drive that cannot be entered is left
    fillLists();
}

void FileListDialog::enterDirectory(const QString& name) {
    QDir::setCurrent(QDir::current().absoluteFilePath(name)); // unchanged when it fails
    fillLists();
}

LoadFileDialog::LoadFileDialog(QWidget* parent, SettingsLoader loader, QString& sharedName)
    : FileListDialog(Kind::Load, parent), loader_(std::move(loader)), sharedName_(sharedName) {
    auto* loadButton = static_cast<QPushButton*>(createControl(this, kLoadButtons[0]));
    auto* cancelButton = static_cast<QPushButton*>(createControl(this, kLoadButtons[1]));
    const auto loadAndClose = [this] {
        if (load())
            done(1);
    };
    connect(loadButton, &QPushButton::clicked, this, loadAndClose);
    // A double-click on a file loads it as "Load" does.
    connect(files_, &QListWidget::itemDoubleClicked, this, loadAndClose);
    connect(cancelButton, &QPushButton::clicked, this, [this] { done(2); });
}

bool LoadFileDialog::load() {
    const QList<QListWidgetItem*> selected = files_->selectedItems();
    if (selected.isEmpty())
        return false;
    const QString name = selected.front()->text();
    if (!loader_ || !loader_(name.toStdString(), this))
        return false;
    sharedName_ = name.left(kSharedBufferSize);
    return true;
}

SaveFileDialog::SaveFileDialog(QWidget* parent, QString& sharedName)
    : FileListDialog(Kind::Save, parent), sharedName_(sharedName) {
    auto* saveButton = static_cast<QPushButton*>(createControl(this, kSaveButtons[0]));
    auto* cancelButton = static_cast<QPushButton*>(createControl(this, kSaveButtons[1]));
    // A file picked in the list is the name to save under.
    connect(files_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { name_->setText(item->text()); });
    connect(saveButton, &QPushButton::clicked, this, [this] {
        if (!confirmOverwrite())
            return;
        save();
        done(1);
    });
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        cancel();
        done(2);
    });
}

void SaveFileDialog::showEvent(QShowEvent* event) {
    FileListDialog::showEvent(event);
    name_->setFocus(); // the user types the name
}

void SaveFileDialog::save() {
    sharedName_ = normalisedSaveName(name_->text());
}

bool SaveFileDialog::confirmOverwrite() {
    const QString name = normalisedSaveName(name_->text());
    if (name.isEmpty() || !QFileInfo::exists(name))
        return true;
    return MessageBox::show(this, QString("%1 already exists. Replace it?").arg(name), "Save File",
                            MessageIcon::Warning,
                            QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void SaveFileDialog::cancel() {
    sharedName_.clear();
}

QString normalisedSaveName(const QString& typed) {
    QString name = typed.trimmed().left(FileListDialog::kSharedBufferSize);
    if (name.isEmpty())
        return name;
    if (!QFileInfo(name).fileName().contains('.') &&
        name.size() + 4 <= FileListDialog::kSharedBufferSize)
        name += ".dat";
    return name;
}

std::deque<std::optional<QString>>& FileDialog::queued() {
    static std::deque<std::optional<QString>> names;
    return names;
}

void FileDialog::setNextFileName(std::optional<QString> name) {
    queued().push_back(name);
}

void FileDialog::clearQueuedNames() {
    queued().clear();
}

int FileDialog::runLoad(QWidget* parent, const SettingsLoader& loader, QString& sharedName) {
    if (!queued().empty()) {
        const std::optional<QString> name = queued().front();
        queued().pop_front();
        if (!name || !loader || !loader(name->toStdString(), parent))
            return 2;
        sharedName = name->left(FileListDialog::kSharedBufferSize);
        return 1;
    }
    LoadFileDialog dialog(parent, loader, sharedName);
    return runModal(dialog) == 1 ? 1 : 2;
}

int FileDialog::runSave(QWidget* parent, QString& sharedName) {
    if (!queued().empty()) {
        const std::optional<QString> name = queued().front();
        queued().pop_front();
        sharedName = name ? normalisedSaveName(*name) : QString();
        return name ? 1 : 2;
    }
    SaveFileDialog dialog(parent, sharedName);
    const int result = runModal(dialog);
    if (result != 1) {
        dialog.cancel(); // closing the window counts as Cancel
        return 2;
    }
    return 1;
}

} // namespace quillan
