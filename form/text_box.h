#pragma once

#include "form/control.h"

class QLineEdit;

namespace zs {

class TextBox : public WindowedControl {
public:
    TextBox(ControlHost& host, Container& container, QString name, int index);
    QString text() const { return m_text; }
    void setText(const QString& text);
    void setColors(Color fore, Color back);
    void setFont(const FontSpec& f);
    void setAlignment(Align a);

    std::function<void()> Change;
    std::function<void(int keyCode, std::int16_t shift)> KeyUp;

private:
    QLineEdit* edit() const;
    void userEdited(const QString& text);
    QString m_text;
};

} // namespace zs
