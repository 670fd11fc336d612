#include "form/accessibility.h"

#include "form/containers.h"

#include <QAccessibleWidget>
#include <QRadioButton>

namespace zs {

namespace {

// A surface, with the role its container gives it at the moment asked.
class SurfaceAccessible : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(SurfaceWidget* surface) : QAccessibleWidget(surface) {}
    QAccessible::Role role() const override {
        return static_cast<SurfaceWidget*>(widget())->accessibleRole();
    }
};

// An option button: a radio button that can be pressed, marked or not.
class OptionAccessible : public QAccessibleWidget {
public:
    explicit OptionAccessible(QRadioButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}
    QString text(QAccessible::Text t) const override {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty()) {
            s = button()->text();
        }
        return s;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == pressAction()) {
            button()->click();
        } else {
            QAccessibleWidget::doAction(name);
        }
    }

private:
    QRadioButton* button() const { return static_cast<QRadioButton*>(widget()); }
};

QAccessibleInterface* controlsAccessible(const QString& /*className*/, QObject* object) {
    if (auto* surface = qobject_cast<SurfaceWidget*>(object); surface != nullptr) {
        return new SurfaceAccessible(surface);
    }
    if (auto* radio = qobject_cast<QRadioButton*>(object); radio != nullptr) {
        return new OptionAccessible(radio);
    }
    return nullptr;
}

} // namespace

void installAccessibility() {
    // Qt asks the factories installed last first, so these come before its
    // own interfaces for plain widgets and radio buttons.
    static const bool installed = [] {
        QAccessible::installFactory(controlsAccessible);
        return true;
    }();
    (void)installed;
}

} // namespace zs
