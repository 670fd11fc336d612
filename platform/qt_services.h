#pragma once

#include "clipboard_payload.h"
#include "services.h"

#include <QElapsedTimer>

#include <memory>

namespace zs::x11 {
class ClipboardTransfers;
}

// The services over Qt and the window system.
namespace zs {

class QtScreen final : public IScreen {
public:
    float twipsPerPixelX() const override;
    float twipsPerPixelY() const override;
    double devicePixelRatio() const override;
    QSize sizePx() const override;
    QRect availablePx() const override;
};

class QtWindowOrder final : public IWindowOrder {
public:
    void setWindowPos(QWidget& window, bool onTop, const QRect& outerPx) override;
    QMargins frameMargins(const QWidget& window) const override;
    bool isOnScreen(const QWidget& window) const override;
    bool managed() const override;

private:
    // The frame is known only once the window manager has framed the window;
    // before that the last one seen (or a usual one) stands in.
    mutable QMargins m_lastFrame{1, 20, 1, 5};
};

class QtEventPump final : public IEventPump {
public:
    QtEventPump();
    double now() const override;
    void processEvents(double maxWaitSeconds) override;

private:
    QElapsedTimer m_clock;
};

// The image goes on the clipboard as image/png and image/bmp, each encoded
// once in the background (ClipboardPayload).
class QtClipboard final : public IClipboard {
public:
    QtClipboard();
    ~QtClipboard() override;
    QtClipboard(const QtClipboard&) = delete;
    QtClipboard& operator=(const QtClipboard&) = delete;
    void clear() override;
    void setImage(const QImage& image) override;
    // Once the event loop has ended: if the clipboard still holds our last
    // image, leaves it to a clipboard manager or to the helper process that
    // keeps it after we end (clipboard_keeper.h).
    void keepAfterExit();

private:
    std::weak_ptr<ClipboardPayload> m_current;
    // X11: our large files go out in 1 MiB pieces (x11_clipboard_transfers.h).
    std::unique_ptr<x11::ClipboardTransfers> m_transfers;
};

class QtFileDialogs final : public IFileDialogs {
public:
    std::optional<QString> saveFile(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<QString> openFile(QWidget* owner, const FileDialogRequest& request) override;
};

class QtPrinter final : public IPrinter {
public:
    void printImage(const QImage& image, double dotsPerInch) override;
};

class QtMousePointer final : public IMousePointer {
public:
    void setBusy(bool busy) override;

private:
    bool m_busy = false;
};

class QtMessages final : public IMessages {
public:
    void showError(QWidget* owner, const QString& title, const QString& text) override;
};

class QtApplication final : public IApplication {
public:
    void requestQuit(int code) override;
    bool quitRequested() const override { return m_quit; }
    QString programFolder() const override;
    int exitCode() const { return m_code; }

private:
    bool m_quit = false;
    int m_code = 0;
};

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

} // namespace zs
