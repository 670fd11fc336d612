#pragma once

#include "app/control_list.h"

#include <QAccessible>
#include <QString>

#include <vector>

namespace zs::app {

// What a screen reader says of a control, and the tip shown under the
// pointer (for a screen reader, what the control does).
struct Description {
    Id name;
    int index;              // -1: not a member of a control array
    QString accessible;     // empty: the caption says what the control is
    QString tip;            // empty: none
    QAccessible::Role role; // for frames and picture boxes; NoRole: a group
};

// Every control that needs a name, a tip or a role, once each.
std::vector<Description> descriptions();

} // namespace zs::app
