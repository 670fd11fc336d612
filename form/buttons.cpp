#include "form/buttons.h"

#include "form/accessibility.h"
#include "form/containers.h"
#include "services/errors.h"

#include <QCheckBox>
#include <QPalette>
#include <QRadioButton>
#include <QToolButton>

namespace zs {

namespace {

// Qt's check box and radio button take a click only on their indicator and
// the caption's text; these take it anywhere in their rectangle, and fill
// their background with the Window colour the catalogue sets rather than
// the style's button colour.
template <typename QtButton> class WholeAreaButton : public QtButton {
public:
    explicit WholeAreaButton(QWidget* parent) : QtButton(parent) {
        this->setAutoFillBackground(true);
        this->setBackgroundRole(QPalette::Window);
    }

protected:
    bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
};

} // namespace

// ---------------------------------------------------------------- Button

Button::Button(ControlHost& host, Container& container, QString name, int index)
    : WindowedControl(host, &container, std::move(name), index) {
    auto* b = new QToolButton(container.surface());
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(b, &QToolButton::clicked, b,
                     [this] { m_host.run("Click", [this] { click(); }); });
    attach(b);
}

QString Button::caption() const {
    return static_cast<QToolButton*>(m_widget.data())->text();
}

void Button::setCaption(const QString& caption) {
    auto* b = static_cast<QToolButton*>(m_widget.data());
    b->setText(caption);
    b->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
}

void Button::setIcon(const QIcon& icon, int sizePx) {
    auto* b = static_cast<QToolButton*>(m_widget.data());
    b->setIcon(icon);
    b->setIconSize(QSize(sizePx, sizePx));
}

void Button::setBackColor(std::optional<Color> c) {
    if (c) {
        QPalette pal = m_widget->palette();
        pal.setColor(QPalette::Button, toQColor(*c));
        m_widget->setPalette(pal);
    }
}

void Button::click() {
    if (Click) {
        Click();
    }
}

// ---------------------------------------------------------------- CheckBox

CheckBox::CheckBox(ControlHost& host, Container& container, QString name, int index)
    : WindowedControl(host, &container, std::move(name), index) {
    auto* c = new WholeAreaButton<QCheckBox>(container.surface());
    QObject::connect(c, &QCheckBox::clicked, c, [this](bool checked) {
        m_host.run("Click", [&] { setValue(checked ? 1 : 0); });
    });
    attach(c);
}

void CheckBox::setValue(int v) {
    if (v != 0 && v != 1 && v != 2) {
        throw Error(Error::Code::InvalidValue, "Invalid property value: " + name().toStdString() +
                                                   ".Value = " + std::to_string(v));
    }
    auto* c = static_cast<QCheckBox*>(m_widget.data());
    const Qt::CheckState state =
        v == 1 ? Qt::Checked : (v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    if (c->checkState() != state) {
        c->setCheckState(state);
    }
    if (v == m_value) {
        return;
    }
    m_value = v;
    if (Click) {
        Click();
    }
}

void CheckBox::setCaption(const QString& caption) {
    static_cast<QCheckBox*>(m_widget.data())->setText(caption);
}

void CheckBox::setColors(Color fore, Color back) {
    QPalette pal = m_widget->palette();
    pal.setColor(QPalette::WindowText, toQColor(fore));
    pal.setColor(QPalette::Window, toQColor(back));
    m_widget->setPalette(pal);
}

// ---------------------------------------------------------------- OptionButton

OptionButton::OptionButton(ControlHost& host, Container& container, QString name, int index)
    : WindowedControl(host, &container, std::move(name), index) {
    installAccessibility();
    auto* r = new WholeAreaButton<QRadioButton>(container.surface());
    r->setAutoExclusive(false);
    QObject::connect(r, &QRadioButton::clicked, r, [this](bool) {
        m_host.run("Click", [this] {
            if (m_value) {
                sync(); // a click on the marked option leaves it marked
            } else {
                setValue(true);
            }
        });
    });
    attach(r);
}

void OptionButton::sync() {
    static_cast<QRadioButton*>(m_widget.data())->setChecked(m_value);
}

void OptionButton::setValue(bool v) {
    if (v == m_value) {
        sync();
        return;
    }
    m_value = v;
    sync();
    if (!v) {
        return;
    }
    for (Control* c : m_container->children()) {
        if (auto* o = dynamic_cast<OptionButton*>(c); o != nullptr && o != this && o->m_value) {
            o->m_value = false;
            o->sync();
        }
    }
    if (Click) {
        Click();
    }
}

void OptionButton::setBackColor(Color c) {
    QPalette pal = m_widget->palette();
    pal.setColor(QPalette::Window, toQColor(c));
    m_widget->setPalette(pal);
}
} // namespace zs
