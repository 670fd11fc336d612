#pragma once

#include "form/control.h"

#include <optional>

#include <QIcon>

namespace zs {

// A graphical push button: an icon above its caption.
class Button : public WindowedControl {
public:
    Button(ControlHost& host, Container& container, QString name, int index);
    QString caption() const;
    void setCaption(const QString& caption);
    void setIcon(const QIcon& icon, int sizePx);
    void setBackColor(std::optional<Color> c);
    // Raises Click as a press would.
    void click();
    std::function<void()> Click;
};

class CheckBox : public WindowedControl {
public:
    CheckBox(ControlHost& host, Container& container, QString name, int index);
    // 0 unchecked, 1 checked.
    int value() const { return m_value; }
    void setValue(int v);
    void setCaption(const QString& caption);
    void setColors(Color fore, Color back);
    std::function<void()> Click;

private:
    int m_value = 0;
};

class OptionButton : public WindowedControl {
public:
    OptionButton(ControlHost& host, Container& container, QString name, int index);
    bool value() const { return m_value; }
    // True marks this option, clears its siblings in the same container and
    // raises Click; False only clears it.
    void setValue(bool v);
    void setBackColor(Color c);
    std::function<void()> Click;

private:
    void sync();
    bool m_value = false;
};

} // namespace zs
