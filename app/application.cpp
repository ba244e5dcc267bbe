#include "app/application.h"

#include "app/pictures.h"
#include "dialogs/key_picker_window.h"
#include "hidlink/hidapi_backend.h"
#include "hidlink/sim_backend.h"

#include <QApplication>
#include <QKeyEvent>

namespace quillan {

std::unique_ptr<HidBackend> makeBackend(const std::string& simulateKind) {
    if (!simulateKind.empty())
        return makeSimulatedBackend(simulateKind);
    return makeHidapiBackend();
}

Application::Application(AppOptions options) : state_(std::make_unique<AppState>()) {
    state_->backend =
        options.backend ? std::move(options.backend) : makeBackend(options.simulateKind);
    state_->clock = options.clock;
    QApplication::setWindowIcon(applicationIcon());

    main_ = std::make_unique<MainWindow>(*state_);
    // A log that cannot be opened swallows every trace.
    if (state_->log.open(options.logPath)) {
        state_->log.writeStartLine();
        state_->log.flush();
    }
    main_->createProgressBar();
    KeyboardDefinition& def = state_->def;
    def.EnableBits = 1;
    def.StdRepeat = 1;
    def.GlobalRepeatDisable = 0;
    def.AnyKeyRelease = 0;
    def.PrefixMakeBreak = 0;
    setDefaultPointingBlock(def);
    main_->refreshFromDefinition();
    main_->resetHistory(); // the start values are not a change

    test_ = std::make_unique<TestWindow>();
    test_->hide();
    main_->setTestWindow(test_.get());
    test_->setDefinition(&state_->def);

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
    qApp->removeEventFilter(this);
    main_->setDialogContext(nullptr);
    main_->setTestWindow(nullptr);
    delete picker_;
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
