#include "form/form.h"

#include "services/errors.h"

#include <QCloseEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace zs {

// ---------------------------------------------------------------- FormWidget

class FormWidget : public SurfaceWidget {
public:
    FormWidget(Form& form) : SurfaceWidget(form, nullptr), m_form(form) {}

protected:
    void resizeEvent(QResizeEvent* event) override {
        SurfaceWidget::resizeEvent(event);
        m_form.windowSystemResized(event->size());
    }
    void changeEvent(QEvent* event) override {
        SurfaceWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange) {
            m_form.windowSystemStateChanged(windowState());
        }
    }
    void moveEvent(QMoveEvent* event) override {
        SurfaceWidget::moveEvent(event);
        // The first move after mapping tells the real frame: centre again with
        // it, once.
        if (m_form.m_centreWhenFramed && geometry() != frameGeometry()) {
            m_form.m_centreWhenFramed = false;
            m_form.centre();
        }
    }
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        m_form.quit(0);
    }

private:
    Form& m_form;
};

// ---------------------------------------------------------------- Form

Form::Form(Services& services, QString name)
    : Container(static_cast<ControlHost&>(*this)), m_services(services), m_name(std::move(name)),
      m_widget(std::make_unique<FormWidget>(*this)) {
    m_widget->setObjectName(m_name);
    m_widget->setAccessibleRole(QAccessible::Window);
    m_widget->paintBackground = [this](QPainter& p, const QRegion& region) {
        for (const QRect& r : region) {
            p.fillRect(r, toQColor(m_back));
        }
    };
}

Form::~Form() = default;

QWidget* Form::widget() const {
    return m_widget.get();
}
SurfaceWidget* Form::surface() const {
    return m_widget.get();
}

void Form::setCaption(const QString& caption) {
    m_widget->setWindowTitle(caption);
}
QString Form::caption() const {
    return m_widget->windowTitle();
}
void Form::setIcon(const QIcon& icon) {
    m_widget->setWindowIcon(icon);
}

void Form::setBackColor(Color c) {
    m_back = c;
    m_widget->update();
}

QMargins Form::frame() const {
    const QMargins reported = m_services.windowOrder.frameMargins(*m_widget);
    if (m_frameBeforeRestore) {
        // Restored from maximised or minimised: until the window manager
        // reports the normal window's frame, it still reports the one it had.
        if (reported == *m_frameBeforeRestore && m_normalFrame) {
            return *m_normalFrame;
        }
        m_frameBeforeRestore.reset();
    }
    return reported;
}

void Form::noteNormalFrame() {
    if (m_state == WindowState::Normal && m_widget->isVisible()) {
        m_normalFrame = frame();
    }
}

QPoint Form::outerTopLeft() const {
    if (!m_frameBeforeRestore || !m_widget->isVisible()) {
        return m_widget->frameGeometry().topLeft();
    }
    const QMargins f = frame();
    return m_widget->geometry().topLeft() - QPoint(f.left(), f.top());
}

void Form::moveOuterTo(QPoint outer) {
    if (!m_frameBeforeRestore || !m_widget->isVisible()) {
        m_widget->move(outer);
        return;
    }
    // Qt places the frame by the frame it last heard of, which a restore
    // leaves behind: place the client area by the form's frame instead.
    const QMargins f = frame();
    const QPoint qtFrame = m_widget->geometry().topLeft() - m_widget->frameGeometry().topLeft();
    m_widget->move(outer + QPoint(f.left(), f.top()) - qtFrame);
}

float Form::left() const {
    return static_cast<float>(outerTopLeft().x()) * twipsPerPixelX();
}
float Form::top() const {
    return static_cast<float>(outerTopLeft().y()) * twipsPerPixelY();
}

float Form::width() const {
    const QMargins f = frame();
    return static_cast<float>(m_clientPx.width() + f.left() + f.right()) * twipsPerPixelX();
}

float Form::height() const {
    const QMargins f = frame();
    return static_cast<float>(m_clientPx.height() + f.top() + f.bottom()) * twipsPerPixelY();
}

float Form::scaleWidth() const {
    return static_cast<float>(m_clientPx.width()) * twipsPerPixelX();
}
float Form::scaleHeight() const {
    return static_cast<float>(m_clientPx.height()) * twipsPerPixelY();
}

void Form::setLeft(float v) {
    moveOuterTo(QPoint(twipsToPx(v, twipsPerPixelX()), outerTopLeft().y()));
}

void Form::setTop(float v) {
    moveOuterTo(QPoint(outerTopLeft().x(), twipsToPx(v, twipsPerPixelY())));
}

void Form::refuseSizing(float v, const char* property) const {
    if (v < 0) {
        throw Error(Error::Code::InvalidValue, std::string("Invalid property value: ") + property);
    }
    if (m_state != WindowState::Normal) {
        throw Error(Error::Code::InvalidValue,
                    "A window can't be sized while minimised or maximised");
    }
}

void Form::setWidth(float v) {
    refuseSizing(v, "Width");
    const QMargins f = frame();
    const int w = std::max(0, twipsToPx(v, twipsPerPixelX()) - f.left() - f.right());
    setClientPx(QSize(w, m_clientPx.height()));
}

void Form::setHeight(float v) {
    refuseSizing(v, "Height");
    const QMargins f = frame();
    const int h = std::max(0, twipsToPx(v, twipsPerPixelY()) - f.top() - f.bottom());
    setClientPx(QSize(m_clientPx.width(), h));
}

void Form::setClientSize(float width, float height) {
    const QSize s(twipsToPx(width, twipsPerPixelX()), twipsToPx(height, twipsPerPixelY()));
    m_clientPx = s;
    m_normalClientPx = s;
    m_widget->resize(s);
}

void Form::setClientPx(QSize size) {
    m_normalClientPx = size;
    if (m_widget->size() != size) {
        if (m_widget->isVisible()) {
            m_requested.push_back(size);
        }
        // Qt answers a resize at once with a resize event of its own; the
        // window manager's confirmation comes later.
        m_resizing = true;
        m_widget->resize(size);
        m_resizing = false;
    }
    if (size != m_clientPx) {
        m_clientPx = size;
        if (Resize) {
            Resize();
        }
    }
}

void Form::setWindowState(WindowState s) {
    if (s == m_state && !m_offScreen) {
        return;
    }
    if (s != WindowState::Minimized && s != WindowState::Maximized && s != WindowState::Normal) {
        throw Error(Error::Code::InvalidValue, "Invalid property value: WindowState");
    }
    noteNormalFrame();
    const WindowState before = m_state;
    m_state = s;
    QSize next;
    switch (s) {
    case WindowState::Minimized:
        next = QSize(0, 0);
        m_widget->showMinimized();
        break;
    case WindowState::Maximized: {
        const QMargins f = frame();
        const QRect avail = m_services.screen.availablePx();
        next = QSize(std::max(0, avail.width() - f.left() - f.right()),
                     std::max(0, avail.height() - f.top() - f.bottom()));
        // Still at the size the window system last gave it maximised (it was
        // minimised or taken off the screen from there): it comes back at
        // that size, and Qt reports no resize for an unchanged size, so that
        // size is the one to lay out for, not the guess from the available
        // area (which a compositor need not report, nor the frame while the
        // window is off the screen).
        if (m_services.windowOrder.managed() && !m_maximisedClientPx.isEmpty() &&
            m_widget->size() == m_maximisedClientPx) {
            next = m_maximisedClientPx;
        }
        m_widget->showMaximized();
        if (!m_services.windowOrder.managed()) {
            // Nobody else maximises the window: it fills the available area
            // itself (Qt's immediate resize event is its own, not news).
            m_resizing = true;
            m_widget->setGeometry(QRect(avail.topLeft(), next));
            m_resizing = false;
        }
        break;
    }
    case WindowState::Normal:
        next = m_normalClientPx;
        if (m_widget->isVisible()) {
            // The window manager confirms the restore with the normal size
            // later, after the handler has perhaps asked for another one: it
            // is a size asked for, not the user's.
            if (m_widget->size() != next || m_clientPx != next) {
                m_requested.push_back(next);
            }
            if (before != WindowState::Normal) {
                m_frameBeforeRestore = m_services.windowOrder.frameMargins(*m_widget);
            }
        }
        // A window system that answers at once is no confirmation either.
        m_resizing = true;
        m_widget->showNormal();
        m_resizing = false;
        break;
    }
    m_offScreen = false; // each state above shows the window
    if (next != m_clientPx) {
        m_clientPx = next;
        if (Resize) {
            Resize();
        }
    }
}

void Form::takeOffScreen() {
    m_widget->hide();
    m_offScreen = true;
}

void Form::windowSystemResized(QSize clientPx) {
    if (m_state == WindowState::Minimized || m_resizing || quitting()) {
        return;
    }
    // The window manager confirms the sizes we asked for one by one, after
    // the handler that asked has gone on: a confirmation of an earlier,
    // already superseded request is not a size change of the window.
    if (const auto it = std::find(m_requested.begin(), m_requested.end(), clientPx);
        it != m_requested.end()) {
        m_requested.erase(m_requested.begin(), it + 1);
        if (clientPx != m_clientPx) {
            return;
        }
    } else {
        m_requested.clear();
    }
    if (m_state == WindowState::Normal) {
        m_normalClientPx = clientPx;
    } else if (m_state == WindowState::Maximized && clientPx != m_normalClientPx) {
        // (Qt reports the normal size once when a window is first shown
        // maximised, before the window manager has maximised it.)
        m_maximisedClientPx = clientPx;
    }
    if (clientPx != m_clientPx) {
        m_clientPx = clientPx;
        if (Resize) {
            run("Resize", Resize);
        }
    }
}

void Form::windowSystemStateChanged(Qt::WindowStates states) {
    // Without a window manager nobody else changes the state, and what Qt
    // reports is its guess from properties nobody maintains (a window shown
    // maximised after a minimise was reported minimised again).
    if (!m_services.windowOrder.managed()) {
        return;
    }
    WindowState s = WindowState::Normal;
    if (states & Qt::WindowMinimized) {
        s = WindowState::Minimized;
    } else if (states & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        s = WindowState::Maximized;
    }
    if (s == m_state || quitting()) {
        return;
    }
    if (!m_normalFrame) {
        noteNormalFrame();
    }
    m_state = s;
    const QSize next = s == WindowState::Minimized ? QSize(0, 0) : m_widget->size();
    if (next != m_clientPx) {
        m_clientPx = next;
        if (Resize) {
            run("Resize", Resize);
        }
    }
}

void Form::centre() {
    const QMargins f = frame();
    const QRect avail = m_services.screen.availablePx();
    const QSize outer(m_clientPx.width() + f.left() + f.right(),
                      m_clientPx.height() + f.top() + f.bottom());
    m_widget->move(avail.x() + (avail.width() - outer.width()) / 2,
                   avail.y() + (avail.height() - outer.height()) / 2);
}

void Form::showCentred() {
    centre();
    m_centreWhenFramed = true;
    m_widget->show();
    // The first size event of a window: the layout runs once even when the
    // shown size is the one it was built with.
    if (Resize) {
        run("Resize", Resize);
    }
}

void Form::deferRepaint(GraphicControl& control) {
    m_pendingRepaints.push_back(&control);
    if (!m_flushPosted) {
        m_flushPosted = true;
        QMetaObject::invokeMethod(
            m_widget.get(), [this] { flushRepaints(); }, Qt::QueuedConnection);
    }
}

void Form::cancelRepaint(GraphicControl& control) {
    std::erase(m_pendingRepaints, &control);
}

void Form::flushRepaints() {
    m_flushPosted = false;
    // A repaint marks nothing new, but take the list first all the same.
    const std::vector<GraphicControl*> pending = std::move(m_pendingRepaints);
    m_pendingRepaints.clear();
    for (GraphicControl* control : pending) {
        control->flushRepaint();
    }
}

void Form::run(const char* what, const std::function<void()>& handler) {
    if (quitting()) {
        return;
    }
    // However the handler ends, what it changed is repainted.
    struct FlushAtEnd {
        Form& form;
        ~FlushAtEnd() { form.flushRepaints(); }
    } flushAtEnd{*this};
    try {
        handler();
    } catch (const ProgramEnding&) {
        // Exit was pressed during a wait: the interrupted handler just stops.
    } catch (const Error& e) {
        m_services.messages.showError(m_widget.get(), caption(),
                                      QStringLiteral("%1 in %2:\n%3")
                                          .arg(QString::fromUtf8(Error::codeName(e.code())),
                                               QString::fromUtf8(what),
                                               QString::fromStdString(e.what())));
        quit(1);
    } catch (const std::exception& e) {
        m_services.messages.showError(
            m_widget.get(), caption(),
            QStringLiteral("Error in %1:\n%2")
                .arg(QString::fromUtf8(what), QString::fromStdString(e.what())));
        quit(1);
    }
}

void Form::quit(int code) {
    m_services.application.requestQuit(code);
}

bool Form::quitting() const {
    return m_services.application.quitRequested();
}

} // namespace zs
