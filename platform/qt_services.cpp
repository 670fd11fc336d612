#include "qt_services.h"

#include "errors.h"
#include "x11_grab.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <cstring>

#include <xcb/xcb.h>

namespace zs {

namespace {

QScreen* primary() {
    return QGuiApplication::primaryScreen();
}

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_connection_t* xcbConnection() {
    if (!onX11()) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t a = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// Asks the window manager to add or remove _NET_WM_STATE_ABOVE on a mapped
// window; the window stays mapped.
void setAboveX11(xcb_connection_t* c, xcb_window_t window, bool above) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = atom(c, "_NET_WM_STATE");
    ev.data.data32[0] = above ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
    ev.data.data32[1] = atom(c, "_NET_WM_STATE_ABOVE");
    ev.data.data32[2] = 0;
    ev.data.data32[3] = 1; // a normal application
    xcb_send_event(c, 0, rootOf(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

} // namespace

// ---------------------------------------------------------------- screen

float QtScreen::twipsPerPixelX() const {
    QScreen* s = primary();
    const double dpi = s != nullptr ? s->logicalDotsPerInchX() : 96.0;
    return static_cast<float>(1440.0 / (dpi > 0 ? dpi : 96.0));
}

float QtScreen::twipsPerPixelY() const {
    QScreen* s = primary();
    const double dpi = s != nullptr ? s->logicalDotsPerInchY() : 96.0;
    return static_cast<float>(1440.0 / (dpi > 0 ? dpi : 96.0));
}

QSize QtScreen::sizePx() const {
    QScreen* s = primary();
    return s != nullptr ? s->geometry().size() : QSize();
}

QRect QtScreen::availablePx() const {
    QScreen* s = primary();
    return s != nullptr ? s->availableGeometry() : QRect();
}

bool QtScreen::grabPrimary(QImage& dest, int width, int height) {
    QScreen* s = primary();
    if (s == nullptr || width <= 0 || height <= 0 || dest.isNull()) {
        return false;
    }
    const QRect g = s->geometry();
    // The primary screen's place in the root window, in device pixels.
    const qreal ratio = s->devicePixelRatio();
    const QRect source(QPoint(qRound(g.x() * ratio), qRound(g.y() * ratio)),
                       QSize(std::min(width, qRound(g.width() * ratio)),
                             std::min(height, qRound(g.height() * ratio))));
    if (onX11() && dest.format() == QImage::Format_RGB32 && x11::grabRootShm(source, dest)) {
        return true;
    }
    // Elsewhere, or when the server cannot share memory: Qt's own copy.
    const QImage shot = s->grabWindow(0, g.x(), g.y(), width, height)
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) {
        return false;
    }
    const int w = std::min({width, shot.width(), dest.width()});
    const int h = std::min({height, shot.height(), dest.height()});
    for (int y = 0; y < h; ++y) {
        std::memcpy(dest.scanLine(y), shot.constScanLine(y), static_cast<size_t>(w) * 4);
    }
    return true;
}

// ---------------------------------------------------------------- window order

void QtWindowOrder::setWindowPos(QWidget& window, bool onTop, const QRect& outerPx) {
    const QMargins f = frameMargins(window);
    if (window.isVisible()) {
        if (xcb_connection_t* c = xcbConnection(); c != nullptr) {
            setAboveX11(c, static_cast<xcb_window_t>(window.winId()), onTop);
        } else if (QWindow* w = window.windowHandle(); w != nullptr) {
            w->setFlag(Qt::WindowStaysOnTopHint, onTop);
        }
    }
    if (!window.isMinimized() && !window.isMaximized()) {
        const QSize client(std::max(0, outerPx.width() - f.left() - f.right()),
                           std::max(0, outerPx.height() - f.top() - f.bottom()));
        if (window.frameGeometry().topLeft() != outerPx.topLeft()) {
            window.move(outerPx.topLeft());
        }
        if (window.size() != client) {
            window.resize(client);
        }
    }
    if (window.isVisible()) {
        window.raise();
        window.activateWindow();
    }
}

QMargins QtWindowOrder::frameMargins(const QWidget& window) const {
    if (window.isVisible() && window.geometry() != window.frameGeometry()) {
        const QRect g = window.geometry();
        const QRect fg = window.frameGeometry();
        m_lastFrame = QMargins(g.left() - fg.left(), g.top() - fg.top(), fg.right() - g.right(),
                               fg.bottom() - g.bottom());
    } else if (!onX11()) {
        return QMargins();
    }
    return m_lastFrame;
}

bool QtWindowOrder::isOnScreen(const QWidget& window) const {
    if (!window.isVisible()) {
        return false;
    }
    if (xcb_connection_t* c = xcbConnection(); c != nullptr) {
        const auto cookie = xcb_get_window_attributes(c, static_cast<xcb_window_t>(window.winId()));
        xcb_get_window_attributes_reply_t* r = xcb_get_window_attributes_reply(c, cookie, nullptr);
        const bool viewable = r != nullptr && r->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(r);
        return viewable;
    }
    return !window.isMinimized();
}

// ---------------------------------------------------------------- events

QtEventPump::QtEventPump() {
    m_clock.start();
}

double QtEventPump::now() const {
    return static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
}

void QtEventPump::processEvents(double maxWaitSeconds) {
    if (maxWaitSeconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // Wait in a nested loop instead of spinning; it handles every event that
    // arrives and ends when the time is up.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::ceil(maxWaitSeconds * 1000.0)), Qt::PreciseTimer,
                       &loop, &QEventLoop::quit);
    loop.exec();
}

// ---------------------------------------------------------------- clipboard

void QtClipboard::clear() {
    QGuiApplication::clipboard()->clear();
}

void QtClipboard::setImage(const QImage& image) {
    if (image.isNull()) {
        QGuiApplication::clipboard()->clear();
        return;
    }
    // Qt offers a QImage in every format its image writers know, image/png
    // and image/bmp among them, converting only when another program asks.
    auto* data = new QMimeData; // owned by the clipboard
    data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
}

// ---------------------------------------------------------------- dialogs

namespace {
std::optional<QString> runDialog(QWidget* owner, const FileDialogRequest& r,
                                 QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, r.title);
    // Qt's own dialog: it adds no extension to a typed name (no default
    // suffix) and, with DontConfirmOverwrite, replaces a file without asking.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(mode);
    // Any name may be typed, also in the open dialog: the command reports a
    // file that is not there.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(r.filterName, r.patterns.join(u' ')));
    // Patterns match names without regard to case, so "*.JPG" lists a.jpg
    // on a case-sensitive file system too.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setDefaultSuffix(QString());
    dialog.setWindowModality(Qt::WindowModal);
    if (!r.initialDir.isEmpty()) {
        dialog.setDirectory(r.initialDir);
    }
    if (!r.proposedName.isEmpty()) {
        dialog.selectFile(r.proposedName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return files.first();
}
} // namespace

std::optional<QString> QtFileDialogs::saveFile(QWidget* owner, const FileDialogRequest& request) {
    return runDialog(owner, request, QFileDialog::AcceptSave);
}

std::optional<QString> QtFileDialogs::openFile(QWidget* owner, const FileDialogRequest& request) {
    return runDialog(owner, request, QFileDialog::AcceptOpen);
}

// ---------------------------------------------------------------- printer

void QtPrinter::printImage(const QImage& image, double dotsPerInch) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        throw Error(Error::Code::Device, "No default printer is installed");
    }
    const std::string name = info.printerName().toStdString();
    // The default printer with its own settings: page, orientation, copies
    // and colour stay as the printer has them.
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setFullPage(false); // the origin is the printable area's corner
    printer.setDocName(QStringLiteral("Zentrim Screen"));
    if (printer.printerState() == QPrinter::Error) {
        throw Error(Error::Code::Device, "The printer \"" + name + "\" is not available");
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw Error(Error::Code::Device, "The printer \"" + name + "\" could not be opened");
    }
    // At its natural size: `dotsPerInch` image pixels to the inch, whatever
    // the printer's own resolution. What lies past the page is cut off.
    const double k = printer.resolution() / (dotsPerInch > 0 ? dotsPerInch : 96.0);
    if (!image.isNull()) {
        painter.drawImage(QRectF(0, 0, image.width() * k, image.height() * k), image);
    }
    // QPainter::end() reports success even when the job failed; the
    // printer's state tells.
    painter.end();
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        throw Error(Error::Code::Device, "The print job on \"" + name + "\" failed");
    }
}

// ---------------------------------------------------------------- pointer

void QtMousePointer::setBusy(bool busy) {
    if (busy == m_busy) {
        return;
    }
    m_busy = busy;
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

// ---------------------------------------------------------------- messages

void QtMessages::showError(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox::critical(owner, title, text);
}

// ---------------------------------------------------------------- application

void QtApplication::requestQuit(int code) {
    if (m_quit) {
        return;
    }
    m_quit = true;
    m_code = code;
    QCoreApplication::exit(code);
}

QString QtApplication::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

} // namespace zs
