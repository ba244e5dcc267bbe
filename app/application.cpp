#include "app/application.h"

#include "app/pictures.h"
#include "dialogs/dialogs.h"
#include "gui/message_box.h"

#include <QApplication>
#include <QKeyEvent>

namespace quillan {

Application::Application(AppOptions options) : state_(std::make_unique<AppState>()) {
    state_->backend =
        options.backend ? std::move(options.backend) : makeBackend(options.simulateKind);
    state_->clock = options.clock;
    logPath_ = options.logPath;
    QApplication::setWindowIcon(applicationIcon());
    // Lets the desktop match the windows to the installed menu entry and icon.
    QGuiApplication::setDesktopFileName("io.github.quillan.Quillan");

    main_ = std::make_unique<MainWindow>(*state_); // sets the start values
    // A log that cannot be opened swallows every trace.
    openLog(*state_, options.logPath);
    state_->messages = MessageBox::sinkFor(main_.get());
    main_->createProgressBar();
    state_->progress = main_->progressSink();
    main_->createWorkflowMenu();
    connect(main_.get(), &MainWindow::productionRunRequested, this, [this] {
        ProductionWindow& window = productionWindow();
        window.chooseDefinition();
        window.show();
        window.raise();
        window.activateWindow();
    });
    main_->refreshFromDefinition();
    main_->resetHistory(); // the start values are not a change

    test_ = std::make_unique<TestWindow>();
    test_->hide();
    main_->setTestWindow(test_.get());
    test_->setDefinition(&state_->def);
    // Keys checked against a definition that is gone prove nothing.
    connect(main_.get(), &MainWindow::definitionReplaced, test_.get(), &TestWindow::resetKeyCheck);

    dialogs_ = std::make_unique<DialogContext>(DialogContext{state_->def, state_->log, [this] {
                                                                 main_->refreshFromDefinition();
                                                                 main_->repaint();
                                                             }});
    picker_ = createKeyPickerWindow(*dialogs_);
    dialogs_->picker = picker_;
    main_->setDialogContext(dialogs_.get());

    qApp->installEventFilter(this);
    main_->show();
    main_->clientArea()->setFocus();
}

Application::~Application() {
    if (production_)
        production_->stop();
    production_.reset();
    qApp->removeEventFilter(this);
    main_->setDialogContext(nullptr);
    main_->setTestWindow(nullptr);
    destroyKeyPickerWindow(picker_);
}

ProductionWindow& Application::productionWindow() {
    if (!production_) {
        // On a simulated bus the window plugs in a fresh device for each
        // unit and unplugs it afterwards, as an operator would.
        ProduceHooks line;
        simulateOperator(line, *state_->backend);
        ProductionSource source;
        source.verify = [this] { return main_->verifyAfterProgramming(); };
        source.unsavedChanges = [this] { return main_->hasUnsavedChanges(); };
        source.current = [this](Session& run) {
            run.def = state_->def;
            run.controls = main_->controlValues();
        };
        source.tracePath = logPath_;
        production_ =
            std::make_unique<ProductionWindow>(state_->backend, state_->clock, line, source);
        // Closing the main window ends a run that waits for a keyboard.
        connect(main_.get(), &MainWindow::closed, production_.get(), &ProductionWindow::stop);
        // A run owns the bus: no Program, Read or presence check beside it.
        connect(production_.get(), &ProductionWindow::runningChanged, main_.get(),
                [this](bool running) { main_->setKeyboardCommandsEnabled(!running); });
    }
    return *production_;
}

bool Application::acceleratorOpensAbout(QObject* receiver) const {
    QWidget* focus = QApplication::focusWidget();
    if (focus)
        return focus == main_.get() || focus == main_->clientArea();
    auto* widget = qobject_cast<QWidget*>(receiver);
    return widget && (widget == main_.get() || widget == main_->clientArea());
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || QApplication::activeModalWidget())
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool accelerator = (key->modifiers() & Qt::AltModifier) &&
                             (key->key() == Qt::Key_Question || key->key() == Qt::Key_Slash);
    if (!accelerator)
        return QObject::eventFilter(watched, event);
    // Only the main window itself acts on the command; anywhere else the key
    // reaches its window as any other key does.
    if (!acceleratorOpensAbout(watched))
        return QObject::eventFilter(watched, event);
    main_->command(ID_ABOUT);
    return true;
}

} // namespace quillan
