#include "form/picture_box.h"

#include "services/errors.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zs {

PictureBox::PictureBox(ControlHost& host, Container& container, QString name, int index)
    : WindowedControl(host, &container, std::move(name), index), Container(host) {
    auto* w = new SurfaceWidget(*this, container.surface());
    w->setMouseTracking(true);
    w->paintBackground = [this](QPainter& p, const QRegion& region) { paintSurface(p, region); };
    // Each mouse event reaches its handler with the position in twips.
    const auto forward = [this](const char* what, MouseHandler PictureBox::*event) {
        return [this, what, event](std::int16_t b, std::int16_t s, QPointF px) {
            if (this->*event) {
                m_host.run(what, [&] {
                    (this->*event)(b, s, static_cast<float>(px.x()) * m_host.twipsPerPixelX(),
                                   static_cast<float>(px.y()) * m_host.twipsPerPixelY());
                });
            }
        };
    };
    w->pressed = forward("MouseDown", &PictureBox::MouseDown);
    w->moved = forward("MouseMove", &PictureBox::MouseMove);
    w->released = forward("MouseUp", &PictureBox::MouseUp);
    w->clicked = [this] {
        if (Click) {
            m_host.run("Click", Click);
        }
    };
    attach(w);
}

SurfaceWidget* PictureBox::surface() const {
    return static_cast<SurfaceWidget*>(m_widget.data());
}

QColor PictureBox::background() const {
    return toQColor(m_back);
}

void PictureBox::setBackColor(Color c) {
    m_back = c;
    if (m_widget) {
        m_widget->update();
    }
}

void PictureBox::geometryChanged() {
    WindowedControl::geometryChanged();
    // In device pixels: the box's twips at the twips of a picture's pixel.
    resizeImage(QSize(std::max(0, twipsToPx(width(), m_host.twipsPerImagePixelX())),
                      std::max(0, twipsToPx(height(), m_host.twipsPerImagePixelY()))));
}

void PictureBox::resizeImage(QSize size) {
    // The pixels follow when they are next needed: a resize that the next
    // step paints over (a capture, a load, a crop) copies nothing.
    m_imageSize = size;
}

void PictureBox::settleImage() const {
    if (m_image.isNull() || m_image.size() == m_imageSize) {
        return;
    }
    if (m_imageSize.isEmpty()) {
        m_image = QImage();
        return;
    }
    // Keep the overlapping part, fill the rest with BackColor.
    QImage next(m_imageSize, QImage::Format_RGB32);
    if (next.isNull()) {
        throw Error(Error::Code::OutOfMemory, "Out of memory: picture of " +
                                                  std::to_string(m_imageSize.width()) + " x " +
                                                  std::to_string(m_imageSize.height()));
    }
    const int w = std::min(m_imageSize.width(), m_image.width());
    const int h = std::min(m_imageSize.height(), m_image.height());
    const QRgb bg = background().rgb();
    for (int y = 0; y < m_imageSize.height(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(next.scanLine(y));
        int x = 0;
        if (y < h) {
            std::memcpy(dst, m_image.constScanLine(y), static_cast<size_t>(w) * 4);
            x = w;
        }
        std::fill(dst + x, dst + m_imageSize.width(), bg);
    }
    m_image = next;
}

void PictureBox::setPicture(const QImage& picture) {
    m_picture = picture.isNull() || picture.format() == QImage::Format_RGB32
                    ? picture
                    : picture.convertToFormat(QImage::Format_RGB32);
    if (!m_picture.isNull() && m_picture.size() == m_imageSize) {
        m_image = m_picture; // shared until one of them is drawn on
    } else if (m_picture.isNull()) {
        m_image = QImage();
    } else {
        m_image = QImage();
        QImage& img = imageForWriting();
        QPainter p(&img);
        p.drawImage(0, 0, m_picture);
    }
    if (m_widget) {
        m_widget->update();
    }
}

QImage PictureBox::image() const {
    settleImage();
    if (m_image.isNull() && !m_imageSize.isEmpty()) {
        QImage filled(m_imageSize, QImage::Format_RGB32);
        filled.fill(background());
        return filled;
    }
    if (m_imageSize.isEmpty()) {
        return QImage();
    }
    return m_image;
}

QImage& PictureBox::imageForWriting() {
    settleImage();
    if (m_image.isNull() && !m_imageSize.isEmpty()) {
        m_image = QImage(m_imageSize, QImage::Format_RGB32);
        if (m_image.isNull()) {
            throw Error(Error::Code::OutOfMemory, "Out of memory: picture of " +
                                                      std::to_string(m_imageSize.width()) + " x " +
                                                      std::to_string(m_imageSize.height()));
        }
        m_image.fill(background());
    }
    return m_image;
}

void PictureBox::imageChanged(const QRect& px) {
    if (!m_widget) {
        return;
    }
    const double ratio = m_host.devicePixelRatio();
    m_widget->update(
        ratio == 1 ? px
                   : QRectF(px.x() / ratio, px.y() / ratio, px.width() / ratio, px.height() / ratio)
                         .toAlignedRect());
}

void PictureBox::paintSurface(QPainter& painter, const QRegion& region) const {
    // The image may not have followed a resize yet: what it lacks is
    // background.
    const QRect imageRect = QRect(QPoint(0, 0), m_imageSize).intersected(m_image.rect());
    const double ratio = m_host.devicePixelRatio();
    if (ratio != 1) {
        paintScaledSurface(painter, region, imageRect, ratio);
        return;
    }
    for (const QRect& r : region) {
        const QRect inImage = r.intersected(imageRect);
        if (!m_image.isNull() && !inImage.isEmpty()) {
            painter.drawImage(inImage.topLeft(), m_image, inImage);
            const QRegion rest = QRegion(r).subtracted(QRegion(inImage));
            for (const QRect& o : rest) {
                painter.fillRect(o, background());
            }
        } else {
            painter.fillRect(r, background());
        }
    }
}

void PictureBox::paintScaledSurface(QPainter& painter, const QRegion& region,
                                    const QRect& imageRect, double ratio) const {
    // The painter counts logical pixels, the image device pixels: each image
    // pixel lands on one pixel of the screen, not scaled, never smoothed.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF shown(0, 0, imageRect.width() / ratio, imageRect.height() / ratio);
    for (const QRect& r : region) {
        for (const QRect& rest : QRegion(r).subtracted(QRegion(shown.toRect()))) {
            painter.fillRect(rest, background());
        }
        const QRectF part = QRectF(r).intersected(shown);
        if (!m_image.isNull() && !part.isEmpty()) {
            const QRectF source(part.x() * ratio, part.y() * ratio, part.width() * ratio,
                                part.height() * ratio);
            painter.drawImage(part, m_image, source);
        }
    }
    painter.restore();
}

namespace {
// A read-only image of a region of `source` that uses the source's pixels:
// it keeps them alive while it lives, and the first drawing on it copies.
QImage sharedRegion(const QImage& source, const QRect& region) {
    auto keep = std::make_unique<QImage>(source);
    const uchar* bits = keep->constBits() +
                        static_cast<qsizetype>(region.y()) * keep->bytesPerLine() +
                        static_cast<qsizetype>(region.x()) * 4;
    const qsizetype stride = keep->bytesPerLine();
    const QImage::Format format = keep->format();
    // The image owns `keep` from here: its cleanup deletes it.
    return QImage(
        bits, region.width(), region.height(), stride, format,
        [](void* info) { delete static_cast<QImage*>(info); }, keep.release());
}
} // namespace

QImage PictureBox::composedOnBackground(const QImage& source, const QRect& part, QPoint at) const {
    QImage img(m_imageSize, QImage::Format_RGB32);
    if (img.isNull()) {
        throw Error(Error::Code::OutOfMemory, "Out of memory: picture of " +
                                                  std::to_string(m_imageSize.width()) + " x " +
                                                  std::to_string(m_imageSize.height()));
    }
    const QRgb bg = background().rgb();
    const QRect placed = QRect(at, part.size()).intersected(img.rect());
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        if (y < placed.top() || y > placed.bottom()) {
            std::fill(row, row + img.width(), bg);
            continue;
        }
        std::fill(row, row + placed.left(), bg);
        const auto* from =
            reinterpret_cast<const QRgb*>(source.constScanLine(part.y() + (y - at.y()))) +
            part.x() + (placed.left() - at.x());
        std::memcpy(row + placed.left(), from, static_cast<size_t>(placed.width()) * 4);
        std::fill(row + placed.left() + placed.width(), row + img.width(), bg);
    }
    return img;
}

void PictureBox::paintPicture(const QImage& source, float dx, float dy, float dw, float dh,
                              float sx, float sy, float sw, float sh) {
    // Both pictures count device pixels.
    const float tx = m_host.twipsPerImagePixelX();
    const float ty = m_host.twipsPerImagePixelY();
    const QRect dst(twipsToPx(dx, tx), twipsToPx(dy, ty), twipsToPx(dw, tx), twipsToPx(dh, ty));
    const QRect src(twipsToPx(sx, tx), twipsToPx(sy, ty), twipsToPx(sw, tx), twipsToPx(sh, ty));
    if (source.isNull() || dst.width() <= 0 || dst.height() <= 0 || src.width() <= 0 ||
        src.height() <= 0) {
        return;
    }
    const QRect box(QPoint(0, 0), m_imageSize);
    const QRect avail = src.intersected(source.rect());
    if (avail.isEmpty()) {
        return;
    }
    // One to one over the whole image from inside the source: every pixel is
    // replaced, so take the source's pixels (shared when it is the whole
    // picture, one copy otherwise) instead of filling and then copying.
    if (dst == box && dst.size() == src.size() && avail == src &&
        source.format() == QImage::Format_RGB32) {
        m_image = src == source.rect() ? source : sharedRegion(source, src);
        imageChanged(dst);
        return;
    }
    if (dst.size() == src.size() && dst == box && m_image.isNull() &&
        source.format() == QImage::Format_RGB32) {
        // One to one over a blank box, partly outside the source: build the
        // image in one pass, source rows where there are some, background
        // elsewhere.
        m_image = composedOnBackground(source, avail, avail.topLeft() - src.topLeft());
        imageChanged(dst);
        return;
    }
    if (dst.size() == src.size()) {
        QImage& img = imageForWriting();
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(dst.topLeft() + (avail.topLeft() - src.topLeft()), source, avail);
        imageChanged(dst);
        return;
    }
    // Scaled: map the part of the source that exists onto the matching part
    // of the destination.
    const double kx = static_cast<double>(dst.width()) / src.width();
    const double ky = static_cast<double>(dst.height()) / src.height();
    const QRectF target(dst.x() + (avail.x() - src.x()) * kx, dst.y() + (avail.y() - src.y()) * ky,
                        avail.width() * kx, avail.height() * ky);
    const QSize scaledSize(static_cast<int>(std::lround(target.width())),
                           static_cast<int>(std::lround(target.height())));
    if (scaledSize.isEmpty()) {
        return;
    }
    // The part is scaled straight out of the source's pixels, through a view
    // that shares them rather than a copy.
    const bool byteAligned = source.depth() % 8 == 0;
    const QImage region =
        avail == source.rect() ? source
        : byteAligned
            ? QImage(source.constScanLine(avail.y()) +
                         static_cast<qsizetype>(avail.x()) * (source.depth() / 8),
                     avail.width(), avail.height(), source.bytesPerLine(), source.format())
            : source.copy(avail);
    const QImage part = region.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QPoint at(static_cast<int>(std::lround(target.x())),
                    static_cast<int>(std::lround(target.y())));
    if (at == QPoint(0, 0) && part.size() == m_imageSize && part.format() == QImage::Format_RGB32) {
        // It covers the whole image: take the scaled pixels as they are
        // instead of filling the image and copying them in.
        m_image = part;
        imageChanged(dst);
        return;
    }
    QImage& img = imageForWriting();
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(at, part);
    imageChanged(dst);
}

void PictureBox::setDrawWidth(int px) {
    if (px < 1 || px > 32767) {
        throw Error(Error::Code::InvalidValue, "Invalid property value: DrawWidth");
    }
    m_drawWidth = px;
}

void PictureBox::line(float x1, float y1, float x2, float y2, Color color) {
    if (m_imageSize.isEmpty()) {
        return;
    }
    // The ends map to pixels as every other position does, to the nearest.
    const float tx = m_host.twipsPerImagePixelX();
    const float ty = m_host.twipsPerImagePixelY();
    const QPoint pa(twipsToPx(x1, tx), twipsToPx(y1, ty));
    const QPoint pb(twipsToPx(x2, tx), twipsToPx(y2, ty));
    // DrawWidth counts pixels of the interface: a pen looks as wide at any
    // scale factor.
    const int width =
        std::max(1, static_cast<int>(std::lround(m_drawWidth * m_host.devicePixelRatio())));
    QImage& img = imageForWriting();
    QPainter p(&img);
    QPen pen(toQColor(color));
    pen.setWidth(width <= 1 ? 0 : width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    if (width <= 1) {
        p.drawLine(pa, pb);
    } else {
        // An odd width centres the pen on the pixel's centre, an even one on
        // its corner, so that the aliased round ends come out symmetric.
        const double c = (width % 2 == 1) ? 0.5 : 0.0;
        const QPointF ca = QPointF(pa) + QPointF(c, c);
        // Qt draws nothing for a zero-length wide line; a tiny length gives
        // the dot the round pen leaves, shaped exactly like the line's ends.
        const QPointF cb = pa == pb ? ca + QPointF(1.0 / 64, 0) : QPointF(pb) + QPointF(c, c);
        p.drawLine(ca, cb);
    }
    const int pad = width / 2 + 2;
    imageChanged(QRect(pa, pb).normalized().adjusted(-pad, -pad, pad, pad));
}

void PictureBox::setCrossCursor(bool cross) {
    if (m_widget) {
        if (cross) {
            m_widget->setCursor(Qt::CrossCursor);
        } else {
            m_widget->unsetCursor();
        }
    }
}
} // namespace zs
