// "Export as JSON…" and "Import JSON…" of the File menu: the readable form of
// the definition, through the standard file dialogs.
#include "app/main_window.h"
#include "gui/message_box.h"
#include "gui/modal.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace quillan {

namespace {

const QString kJsonFilter = "JSON definitions (*.json);;All files (*)";

} // namespace

bool MainWindow::exportJson(const QString& typed) {
    // The filter's suffix when the name has none.
    const QString name = QFileInfo(typed).suffix().isEmpty() ? typed + ".json" : typed;
    const Outcome written = quillan::exportJson(workflowSession(), name.toStdString());
    if (written) {
        setStatusText("Exported to " +
                      QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath()));
        return true;
    }
    MessageBox::show(this, QString::fromStdString(written.message.text), "Export as JSON",
                     MessageIcon::Warning);
    return false;
}

bool MainWindow::importJson(const QString& name) {
    // The file-name field shows the "file name" the document holds, which a
    // save of the imported definition writes again (as quillan-cli import does).
    Outcome read;
    const bool imported = replaceDefinition(
        [&] { return (read = quillan::importJson(state_, name.toStdString())).ok; });
    if (!imported) {
        MessageBox::show(this, QString::fromStdString(read.message.text), "Import JSON",
                         MessageIcon::Warning);
        return false;
    }
    sharedFileName_ = QString::fromLatin1(state_.controls.fileName.c_str());
    showLoaded("Import JSON");
    setStatusText("Definition imported from " + QFileInfo(name).absoluteFilePath());
    return true;
}

void MainWindow::exportJsonCommand() {
    // The dialog adds the suffix itself, so that it asks before replacing
    // the file that is really written.
    QFileDialog dialog(this, "Export as JSON", {}, kJsonFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("json");
    if (runModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        exportJson(dialog.selectedFiles().front());
}

void MainWindow::importJsonCommand() {
    if (!maybeKeepChanges())
        return;
    const QString name = QFileDialog::getOpenFileName(this, "Import JSON", {}, kJsonFilter);
    if (!name.isEmpty())
        importJson(name);
}

} // namespace quillan
