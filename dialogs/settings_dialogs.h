// The "Key LED settings" dialog (what one of the four keyboard LEDs shows)
// and the "Pointing Device" dialog (the twenty tuning bytes of the pointing
// device). Both write straight into the definition.
#pragma once

#include "dialogs/dialogs.h"

#include <QDialog>

namespace quillan {

enum SettingsDialogId : int {
    SET_OK = 1,
    SET_CANCEL = 2,
    LED_COMBO = 35092,
    POINT_FIRST_EDIT = 35167, // N 35167..35171, E ..35176, S ..35181, W ..35186
};

constexpr int kPointingFields = 20;

class LedDialog : public QDialog {
    Q_OBJECT

  public:
    // ledSlot 0..3 for Led1..Led4.
    LedDialog(DialogContext& ctx, int ledSlot, QWidget* parent = nullptr);
    // OK and Cancel both keep a value already chosen; both redraw the matrix.
    void done(int result) override;

  private:
    DialogContext& ctx_;
};

class PointingDeviceDialog : public QDialog {
    Q_OBJECT

  public:
    PointingDeviceDialog(DialogContext& ctx, QWidget* parent = nullptr);
    // OK stores every edit's number (low 8 bits; 0 for a non-number).
    void accept() override;

    // The block byte that edit id (35167..35186) shows.
    static int blockByteOf(int editId);

  private:
    DialogContext& ctx_;
};

// An edit's text as the platform reads an unsigned number: 0 when it is not
// one (or does not fit 32 bits), else the number.
unsigned readUnsigned(const QString& text);

} // namespace quillan
