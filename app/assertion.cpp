#include "app/assertion.h"

#include "gui/message_box.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace quillan {

bool reportAssertion(const char* file, int line) {
    char text[201];
    std::snprintf(text, sizeof text, "File %s, Line %d", file ? file : "", line);
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    const QMessageBox::StandardButton answer = MessageBox::show(
        owner, QString::fromLocal8Bit(text), "Assertion Failed!", MessageIcon::Error,
        QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    return answer != QMessageBox::Ignore;
}

void fatalExit() {
    std::_Exit(EXIT_FAILURE);
}

} // namespace quillan
