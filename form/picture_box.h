#pragma once

#include "form/containers.h"

#include <QImage>

namespace zs {

// A picture box: background colour, a stored picture and a persistent image at
// the drawing-area size, painted on by PaintPicture and Line.
class PictureBox : public WindowedControl, public Container {
public:
    PictureBox(ControlHost& host, Container& container, QString name, int index);
    Color backColor() const { return m_back; }
    void setBackColor(Color c);
    SurfaceWidget* surface() const override;
    bool shownAsContainer() const override { return shown(); }

    // The stored picture; a null image is the empty picture. Assigning it
    // resets the persistent image to BackColor with the picture at its
    // top-left.
    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);
    // The persistent image, at the drawing-area size in device pixels (one
    // of them is shown on one pixel of the screen).
    QImage image() const;
    QSize imageSizePx() const { return m_imageSize; }

    // Copies the source rectangle of `source` to the destination rectangle,
    // all in twips, both pictures in device pixels: one to one when the pixel
    // sizes match, smoothly scaled
    // otherwise. Parts of the source rectangle outside the picture leave the
    // destination's background.
    void paintPicture(const QImage& source, float dx, float dy, float dw, float dh, float sx,
                      float sy, float sw, float sh);
    // Draws a segment into the persistent image, DrawWidth pixels of the
    // interface wide with round ends, clipped to the box.
    void line(float x1, float y1, float x2, float y2, Color color);
    int drawWidth() const { return m_drawWidth; }
    void setDrawWidth(int px);
    void setCrossCursor(bool cross);

    // Direct access to the persistent image for the screen copy: sized to the
    // drawing area, materialised. Call imageChanged() after writing into it.
    QImage& imageForWriting();
    void imageChanged(const QRect& px);

    std::function<void()> Click;
    MouseHandler MouseDown;
    MouseHandler MouseMove;
    MouseHandler MouseUp;

    // Paints the persistent image (or background) for the given region.
    void paintSurface(QPainter& painter, const QRegion& region) const;

protected:
    void geometryChanged() override;

private:
    void resizeImage(QSize size);
    QColor background() const;
    void paintScaledSurface(QPainter& painter, const QRegion& region, const QRect& imageRect,
                            double ratio) const;

    Color m_back = kWindowBackground;
    QImage m_picture;
    // An image of the box's size with `part` of `source` at `at`, the rest
    // BackColor.
    QImage composedOnBackground(const QImage& source, const QRect& part, QPoint at) const;
    // Brings m_image to m_imageSize after resizes, keeping the overlap.
    void settleImage() const;
    // A null m_image stands for an image of m_imageSize filled with BackColor;
    // one of another size has not followed a resize yet.
    mutable QImage m_image;
    QSize m_imageSize;
    int m_drawWidth = 1;
};

} // namespace zs
