#include "form/key_shortcuts.h"

#include "form/form.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace zs {

// Sees every key event of the application before its receiver does.
class KeyShortcuts::Filter : public QObject {
public:
    explicit Filter(KeyShortcuts& owner) : m_owner(owner) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (widget == nullptr || widget->window() != m_owner.m_form.widget()) {
            // A shortcut that opened a dialog sees its key released there.
            if (type == QEvent::KeyRelease && !key->isAutoRepeat()) {
                m_owner.m_held.erase(key->key());
            }
            return false;
        }
        return type == QEvent::KeyPress ? m_owner.pressed(*widget, *key) : m_owner.released(*key);
    }

private:
    KeyShortcuts& m_owner;
};

namespace {

// The key as a shortcut names it: the keypad's arrows are the arrows.
QKeyCombination combinationOf(const QKeyEvent& key) {
    return QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key()));
}

// Whether `widget` takes the key itself, as Qt asks before any shortcut.
bool takesKey(QWidget& widget, const QKeyEvent& key) {
    QKeyEvent ask(QEvent::ShortcutOverride, key.key(), key.modifiers(), key.text(),
                  key.isAutoRepeat(), static_cast<quint16>(key.count()));
    ask.ignore();
    QApplication::sendEvent(&widget, &ask);
    return ask.isAccepted();
}

} // namespace

KeyShortcuts::KeyShortcuts(Form& form) : m_form(form), m_filter(std::make_unique<Filter>(*this)) {
    QApplication::instance()->installEventFilter(m_filter.get());
}

KeyShortcuts::~KeyShortcuts() = default;

void KeyShortcuts::add(QKeyCombination key, std::function<bool()> available,
                       std::function<void()> action) {
    m_entries.push_back({key, std::move(available), std::move(action)});
}

bool KeyShortcuts::pressed(QWidget& receiver, QKeyEvent& key) {
    if (!key.isAutoRepeat()) {
        m_held.erase(key.key());
    }
    const QKeyCombination combination = combinationOf(key);
    for (const Entry& entry : m_entries) {
        if (entry.key != combination || !entry.available()) {
            continue;
        }
        if (takesKey(receiver, key)) {
            return false;
        }
        key.accept();
        m_held.insert(key.key());
        m_form.run("KeyDown", entry.action);
        return true;
    }
    return false;
}

bool KeyShortcuts::released(QKeyEvent& key) {
    if (!m_held.contains(key.key())) {
        return false;
    }
    if (!key.isAutoRepeat()) {
        m_held.erase(key.key());
    }
    key.accept();
    return true;
}

} // namespace zs
