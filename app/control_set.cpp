#include "app/control_set.h"

#include "app/catalogue.h"

#include <QFile>
#include <QIcon>
#include <QImage>

namespace zs::app {

QIcon assetIcon(const char* name) {
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path =
            QStringLiteral(":/icons/%1-%2.png").arg(QString::fromUtf8(name)).arg(size);
        if (QFile::exists(path)) {
            result.addFile(path, QSize(size, size));
        }
    }
    return result;
}

namespace {

QImage picture(const char* name, int size) {
    if (QString::fromUtf8(name) == QLatin1String("start-panel")) {
        return QImage(QStringLiteral(":/start-panel.jpg"));
    }
    return QImage(QStringLiteral(":/icons/%1-%2.png").arg(QString::fromUtf8(name)).arg(size));
}

template <typename T, typename... More>
std::unique_ptr<T> make(Form& form, Container& in, const Row& row, More... more) {
    return std::make_unique<T>(form, in, QString::fromUtf8(nameOf(row.name)), row.index, more...);
}

// The row's background, where it gives one; the control's own otherwise.
template <typename T> std::unique_ptr<T> withBack(std::unique_ptr<T> c, const Row& row) {
    if (row.back) {
        c->setBackColor(*row.back);
    }
    return c;
}

// A control of the row's kind in its design-time state, but for its place:
// the caller moves it.
std::unique_ptr<Control> build(Form& form, Container& in, const Row& row) {
    switch (kindOf(row.name)) {
    case Kind::Frame:
        return withBack(make<Frame>(form, in, row), row);
    case Kind::PictureBox:
        return withBack(make<PictureBox>(form, in, row), row);
    case Kind::Label: {
        auto c = make<Label>(form, in, row);
        c->setCaption(QString::fromUtf8(row.text));
        c->setFont(row.font);
        c->setAlignment(row.align);
        c->setForeColor(row.fore.value_or(kWindowText));
        c->setBackColor(row.back);
        return c;
    }
    case Kind::TextBox: {
        auto c = make<TextBox>(form, in, row);
        c->setText(QString::fromUtf8(row.text));
        c->setFont(row.font);
        c->setAlignment(row.align);
        c->setColors(row.fore.value_or(kWindowText), row.back.value_or(kWindowBackground));
        return c;
    }
    case Kind::Button: {
        auto c = make<Button>(form, in, row);
        c->setCaption(QString::fromUtf8(row.text != nullptr ? row.text : ""));
        if (row.icon != nullptr) {
            c->setIcon(assetIcon(row.icon), row.iconSize);
        }
        c->setBackColor(row.back);
        return c;
    }
    case Kind::CheckBox: {
        auto c = make<CheckBox>(form, in, row);
        c->setCaption(QString::fromUtf8(row.text));
        c->setColors(row.fore.value_or(kWindowText), row.back.value_or(kWindowBackground));
        return c;
    }
    case Kind::OptionButton: {
        auto c = withBack(make<OptionButton>(form, in, row), row);
        if (row.selected) {
            c->setValue(true);
        }
        return c;
    }
    case Kind::HScrollBar:
    case Kind::VScrollBar: {
        auto c = make<ScrollBar>(
            form, in, row, kindOf(row.name) == Kind::HScrollBar ? Qt::Horizontal : Qt::Vertical);
        c->setMin(row.range.min);
        c->setMax(row.range.max);
        c->setSmallChange(row.range.smallChange);
        c->setLargeChange(row.range.largeChange);
        return c;
    }
    case Kind::Shape: {
        auto c = make<Shape>(form, in, row);
        c->setBorderColor(row.border.value_or(kWindowText));
        c->setBorderStyle(row.borderStyle);
        c->setOpaque(row.opaque);
        return withBack(std::move(c), row);
    }
    case Kind::Line: {
        auto c = make<Line>(form, in, row);
        c->setEnds(row.ends.x1, row.ends.y1, row.ends.x2, row.ends.y2);
        c->setBorderColor(row.border.value_or(kWindowText));
        c->setBorderStyle(row.borderStyle);
        c->setBorderWidth(row.lineWidth);
        return c;
    }
    case Kind::Image: {
        // Placed before its picture, which may size it.
        auto c = make<Image>(form, in, row);
        c->move(row.pos.left, row.pos.top, row.pos.width, row.pos.height);
        if (row.icon != nullptr) {
            c->setPicture(picture(row.icon, row.iconSize));
        }
        return c;
    }
    case Kind::Timer:
        break;
    }
    throw std::logic_error(std::string("no control of the kind of ") + nameOf(row.name));
}

} // namespace

ControlSet::ControlSet(Form& form) {
    std::map<std::pair<Id, int>, Container*> containers;
    for (const Row& row : catalogue()) {
        Container& in = row.in ? *containers.at({*row.in, row.inIndex}) : form;
        if (kindOf(row.name) == Kind::Timer) {
            auto t = std::make_unique<Timer>(form);
            t->setInterval(row.interval);
            m_timersById[row.name] = t.get();
            m_timers.push_back(std::move(t));
            continue;
        }
        std::unique_ptr<Control> made = build(form, in, row);
        if (auto* container = dynamic_cast<Container*>(made.get()); container != nullptr) {
            containers[{row.name, row.index}] = container;
        }
        // Lines have ends, not a place; images placed themselves.
        if (kindOf(row.name) != Kind::Line && kindOf(row.name) != Kind::Image) {
            made->move(row.pos.left, row.pos.top, row.pos.width, row.pos.height);
        }
        made->setVisible(row.visible);
        m_byId[{row.name, row.index}] = made.get();
        m_controls.push_back(std::move(made));
    }
    form.restack();
    for (const auto& [key, container] : containers) {
        container->restack();
    }
}

ControlSet::~ControlSet() {
    // Children first: a container's widget owns its children's widgets.
    while (!m_controls.empty()) {
        m_controls.pop_back();
    }
}

Control* ControlSet::find(Id id, int index) const {
    const auto it = m_byId.find({id, index});
    return it == m_byId.end() ? nullptr : it->second;
}

Timer& ControlSet::timer(Id id) const {
    return *m_timersById.at(id);
}

} // namespace zs::app
