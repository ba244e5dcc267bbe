#include "gui/modal.h"

namespace quillan {

namespace {

ModalHook& modalHook() {
    static ModalHook hook;
    return hook;
}

} // namespace

void setModalHook(ModalHook hook) {
    modalHook() = std::move(hook);
}

int runModal(QDialog& dialog) {
    return modalHook() ? modalHook()(dialog) : dialog.exec();
}

} // namespace quillan
