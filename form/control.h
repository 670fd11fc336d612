#pragma once

#include "services/services.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

// A small form runtime over Qt widgets. Geometry is in twips (single
// precision) relative to the container's client area; property setters raise
// the controls' events synchronously, nested inside the setter, and only when
// the value really changes.
namespace zs {

// Stores `value` in `property` and, only when that changes it, runs `then`
// (a repaint, a nested event): how every property setter reacts.
template <typename T, typename Then> void setIfChanged(T& property, const T& value, Then&& then) {
    if (value != property) {
        property = value;
        then();
    }
}

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
Qt::Alignment toQtAlign(Align a);
enum class LineStyle { Solid, Dash, Dot };

using MouseHandler = std::function<void(std::int16_t button, std::int16_t shift, float x, float y)>;

class Container;
class GraphicControl;

// Pixel mapping: a length maps to pixels by rounding to the nearest pixel,
// position and size independently.
int twipsToPx(float twips, float twipsPerPixel);

// What a control needs of the window it lives on. The form implements it;
// the controls know the window only through it.
class ControlHost {
public:
    // Twips per pixel of the interface (a logical pixel).
    virtual float twipsPerPixelX() const = 0;
    virtual float twipsPerPixelY() const = 0;
    // Device pixels to one logical pixel: pictures hold device pixels.
    virtual double devicePixelRatio() const = 0;
    // Twips per pixel of a picture (a device pixel).
    float twipsPerImagePixelX() const {
        return twipsPerDevicePixel(twipsPerPixelX(), devicePixelRatio());
    }
    float twipsPerImagePixelY() const {
        return twipsPerDevicePixel(twipsPerPixelY(), devicePixelRatio());
    }
    // Runs a handler for an event that came from the window system: a failure
    // is reported in a message naming the error, and the program ends.
    virtual void run(const char* what, const std::function<void()>& handler) = 0;
    // Graphic controls changed by a handler are repainted together when the
    // handler is done, or at the next pass of the event loop when the change
    // came from elsewhere.
    virtual void deferRepaint(GraphicControl& control) = 0;
    virtual void cancelRepaint(GraphicControl& control) = 0;

protected:
    ControlHost() = default;
    ~ControlHost() = default;
    ControlHost(const ControlHost&) = default;
    ControlHost& operator=(const ControlHost&) = default;
};

class Control {
public:
    Control(ControlHost& host, Container* container, QString name, int index);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const QString& name() const { return m_name; }
    int index() const { return m_index; }
    Container* container() const { return m_container; }
    ControlHost& host() const { return m_host; }

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

    ControlHost& m_host;
    Container* m_container;
    float m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    bool m_visible = true;

private:
    QString m_name;
    int m_index;
};

// A control backed by a real widget.
class WindowedControl : public Control {
public:
    WindowedControl(ControlHost& host, Container* container, QString name, int index);
    ~WindowedControl() override;
    QWidget* widget() const { return m_widget; }
    bool enabled() const { return m_enabled; }
    void setEnabled(bool e);
    // What a screen reader calls the control, where its caption does not
    // say, and the tip shown under the pointer (for a screen reader, what
    // the control does).
    void setAccessibleName(const QString& name);
    void setToolTip(const QString& tip);

protected:
    // Takes ownership through Qt's parent: the container's surface.
    void attach(QWidget* widget);
    void geometryChanged() override;
    void visibilityChanged() override;
    QPointer<QWidget> m_widget;
    bool m_enabled = true;
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
