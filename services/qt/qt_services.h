#pragma once

#include "services/services.h"

#include <QElapsedTimer>

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

class QtFileDialogs final : public IFileDialogs {
public:
    std::optional<SaveChoice> saveFile(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<QString> openFile(QWidget* owner, const FileDialogRequest& request) override;
};

class QtPrinter final : public IPrinter {
public:
    void printImage(const QImage& image, QPointF dotsPerInch) override;
};

// Where a printer of `printerDpi` dots to the inch draws a picture of
// `imagePx` pixels shown at `dotsPerInch` (across, down): at the origin, at
// the picture's natural size. A resolution of 0 or less counts as 96.
QRectF printedRect(QSize imagePx, int printerDpi, QPointF dotsPerInch);

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
    // Takes back a quit request, for a window opened again after one.
    void resume() { m_quit = false; }

private:
    bool m_quit = false;
    int m_code = 0;
};

} // namespace zs
