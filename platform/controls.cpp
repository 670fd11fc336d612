#include "controls.h"

#include "errors.h"
#include "form.h"
#include "numbers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <cstring>

namespace zs {

QColor toQColor(Color color) {
    if (color == kWindowBackground) {
        return QApplication::palette().color(QPalette::Base);
    }
    if (color == kWindowText) {
        return QApplication::palette().color(QPalette::WindowText);
    }
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

std::int16_t buttonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return kLeftButton;
    case Qt::RightButton:
        return kRightButton;
    case Qt::MiddleButton:
        return kMiddleButton;
    default:
        return 0;
    }
}

std::int16_t buttonsOf(Qt::MouseButtons buttons) {
    std::int16_t b = 0;
    if (buttons & Qt::LeftButton) {
        b |= kLeftButton;
    }
    if (buttons & Qt::RightButton) {
        b |= kRightButton;
    }
    if (buttons & Qt::MiddleButton) {
        b |= kMiddleButton;
    }
    return b;
}

std::int16_t shiftOf(Qt::KeyboardModifiers modifiers) {
    std::int16_t s = 0;
    if (modifiers & Qt::ShiftModifier) {
        s |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        s |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        s |= 4;
    }
    return s;
}

QFont toQFont(const FontSpec& spec) {
    QFont font = QApplication::font();
    if (!spec.face.isEmpty()) {
        // The catalogue's faces are not on Linux desktops: use metric-close
        // free equivalents.
        if (spec.face == QLatin1String("Courier New")) {
            font.setFamilies({QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                              QStringLiteral("monospace")});
            font.setStyleHint(QFont::Monospace);
        } else if (spec.face == QLatin1String("Tahoma")) {
            font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                              QStringLiteral("sans-serif")});
        } else {
            font.setFamily(spec.face);
        }
    }
    if (spec.points > 0) {
        font.setPointSizeF(spec.points);
    }
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    return font;
}

int twipsToPx(float twips, float twipsPerPixel) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}

namespace {

Qt::Alignment toQtAlign(Align a) {
    switch (a) {
    case Align::Center:
        return Qt::AlignHCenter;
    case Align::Right:
        return Qt::AlignRight;
    case Align::Left:
        break;
    }
    return Qt::AlignLeft;
}

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

void refuseNegative(float v, const QString& what) {
    if (v < 0 || std::isnan(v)) {
        throw Error(Error::Code::InvalidValue,
                    "Invalid property value: " + what.toStdString() + " = " + std::to_string(v));
    }
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

// ---------------------------------------------------------------- Control

Control::Control(Form& form, Container* container, QString name, int index)
    : m_form(form), m_container(container), m_name(std::move(name)), m_index(index) {
    if (container != nullptr) {
        container->addChild(this);
    }
}

Control::~Control() = default;

void Control::setLeft(float v) {
    if (v != m_left) {
        m_left = v;
        geometryChanged();
    }
}

void Control::setTop(float v) {
    if (v != m_top) {
        m_top = v;
        geometryChanged();
    }
}

void Control::setWidth(float v) {
    refuseNegative(v, m_name + ".Width");
    if (v != m_width) {
        m_width = v;
        geometryChanged();
    }
}

void Control::setHeight(float v) {
    refuseNegative(v, m_name + ".Height");
    if (v != m_height) {
        m_height = v;
        geometryChanged();
    }
}

void Control::move(float left, float top, float width, float height) {
    refuseNegative(width, m_name + ".Width");
    refuseNegative(height, m_name + ".Height");
    if (left != m_left || top != m_top || width != m_width || height != m_height) {
        m_left = left;
        m_top = top;
        m_width = width;
        m_height = height;
        geometryChanged();
    }
}

void Control::setVisible(bool v) {
    if (v != m_visible) {
        m_visible = v;
        visibilityChanged();
    }
}

bool Control::shown() const {
    return m_visible && (m_container == nullptr || m_container->shownAsContainer());
}

QRect Control::rectPx() const {
    const float tx = m_form.twipsPerPixelX();
    const float ty = m_form.twipsPerPixelY();
    return QRect(twipsToPx(m_left, tx), twipsToPx(m_top, ty), twipsToPx(m_width, tx),
                 twipsToPx(m_height, ty));
}

// ---------------------------------------------------------------- graphics

GraphicControl::GraphicControl(Form& form, Container& container, QString name, int index)
    : Control(form, &container, std::move(name), index) {}

QRegion GraphicControl::coverage() const {
    return QRegion(rectPx());
}

GraphicControl::~GraphicControl() {
    if (m_repaintPending) {
        m_form.cancelRepaint(*this);
    }
}

void GraphicControl::changed() {
    if (!m_repaintPending) {
        m_repaintPending = true;
        m_form.deferRepaint(*this);
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
    if (caption != m_caption) {
        m_caption = caption;
        changed();
    }
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
    if (c != m_borderColor) {
        m_borderColor = c;
        changed();
    }
}

void Shape::setBackColor(Color c) {
    if (c != m_backColor) {
        m_backColor = c;
        changed();
    }
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
    const float tx = m_form.twipsPerPixelX();
    const float ty = m_form.twipsPerPixelY();
    painter.setPen(cosmeticPen(m_color, m_style, m_widthPx));
    painter.drawLine(QPoint(twipsToPx(m_x1, tx), twipsToPx(m_y1, ty)),
                     QPoint(twipsToPx(m_x2, tx), twipsToPx(m_y2, ty)));
}

QRegion Line::coverage() const {
    const float tx = m_form.twipsPerPixelX();
    const float ty = m_form.twipsPerPixelY();
    const QPoint a(twipsToPx(m_x1, tx), twipsToPx(m_y1, ty));
    const QPoint b(twipsToPx(m_x2, tx), twipsToPx(m_y2, ty));
    const int pad = m_widthPx / 2 + 1;
    return QRegion(QRect(a, b).normalized().adjusted(-pad, -pad, pad, pad));
}

void Image::setPicture(const QImage& picture) {
    m_picture = picture;
    setWidth(static_cast<float>(picture.width()) * m_form.twipsPerPixelX());
    setHeight(static_cast<float>(picture.height()) * m_form.twipsPerPixelY());
    changed();
}

void Image::paint(QPainter& painter) const {
    if (!m_picture.isNull()) {
        painter.drawImage(rectPx().topLeft(), m_picture);
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

Image* Container::imageAt(QPoint px) const {
    for (Control* c : m_children) {
        auto* img = dynamic_cast<Image*>(c);
        if (img != nullptr && img->visible() && img->rectPx().contains(px)) {
            return img;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------- windowed

WindowedControl::WindowedControl(Form& form, Container* container, QString name, int index)
    : Control(form, container, std::move(name), index) {}

WindowedControl::~WindowedControl() = default;

void WindowedControl::attach(QWidget* widget) {
    m_widget = widget;
    widget->setObjectName(index() >= 0 ? QStringLiteral("%1(%2)").arg(name()).arg(index())
                                       : name());
    geometryChanged();
    visibilityChanged();
}

void WindowedControl::geometryChanged() {
    if (m_widget) {
        m_widget->setGeometry(rectPx());
    }
}

void WindowedControl::visibilityChanged() {
    if (m_widget) {
        m_widget->setVisible(m_visible);
    }
}

void WindowedControl::setEnabled(bool e) {
    m_enabled = e;
    if (m_widget) {
        m_widget->setEnabled(e);
    }
}

Frame::Frame(Form& form, Container& container, QString name, int index)
    : WindowedControl(form, &container, std::move(name), index), Container(form) {
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

// ---------------------------------------------------------------- PictureBox

PictureBox::PictureBox(Form& form, Container& container, QString name, int index)
    : WindowedControl(form, &container, std::move(name), index), Container(form) {
    auto* w = new SurfaceWidget(*this, container.surface());
    w->setMouseTracking(true);
    w->paintBackground = [this](QPainter& p, const QRegion& region) { paintSurface(p, region); };
    // Each mouse event reaches its handler with the position in twips.
    const auto forward = [this](const char* what, MouseHandler PictureBox::*event) {
        return [this, what, event](std::int16_t b, std::int16_t s, QPointF px) {
            if (this->*event) {
                m_form.run(what, [&] {
                    (this->*event)(b, s, static_cast<float>(px.x()) * m_form.twipsPerPixelX(),
                                   static_cast<float>(px.y()) * m_form.twipsPerPixelY());
                });
            }
        };
    };
    w->pressed = forward("MouseDown", &PictureBox::MouseDown);
    w->moved = forward("MouseMove", &PictureBox::MouseMove);
    w->released = forward("MouseUp", &PictureBox::MouseUp);
    w->clicked = [this] {
        if (Click) {
            m_form.run("Click", Click);
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
    resizeImage(rectPx().size());
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
    if (m_widget) {
        m_widget->update(px);
    }
}

void PictureBox::paintSurface(QPainter& painter, const QRegion& region) const {
    // The image may not have followed a resize yet: what it lacks is
    // background.
    const QRect imageRect = QRect(QPoint(0, 0), m_imageSize).intersected(m_image.rect());
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
    const float tx = m_form.twipsPerPixelX();
    const float ty = m_form.twipsPerPixelY();
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
    const double tx = m_form.twipsPerPixelX();
    const double ty = m_form.twipsPerPixelY();
    const QPointF a(x1 / tx, y1 / ty);
    const QPointF b(x2 / tx, y2 / ty);
    QImage& img = imageForWriting();
    QPainter p(&img);
    QPen pen(toQColor(color));
    pen.setWidth(m_drawWidth <= 1 ? 0 : m_drawWidth);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    const QPoint pa(static_cast<int>(std::floor(a.x())), static_cast<int>(std::floor(a.y())));
    const QPoint pb(static_cast<int>(std::floor(b.x())), static_cast<int>(std::floor(b.y())));
    if (m_drawWidth <= 1) {
        p.drawLine(pa, pb);
    } else {
        // An odd width centres the pen on the pixel's centre, an even one on
        // its corner, so that the aliased round ends come out symmetric.
        const double c = (m_drawWidth % 2 == 1) ? 0.5 : 0.0;
        const QPointF ca = QPointF(pa) + QPointF(c, c);
        // Qt draws nothing for a zero-length wide line; a tiny length gives
        // the dot the round pen leaves, shaped exactly like the line's ends.
        const QPointF cb = pa == pb ? ca + QPointF(1.0 / 64, 0) : QPointF(pb) + QPointF(c, c);
        p.drawLine(ca, cb);
    }
    const int pad = m_drawWidth / 2 + 2;
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

// ---------------------------------------------------------------- TextBox

namespace {
class KeyEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void(QKeyEvent*)> keyReleased;

protected:
    void keyReleaseEvent(QKeyEvent* e) override {
        QLineEdit::keyReleaseEvent(e);
        if (keyReleased && !e->isAutoRepeat()) {
            keyReleased(e);
        }
    }
};
} // namespace

TextBox::TextBox(Form& form, Container& container, QString name, int index)
    : WindowedControl(form, &container, std::move(name), index) {
    auto* e = new KeyEdit(container.surface());
    e->setFrame(true);
    QObject::connect(e, &QLineEdit::textEdited, e, [this](const QString& t) { userEdited(t); });
    e->keyReleased = [this](QKeyEvent* ev) {
        if (KeyUp) {
            m_form.run("KeyUp", [&] { KeyUp(ev->key(), shiftOf(ev->modifiers())); });
        }
    };
    attach(e);
}

QLineEdit* TextBox::edit() const {
    return static_cast<QLineEdit*>(m_widget.data());
}

void TextBox::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    if (edit() && edit()->text() != text) {
        edit()->setText(text);
    }
    if (Change) {
        Change();
    }
}

void TextBox::userEdited(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_form.run("Change", [&] {
        m_text = text;
        if (Change) {
            Change();
        }
    });
}

void TextBox::setColors(Color fore, Color back) {
    QPalette pal = edit()->palette();
    pal.setColor(QPalette::Text, toQColor(fore));
    pal.setColor(QPalette::Base, toQColor(back));
    edit()->setPalette(pal);
}

void TextBox::setFont(const FontSpec& f) {
    edit()->setFont(toQFont(f));
}

void TextBox::setAlignment(Align a) {
    edit()->setAlignment(toQtAlign(a) | Qt::AlignVCenter);
}

// ---------------------------------------------------------------- Button

Button::Button(Form& form, Container& container, QString name, int index)
    : WindowedControl(form, &container, std::move(name), index) {
    auto* b = new QToolButton(container.surface());
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(b, &QToolButton::clicked, b,
                     [this] { m_form.run("Click", [this] { click(); }); });
    attach(b);
}

QString Button::caption() const {
    return static_cast<QToolButton*>(m_widget.data())->text();
}

void Button::setCaption(const QString& caption) {
    auto* b = static_cast<QToolButton*>(m_widget.data());
    b->setText(caption);
    b->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
}

void Button::setIcon(const QIcon& icon, int sizePx) {
    auto* b = static_cast<QToolButton*>(m_widget.data());
    b->setIcon(icon);
    b->setIconSize(QSize(sizePx, sizePx));
}

void Button::setBackColor(std::optional<Color> c) {
    if (c) {
        QPalette pal = m_widget->palette();
        pal.setColor(QPalette::Button, toQColor(*c));
        m_widget->setPalette(pal);
    }
}

void Button::click() {
    if (Click) {
        Click();
    }
}

// ---------------------------------------------------------------- CheckBox

CheckBox::CheckBox(Form& form, Container& container, QString name, int index)
    : WindowedControl(form, &container, std::move(name), index) {
    auto* c = new QCheckBox(container.surface());
    c->setAutoFillBackground(true);
    QObject::connect(c, &QCheckBox::clicked, c, [this](bool checked) {
        m_form.run("Click", [&] { setValue(checked ? 1 : 0); });
    });
    attach(c);
}

void CheckBox::setValue(int v) {
    if (v != 0 && v != 1 && v != 2) {
        throw Error(Error::Code::InvalidValue, "Invalid property value: " + name().toStdString() +
                                                   ".Value = " + std::to_string(v));
    }
    auto* c = static_cast<QCheckBox*>(m_widget.data());
    const Qt::CheckState state =
        v == 1 ? Qt::Checked : (v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    if (c->checkState() != state) {
        c->setCheckState(state);
    }
    if (v == m_value) {
        return;
    }
    m_value = v;
    if (Click) {
        Click();
    }
}

void CheckBox::setCaption(const QString& caption) {
    static_cast<QCheckBox*>(m_widget.data())->setText(caption);
}

void CheckBox::setColors(Color fore, Color back) {
    QPalette pal = m_widget->palette();
    pal.setColor(QPalette::WindowText, toQColor(fore));
    pal.setColor(QPalette::Window, toQColor(back));
    m_widget->setPalette(pal);
}

// ---------------------------------------------------------------- OptionButton

OptionButton::OptionButton(Form& form, Container& container, QString name, int index)
    : WindowedControl(form, &container, std::move(name), index) {
    auto* r = new QRadioButton(container.surface());
    r->setAutoExclusive(false);
    r->setAutoFillBackground(true);
    QObject::connect(r, &QRadioButton::clicked, r, [this](bool) {
        m_form.run("Click", [this] {
            if (m_value) {
                sync(); // a click on the marked option leaves it marked
            } else {
                setValue(true);
            }
        });
    });
    attach(r);
}

void OptionButton::sync() {
    static_cast<QRadioButton*>(m_widget.data())->setChecked(m_value);
}

void OptionButton::setValue(bool v) {
    if (v == m_value) {
        sync();
        return;
    }
    m_value = v;
    sync();
    if (!v) {
        return;
    }
    for (Control* c : m_container->children()) {
        if (auto* o = dynamic_cast<OptionButton*>(c); o != nullptr && o != this && o->m_value) {
            o->m_value = false;
            o->sync();
        }
    }
    if (Click) {
        Click();
    }
}

void OptionButton::setBackColor(Color c) {
    QPalette pal = m_widget->palette();
    pal.setColor(QPalette::Window, toQColor(c));
    m_widget->setPalette(pal);
}

// ---------------------------------------------------------------- ScrollBar

ScrollBar::ScrollBar(Form& form, Container& container, QString name, int index, Qt::Orientation o)
    : WindowedControl(form, &container, std::move(name), index) {
    auto* b = new QScrollBar(o, container.surface());
    QObject::connect(b, &QScrollBar::valueChanged, b, [this](int v) {
        if (!m_syncing) {
            widgetValueChanged(v);
        }
    });
    QObject::connect(b, &QScrollBar::sliderReleased, b, [this] {
        if (m_pendingChange) {
            m_pendingChange = false;
            m_form.run("Change", [this] {
                if (Change) {
                    Change();
                }
            });
        }
    });
    attach(b);
    syncWidget();
}

QScrollBar* ScrollBar::bar() const {
    return static_cast<QScrollBar*>(m_widget.data());
}

void ScrollBar::syncWidget() {
    m_syncing = true;
    QScrollBar* b = bar();
    // QScrollBar normalises a range whose maximum is below its minimum; keep
    // the model here and show such a range inverted.
    const bool inverted = m_max < m_min;
    b->setInvertedAppearance(inverted);
    b->setInvertedControls(inverted);
    b->setRange(std::min(m_min, m_max), std::max(m_min, m_max));
    b->setSingleStep(m_small);
    b->setPageStep(m_large);
    b->setValue(m_value);
    m_syncing = false;
}

void ScrollBar::clampValue() {
    const int lo = std::min(m_min, m_max);
    const int hi = std::max(m_min, m_max);
    const int v = std::clamp(m_value, lo, hi);
    syncWidget();
    if (v != m_value) {
        m_value = v;
        syncWidget();
        if (Change) {
            Change();
        }
    }
}

void ScrollBar::setMin(int v) {
    toInt16(v);
    if (v != m_min) {
        m_min = v;
        clampValue();
    }
}

void ScrollBar::setMax(int v) {
    toInt16(v);
    if (v != m_max) {
        m_max = v;
        clampValue();
    }
}

void ScrollBar::setValue(int v) {
    toInt16(v);
    if (v < std::min(m_min, m_max) || v > std::max(m_min, m_max)) {
        throw Error(Error::Code::InvalidValue, "Invalid property value: " + name().toStdString() +
                                                   ".Value = " + std::to_string(v));
    }
    if (v == m_value) {
        return;
    }
    m_value = v;
    syncWidget();
    if (Change) {
        Change();
    }
}

void ScrollBar::setSmallChange(int v) {
    m_small = toInt16(v);
    syncWidget();
}

void ScrollBar::setLargeChange(int v) {
    m_large = toInt16(v);
    syncWidget();
}

void ScrollBar::widgetValueChanged(int v) {
    if (v == m_value) {
        return;
    }
    m_value = v;
    if (bar()->isSliderDown()) {
        m_pendingChange = true;
        m_form.run("Scroll", [this] {
            if (Scroll) {
                Scroll();
            }
        });
    } else {
        m_form.run("Change", [this] {
            if (Change) {
                Change();
            }
        });
    }
}

// ---------------------------------------------------------------- Timer

Timer::Timer(Form& form) : m_form(form), m_timer(std::make_unique<QTimer>()) {
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(),
                     [this] { m_form.run("Timer", [this] { fire(); }); });
}

Timer::~Timer() = default;

void Timer::setEnabled(bool e) {
    m_enabled = e;
    if (e && m_interval > 0) {
        if (!m_timer->isActive() || m_timer->interval() != m_interval) {
            m_timer->start(m_interval);
        }
    } else {
        m_timer->stop();
    }
}

void Timer::setInterval(int ms) {
    if (ms < 0 || ms > 65535) {
        throw Error(Error::Code::InvalidValue, "Invalid property value: Interval");
    }
    m_interval = ms;
    if (m_enabled) {
        setEnabled(true);
    }
}

void Timer::fire() {
    if (Tick) {
        Tick();
    }
}

} // namespace zs
