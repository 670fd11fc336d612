// kwin-screenshot OUTPUT: writes what KWin shows on OUTPUT (its name,
// "Virtual-0") in device pixels as a PNG to standard output (the desktop's
// user may not write where the caller reads), through KWin's screenshot
// interface, the way the program copies the screen. The KWin scenarios use
// it to check the desktop (wallpaper, the window left the copy), as the sway
// scenarios use grim. Exits 0 on success, 1 with a message otherwise.
#include "screen/kwin_screenshot_capture.h"
#include "services/qt/qt_services.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // No window: the offscreen platform keeps the tool off the desktop.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kwin-screenshot OUTPUT >FILE.png\n");
        return 1;
    }
    zs::QtEventPump pump;
    zs::KWinScreenshotCapture capture;
    const zs::CaptureResult result = capture.grabOutput(QString::fromLocal8Bit(argv[1]), pump);
    if (!result.ok()) {
        std::fprintf(stderr, "kwin-screenshot: %s\n", qPrintable(result.failure()));
        return 1;
    }
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    if (!result.image().save(&png, "PNG") ||
        std::fwrite(png.data().constData(), 1, size_t(png.data().size()), stdout) !=
            size_t(png.data().size()) ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kwin-screenshot: cannot write the PNG\n");
        return 1;
    }
    return 0;
}
