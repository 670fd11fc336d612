#include "form/graphic_controls.h"

#include "form/containers.h"

#include <QPainter>

namespace zs {

namespace {

Qt::PenStyle toPenStyle(LineStyle s) {
    switch (s) {
    case LineStyle::Dash:
        return Qt::DashLine;
    case LineStyle::Dot:
        return Qt::DotLine;
    case LineStyle::Solid:
        break;
    }
    return Qt::SolidLine;
}
// A pixel-exact pen: aliased, square pixels, the dash pattern in pixels.
QPen cosmeticPen(Color c, LineStyle s, int widthPx) {
    QPen pen(toQColor(c));
    pen.setStyle(toPenStyle(s));
    pen.setWidth(widthPx <= 1 ? 0 : widthPx);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

} // namespace

GraphicControl::GraphicControl(ControlHost& host, Container& container, QString name, int index)
    : Control(host, &container, std::move(name), index) {}

QRegion GraphicControl::coverage() const {
    return QRegion(rectPx());
}

GraphicControl::~GraphicControl() {
    if (m_repaintPending) {
        m_host.cancelRepaint(*this);
    }
}

void GraphicControl::changed() {
    if (!m_repaintPending) {
        m_repaintPending = true;
        m_host.deferRepaint(*this);
    }
}

void GraphicControl::flushRepaint() {
    m_repaintPending = false;
    const QRegion now = m_visible ? coverage() : QRegion();
    const QRegion dirty = now.united(m_lastCoverage);
    m_lastCoverage = now;
    if (SurfaceWidget* s = m_container->surface(); s != nullptr && !dirty.isEmpty()) {
        s->update(dirty);
    }
}

void Label::setCaption(const QString& caption) {
    setIfChanged(m_caption, caption, [this] { changed(); });
}

void Label::paint(QPainter& painter) const {
    const QRect r = rectPx();
    if (m_back) {
        painter.fillRect(r, toQColor(*m_back));
    }
    painter.setPen(toQColor(m_fore));
    painter.setFont(m_font);
    painter.drawText(r, static_cast<int>(toQtAlign(m_align) | Qt::AlignTop | Qt::TextWordWrap),
                     m_caption);
}

void Shape::setBorderColor(Color c) {
    setIfChanged(m_borderColor, c, [this] { changed(); });
}

void Shape::setBackColor(Color c) {
    setIfChanged(m_backColor, c, [this] { changed(); });
}

void Shape::paint(QPainter& painter) const {
    const QRect r = rectPx();
    if (r.width() <= 0 || r.height() <= 0) {
        return;
    }
    if (m_opaque) {
        painter.fillRect(r, toQColor(m_backColor));
    }
    painter.setPen(cosmeticPen(m_borderColor, m_borderStyle, 1));
    painter.setBrush(Qt::NoBrush);
    // An aliased 1-pixel rectangle covers r exactly with its last column and
    // row at r.right(), r.bottom().
    painter.drawRect(r.adjusted(0, 0, -1, -1));
}

QRegion Shape::coverage() const {
    const QRect r = rectPx();
    if (m_opaque || r.width() <= 2 || r.height() <= 2) {
        return QRegion(r);
    }
    // Only the border: a moved rectangle repaints two thin frames, not its
    // whole area.
    return QRegion(r).subtracted(QRegion(r.adjusted(1, 1, -1, -1)));
}

void Line::setEnds(float x1, float y1, float x2, float y2) {
    if (x1 != m_x1 || y1 != m_y1 || x2 != m_x2 || y2 != m_y2) {
        m_x1 = x1;
        m_y1 = y1;
        m_x2 = x2;
        m_y2 = y2;
        changed();
    }
}

void Line::paint(QPainter& painter) const {
    const float tx = m_host.twipsPerPixelX();
    const float ty = m_host.twipsPerPixelY();
    painter.setPen(cosmeticPen(m_color, m_style, m_widthPx));
    painter.drawLine(QPoint(twipsToPx(m_x1, tx), twipsToPx(m_y1, ty)),
                     QPoint(twipsToPx(m_x2, tx), twipsToPx(m_y2, ty)));
}

QRegion Line::coverage() const {
    const float tx = m_host.twipsPerPixelX();
    const float ty = m_host.twipsPerPixelY();
    const QPoint a(twipsToPx(m_x1, tx), twipsToPx(m_y1, ty));
    const QPoint b(twipsToPx(m_x2, tx), twipsToPx(m_y2, ty));
    const int pad = m_widthPx / 2 + 1;
    return QRegion(QRect(a, b).normalized().adjusted(-pad, -pad, pad, pad));
}

void Image::setPicture(const QImage& picture) {
    m_picture = picture;
    // Its logical size: a picture of device pixels says so by its ratio.
    const auto ratio = static_cast<float>(picture.devicePixelRatio());
    setWidth(static_cast<float>(picture.width()) * m_host.twipsPerPixelX() / ratio);
    setHeight(static_cast<float>(picture.height()) * m_host.twipsPerPixelY() / ratio);
    changed();
}

void Image::paint(QPainter& painter) const {
    if (!m_picture.isNull()) {
        painter.drawImage(rectPx().topLeft(), m_picture);
    }
}
} // namespace zs
