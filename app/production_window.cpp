#include "app/production_window.h"

#include "gui/message_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace quillan {

namespace {

QString unitStateText(UnitState state) {
    switch (state) {
    case UnitState::Waiting:
        return "waiting";
    case UnitState::Programming:
        return "programming";
    case UnitState::Verifying:
        return "verifying";
    case UnitState::Pass:
        return "PASS";
    case UnitState::Fail:
        return "FAIL";
    case UnitState::Removing:
        return "unplug";
    }
    return {};
}

} // namespace

ProductionWindow::ProductionWindow(std::shared_ptr<HidBackend> backend, GapClock* clock,
                                   ProduceHooks lineHooks)
    : backend_(std::move(backend)), clock_(clock), lineHooks_(std::move(lineHooks)) {
    setWindowTitle("Production run");
    setObjectName("productionRun");
    file_ = new QLineEdit(this);
    serial_ = new QLineEdit(this);
    count_ = new QSpinBox(this);
    count_->setRange(0, 1000000);
    count_->setSpecialValueText("until stopped");
    logFile_ = new QLineEdit("production.csv", this);
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
    lines_ = new QListWidget(this);

    auto* form = new QFormLayout;
    form->addRow("Settings file:", file_);
    form->addRow("First serial:", serial_);
    form->addRow("Count:", count_);
    form->addRow("Log file:", logFile_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(counts_);
    layout->addWidget(lines_);
    resize(520, 480);

    connect(startButton_, &QPushButton::clicked, this, [this] { start(); });
    connect(stopButton_, &QPushButton::clicked, this, [this] { stop(); });
}

void ProductionWindow::setStatus(const QString& text, const QString& colour) {
    status_->setText(text);
    status_->setStyleSheet(colour.isEmpty() ? QString() : "color: " + colour);
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

void ProductionWindow::showEvent(const UnitEvent& event) {
    unitActive_ = event.state == UnitState::Programming || event.state == UnitState::Verifying;
    const QString serial = QString::fromStdString(event.serial);
    QString colour;
    if (event.state == UnitState::Pass)
        colour = "green";
    else if (event.state == UnitState::Fail)
        colour = "red";
    setStatus(unitStateText(event.state), colour);
    setToolTip(QString("Keyboard %1, serial %2").arg(event.unit).arg(serial));
    counts_->setText(QString("passed %1, failed %2").arg(event.passed).arg(event.failed));
    if (!event.logLine.empty()) {
        lines_->addItem(QString::fromStdString(event.logLine));
        while (lines_->count() > kShownLogLines)
            delete lines_->takeItem(0);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
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
    running_ = true;
    emit runningChanged(true);
    stopRequested_ = false;
    startButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    lines_->clear();

    Session session;
    startSession(session);
    session.backend = backend_;
    session.clock = clock_;
    session.messages = MessageBox::sinkFor(this);
    session.progress =
        ProgressSink{[this](int range) {
                         progress_->setRange(0, range);
                         progress_->setValue(0);
                     },
                     [this](int position) {
                         progress_->setValue(position);
                         QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                     }};
    ProduceSettings settings{file_->text().toStdString(), serial_->text().trimmed().toStdString(),
                             count_->value(), logFile_->text().toStdString(), true};
    ProduceHooks hooks = lineHooks_;
    hooks.event = [this](const UnitEvent& event) { showEvent(event); };
    hooks.pause = [this](int ms) { pause(ms); };
    hooks.stop = [this] {
        // Stop (or closing the window) takes effect at the next report.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return stopRequested_;
    };
    qApp->installEventFilter(this);
    const ProduceResult result = produce(session, settings, hooks);
    qApp->removeEventFilter(this);
    unitActive_ = false;
    if (result.end == ProduceEnd::Refused || result.end == ProduceEnd::Failed)
        setStatus("idle", "");
    running_ = false;
    emit runningChanged(false);
    startButton_->setEnabled(true);
    stopButton_->setEnabled(false);
    return result;
}

void ProductionWindow::closeEvent(QCloseEvent* event) {
    stop();
    QWidget::closeEvent(event);
}

} // namespace quillan
