// quillan [--simulate KIND] [--load FILE] [--screenshot FILE]
//   --simulate KIND   run on a simulated HID device (also QUILLAN_SIMULATE)
//   --load FILE       load a settings file at start
//   --screenshot FILE save a picture of the main window as PNG and exit
// quillan --help | --version
#include "app/application.h"
#include "gui/message_box.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

constexpr const char* kUsage =
    "usage: quillan [--simulate KIND] [--load FILE] [--screenshot FILE]\n";

// Answers --help and --version on standard output before Qt starts, so that
// they work without a display. Returns false when argv asks for neither.
// An unknown long option is refused here too (usage, exit 2), before Qt
// needs a display; single-dash options are Qt's own and are left to it.
std::optional<int> answerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--simulate") == 0 || std::strcmp(arg, "--load") == 0 ||
            std::strcmp(arg, "--screenshot") == 0) {
            if (i + 1 >= argc)
                break; // a missing value is refused after Qt starts, as before
            ++i;       // skip the value
        } else if (std::strcmp(arg, "--version") == 0) {
            std::printf("Quillan %s\n", QUILLAN_VERSION);
            return 0;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::printf("%s", kUsage);
            std::printf(
                "       quillan --help | --version\n"
                "  --simulate KIND    run on a simulated device (keyboard-1000, keyboard-1001,\n"
                "                     keyboard-100A, keyboard-100B, keyboard-100C,\n"
                "                     programmer-NNNN); also QUILLAN_SIMULATE\n"
                "  --load FILE        load a settings file at start\n"
                "  --screenshot FILE  save a picture of the main window as PNG and exit\n"
                "see quillan(1)\n");
            return 0;
        } else if (std::strncmp(arg, "--", 2) == 0) {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        }
    }
    return std::nullopt;
}

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
    if (const std::optional<int> answered = answerInfoOption(argc, argv))
        return *answered;
    QApplication app(argc, argv);
    const Arguments args = parseArguments(app.arguments());
    if (!args.ok) {
        std::fprintf(stderr, "%s", kUsage);
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
