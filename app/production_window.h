// "Production run…": the production line in a window. The definition (the
// editor's current one or a settings file), first serial number, count,
// stations and log file; a large status, a progress bar, a row per station
// (device, serial, progress, result), passed and failed counts, the last log
// lines and the run's messages. It runs the same workflow as
// quillan-cli produce on the application's HID bus; the main window stays
// usable while it waits for a keyboard. No box ever waits for a click
// during a run: messages show in the window.
#pragma once

#include "workflow/produce.h"

#include <QWidget>
#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace quillan {

// What the window asks the application for when a run starts.
struct ProductionSource {
    std::function<bool()> verify;          // "Verify after programming"
    std::function<bool()> unsavedChanges;  // the editor holds changes not saved
    std::function<void(Session&)> current; // copies the editor's definition and controls
    std::string tracePath;                 // the trace log the run's steps add to
};

class ProductionWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShownLogLines = 10;

    // backend and clock are the application's; hooks.unitWanted/unitDone
    // may stand for the operator on a simulated bus.
    ProductionWindow(std::shared_ptr<HidBackend> backend, GapClock* clock,
                     ProduceHooks lineHooks = {}, ProductionSource source = {});

    // Before the window is shown: the current definition is chosen when the
    // editor holds unsaved changes, else the settings file.
    void chooseDefinition();

    // Starts the run with the values in the fields; returns when it ends.
    ProduceResult start();
    // Safe from any thread: the running units end at their next report.
    void stop() { stopRequested_ = true; }
    bool running() const { return running_; }

    QLineEdit* settingsFileEdit() const { return file_; }
    QLineEdit* serialEdit() const { return serial_; }
    QSpinBox* countBox() const { return count_; }
    QSpinBox* stationsBox() const { return stations_; }
    QTableWidget* stationRows() const { return rows_; }
    QLineEdit* logFileEdit() const { return logFile_; }
    QRadioButton* currentDefinitionButton() const { return useCurrent_; }
    QRadioButton* settingsFileButton() const { return useFile_; }
    QCheckBox* repairLogBox() const { return repairLog_; }
    QPushButton* stopButton() const { return stopButton_; }
    QLabel* runsLabel() const { return runs_; }
    QLabel* messageLabel() const { return message_; }
    QLabel* statusLabel() const { return status_; }
    QLabel* countsLabel() const { return counts_; }
    QListWidget* logLines() const { return lines_; }
    QProgressBar* progressBar() const { return progress_; }

  signals:
    // A run starts (true) or ends (false): the bus is the run's meanwhile.
    void runningChanged(bool running);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // While a unit is programmed, user input goes to this window only.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showUnit(const UnitEvent& event);
    void showStation(const UnitEvent& event);
    void showMessage(const Message& message);
    void setStatus(const QString& text, const QString& colour);
    void pause(int ms);
    void clearRun();
    void setRunning(bool running);
    void updateRuns();
    ProduceResult refuse(const QString& text);
    QWidget* fileRow(QLineEdit* edit, QPushButton* browse);

    std::shared_ptr<HidBackend> backend_;
    GapClock* clock_;
    ProduceHooks lineHooks_;
    ProductionSource source_;
    QRadioButton* useCurrent_;
    QRadioButton* useFile_;
    QLineEdit* file_;
    QPushButton* browseFile_;
    QPushButton* browseLog_;
    QCheckBox* repairLog_;
    QLabel* runs_;
    QLabel* message_;
    QLineEdit* serial_;
    QSpinBox* count_;
    QSpinBox* stations_;
    QTableWidget* rows_;
    QLineEdit* logFile_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QLabel* status_;
    QProgressBar* progress_;
    QLabel* counts_;
    QListWidget* lines_;
    std::atomic<bool> stopRequested_ = false;
    bool running_ = false;
    bool unitActive_ = false;
};

} // namespace quillan
