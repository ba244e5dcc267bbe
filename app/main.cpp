// quillan [--simulate KIND] [--load FILE] [--screenshot FILE]
//   --simulate KIND   run on a simulated HID device (also QUILLAN_SIMULATE)
//   --load FILE       load a settings file at start
//   --screenshot FILE save a picture of the main window as PNG and exit
#include "app/application.h"
#include "app/message_box.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

struct Arguments {
    std::string simulate;
    QString screenshot;
    QString load;
    bool ok = true;
};

Arguments parseArguments(const QStringList& args) {
    Arguments parsed;
    if (const char* env = std::getenv("QUILLAN_SIMULATE"))
        parsed.simulate = env;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--simulate" && i + 1 < args.size())
            parsed.simulate = args[++i].toStdString();
        else if (arg == "--load" && i + 1 < args.size())
            parsed.load = args[++i];
        else if (arg == "--screenshot" && i + 1 < args.size())
            parsed.screenshot = args[++i];
        else
            parsed.ok = false;
    }
    return parsed;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const Arguments args = parseArguments(app.arguments());
    if (!args.ok) {
        std::fprintf(stderr,
                     "usage: quillan [--simulate KIND] [--load FILE] [--screenshot FILE]\n");
        return 2;
    }
    quillan::AppOptions options;
    options.simulateKind = args.simulate;
    options.backend = quillan::makeBackend(args.simulate);
    if (!options.backend) {
        std::fprintf(stderr, "quillan: unknown simulated device \"%s\"\n", args.simulate.c_str());
        return 2;
    }
    // A screenshot run never waits for a message box.
    if (!args.screenshot.isEmpty())
        quillan::MessageBox::setTestMode(true);
    quillan::Application quillanApp(std::move(options));
    quillan::MainWindow& window = quillanApp.mainWindow();
    if (!args.load.isEmpty() && !window.openSettings(args.load))
        std::fprintf(stderr, "quillan: could not load \"%s\"\n", qPrintable(args.load));
    if (!args.screenshot.isEmpty()) {
        QApplication::processEvents();
        return window.grab().save(args.screenshot, "PNG") ? 0 : 1;
    }
    // Closing the main window ends the run, even with the test window open.
    QObject::connect(&window, &quillan::MainWindow::closed, &app, &QApplication::quit);
    return app.exec();
}
