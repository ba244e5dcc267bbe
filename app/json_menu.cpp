// "Export as JSON…" and "Import JSON…" of the File menu: the readable form of
// the definition, through the standard file dialogs.
#include "app/main_window.h"
#include "gui/message_box.h"
#include "gui/modal.h"
#include "model/definition_json.h"
#include "model/settings_file.h"
#include "model/string_store.h"

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
    // Like a save, never writes strings that an edit changed but no build packed.
    if (const Outcome packed = packStaleStrings(state_.def); !packed) {
        MessageBox::show(this, QString::fromStdString("Not exported: " + packed.message.text),
                         "Export as JSON", MessageIcon::Warning);
        return false;
    }
    // The file image as Save would write it, plus the pointing-device block.
    Session& session = workflowSession();
    const PortableDefinition definition{encodeSettings(session.def, session.controls),
                                        session.def.pointingBlock};
    const Outcome written = saveDefinitionJson(definition, name.toStdString());
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
    PortableDefinition definition;
    if (const Outcome read = loadDefinitionJson(name.toStdString(), definition); !read) {
        MessageBox::show(this, QString::fromStdString(read.message.text), "Import JSON",
                         MessageIcon::Warning);
        return false;
    }
    // Loaded as a settings file with the document's bytes; the file-name
    // field shows the "file name" the document holds, which a save of the
    // imported definition writes again (as quillan-cli import does).
    QString fileName;
    const bool imported = replaceDefinition([&] {
        if (!decodeSettings(state_.def, state_.controls, definition.settings, "", {}).loaded)
            return false;
        state_.controls.fileName = getText(state_.def.header.fileName);
        fileName = QString::fromLatin1(state_.controls.fileName.c_str());
        state_.def.pointingBlock = definition.pointingBlock;
        return true;
    });
    if (!imported)
        return false;
    sharedFileName_ = fileName;
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
