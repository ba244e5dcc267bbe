// Entry points of the key editing dialogs, called by the main window.
#pragma once

#include "model/definition.h"
#include "model/log.h"

#include <functional>

class QWidget;

namespace quillan {

class KeyPickerWindow;

// What the dialogs edit and whom they tell. The application owns all of it.
struct DialogContext {
    KeyboardDefinition& def;
    Log& log;
    std::function<void()> redrawMatrix; // repaint the main window's matrix view
    KeyPickerWindow* picker = nullptr;  // the hidden "Key Macro Tool" window
};

// Key Settings for def.currentRow/currentColumn. Returns 1 (OK) or 2 (Cancel).
int runKeySettingsDialog(QWidget* parent, DialogContext& ctx);
// Key LED settings for LED slot 0..3. Returns 1 or 2.
int runLedDialog(QWidget* parent, DialogContext& ctx, int ledSlot);
// String Definition ("Define Strings"). Returns 1.
int runStringDefinitionDialog(QWidget* parent, DialogContext& ctx);
// Pointing Device tuning block. Returns 1 or 2.
int runPointingDeviceDialog(QWidget* parent, DialogContext& ctx);
// Creates the hidden key picker window ("Key Macro Tool"), 750 x 445.
KeyPickerWindow* createKeyPickerWindow(DialogContext& ctx);
// Deletes a window createKeyPickerWindow made (nullptr is allowed).
void destroyKeyPickerWindow(KeyPickerWindow* picker);

} // namespace quillan
