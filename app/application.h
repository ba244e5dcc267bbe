// The application shell: creates the main window with its progress bar, the
// hidden test and key picker windows, opens the log, sets the start values,
// and turns Alt+? and Alt+/ into the About command.
#pragma once

#include "app/main_window.h"
#include "app/production_window.h"
#include "app/test_window.h"
#include "dialogs/dialogs.h"
#include "model/file_names.h"
#include "workflow/backend.h"

#include <QObject>
#include <memory>
#include <string>

namespace quillan {

struct AppOptions {
    std::unique_ptr<HidBackend> backend; // used as given when set
    std::string simulateKind;            // otherwise: this simulated device, or the real bus
    GapClock* clock = nullptr;           // nullptr: the real clock
    std::string logPath = kLogFile;
};

class Application : public QObject {
    Q_OBJECT
  public:
    explicit Application(AppOptions options);
    ~Application() override;

    AppState& state() { return *state_; }
    MainWindow& mainWindow() { return *main_; }
    TestWindow& testWindow() { return *test_; }
    KeyPickerWindow* keyPicker() { return picker_; }
    DialogContext& dialogContext() { return *dialogs_; }
    // "Production run…": created on first use.
    ProductionWindow& productionWindow();

    // Whether an Alt+? / Alt+/ key press sent to receiver gives the About
    // command: only when the main window itself has the keyboard focus.
    bool acceleratorOpensAbout(QObject* receiver) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::unique_ptr<AppState> state_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<TestWindow> test_;
    std::unique_ptr<DialogContext> dialogs_;
    KeyPickerWindow* picker_ = nullptr;
    std::unique_ptr<ProductionWindow> production_;
    std::string logPath_; // the trace log, which a production run adds to
};

} // namespace quillan
