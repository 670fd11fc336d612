#include "app/command_line.h"
#include "app/form1.h"
#include "app/single_instance.h"
#include "app/windowless_stay.h"
#include "clipboard/helper_handoff.h"
#include "clipboard/qt_clipboard.h"
#include "screen/backend_choice.h"
#include "services/qt/qt_services.h"
#include "services/session_kind.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFont>
#include <QImageReader>
#include <QLoggingCategory>
#include <QTimer>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

namespace zs {
namespace {

// All of them, for main(); made once the QApplication exists, because the
// screen copy's backend depends on the platform Qt runs on.
struct QtServices {
    QtScreen screen;
    std::unique_ptr<IScreenCapture> capture = chooseScreenCapture(CaptureSession::current());
    QtWindowOrder windowOrder;
    QtEventPump pump;
    QtClipboard clipboard;
    QtFileDialogs dialogs;
    QtPrinter printer;
    QtMousePointer pointer;
    QtMessages messages;
    QtApplication application;
    Services services() {
        return Services{screen,  *capture, windowOrder, pump,     clipboard,
                        dialogs, printer,  pointer,     messages, application};
    }
};

// How long a start waits for the running program to take its request. It
// answers at once (the window acts afterwards); only a hung one takes long.
constexpr int kHandOffTimeoutMs = 5000;

// Prints what the command line asks for instead of a start, and gives the
// exit status; nothing for a start.
std::optional<int> answerCommandLine(const app::CommandLine& line) {
    switch (line.outcome) {
    case app::CommandLine::Outcome::Help:
    case app::CommandLine::Outcome::Version:
        std::fputs(qPrintable(line.text), stdout);
        return 0;
    case app::CommandLine::Outcome::Error:
        std::fprintf(stderr,
                     "zentrim-screen: %s\n%s\nRun 'zentrim-screen --help' for the options.\n",
                     qPrintable(line.text), qPrintable(app::helpText().section(u'\n', 0, 0)));
        return 2;
    case app::CommandLine::Outcome::Run:
        break;
    }
    return std::nullopt;
}

int failedHandOff() {
    std::fprintf(stderr, "zentrim-screen: the running Zentrim Screen did not take the request "
                         "(it does not answer on the session bus).\n");
    return 1;
}

// Hands `request` to the program already running in this session, before a
// display is opened; nothing when none runs.
std::optional<int> handToRunningProgram(int argc, char** argv, const app::StartRequest& request) {
    const QCoreApplication core(argc, argv);
    switch (app::handOff(QDBusConnection::sessionBus(), request, kHandOffTimeoutMs)) {
    case app::HandOff::Delivered:
        return 0;
    case app::HandOff::Failed:
        return failedHandOff();
    case app::HandOff::NoneRuns:
        break;
    }
    return std::nullopt;
}

// Qt's Wayland plugin activates the window with the token of the start
// that asked for it.
void useActivationToken(const QString& token) {
    if (!token.isEmpty()) {
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    }
}

// Opens the window, carries out `request` and the requests of later starts,
// and returns the exit code once the window is closed.
int runWindow(Services& services, QtApplication& application, app::SingleInstance& instance,
              const keeper::ExitKeeping& keeping, const app::StartRequest& request) {
    app::Form1 window(services);
    QObject scope; // ends the timers below with this function
    // A crop that will not outlive the program is said in the title, before
    // the user relies on it, not only in a log.
    if (keeping.way == keeper::AtExit::Lost) {
        window.form.setCaption(window.form.caption() + QStringLiteral(" - ") + keeping.loss);
    }
    window.start();
    if (request.action != app::StartAction::Show) {
        QTimer::singleShot(0, &scope, [&window, request] { window.carryOut(request); });
    }
    // Requests of later starts. One that comes while a dialog or a message
    // is open waits until it is closed: the window cannot act under it.
    std::function<void(const app::HandedRequest&)> carryOut =
        [&](const app::HandedRequest& handed) {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->activateWindow();
                modal->raise();
                QTimer::singleShot(250, &scope, [&carryOut, handed] { carryOut(handed); });
                return;
            }
            useActivationToken(handed.activationToken);
            window.carryOut(handed.request);
        };
    instance.setHandler(carryOut);
    const int code = application.quitRequested() ? application.exitCode() : QApplication::exec();
    instance.setHandler(nullptr);
    return application.quitRequested() ? application.exitCode() : code;
}

} // namespace
} // namespace zs

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const zs::app::CommandLine line = zs::app::parseCommandLine(arguments, QDir::currentPath());
    if (const std::optional<int> code = zs::answerCommandLine(line)) {
        return *code;
    }
    if (line.verbose) {
        QLoggingCategory::setFilterRules(QStringLiteral("zentrim.*.debug=true"));
    }
    // A start that found no program running goes on in a fresh image of
    // this program: Qt's bus connections stop working with the
    // QCoreApplication that made them, and the window needs a QApplication.
    static constexpr char kHandOffTried[] = "ZENTRIM_SCREEN_HANDOFF_TRIED";
    if (qEnvironmentVariableIsSet(kHandOffTried)) {
        qunsetenv(kHandOffTried); // not for the programs this one starts
    } else {
        if (const std::optional<int> code = zs::handToRunningProgram(argc, argv, line.request)) {
            return *code;
        }
        qputenv(kHandOffTried, "1");
        ::execv("/proc/self/exe", argv);
        std::fprintf(stderr, "zentrim-screen: cannot start itself again: %s\n",
                     std::strerror(errno));
        return 1;
    }

    const bool platformChosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    if (!platformChosen && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "zentrim-screen needs a graphical session: neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set.\n"
                     "To run it on a virtual screen: xvfb-run -s \"-screen 0 1920x1080x24\" "
                     "zentrim-screen\n");
        return 2;
    }
    // Twips per pixel follow the screen's logical dots per inch (Xft.dpi 120:
    // 12), which Qt's own scaling would turn into a factor of 1.25 at 96 dots
    // per inch. Factors the user or the compositor sets (QT_SCALE_FACTOR, a
    // scaled Wayland output) still apply; pictures then hold device pixels.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING")) {
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentrim Screen"));
    QApplication::setApplicationVersion(QStringLiteral(ZENTRIM_VERSION));
    // The Wayland app id: ties the window to the installed menu entry, for
    // its icon and name in task bars (X11 desktops match WM_CLASS instead).
    QGuiApplication::setDesktopFileName(QStringLiteral("zentrim-screen"));
    // The window's captions are laid out for a compact 8-point interface font.
    QFont uiFont(QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}, 8);
    QApplication::setFont(uiFont);

    // Asks for the session's name; a start at the same moment may have won it.
    zs::app::SingleInstance instance(QDBusConnection::sessionBus());
    if (!instance.primary()) {
        return zs::app::handOff(instance.bus(), line.request, zs::kHandOffTimeoutMs) ==
                       zs::app::HandOff::Delivered
                   ? 0
                   : zs::failedHandOff();
    }

    zs::QtServices qt;
    qCDebug(zs::lcCapture) << "capture backend:" << qt.capture->name();
    zs::Services services = qt.services();
    const zs::keeper::ExitKeeping keeping =
        zs::keeper::exitKeeping(QCoreApplication::applicationDirPath(), zs::currentSessionKind());
    int code = zs::runWindow(services, qt.application, instance, keeping, line.request);
    // Exit or the window's close: the crop stays on the clipboard, through
    // the helper, or where none can take it over, through this program
    // staying without a window until another program takes the clipboard;
    // a later start then opens the window again here.
    if (keeping.way != zs::keeper::AtExit::Stay) {
        qt.clipboard.keepAfterExit();
        return code;
    }
    while (const std::optional<zs::app::HandedRequest> next =
               zs::app::stayWithCrop(instance, [&] { return qt.clipboard.holdsCrop(); })) {
        zs::useActivationToken(next->activationToken);
        qt.application.resume();
        code = zs::runWindow(services, qt.application, instance, keeping, next->request);
    }
    return code;
}
