#pragma once

#include <QKeyCombination>

#include <functional>
#include <memory>
#include <set>
#include <vector>

class QKeyEvent;
class QWidget;

namespace zs {

class Form;

// Keys that run a handler of the window. A key goes first to the control
// that has the focus when that control takes it itself (a text box takes
// Ctrl+C and the arrows), and otherwise to the first shortcut for it that is
// available at that moment; with none, it goes on as usual. Keys typed in
// other windows (dialogs, message boxes) are left alone.
class KeyShortcuts {
public:
    explicit KeyShortcuts(Form& form);
    ~KeyShortcuts();
    Q_DISABLE_COPY(KeyShortcuts)

    // `available` tells whether the key does something now; `action` runs as
    // a handler of the window (a failure is reported as any handler's is).
    void add(QKeyCombination key, std::function<bool()> available, std::function<void()> action);

private:
    class Filter;
    // Whether a press of `key` aimed at `receiver` runs a shortcut.
    bool pressed(QWidget& receiver, QKeyEvent& key);
    bool released(QKeyEvent& key);

    struct Entry {
        QKeyCombination key;
        std::function<bool()> available;
        std::function<void()> action;
    };
    Form& m_form;
    std::vector<Entry> m_entries;
    // Keys whose press ran a shortcut: their release is not passed on either.
    std::set<int> m_held;
    std::unique_ptr<Filter> m_filter;
};

} // namespace zs
