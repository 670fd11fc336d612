#pragma once

#include "services/screen_capture.h"

#include <optional>
#include <vector>

#include <QImage>
#include <QMargins>
#include <QPointF>
#include <QRect>
#include <QString>

class QWidget;

// The services the handlers use beyond the controls themselves. Each has a Qt
// implementation (qt_services.h; the screen copy's backends in their own
// files, screen_capture.h) and a fake for tests (fakes/).
namespace zs {

// Twips per device pixel for `twipsPerPixel` twips per pixel of the interface
// (a logical pixel) at `ratio` device pixels to a logical pixel.
inline float twipsPerDevicePixel(float twipsPerPixel, double ratio) {
    return static_cast<float>(twipsPerPixel / ratio);
}

// Lengths of the interface are twips, and a pixel of the interface is one of
// Qt's logical pixels: twips per pixel follow the logical dots per inch.
// Pictures hold device pixels, devicePixelRatio() to a logical pixel (more
// than 1 under a Qt scale factor or a scaled Wayland output), so that a copy
// of the screen is shown, cut and saved pixel for pixel.
class IScreen {
public:
    virtual ~IScreen() = default;
    virtual float twipsPerPixelX() const = 0;
    virtual float twipsPerPixelY() const = 0;
    // Device pixels to one logical pixel on the primary screen.
    virtual double devicePixelRatio() const = 0;
    // Size of the primary screen in (logical) pixels; in twips via the
    // factors.
    virtual QSize sizePx() const = 0;
    // Area of the primary screen not taken by panels, in pixels.
    virtual QRect availablePx() const = 0;

    // Twips per device pixel: how long one pixel of a picture is.
    float twipsPerDevicePixelX() const {
        return twipsPerDevicePixel(twipsPerPixelX(), devicePixelRatio());
    }
    float twipsPerDevicePixelY() const {
        return twipsPerDevicePixel(twipsPerPixelY(), devicePixelRatio());
    }
    float widthTwips() const { return static_cast<float>(sizePx().width()) * twipsPerPixelX(); }
    float heightTwips() const { return static_cast<float>(sizePx().height()) * twipsPerPixelY(); }
};

// Window order and placement of top-level windows.
class IWindowOrder {
public:
    virtual ~IWindowOrder() = default;
    // Puts `window` into (onTop) or out of the topmost layer, places its outer
    // rectangle at `outerPx` and activates it, without changing whether it is
    // shown.
    virtual void setWindowPos(QWidget& window, bool onTop, const QRect& outerPx) = 0;
    // The frame the window system draws around the client area, in pixels.
    virtual QMargins frameMargins(const QWidget& window) const = 0;
    // True while any part of the window may still be on the screen (mapped and
    // not minimised as the window system reports it, after every request
    // made so far).
    virtual bool isOnScreen(const QWidget& window) const = 0;
    // Whether a window manager places, frames, minimises and maximises
    // top-level windows. Without one the window has no frame and the program
    // places a maximised window itself.
    virtual bool managed() const = 0;
};

// Processes events and reads a monotonic clock.
class IEventPump {
public:
    virtual ~IEventPump() = default;
    // Seconds since an arbitrary start; never goes backwards.
    virtual double now() const = 0;
    // Processes every pending event, waiting at most `maxWaitSeconds` for new
    // ones when there are none (0: do not wait).
    virtual void processEvents(double maxWaitSeconds) = 0;
};

class IClipboard {
public:
    virtual ~IClipboard() = default;
    virtual void clear() = 0;
    // Replaces the clipboard's contents with `image`; an empty image leaves
    // the clipboard empty.
    virtual void setImage(const QImage& image) = 0;
};

struct FileFilter {
    QString name;         // "PNG picture"
    QStringList patterns; // {"*.png"}
};

struct FileDialogRequest {
    QString title;
    QString filterName;                  // "Picture": the first filter, selected at the start
    QStringList patterns;                // {"*.bmp"}
    QString initialDir;                  // empty: the dialog's own choice
    QString proposedName;                // empty: none
    std::vector<FileFilter> moreFilters; // offered after the first
};

// The save dialog's answer: the path, and which filter was selected when it
// was confirmed (0: the first, 1: the first of moreFilters, ...).
struct SaveChoice {
    QString path;
    int filter = 0;
    friend bool operator==(const SaveChoice&, const SaveChoice&) = default;
};

class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // Both return nothing when cancelled; openFile the chosen path.
    virtual std::optional<SaveChoice> saveFile(QWidget* owner,
                                               const FileDialogRequest& request) = 0;
    virtual std::optional<QString> openFile(QWidget* owner, const FileDialogRequest& request) = 0;
};

class IPrinter {
public:
    virtual ~IPrinter() = default;
    // Prints `image` as one single-page job on the default printer, its
    // top-left at the printable area's top-left, at `dotsPerInch` pixels to
    // the inch across and down. Throws zs::Error(Device) when there is no
    // printer or it fails.
    virtual void printImage(const QImage& image, QPointF dotsPerInch) = 0;
};

class IMousePointer {
public:
    virtual ~IMousePointer() = default;
    // The screen-wide pointer: the hourglass while busy, the default otherwise.
    virtual void setBusy(bool busy) = 0;
};

class IMessages {
public:
    virtual ~IMessages() = default;
    virtual void showError(QWidget* owner, const QString& title, const QString& text) = 0;
};

// Ends the program. `requestQuit` makes every later event a no-op and leaves
// the event loop with `code`.
class IApplication {
public:
    virtual ~IApplication() = default;
    virtual void requestQuit(int code) = 0;
    virtual bool quitRequested() const = 0;
    // The folder that holds the executable.
    virtual QString programFolder() const = 0;
};

struct Services {
    IScreen& screen;
    IScreenCapture& capture;
    IWindowOrder& windowOrder;
    IEventPump& pump;
    IClipboard& clipboard;
    IFileDialogs& dialogs;
    IPrinter& printer;
    IMousePointer& pointer;
    IMessages& messages;
    IApplication& application;
};

} // namespace zs
