#include "services/fakes/fakes.h"

#include "services/errors.h"

#include <QCoreApplication>
#include <QWidget>

namespace zs::fakes {

QImage patternImage(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            line[x] = qRgb((x * 7 + y * 3) & 0xFF, (x * 13 + y * 17) & 0xFF, (x ^ y) & 0xFF);
        }
    }
    return img;
}

CaptureResult FakeScreenCapture::grabPrimary(IEventPump& /*pump*/) {
    ++grabs;
    if (onGrab) {
        onGrab();
    }
    if (!failure.isEmpty()) {
        m_log.push_back("grab failed");
        return CaptureResult::failed(failure);
    }
    if (content.isNull()) {
        content = patternImage(m_screen.size * m_screen.ratio);
    }
    m_log.push_back("grab " + std::to_string(content.width()) + "x" +
                    std::to_string(content.height()));
    return CaptureResult::copied(content);
}

void FakeWindowOrder::setWindowPos(QWidget& /*window*/, bool onTop, const QRect& outerPx) {
    topmost = onTop;
    calls.emplace_back(onTop, outerPx);
    m_log.push_back(onTop ? "topmost on" : "topmost off");
}

bool FakeWindowOrder::isOnScreen(const QWidget& window) const {
    if (!window.isVisible()) {
        return false;
    }
    if (!window.isMinimized()) {
        m_onScreenLeft = onScreenAfterMinimise;
        return true;
    }
    if (m_onScreenLeft > 0) {
        --m_onScreenLeft;
        return true;
    }
    return false;
}

void FakeEventPump::processEvents(double /*maxWaitSeconds*/) {
    ++passes;
    QCoreApplication::processEvents();
    if (onPass) {
        onPass();
    }
    clock += step;
}

void FakeClipboard::clear() {
    image = QImage();
    payload.reset();
    hasText = false;
    m_log.push_back("clipboard clear");
}

void FakeClipboard::setImage(const QImage& img) {
    image = img;
    payload = img.isNull() ? nullptr : std::make_shared<ClipboardPayload>(img);
    ++sets;
    m_log.push_back("clipboard set");
}

namespace {
std::optional<QString> nextAnswer(std::deque<std::optional<QString>>& answers) {
    if (answers.empty()) {
        return std::nullopt;
    }
    const bool cancelled = !answers.front().has_value();
    const QString path = answers.front().value_or(QString());
    answers.pop_front();
    if (cancelled) {
        return std::nullopt;
    }
    return path;
}
} // namespace

std::optional<SaveChoice> FakeFileDialogs::saveFile(QWidget* /*owner*/,
                                                    const FileDialogRequest& request) {
    requests.push_back(request);
    m_log.push_back("save dialog");
    int filter = 0;
    if (!saveFilters.empty()) {
        filter = saveFilters.front();
        saveFilters.pop_front();
    }
    const std::optional<QString> path = nextAnswer(answers);
    if (!path) {
        return std::nullopt;
    }
    return SaveChoice{*path, filter};
}

std::optional<QString> FakeFileDialogs::openFile(QWidget* /*owner*/,
                                                 const FileDialogRequest& request) {
    requests.push_back(request);
    m_log.push_back("open dialog");
    return nextAnswer(answers);
}

void FakePrinter::printImage(const QImage& image, QPointF dotsPerInch) {
    m_log.push_back("print");
    if (fail) {
        throw Error(Error::Code::Device, "No default printer is installed");
    }
    jobs.emplace_back(image, dotsPerInch);
}

void FakeMousePointer::setBusy(bool b) {
    busy = b;
    m_log.push_back(b ? "pointer busy" : "pointer default");
}

void FakeMessages::showError(QWidget* /*owner*/, const QString& /*title*/, const QString& text) {
    errors.push_back(text);
    m_log.push_back("message");
}

void FakeApplication::requestQuit(int c) {
    if (!quit) {
        quit = true;
        code = c;
        m_log.push_back("quit " + std::to_string(c));
    }
}

} // namespace zs::fakes
