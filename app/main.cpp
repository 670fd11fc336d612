#include "app/form1.h"
#include "clipboard/helper_handoff.h"
#include "clipboard/qt_clipboard.h"
#include "screen/backend_choice.h"
#include "services/qt/qt_services.h"

#include <QApplication>
#include <QFont>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

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

} // namespace
} // namespace zs

int main(int argc, char** argv) {
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

    zs::QtServices qt;
    qCDebug(zs::lcCapture) << "capture backend:" << qt.capture->name();
    zs::Services services = qt.services();
    zs::app::Form1 window(services);
    // A crop that will not outlive the program is said in the title, before
    // the user relies on it, not only in a log.
    const QString loss = zs::keeper::lossAtExit(QCoreApplication::applicationDirPath());
    if (!loss.isEmpty()) {
        window.form.setCaption(window.form.caption() + QStringLiteral(" - ") + loss);
    }
    window.start();
    const int code =
        qt.application.quitRequested() ? qt.application.exitCode() : QApplication::exec();
    // Exit or the window's close: the crop stays on the clipboard.
    qt.clipboard.keepAfterExit();
    return qt.application.quitRequested() ? qt.application.exitCode() : code;
}
