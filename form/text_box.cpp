#include "form/text_box.h"

#include "form/containers.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>

namespace zs {

namespace {
class KeyEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void(QKeyEvent*)> keyReleased;

protected:
    void keyReleaseEvent(QKeyEvent* e) override {
        QLineEdit::keyReleaseEvent(e);
        if (keyReleased && !e->isAutoRepeat()) {
            keyReleased(e);
        }
    }
};
} // namespace

TextBox::TextBox(ControlHost& host, Container& container, QString name, int index)
    : WindowedControl(host, &container, std::move(name), index) {
    auto* e = new KeyEdit(container.surface());
    e->setFrame(true);
    QObject::connect(e, &QLineEdit::textEdited, e, [this](const QString& t) { userEdited(t); });
    e->keyReleased = [this](QKeyEvent* ev) {
        if (KeyUp) {
            m_host.run("KeyUp", [&] { KeyUp(ev->key(), shiftOf(ev->modifiers())); });
        }
    };
    attach(e);
}

QLineEdit* TextBox::edit() const {
    return static_cast<QLineEdit*>(m_widget.data());
}

void TextBox::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    if (edit() && edit()->text() != text) {
        edit()->setText(text);
    }
    if (Change) {
        Change();
    }
}

void TextBox::userEdited(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_host.run("Change", [&] {
        m_text = text;
        if (Change) {
            Change();
        }
    });
}

void TextBox::setColors(Color fore, Color back) {
    QPalette pal = edit()->palette();
    pal.setColor(QPalette::Text, toQColor(fore));
    pal.setColor(QPalette::Base, toQColor(back));
    edit()->setPalette(pal);
}

void TextBox::setFont(const FontSpec& f) {
    edit()->setFont(toQFont(f));
}

void TextBox::setAlignment(Align a) {
    edit()->setAlignment(toQtAlign(a) | Qt::AlignVCenter);
}
} // namespace zs
