#include "form/control.h"

#include "form/containers.h"
#include "services/errors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <cmath>

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

namespace {

void refuseNegative(float v, const QString& what) {
    if (v < 0 || std::isnan(v)) {
        throw Error(Error::Code::InvalidValue,
                    "Invalid property value: " + what.toStdString() + " = " + std::to_string(v));
    }
}

} // namespace

// ---------------------------------------------------------------- Control

Control::Control(ControlHost& host, Container* container, QString name, int index)
    : m_host(host), m_container(container), m_name(std::move(name)), m_index(index) {
    if (container != nullptr) {
        container->addChild(this);
    }
}

Control::~Control() = default;

void Control::setLeft(float v) {
    setIfChanged(m_left, v, [this] { geometryChanged(); });
}

void Control::setTop(float v) {
    setIfChanged(m_top, v, [this] { geometryChanged(); });
}

void Control::setWidth(float v) {
    refuseNegative(v, m_name + ".Width");
    setIfChanged(m_width, v, [this] { geometryChanged(); });
}

void Control::setHeight(float v) {
    refuseNegative(v, m_name + ".Height");
    setIfChanged(m_height, v, [this] { geometryChanged(); });
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
    setIfChanged(m_visible, v, [this] { visibilityChanged(); });
}

bool Control::shown() const {
    return m_visible && (m_container == nullptr || m_container->shownAsContainer());
}

QRect Control::rectPx() const {
    const float tx = m_host.twipsPerPixelX();
    const float ty = m_host.twipsPerPixelY();
    return QRect(twipsToPx(m_left, tx), twipsToPx(m_top, ty), twipsToPx(m_width, tx),
                 twipsToPx(m_height, ty));
}

// ---------------------------------------------------------------- windowed

WindowedControl::WindowedControl(ControlHost& host, Container* container, QString name, int index)
    : Control(host, container, std::move(name), index) {}

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

void WindowedControl::setAccessibleName(const QString& name) {
    if (m_widget) {
        m_widget->setAccessibleName(name);
    }
}

void WindowedControl::setToolTip(const QString& tip) {
    if (m_widget) {
        m_widget->setToolTip(tip);
        m_widget->setAccessibleDescription(tip);
    }
}

void WindowedControl::setEnabled(bool e) {
    m_enabled = e;
    if (m_widget) {
        m_widget->setEnabled(e);
    }
}

} // namespace zs
