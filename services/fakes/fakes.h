#pragma once

#include "clipboard/clipboard_payload.h"
#include "services/services.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Test doubles for every service. They share one log of what was asked of
// them, so tests can check the order of a handler's steps.
namespace zs::fakes {

using Log = std::vector<std::string>;

class FakeScreen final : public IScreen {
public:
    // Takes the log like the other fakes; the screen's answers need no entries.
    explicit FakeScreen(Log& /*log*/) {}
    float twipsPerPixelX() const override { return tppX; }
    float twipsPerPixelY() const override { return tppY; }
    double devicePixelRatio() const override { return ratio; }
    QSize sizePx() const override { return size; }
    QRect availablePx() const override {
        return available.isNull() ? QRect(QPoint(), size) : available;
    }

    float tppX = 15, tppY = 15;
    double ratio = 1;
    QSize size{1920, 1080}; // logical pixels
    QRect available;
};

// Serves `content` as the primary screen's picture, or fails with `failure`.
class FakeScreenCapture final : public IScreenCapture {
public:
    FakeScreenCapture(Log& log, const FakeScreen& screen) : m_log(log), m_screen(screen) {}
    QString name() const override { return QStringLiteral("fake"); }
    // Logs "grab WxH" (the picture's size) or "grab failed".
    CaptureResult grabPrimary(IEventPump& pump) override;

    // What the screen shows; a pattern of the screen's size in device pixels
    // when null.
    QImage content;
    // When not empty, every grab fails with this reason.
    QString failure;
    int grabs = 0;
    // Runs at the moment of the copy, before the result is made.
    std::function<void()> onGrab;

private:
    Log& m_log;
    const FakeScreen& m_screen;
};

class FakeWindowOrder final : public IWindowOrder {
public:
    explicit FakeWindowOrder(Log& log) : m_log(log) {}
    void setWindowPos(QWidget& window, bool onTop, const QRect& outerPx) override;
    QMargins frameMargins(const QWidget& /*window*/) const override {
        return windowManager ? frame : QMargins();
    }
    // A hidden window is off the screen at once; a minimised one after
    // `onScreenAfterMinimise` more queries.
    bool isOnScreen(const QWidget& window) const override;
    bool managed() const override { return windowManager; }

    // 4 + 4 pixels across and 27 + 4 down: 120 x 465 twips at 15 twips per
    // pixel, the frame of the window's design size.
    QMargins frame{4, 27, 4, 4};
    bool topmost = false;
    std::vector<std::pair<bool, QRect>> calls;
    // How many more isOnScreen queries answer true after minimising.
    int onScreenAfterMinimise = 0;
    bool windowManager = true;

private:
    Log& m_log;
    mutable int m_onScreenLeft = 0;
};

// A clock that advances by `step` seconds for every pass of the event loop;
// a pass processes Qt's pending events too, so widgets stay live.
class FakeEventPump final : public IEventPump {
public:
    // Takes the log like the other fakes; passes are counted, not logged.
    explicit FakeEventPump(Log& /*log*/) {}
    double now() const override { return clock; }
    void processEvents(double maxWaitSeconds) override;

    double clock = 1000.0;
    double step = 0.01;
    int passes = 0;
    std::function<void()> onPass;
};

class FakeClipboard final : public IClipboard {
public:
    explicit FakeClipboard(Log& log) : m_log(log) {}
    void clear() override;
    void setImage(const QImage& img) override;
    QImage image;
    // What another program pasting from it would get, as the Qt clipboard
    // offers it: the same formats and encodings. Null while empty.
    std::shared_ptr<ClipboardPayload> payload;
    bool hasText = true; // something else is on it before the first crop
    int sets = 0;

private:
    Log& m_log;
};

class FakeFileDialogs final : public IFileDialogs {
public:
    explicit FakeFileDialogs(Log& log) : m_log(log) {}
    std::optional<SaveChoice> saveFile(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<QString> openFile(QWidget* owner, const FileDialogRequest& request) override;
    // Answers in order; an empty optional is a cancel.
    std::deque<std::optional<QString>> answers;
    // The filter each save dialog leaves selected, in order; 0 when none.
    std::deque<int> saveFilters;
    std::vector<FileDialogRequest> requests;

private:
    Log& m_log;
};

class FakePrinter final : public IPrinter {
public:
    explicit FakePrinter(Log& log) : m_log(log) {}
    void printImage(const QImage& image, QPointF dotsPerInch) override;
    std::vector<std::pair<QImage, QPointF>> jobs;
    bool fail = false;

private:
    Log& m_log;
};

class FakeMousePointer final : public IMousePointer {
public:
    explicit FakeMousePointer(Log& log) : m_log(log) {}
    void setBusy(bool busy) override;
    bool busy = false;

private:
    Log& m_log;
};

class FakeMessages final : public IMessages {
public:
    explicit FakeMessages(Log& log) : m_log(log) {}
    void showError(QWidget* /*owner*/, const QString& title, const QString& text) override;
    std::vector<QString> errors;

private:
    Log& m_log;
};

class FakeApplication final : public IApplication {
public:
    explicit FakeApplication(Log& log) : m_log(log) {}
    void requestQuit(int code) override;
    bool quitRequested() const override { return quit; }
    QString programFolder() const override { return folder; }
    bool quit = false;
    int code = -1;
    QString folder = QStringLiteral("/tmp");

private:
    Log& m_log;
};

struct FakeServices {
    Log log;
    FakeScreen screen{log};
    FakeScreenCapture capture{log, screen};
    FakeWindowOrder windowOrder{log};
    FakeEventPump pump{log};
    FakeClipboard clipboard{log};
    FakeFileDialogs dialogs{log};
    FakePrinter printer{log};
    FakeMousePointer pointer{log};
    FakeMessages messages{log};
    FakeApplication application{log};
    Services services{screen,  capture, windowOrder, pump,     clipboard,
                      dialogs, printer, pointer,     messages, application};
};

// A deterministic, non-uniform picture: every pixel differs from its
// neighbours, so an off-by-one copy shows.
QImage patternImage(QSize size);

} // namespace zs::fakes
