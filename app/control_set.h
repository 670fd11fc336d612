#pragma once

#include "app/control_list.h"
#include "form/controls.h"
#include "form/form.h"

#include <QIcon>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zs::app {

// Every size of an icon that the assets hold.
QIcon assetIcon(const char* name);

// Every control of the window, built from the catalogue, by id and index.
class ControlSet {
public:
    explicit ControlSet(Form& form);
    ~ControlSet();
    Q_DISABLE_COPY(ControlSet)

    template <typename T> T& get(Id id, int index = -1) const {
        auto* c = dynamic_cast<T*>(find(id, index));
        if (c == nullptr) {
            throw std::logic_error(std::string("no control ") + nameOf(id) + "(" +
                                   std::to_string(index) + ")");
        }
        return *c;
    }
    template <typename T> ControlArray<T> array(Id id) const {
        ControlArray<T> a;
        for (const auto& [key, control] : m_byId) {
            if (key.first == id && key.second >= 0) {
                a.add(key.second, &dynamic_cast<T&>(*control));
            }
        }
        return a;
    }
    Timer& timer(Id id) const;

    // What Form1 holds for the control `id` of kind K: the control, the
    // timer, or the control array.
    template <Kind K, Count C> MemberOf<K, C> member(Id id) const {
        using T = ClassOf<K>;
        if constexpr (C == Count::Array) {
            return array<T>(id);
        } else if constexpr (K == Kind::Timer) {
            return timer(id);
        } else {
            return get<T>(id);
        }
    }

private:
    Control* find(Id id, int index) const;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::vector<std::unique_ptr<Timer>> m_timers;
    std::map<std::pair<Id, int>, Control*> m_byId;
    std::map<Id, Timer*> m_timersById;
};

} // namespace zs::app
