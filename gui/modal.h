// Every modal dialog of the program runs through here. Tests install a hook
// that inspects and answers the dialog instead of a modal loop.
#pragma once

#include <QDialog>
#include <functional>

namespace quillan {

using ModalHook = std::function<int(QDialog& dialog)>;

// While a hook is set, runModal calls it instead of exec().
void setModalHook(ModalHook hook);
int runModal(QDialog& dialog);

} // namespace quillan
