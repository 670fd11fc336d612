#include "screen/qt_grab_capture.h"
#include "screen/primary_screen.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace zs {

CaptureResult QtGrabCapture::grabPrimary(IEventPump& /*pump*/) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return CaptureResult::failed(QStringLiteral("There is no screen to copy."));
    }
    // Window 0 with no rectangle is the whole screen, already at its place in
    // the desktop: passing the screen's origin here would add it twice.
    QImage shot = screen->grabWindow(0).toImage();
    if (shot.isNull()) {
        return CaptureResult::failed(
            QStringLiteral("Qt cannot read the screen on the \"%1\" platform.")
                .arg(QGuiApplication::platformName()));
    }
    const QSize expected = primaryScreenDevicePixels().size();
    if (shot.size() != expected) {
        return CaptureResult::failed(QStringLiteral("The screen copy has %1 pixels instead of %2.")
                                         .arg(sizeText(shot.size()), sizeText(expected)));
    }
    shot.setDevicePixelRatio(1);
    return CaptureResult::copied(std::move(shot));
}

} // namespace zs
