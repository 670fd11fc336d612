#include "form/scroll_bar.h"

#include "form/containers.h"
#include "form/numbers.h"
#include "services/errors.h"

#include <QScrollBar>

#include <algorithm>

namespace zs {

ScrollBar::ScrollBar(ControlHost& host, Container& container, QString name, int index,
                     Qt::Orientation o)
    : WindowedControl(host, &container, std::move(name), index) {
    auto* b = new QScrollBar(o, container.surface());
    QObject::connect(b, &QScrollBar::valueChanged, b, [this](int v) {
        if (!m_syncing) {
            widgetValueChanged(v);
        }
    });
    QObject::connect(b, &QScrollBar::sliderReleased, b, [this] {
        if (m_pendingChange) {
            m_pendingChange = false;
            m_host.run("Change", [this] {
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
        m_host.run("Scroll", [this] {
            if (Scroll) {
                Scroll();
            }
        });
    } else {
        m_host.run("Change", [this] {
            if (Change) {
                Change();
            }
        });
    }
}

std::int16_t scrollRange(float surfaceTwips, float viewportTwips) {
    const float difference = surfaceTwips - viewportTwips;
    return roundToInt16(difference);
}

} // namespace zs
