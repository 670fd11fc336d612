#pragma once

#include "form/control.h"

#include <functional>
#include <vector>

#include <QAccessible>
#include <QRegion>
#include <QWidget>

class QPainter;
class QMouseEvent;

namespace zs {

class Image;
class SurfaceWidget;

// The widget behind every container: paints the container's background and
// its graphic children, and routes the mouse to images or to the container.
class SurfaceWidget : public QWidget {
    Q_OBJECT
public:
    SurfaceWidget(Container& owner, QWidget* parent);

    // What the widget is to a screen reader: a group of controls unless the
    // container says otherwise (a picture, a button).
    QAccessible::Role accessibleRole() const { return m_role; }
    void setAccessibleRole(QAccessible::Role role) { m_role = role; }

    std::function<void(QPainter&, const QRegion&)> paintBackground;
    std::function<void(std::int16_t button, std::int16_t shift, QPointF px)> pressed;
    std::function<void(std::int16_t button, std::int16_t shift, QPointF px)> moved;
    std::function<void(std::int16_t button, std::int16_t shift, QPointF px)> released;
    std::function<void()> clicked;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void press(QMouseEvent* event, bool doubleClick);
    Container& m_owner;
    QAccessible::Role m_role = QAccessible::Grouping;
    Image* m_grabbedImage = nullptr;
    bool m_pressedInside = false;
};

// Something that holds other controls: the form, frames and picture boxes.
class Container {
public:
    explicit Container(ControlHost& host) : m_containerHost(host) {}
    virtual ~Container() = default;
    virtual SurfaceWidget* surface() const = 0;
    virtual bool shownAsContainer() const = 0;
    // Children in stacking order, the top one first.
    const std::vector<Control*>& children() const { return m_children; }
    void addChild(Control* child) { m_children.push_back(child); }
    // Puts the windowed children into stacking order (the first on top).
    void restack();
    void paintGraphics(QPainter& painter, const QRegion& region) const;
    Image* imageAt(QPoint px) const;
    // What the container's widget is to a screen reader.
    void setAccessibleRole(QAccessible::Role role);
    ControlHost& containerHost() const { return m_containerHost; }

private:
    ControlHost& m_containerHost;
    std::vector<Control*> m_children;
};

class Frame : public WindowedControl, public Container {
public:
    Frame(ControlHost& host, Container& container, QString name, int index);
    Color backColor() const { return m_back; }
    void setBackColor(Color c);
    SurfaceWidget* surface() const override;
    bool shownAsContainer() const override { return shown(); }

private:
    Color m_back = kWindowBackground;
};

} // namespace zs
