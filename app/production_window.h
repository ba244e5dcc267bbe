// "Production run…": the production line in a window. The settings file,
// first serial number, count and log file; a large status, a progress bar,
// passed and failed counts and the last log lines. It runs the same
// workflow as quillan-cli produce on the application's HID bus; the main
// window stays usable while it waits for a keyboard.
#pragma once

#include "workflow/produce.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace quillan {

class ProductionWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShownLogLines = 10;

    // backend and clock are the application's; hooks.unitWanted/unitDone
    // may stand for the operator on a simulated bus.
    ProductionWindow(std::shared_ptr<HidBackend> backend, GapClock* clock,
                     ProduceHooks lineHooks = {});

    // Starts the run with the values in the fields; returns when it ends.
    ProduceResult start();
    void stop() { stopRequested_ = true; }
    bool running() const { return running_; }

    QLineEdit* settingsFileEdit() const { return file_; }
    QLineEdit* serialEdit() const { return serial_; }
    QSpinBox* countBox() const { return count_; }
    QLineEdit* logFileEdit() const { return logFile_; }
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
    void showEvent(const UnitEvent& event);
    void setStatus(const QString& text, const QString& colour);
    void pause(int ms);

    std::shared_ptr<HidBackend> backend_;
    GapClock* clock_;
    ProduceHooks lineHooks_;
    QLineEdit* file_;
    QLineEdit* serial_;
    QSpinBox* count_;
    QLineEdit* logFile_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QLabel* status_;
    QProgressBar* progress_;
    QLabel* counts_;
    QListWidget* lines_;
    bool stopRequested_ = false;
    bool running_ = false;
    bool unitActive_ = false;
};

} // namespace quillan
