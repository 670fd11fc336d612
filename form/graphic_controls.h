#pragma once

#include "form/control.h"

#include <optional>

#include <QFont>
#include <QImage>
#include <QRegion>

class QPainter;

namespace zs {

// A control that is drawn on its container's surface (label, shape, line,
// image): below the container's windowed children, above its picture.
class GraphicControl : public Control {
public:
    GraphicControl(ControlHost& host, Container& container, QString name, int index);
    ~GraphicControl() override;
    virtual void paint(QPainter& painter) const = 0;
    // What the control covers, in the container's pixels: only this is
    // repainted when the control changes.
    virtual QRegion coverage() const;
    virtual bool takesMouse() const { return false; }
    // Repaints what the control covered at its last repaint and covers now.
    void flushRepaint();

protected:
    void geometryChanged() override { changed(); }
    void visibilityChanged() override { changed(); }
    // Marks the control for repainting. The form repaints all marked
    // controls once the handler that changed them is done, so the steps in
    // between (one end of a line moved, then the other) never reach the
    // screen and add nothing to the repainted area.
    void changed();
    // Sets a property that shows whether or not it changed (a colour, a font).
    template <typename T, typename V> void repaintWith(T& property, V&& value) {
        property = std::forward<V>(value);
        changed();
    }

private:
    QRegion m_lastCoverage;
    bool m_repaintPending = false;
};

class Label : public GraphicControl {
public:
    using GraphicControl::GraphicControl;
    const QString& caption() const { return m_caption; }
    void setCaption(const QString& caption);
    void setForeColor(Color c) { repaintWith(m_fore, c); }
    void setBackColor(std::optional<Color> c) { repaintWith(m_back, c); }
    void setFont(const FontSpec& f) { repaintWith(m_font, toQFont(f)); }
    void setAlignment(Align a) { repaintWith(m_align, a); }
    Color foreColor() const { return m_fore; }
    void paint(QPainter& painter) const override;

private:
    QString m_caption;
    Color m_fore = kWindowText;
    std::optional<Color> m_back;
    QFont m_font;
    Align m_align = Align::Left;
};

class Shape : public GraphicControl {
public:
    using GraphicControl::GraphicControl;
    Color borderColor() const { return m_borderColor; }
    void setBorderColor(Color c);
    LineStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(LineStyle s) { repaintWith(m_borderStyle, s); }
    // BackColor fills the shape when it is opaque.
    Color backColor() const { return m_backColor; }
    void setBackColor(Color c);
    bool opaque() const { return m_opaque; }
    void setOpaque(bool o) { repaintWith(m_opaque, o); }
    void paint(QPainter& painter) const override;
    QRegion coverage() const override;

private:
    Color m_borderColor = 0;
    LineStyle m_borderStyle = LineStyle::Solid;
    Color m_backColor = kWindowBackground;
    bool m_opaque = false;
};

class Line : public GraphicControl {
public:
    using GraphicControl::GraphicControl;
    float x1() const { return m_x1; }
    float y1() const { return m_y1; }
    float x2() const { return m_x2; }
    float y2() const { return m_y2; }
    void setX1(float v) { setEnds(v, m_y1, m_x2, m_y2); }
    void setY1(float v) { setEnds(m_x1, v, m_x2, m_y2); }
    void setX2(float v) { setEnds(m_x1, m_y1, v, m_y2); }
    void setY2(float v) { setEnds(m_x1, m_y1, m_x2, v); }
    void setEnds(float x1, float y1, float x2, float y2);
    void setBorderColor(Color c) { repaintWith(m_color, c); }
    Color borderColor() const { return m_color; }
    void setBorderStyle(LineStyle s) { repaintWith(m_style, s); }
    void setBorderWidth(int px) { repaintWith(m_widthPx, px); }
    int borderWidth() const { return m_widthPx; }
    void paint(QPainter& painter) const override;
    QRegion coverage() const override;

private:
    float m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;
    Color m_color = 0;
    LineStyle m_style = LineStyle::Solid;
    int m_widthPx = 1;
};

// A picture drawn at its natural size; it reports Click, DblClick, MouseDown
// and MouseUp.
class Image : public GraphicControl {
public:
    using GraphicControl::GraphicControl;
    const QImage& picture() const { return m_picture; }
    // Takes the picture's natural size (pixels times twips per pixel, divided
    // by the picture's device-pixel ratio).
    void setPicture(const QImage& picture);
    void paint(QPainter& painter) const override;
    bool takesMouse() const override { return true; }

    std::function<void()> Click;
    std::function<void()> DblClick;
    MouseHandler MouseDown;
    MouseHandler MouseUp;

private:
    QImage m_picture;
};

} // namespace zs
