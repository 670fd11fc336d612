#include "form/containers.h"

#include "form/accessibility.h"
#include "form/graphic_controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace zs {

namespace {

// The pointer's position in the widget with the fraction the window system
// gave: Qt's widgets round the position they pass on to whole logical
// pixels, which on a scaled output (2 device pixels a logical one) would
// land every press and drag on an even device pixel. The window's own
// position of the event keeps the fraction; the widget's offset in the
// window is whole.
QPointF exactPosition(const QMouseEvent* event) {
    const QPointF inWindow = event->scenePosition();
    return event->position() + (inWindow - QPointF(inWindow.toPoint()));
}

} // namespace

// ---------------------------------------------------------------- SurfaceWidget

SurfaceWidget::SurfaceWidget(Container& owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
    installAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRegion& region = event->region();
    if (paintBackground) {
        paintBackground(p, region);
    }
    p.setClipRegion(region);
    m_owner.paintGraphics(p, region);
}

void SurfaceWidget::press(QMouseEvent* event, bool doubleClick) {
    const QPoint px = event->position().toPoint();
    ControlHost& host = m_owner.containerHost();
    const std::int16_t button = buttonOf(event->button());
    const std::int16_t shift = shiftOf(event->modifiers());
    if (m_grabbedImage == nullptr) {
        m_grabbedImage = m_owner.imageAt(px);
    }
    if (Image* img = m_grabbedImage; img != nullptr) {
        const QPointF rel = exactPosition(event) - QPointF(img->rectPx().topLeft());
        if (doubleClick) {
            if (img->DblClick) {
                host.run("DblClick", img->DblClick);
            }
        } else if (img->MouseDown) {
            host.run("MouseDown", [&] {
                img->MouseDown(button, shift, static_cast<float>(rel.x()) * host.twipsPerPixelX(),
                               static_cast<float>(rel.y()) * host.twipsPerPixelY());
            });
        }
        return;
    }
    m_pressedInside = true;
    if (pressed) {
        pressed(button, shift, exactPosition(event));
    }
}

void SurfaceWidget::mousePressEvent(QMouseEvent* event) {
    press(event, false);
}

void SurfaceWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // Images report a double click; picture boxes and frames take the second
    // press as a press.
    press(event, true);
}

void SurfaceWidget::mouseMoveEvent(QMouseEvent* event) {
    if (m_grabbedImage != nullptr) {
        return;
    }
    if (moved) {
        moved(buttonsOf(event->buttons()), shiftOf(event->modifiers()), exactPosition(event));
    }
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
    ControlHost& host = m_owner.containerHost();
    const std::int16_t button = buttonOf(event->button());
    const std::int16_t shift = shiftOf(event->modifiers());
    if (Image* img = m_grabbedImage; img != nullptr) {
        if (event->buttons() == Qt::NoButton) {
            m_grabbedImage = nullptr;
        }
        const QPointF rel = exactPosition(event) - QPointF(img->rectPx().topLeft());
        if (img->MouseUp) {
            host.run("MouseUp", [&] {
                img->MouseUp(button, shift, static_cast<float>(rel.x()) * host.twipsPerPixelX(),
                             static_cast<float>(rel.y()) * host.twipsPerPixelY());
            });
        }
        if (img->Click && img->rectPx().contains(event->position().toPoint())) {
            host.run("Click", img->Click);
        }
        return;
    }
    if (released) {
        released(button, shift, exactPosition(event));
    }
    if (m_pressedInside && event->buttons() == Qt::NoButton) {
        m_pressedInside = false;
        if (clicked && rect().contains(event->position().toPoint())) {
            clicked();
        }
    }
}

// ---------------------------------------------------------------- Container

void Container::restack() {
    // Qt draws later siblings above earlier ones; the first child must end on
    // top, so raise from the bottom of the list upwards.
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        if (auto* w = dynamic_cast<WindowedControl*>(*it); w != nullptr && w->widget()) {
            w->widget()->raise();
        }
    }
}

void Container::paintGraphics(QPainter& painter, const QRegion& region) const {
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        auto* g = dynamic_cast<GraphicControl*>(*it);
        if (g == nullptr || !g->visible()) {
            continue;
        }
        const QRegion cov = g->coverage();
        if (cov.intersects(region)) {
            painter.save();
            g->paint(painter);
            painter.restore();
        }
    }
}

void Container::setAccessibleRole(QAccessible::Role role) {
    if (SurfaceWidget* s = surface(); s != nullptr) {
        s->setAccessibleRole(role);
    }
}

Image* Container::imageAt(QPoint px) const {
    for (Control* c : m_children) {
        auto* img = dynamic_cast<Image*>(c);
        if (img != nullptr && img->visible() && img->rectPx().contains(px)) {
            return img;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------- Frame

Frame::Frame(ControlHost& host, Container& container, QString name, int index)
    : WindowedControl(host, &container, std::move(name), index), Container(host) {
    auto* w = new SurfaceWidget(*this, container.surface());
    w->paintBackground = [this](QPainter& p, const QRegion& region) {
        for (const QRect& r : region) {
            p.fillRect(r, toQColor(m_back));
        }
    };
    attach(w);
}

void Frame::setBackColor(Color c) {
    m_back = c;
    if (m_widget) {
        m_widget->update();
    }
}

SurfaceWidget* Frame::surface() const {
    return static_cast<SurfaceWidget*>(m_widget.data());
}
} // namespace zs
