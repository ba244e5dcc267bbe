// "Export as JSON…" and "Import JSON…" of the File menu: the readable form of
// the definition, through the standard file dialogs.
#include "app/main_window.h"
#include "gui/message_box.h"
#include "model/definition_json.h"
#include "model/settings_file.h"
#include "model/string_store.h"

#include <QFileDialog>
#include <QFileInfo>

namespace quillan {

namespace {

const QString kJsonFilter = "JSON definitions (*.json);;All files (*)";

} // namespace

bool MainWindow::exportJson(const QString& name) {
    // Like a save, never writes strings that an edit changed but no build packed.
    if (const Outcome packed = packStaleStrings(state_.def); !packed) {
        MessageBox::show(this, QString::fromStdString("Not exported: " + packed.message.text),
                         "Export as JSON", MessageIcon::Warning);
        return false;
    }
    // The file image as Save would write it, plus the pointing-device block.
    const PortableDefinition definition{encodeSettings(state_.def, controlValues()),
                                        state_.def.pointingBlock};
    if (saveDefinitionJson(definition, name.toStdString()))
        return true;
    MessageBox::show(this, "Could not write " + name + " !", "Export as JSON",
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
    // field shows the name the document gives.
    const bool imported = replaceDefinition([&] {
        if (!decodeSettings(state_.def, state_.controls, definition.settings, "", {}).loaded)
            return false;
        state_.controls.fileName = getText(state_.def.header.fileName);
        state_.def.pointingBlock = definition.pointingBlock;
        return true;
    });
    if (!imported)
        return false;
    sharedFileName_ = QString::fromStdString(getText(state_.def.header.fileName));
    showLoaded();
    setStatusText("Definition imported from " + QFileInfo(name).absoluteFilePath());
    return true;
}

void MainWindow::exportJsonCommand() {
    const QString name = QFileDialog::getSaveFileName(this, "Export as JSON", {}, kJsonFilter);
    if (!name.isEmpty())
        exportJson(name);
}

void MainWindow::importJsonCommand() {
    if (!maybeKeepChanges())
        return;
    const QString name = QFileDialog::getOpenFileName(this, "Import JSON", {}, kJsonFilter);
    if (!name.isEmpty())
        importJson(name);
}

} // namespace quillan
