#pragma once

#include "services.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QWidget>

class QWidget;
class QPainter;
class QLineEdit;
class QAbstractButton;
class QScrollBar;
class QTimer;
class QMouseEvent;

// A small form runtime over Qt widgets. Geometry is in twips (single
// precision) relative to the container's client area; property setters raise
// the controls' events synchronously, nested inside the setter, and only when
// the value really changes.
namespace zs {

// 0x00BBGGRR, or a system colour 0x800000xx.
using Color = std::uint32_t;
inline constexpr Color kWindowBackground = 0x80000005;
inline constexpr Color kWindowText = 0x80000008;
QColor toQColor(Color color);

// Mouse buttons as the events report them, summed when several are held.
enum MouseButton : std::int16_t { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
std::int16_t buttonsOf(Qt::MouseButtons buttons);
std::int16_t buttonOf(Qt::MouseButton button);
std::int16_t shiftOf(Qt::KeyboardModifiers modifiers); // 1 Shift, 2 Ctrl, 4 Alt

struct FontSpec {
    QString face;      // as the catalogue names it; mapped to an installed font
    double points = 0; // 0: the default user-interface font
    bool bold = false;
    bool italic = false;
};
QFont toQFont(const FontSpec& spec);

enum class Align { Left, Center, Right };
enum class LineStyle { Solid, Dash, Dot };

using MouseHandler = std::function<void(std::int16_t button, std::int16_t shift, float x, float y)>;

class Form;
class Container;
class SurfaceWidget;

// Pixel mapping: a length maps to pixels by rounding to the nearest pixel,
// position and size independently.
int twipsToPx(float twips, float twipsPerPixel);

class Control {
public:
    Control(Form& form, Container* container, QString name, int index);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const QString& name() const { return m_name; }
    int index() const { return m_index; }
    Container* container() const { return m_container; }
    Form& form() const { return m_form; }

    float left() const { return m_left; }
    float top() const { return m_top; }
    float width() const { return m_width; }
    float height() const { return m_height; }
    void setLeft(float v);
    void setTop(float v);
    // A negative width or height is refused with zs::Error(InvalidValue).
    void setWidth(float v);
    void setHeight(float v);
    void move(float left, float top, float width, float height);

    bool visible() const { return m_visible; }
    void setVisible(bool v);
    // Shown on the screen: itself and every container visible.
    bool shown() const;

    // The control's rectangle in its container's pixels.
    QRect rectPx() const;

protected:
    virtual void geometryChanged() = 0;
    virtual void visibilityChanged() = 0;

    Form& m_form;
    Container* m_container;
    float m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    bool m_visible = true;

private:
    QString m_name;
    int m_index;
};

// A control that is drawn on its container's surface (label, shape, line,
// image): below the container's windowed children, above its picture.
class GraphicControl : public Control {
public:
    GraphicControl(Form& form, Container& container, QString name, int index);
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

private:
    QRegion m_lastCoverage;
    bool m_repaintPending = false;
};

class Label : public GraphicControl {
public:
    using GraphicControl::GraphicControl;
    const QString& caption() const { return m_caption; }
    void setCaption(const QString& caption);
    void setForeColor(Color c) {
        m_fore = c;
        changed();
    }
    void setBackColor(std::optional<Color> c) {
        m_back = c;
        changed();
    }
    void setFont(const FontSpec& f) {
        m_font = toQFont(f);
        changed();
    }
    void setAlignment(Align a) {
        m_align = a;
        changed();
    }
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
    void setBorderStyle(LineStyle s) {
        m_borderStyle = s;
        changed();
    }
    // BackColor fills the shape when it is opaque.
    Color backColor() const { return m_backColor; }
    void setBackColor(Color c);
    bool opaque() const { return m_opaque; }
    void setOpaque(bool o) {
        m_opaque = o;
        changed();
    }
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
    void setBorderColor(Color c) {
        m_color = c;
        changed();
    }
    Color borderColor() const { return m_color; }
    void setBorderStyle(LineStyle s) {
        m_style = s;
        changed();
    }
    void setBorderWidth(int px) {
        m_widthPx = px;
        changed();
    }
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
    // Takes the picture's natural size (pixels times twips per pixel).
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

// A control backed by a real widget.
class WindowedControl : public Control {
public:
    WindowedControl(Form& form, Container* container, QString name, int index);
    ~WindowedControl() override;
    QWidget* widget() const { return m_widget; }
    bool enabled() const { return m_enabled; }
    void setEnabled(bool e);

protected:
    // Takes ownership through Qt's parent: the container's surface.
    void attach(QWidget* widget);
    void geometryChanged() override;
    void visibilityChanged() override;
    QPointer<QWidget> m_widget;
    bool m_enabled = true;
};

// Something that holds other controls: the form, frames and picture boxes.
class Container {
public:
    explicit Container(Form& form) : m_containerForm(form) {}
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
    Form& containerForm() const { return m_containerForm; }

private:
    Form& m_containerForm;
    std::vector<Control*> m_children;
};

class Frame : public WindowedControl, public Container {
public:
    Frame(Form& form, Container& container, QString name, int index);
    Color backColor() const { return m_back; }
    void setBackColor(Color c);
    SurfaceWidget* surface() const override;
    bool shownAsContainer() const override { return shown(); }

private:
    Color m_back = kWindowBackground;
};

// A picture box: background colour, a stored picture and a persistent image at
// the drawing-area size, painted on by PaintPicture and Line.
class PictureBox : public WindowedControl, public Container {
public:
    PictureBox(Form& form, Container& container, QString name, int index);
    Color backColor() const { return m_back; }
    void setBackColor(Color c);
    SurfaceWidget* surface() const override;
    bool shownAsContainer() const override { return shown(); }

    // The stored picture; a null image is the empty picture. Assigning it
    // resets the persistent image to BackColor with the picture at its
    // top-left.
    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);
    // The persistent image, at the drawing-area size.
    QImage image() const;
    QSize imageSizePx() const { return m_imageSize; }

    // Copies the source rectangle of `source` to the destination rectangle,
    // all in twips: one to one when the pixel sizes match, smoothly scaled
    // otherwise. Parts of the source rectangle outside the picture leave the
    // destination's background.
    void paintPicture(const QImage& source, float dx, float dy, float dw, float dh, float sx,
                      float sy, float sw, float sh);
    // Draws a segment into the persistent image, DrawWidth pixels wide with
    // round ends, clipped to the box.
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

class TextBox : public WindowedControl {
public:
    TextBox(Form& form, Container& container, QString name, int index);
    QString text() const { return m_text; }
    void setText(const QString& text);
    void setColors(Color fore, Color back);
    void setFont(const FontSpec& f);
    void setAlignment(Align a);

    std::function<void()> Change;
    std::function<void(int keyCode, std::int16_t shift)> KeyUp;

private:
    QLineEdit* edit() const;
    void userEdited(const QString& text);
    QString m_text;
};

// A graphical push button: an icon above its caption.
class Button : public WindowedControl {
public:
    Button(Form& form, Container& container, QString name, int index);
    QString caption() const;
    void setCaption(const QString& caption);
    void setIcon(const QIcon& icon, int sizePx);
    void setBackColor(std::optional<Color> c);
    // Raises Click as a press would.
    void click();
    std::function<void()> Click;
};

class CheckBox : public WindowedControl {
public:
    CheckBox(Form& form, Container& container, QString name, int index);
    // 0 unchecked, 1 checked.
    int value() const { return m_value; }
    void setValue(int v);
    void setCaption(const QString& caption);
    void setColors(Color fore, Color back);
    std::function<void()> Click;

private:
    int m_value = 0;
};

class OptionButton : public WindowedControl {
public:
    OptionButton(Form& form, Container& container, QString name, int index);
    bool value() const { return m_value; }
    // True marks this option, clears its siblings in the same container and
    // raises Click; False only clears it.
    void setValue(bool v);
    void setBackColor(Color c);
    std::function<void()> Click;

private:
    void sync();
    bool m_value = false;
};

// Min, Max and Value are 16-bit. Max may be below Min: the bar then runs from
// Min at its start to Max at its end.
class ScrollBar : public WindowedControl {
public:
    ScrollBar(Form& form, Container& container, QString name, int index, Qt::Orientation o);
    int min() const { return m_min; }
    int max() const { return m_max; }
    int value() const { return m_value; }
    // Each throws zs::Error(Overflow) outside -32768..32767. A new range that
    // no longer contains Value moves it to the nearest end and raises Change.
    void setMin(int v);
    void setMax(int v);
    void setValue(int v);
    void setSmallChange(int v);
    void setLargeChange(int v);

    std::function<void()> Change;
    std::function<void()> Scroll;

private:
    QScrollBar* bar() const;
    void syncWidget();
    void clampValue();
    void widgetValueChanged(int v);
    int m_min = 0, m_max = 32767, m_value = 0, m_small = 1, m_large = 1;
    bool m_syncing = false;
    bool m_pendingChange = false;
};

class Timer {
public:
    explicit Timer(Form& form);
    ~Timer();
    bool enabled() const { return m_enabled; }
    void setEnabled(bool e);
    int interval() const { return m_interval; }
    void setInterval(int ms);
    std::function<void()> Tick;
    // Raises one tick as the timer would (for tests and benchmarks).
    void fire();

private:
    Form& m_form;
    std::unique_ptr<QTimer> m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};

// Controls that share a name, told apart by an index.
template <typename T> class ControlArray {
public:
    void add(int index, T* control) { m_items.emplace_back(index, control); }
    T& operator[](int index) const {
        for (const auto& [i, c] : m_items) {
            if (i == index) {
                return *c;
            }
        }
        throw std::out_of_range("control array index " + std::to_string(index));
    }
    bool contains(int index) const {
        for (const auto& item : m_items) {
            if (item.first == index) {
                return true;
            }
        }
        return false;
    }
    const std::vector<std::pair<int, T*>>& items() const { return m_items; }

private:
    std::vector<std::pair<int, T*>> m_items;
};

} // namespace zs
