#include "app/production_window.h"

#include "model/file_io.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quillan {

ProductionWindow::ProductionWindow(std::shared_ptr<HidBackend> backend, GapClock* clock,
                                   ProduceHooks lineHooks, ProductionSource source)
    : backend_(std::move(backend)), clock_(clock), lineHooks_(std::move(lineHooks)),
      source_(std::move(source)) {
    setWindowTitle("Production run");
    setObjectName("productionRun");
    useCurrent_ = new QRadioButton("Use the current definition", this);
    useFile_ = new QRadioButton("Use the settings file:", this);
    useFile_->setChecked(true);
    file_ = new QLineEdit(this);
    browseFile_ = new QPushButton("Browse\u2026", this);
    serial_ = new QLineEdit(this);
    count_ = new QSpinBox(this);
    count_->setRange(0, 1000000);
    count_->setSpecialValueText("until stopped");
    stations_ = new QSpinBox(this);
    stations_->setRange(0, 64);
    stations_->setSpecialValueText("every keyboard plugged in");
    rows_ = new QTableWidget(0, 4, this);
    rows_->setHorizontalHeaderLabels({"Device", "Serial", "Progress", "Result"});
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->horizontalHeader()->setStretchLastSection(true);
    // Four stations in sight without scrolling; more as the window grows.
    rows_->setMinimumHeight(rows_->horizontalHeader()->sizeHint().height() +
                            4 * rows_->verticalHeader()->defaultSectionSize() +
                            2 * rows_->frameWidth());
    logFile_ = new QLineEdit("production.csv", this);
    browseLog_ = new QPushButton("Browse\u2026", this);
    repairLog_ = new QCheckBox("Repair a damaged log (set damaged lines aside)", this);
    runs_ = new QLabel(this);
    startButton_ = new QPushButton("Start", this);
    stopButton_ = new QPushButton("Stop", this);
    stopButton_->setEnabled(false);
    status_ = new QLabel("idle", this);
    status_->setAlignment(Qt::AlignCenter);
    QFont big = status_->font();
    big.setPointSize(28);
    big.setBold(true);
    status_->setFont(big);
    progress_ = new QProgressBar(this);
    counts_ = new QLabel("passed 0, failed 0", this);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lines_ = new QListWidget(this);

    auto* form = new QFormLayout;
    form->addRow(useCurrent_);
    form->addRow(useFile_, fileRow(file_, browseFile_));
    form->addRow("First serial:", serial_);
    form->addRow("Count:", count_);
    form->addRow("Stations:", stations_);
    form->addRow("Log file:", fileRow(logFile_, browseLog_));
    form->addRow(repairLog_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(runs_);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(rows_, 2);
    layout->addWidget(counts_);
    layout->addWidget(message_);
    layout->addWidget(lines_, 1);
    resize(640, 720);
    updateRuns();

    connect(startButton_, &QPushButton::clicked, this, [this] { start(); });
    connect(stopButton_, &QPushButton::clicked, this, [this] { stop(); });
    connect(useCurrent_, &QRadioButton::toggled, this, [this] { updateRuns(); });
    connect(file_, &QLineEdit::textChanged, this, [this] { updateRuns(); });
    connect(browseFile_, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getOpenFileName(this, "Settings file", file_->text(),
                                                          "Settings files (*.dat);;All files (*)");
        if (!name.isEmpty()) {
            file_->setText(name);
            useFile_->setChecked(true);
        }
    });
    connect(browseLog_, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getSaveFileName(
            this, "Production log", logFile_->text(), "Production logs (*.csv);;All files (*)",
            nullptr, QFileDialog::DontConfirmOverwrite);
        if (!name.isEmpty())
            logFile_->setText(name);
    });
}

QWidget* ProductionWindow::fileRow(QLineEdit* edit, QPushButton* browse) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    layout->addWidget(browse);
    return row;
}

void ProductionWindow::chooseDefinition() {
    if (running_)
        return;
    const bool unsaved = source_.unsavedChanges && source_.unsavedChanges();
    (unsaved ? useCurrent_ : useFile_)->setChecked(true);
    updateRuns();
}

// Says which definition a Start runs.
void ProductionWindow::updateRuns() {
    useCurrent_->setEnabled(static_cast<bool>(source_.current));
    runs_->setText(useCurrent_->isChecked()
                       ? QString("Runs the current definition of the editor")
                       : QString("Runs the settings file %1").arg(file_->text()));
}

void ProductionWindow::setStatus(const QString& text, const QString& colour) {
    status_->setText(text);
    status_->setStyleSheet(colour.isEmpty() ? QString() : "color: " + colour);
}

// Refusals, failures and notes of the run, in the window: nothing waits.
void ProductionWindow::showMessage(const Message& message) {
    const QString text = QString::fromStdString(message.text);
    message_->setText(message_->text().isEmpty() ? text : message_->text() + "\n" + text);
    message_->setStyleSheet(message.icon == MessageIcon::Warning ? "color: red" : QString());
}

void ProductionWindow::clearRun() {
    lines_->clear();
    rows_->setRowCount(0);
    message_->clear();
    counts_->setText("passed 0, failed 0");
    progress_->reset();
    setStatus("idle", "");
}

void ProductionWindow::setRunning(bool running) {
    running_ = running;
    emit runningChanged(running);
    startButton_->setEnabled(!running);
    stopButton_->setEnabled(running);
    for (QWidget* field :
         std::initializer_list<QWidget*>{useCurrent_, useFile_, file_, browseFile_, serial_, count_,
                                         stations_, logFile_, browseLog_, repairLog_})
        field->setEnabled(!running);
    if (!running)
        updateRuns();
}

ProduceResult ProductionWindow::refuse(const QString& text) {
    showMessage(Message{text.toStdString(), "Production run", MessageIcon::Warning});
    return ProduceResult{ProduceEnd::Refused, 0, 0};
}

bool ProductionWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!unitActive_ || !watched->isWidgetType())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return static_cast<QWidget*>(watched)->window() != this;
    default:
        return false;
    }
}

// The station's row: its device, serial, progress bar and result.
void ProductionWindow::showStation(const UnitEvent& event) {
    if (event.station < 0)
        return;
    if (rows_->rowCount() <= event.station) {
        const int first = rows_->rowCount();
        rows_->setRowCount(event.station + 1);
        for (int row = first; row <= event.station; ++row) {
            auto* bar = new QProgressBar(rows_);
            bar->setRange(0, 20);
            rows_->setCellWidget(row, 2, bar);
            for (int column : {0, 1, 3})
                rows_->setItem(row, column, new QTableWidgetItem);
        }
    }
    const int row = event.station;
    rows_->item(row, 0)->setText(QString::fromStdString(event.device));
    rows_->item(row, 1)->setText(
        QString::fromLatin1(event.serial.data(), qsizetype(event.serial.size())));
    static_cast<QProgressBar*>(rows_->cellWidget(row, 2))->setValue(event.progress);
    const bool ended = event.state == UnitState::Pass || event.state == UnitState::Fail;
    if (event.state != UnitState::Removing)
        rows_->item(row, 3)->setText(
            ended ? QString::fromLatin1(event.text.data(), qsizetype(event.text.size()))
                  : QString(unitStateWord(event.state)));
}

void ProductionWindow::showUnit(const UnitEvent& event) {
    showStation(event);
    if (event.state == UnitState::Programming || event.state == UnitState::Verifying) {
        if (event.progress == 0)
            progress_->setRange(0, 20);
        progress_->setValue(event.progress);
    }
    if (event.state == UnitState::Removing)
        return;
    unitActive_ = event.state == UnitState::Programming || event.state == UnitState::Verifying;
    const QString serial = QString::fromLatin1(event.serial.data(), qsizetype(event.serial.size()));
    QString colour;
    if (event.state == UnitState::Pass)
        colour = "green";
    else if (event.state == UnitState::Fail)
        colour = "red";
    setStatus(QString(unitStateWord(event.state)), colour);
    setToolTip(QString("Keyboard %1, serial %2").arg(event.unit).arg(serial));
    counts_->setText(QString("passed %1, failed %2").arg(event.passed).arg(event.failed));
    if (!event.text.empty())
        showMessage(Message{event.text, "Production run", MessageIcon::None});
    if (!event.logLine.empty()) {
        lines_->addItem(QString::fromLatin1(event.logLine.data(), qsizetype(event.logLine.size())));
        while (lines_->count() > kShownLogLines)
            delete lines_->takeItem(0);
    }
}

// Waits with the user interface alive: the main window stays usable.
void ProductionWindow::pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

ProduceResult ProductionWindow::start() {
    if (running_)
        return {};
    stopRequested_ = false;
    clearRun();
    std::string serial;
    if (const Outcome converted = latin1FromUtf8(serial_->text().trimmed().toStdString(), serial);
        !converted)
        return refuse(QString::fromStdString(converted.message.text));
    setRunning(true);

    Session session;
    startSession(session);
    if (!source_.tracePath.empty() && session.log.open(source_.tracePath, true))
        session.log.writeStartLine();
    session.backend = backend_;
    session.clock = clock_;
    session.messages = [this](const Message& message) { showMessage(message); };
    ProduceSettings settings{file_->text().toStdString(),
                             serial,
                             count_->value(),
                             logFile_->text().toStdString(),
                             !source_.verify || source_.verify(),
                             repairLog_->isChecked()};
    if (useCurrent_->isChecked() && source_.current) {
        source_.current(session);
        settings.useSessionDefinition = true;
    }
    settings.stations = stations_->value();
    showMessage(Message{runs_->text().toStdString(), "Production run", MessageIcon::None});
    ProduceHooks hooks = lineHooks_;
    // Told by the units' workers: shown on this window's thread.
    hooks.event = [this](const UnitEvent& event) {
        UnitEvent shown = event;
        shown.report = nullptr;
        QMetaObject::invokeMethod(
            this, [this, shown] { showUnit(shown); }, Qt::QueuedConnection);
    };
    hooks.cancelled = [this] { return stopRequested_.load(); };
    hooks.pause = [this](int ms) { pause(ms); };
    hooks.stop = [this] {
        // Stop (or closing the window) takes effect at the next report.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return stopRequested_.load();
    };
    qApp->installEventFilter(this);
    const ProduceResult result = produce(session, settings, hooks);
    QCoreApplication::sendPostedEvents(this); // what the units told last
    qApp->removeEventFilter(this);
    unitActive_ = false;
    if (result.end == ProduceEnd::Refused || result.end == ProduceEnd::Failed)
        setStatus(result.end == ProduceEnd::Refused ? "refused" : "stopped", "red");
    setRunning(false);
    return result;
}

void ProductionWindow::closeEvent(QCloseEvent* event) {
    stop();
    QWidget::closeEvent(event);
}

} // namespace quillan
