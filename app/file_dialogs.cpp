#include "app/file_dialogs.h"

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

// Control ids: file list, drive list, directory list (Load, then Save), and
// the Save dialog's file-name field.
constexpr int kLoadIds[3] = {35121, 35122, 35123};
constexpr int kSaveIds[3] = {35124, 35125, 35126};
constexpr int kSaveNameId = 35127;

// Windows reports "no more files" as 2 and "access denied" as 5; the
// messages keep those numbers.
constexpr int kNoMatch = 2;
constexpr int kNotReadable = 5;

void reportEmptyEnumeration(int error) {
    std::printf("Invalid File Handle. GetLastError reports %d\n", error);
    std::fflush(stdout);
}

QListWidget* makeList(QWidget* parent, int id, int x, int y, int w, int h) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::number(id));
    list->setGeometry(x, y, w, h);
    list->setSortingEnabled(true);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return list;
}

QPushButton* makeButton(QWidget* parent, const QString& text, int id, int x, int y) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::number(id));
    button->setGeometry(x, y, 80, 22);
    button->setAutoDefault(false);
    return button;
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
    const int* ids = kind == Kind::Load ? kLoadIds : kSaveIds;
    setWindowTitle(kind == Kind::Load ? "Load File" : "Save File");
    setFixedSize(460, 310);
    files_ = makeList(this, ids[0], 250, 10, 200, 240);
    drives_ = new QComboBox(this);
    drives_->setObjectName(QString::number(ids[1]));
    drives_->setGeometry(5, 10, 100, 22);
    directories_ = makeList(this, ids[2], 5, 40, 200, 200);
    if (kind == Kind::Save) {
        name_ = new QLineEdit(this);
        name_->setObjectName(QString::number(kSaveNameId));
        name_->setGeometry(250, 250, 100, 18);
        name_->setMaxLength(kSharedBufferSize);
    }
    folder_ = new QLabel(this);
    folder_->setObjectName("folder");
    folder_->setGeometry(5, 245, 240, 18);
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
    auto* loadButton = makeButton(this, "Load", 1, 260, 270);
    auto* cancelButton = makeButton(this, "Cancel", 2, 360, 270);
    loadButton->setDefault(true);
    connect(loadButton, &QPushButton::clicked, this, [this] {
        if (load())
            done(1);
    });
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
    auto* saveButton = makeButton(this, "Save", 1, 260, 275);
    auto* cancelButton = makeButton(this, "Cancel", 2, 360, 275);
    saveButton->setDefault(true);
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
