// Entry points of the key editing dialogs: each runs its dialog modally.
#include "dialogs/dialogs.h"

#include "dialogs/key_picker_window.h"
#include "dialogs/key_settings_dialog.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/string_dialogs.h"
#include "gui/modal.h"

namespace quillan {

namespace {

int closedWith(QDialog& dialog) {
    return runModal(dialog) == QDialog::Accepted ? 1 : 2;
}

} // namespace

int runKeySettingsDialog(QWidget* parent, DialogContext& ctx) {
    KeySettingsDialog dialog(ctx, parent);
    return closedWith(dialog);
}

int runLedDialog(QWidget* parent, DialogContext& ctx, int ledSlot) {
    LedDialog dialog(ctx, ledSlot, parent);
    return closedWith(dialog);
}

int runStringDefinitionDialog(QWidget* parent, DialogContext& ctx) {
    StringDefinitionDialog dialog(ctx, parent);
    runModal(dialog);
    return 1; // closing always re-encodes the list
}

int runPointingDeviceDialog(QWidget* parent, DialogContext& ctx) {
    PointingDeviceDialog dialog(ctx, parent);
    return closedWith(dialog);
}

KeyPickerWindow* createKeyPickerWindow(DialogContext& ctx) {
    auto* picker = new KeyPickerWindow(ctx.def, ctx.log);
    picker->hide();
    if (ctx.picker == nullptr)
        ctx.picker = picker;
    return picker;
}

void destroyKeyPickerWindow(KeyPickerWindow* picker) {
    delete picker;
}

} // namespace quillan
