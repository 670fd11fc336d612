#pragma once

#include "form/control.h"

#include <cstdint>

class QScrollBar;

namespace zs {

// Min, Max and Value are 16-bit. Max may be below Min: the bar then runs from
// Min at its start to Max at its end.
class ScrollBar : public WindowedControl {
public:
    ScrollBar(ControlHost& host, Container& container, QString name, int index, Qt::Orientation o);
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

// The Max of a bar that scrolls a surface across a viewport: how far the
// surface reaches past the viewport, in twips, taken in single precision and
// rounded to the nearest integer with ties to the even one. Negative when the
// surface is the smaller. Throws zs::Error(Overflow) when it does not fit the
// bar's 16 bits; the layouts skip that step and keep the previous range.
std::int16_t scrollRange(float surfaceTwips, float viewportTwips);

} // namespace zs
