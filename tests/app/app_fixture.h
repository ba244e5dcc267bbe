// Shared set-up of the application tests: a temporary working directory,
// message boxes recorded instead of shown, and an application on a chosen
// HID backend with a clock that does not wait.
#pragma once

#include "app/application.h"
#include "app/file_dialogs.h"
#include "gui/message_box.h"
#include "gui/modal.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace quillan::testing {

// A bus without any device.
class EmptyBackend : public HidBackend {
  public:
    std::vector<HidInterfaceEntry> enumerate() override { return {}; }
    std::unique_ptr<HidDevice> open(const std::string&) override { return nullptr; }
    int lastErrorCode() const override { return 2; }
    std::string lastErrorText() const override { return "No such file or directory"; }
};

// Moves into a fresh temporary directory for the life of the object.
class TempWorkingDir {
  public:
    TempWorkingDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~TempWorkingDir() { QDir::setCurrent(previous_); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

  private:
    QString previous_;
    QTemporaryDir dir_;
};

inline std::unique_ptr<Application> startApplication(std::unique_ptr<HidBackend> backend,
                                                     GapClock* clock) {
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    FileDialog::clearQueuedNames();
    AppOptions options;
    options.backend = std::move(backend);
    options.clock = clock;
    return std::make_unique<Application>(std::move(options));
}

inline bool shownMessage(const std::string& text, const std::string& caption) {
    for (const Message& message : MessageBox::shown())
        if (message.text == text && message.caption == caption)
            return true;
    return false;
}

} // namespace quillan::testing

namespace quillan::testing {

// Answers the next modal dialog once it is up: inspect runs inside its
// loop, then the dialog is rejected unless inspect closed it.
inline void answerNextModal(std::function<void(QWidget*)> inspect) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        inspect(modal);
        if (modal->isVisible())
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
    });
    timer->start();
}

} // namespace quillan::testing
