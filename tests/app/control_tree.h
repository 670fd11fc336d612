#pragma once

#include "app/control_list.h"
#include "form/controls.h"

#include <QString>

#include <map>
#include <string>
#include <utility>

namespace zs::test {

// A control's name and index, as the control carries them.
using ControlKey = std::pair<QString, int>;

inline ControlKey keyOf(app::Id id, int index) {
    return {QString::fromUtf8(app::nameOf(id)), index};
}

inline std::string describe(const ControlKey& key) {
    return key.first.toStdString() + "(" + std::to_string(key.second) + ")";
}

// Every control in a tree of containers, by name and index, with how often
// each name and index occurs.
struct ControlTree {
    std::map<ControlKey, Control*> byKey;
    std::map<ControlKey, int> count;

    explicit ControlTree(const Container& root) { walk(root); }

private:
    void walk(const Container& container) {
        for (Control* c : container.children()) {
            const ControlKey key{c->name(), c->index()};
            byKey[key] = c;
            ++count[key];
            if (const auto* inner = dynamic_cast<const Container*>(c); inner != nullptr) {
                walk(*inner);
            }
        }
    }
};

} // namespace zs::test
