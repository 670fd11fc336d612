#pragma once

#include "app/control_list.h"
#include "form/controls.h"

#include <optional>
#include <span>

// The window's controls in their design-time state: one row a control, each
// container's children in stacking order (the first lies on top). A row names
// its control and container by id; the control's kind comes with its id.
namespace zs::app {

struct Rect {
    float left = 0, top = 0, width = 0, height = 0;
};

struct Ends {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct Range {
    int min = 0, max = 0, smallChange = 1, largeChange = 1;
};

struct Row {
    Id name;
    int index = -1;         // -1: not a member of a control array
    std::optional<Id> in{}; // the container; empty: the window itself
    int inIndex = -1;
    Rect pos{};
    const char* text = nullptr; // caption or text, UTF-8
    std::optional<Color> back{};
    std::optional<Color> fore{};
    FontSpec font{};
    Align align = Align::Left;
    const char* icon = nullptr; // resource name without size: "save" → :/icons/save-24.png
    int iconSize = 0;
    std::optional<Color> border{};
    LineStyle borderStyle = LineStyle::Solid;
    bool opaque = false;
    Ends ends{};
    int lineWidth = 1;
    Range range{};
    int interval = 0;
    bool selected = false;
    bool visible = true;
};

std::span<const Row> catalogue();

} // namespace zs::app
