#pragma once

#include "form/controls.h"
#include "services/services.h"

#include <QIcon>
#include <QMargins>
#include <QWidget>

#include <optional>

namespace zs {

enum class WindowState : std::int16_t { Normal = 0, Minimized = 1, Maximized = 2 };

class FormWidget;

// The top-level window. Width and Height are its outer size (frame included,
// as the window system reports it); ScaleWidth and ScaleHeight its client
// area. Changing the size or the state raises Resize before the setter
// returns, with the size the window will have, and again whenever the window
// system reports a different size.
class Form : public ControlHost, public Container {
public:
    Form(Services& services, QString name);
    ~Form() override;

    Services& services() const { return m_services; }
    QWidget* widget() const;
    SurfaceWidget* surface() const override;
    bool shownAsContainer() const override { return true; }

    float twipsPerPixelX() const override { return m_services.screen.twipsPerPixelX(); }
    float twipsPerPixelY() const override { return m_services.screen.twipsPerPixelY(); }
    double devicePixelRatio() const override { return m_services.screen.devicePixelRatio(); }

    void setCaption(const QString& caption);
    QString caption() const;
    void setIcon(const QIcon& icon);
    void setBackColor(Color c);
    Color backColor() const { return m_back; }

    float left() const;
    float top() const;
    float width() const;
    float height() const;
    float scaleWidth() const;
    float scaleHeight() const;
    void setLeft(float v);
    void setTop(float v);
    // Outer size; refused (InvalidValue) while minimised or maximised.
    void setWidth(float v);
    void setHeight(float v);
    // Client size, used once when the window is built.
    void setClientSize(float width, float height);

    WindowState windowState() const { return m_state; }
    void setWindowState(WindowState s);
    // Unmaps the window, leaving WindowState as it is: for a window that a
    // window manager did not minimise (a tiling one, or none). The next
    // setWindowState shows it again, also one of the state it has (the
    // window system may report a state for the unmapped window meanwhile).
    void takeOffScreen();

    // Shows the window in the centre of the primary screen's available area.
    void showCentred();

    std::function<void()> Resize;

    // Runs a handler for an event that came from the window system: a failure
    // is reported in a message naming the error, and the program ends.
    void run(const char* what, const std::function<void()>& handler) override;
    // Graphic controls changed by a handler are repainted together when the
    // handler is done, or at the next pass of the event loop when the change
    // came from elsewhere.
    void deferRepaint(GraphicControl& control) override;
    void cancelRepaint(GraphicControl& control) override;
    void flushRepaints();

    // Ends the program: every later event is ignored.
    void quit(int code);
    bool quitting() const;

    // For the window system's own changes (FormWidget).
    void windowSystemResized(QSize clientPx);
    void windowSystemStateChanged(Qt::WindowStates states);

private:
    QMargins frame() const;
    // Records the frame of the normal window before it leaves that state.
    void noteNormalFrame();
    // The window's outer top-left corner in pixels, and a move of it.
    QPoint outerTopLeft() const;
    void moveOuterTo(QPoint outer);
    // Throws InvalidValue for a negative size, or while minimised or maximised.
    void refuseSizing(float v, const char* property) const;
    void setClientPx(QSize size);
    void centre();

    Services& m_services;
    QString m_name;
    std::unique_ptr<FormWidget> m_widget;
    Color m_back = kWindowBackground;
    WindowState m_state = WindowState::Normal;
    QSize m_clientPx;          // the client size the handlers see
    QSize m_normalClientPx;    // the size to return to from minimised/maximised
    QSize m_maximisedClientPx; // the size the window system last gave it maximised
    bool m_centreWhenFramed = false;
    std::vector<GraphicControl*> m_pendingRepaints;
    bool m_flushPosted = false;
    std::vector<QSize> m_requested; // sizes asked of the window system, oldest first
    // The frame of the window when last seen in the normal state, and the
    // frame the window system reported when a restore to it was asked: the
    // window manager reports the normal frame some time after the restore.
    std::optional<QMargins> m_normalFrame;
    mutable std::optional<QMargins> m_frameBeforeRestore;
    bool m_resizing = false;
    bool m_offScreen = false; // unmapped by takeOffScreen, not yet shown again

    friend class FormWidget;
};

} // namespace zs
