#include "app/accessibility.h"
#include "app/catalogue.h"
#include "tests/app/control_tree.h"
#include "tests/support/window_fixture.h"

#include <QAccessible>
#include <QToolButton>

#include <map>

namespace zs::test {
namespace {

using AccessibilityTest = WindowTest;

QAccessibleInterface* accessibleOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

TEST_F(AccessibilityTest, EveryControlHasANameAndARole) {
    const QList<QWidget*> widgets = f.form.widget()->findChildren<QWidget*>();
    ASSERT_GT(widgets.size(), 60);
    for (QWidget* w : widgets) {
        const std::string which = w->objectName().toStdString();
        QAccessibleInterface* a = accessibleOf(w);
        ASSERT_NE(a, nullptr) << which;
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty()) << which;
        EXPECT_NE(a->role(), QAccessible::Client) << which;
        EXPECT_NE(a->role(), QAccessible::NoRole) << which;
    }
}

TEST_F(AccessibilityTest, EveryButtonHasATipAndIconButtonsAName) {
    int iconOnly = 0;
    for (QToolButton* b : f.form.widget()->findChildren<QToolButton*>()) {
        const std::string which = b->objectName().toStdString();
        EXPECT_FALSE(b->toolTip().isEmpty()) << which;
        EXPECT_EQ(accessibleOf(b)->text(QAccessible::Description), b->toolTip()) << which;
        if (b->text().isEmpty()) {
            ++iconOnly;
            EXPECT_FALSE(b->icon().isNull()) << which;
            EXPECT_FALSE(accessibleOf(b)->text(QAccessible::Name).isEmpty()) << which;
        }
    }
    EXPECT_EQ(iconOnly, 2); // the compact bar's two buttons
}

// The role each kind of windowed control has for a screen reader; frames and
// picture boxes are groups unless their description gives another role.
QAccessible::Role roleOf(app::Kind kind) {
    switch (kind) {
    case app::Kind::Button:
        return QAccessible::Button;
    case app::Kind::CheckBox:
        return QAccessible::CheckBox;
    case app::Kind::OptionButton:
        return QAccessible::RadioButton;
    case app::Kind::TextBox:
        return QAccessible::EditableText;
    case app::Kind::HScrollBar:
    case app::Kind::VScrollBar:
        return QAccessible::ScrollBar;
    default:
        return QAccessible::Grouping;
    }
}

// Each windowed control reaches a screen reader with the name, tip and role
// its description gives, or else its caption, no tip and its kind's role;
// each description names a windowed control, once.
TEST_F(AccessibilityTest, EveryControlAsItsDescriptionSays) {
    QAccessibleInterface* window = accessibleOf(f.form.widget());
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), f.form.caption());
    EXPECT_EQ(f.form.caption(), QStringLiteral("Zentrim Screen"));

    const ControlTree tree(f.form);
    std::map<ControlKey, app::Description> described;
    for (const app::Description& d : app::descriptions()) {
        const ControlKey key = keyOf(d.name, d.index);
        EXPECT_TRUE(described.emplace(key, d).second) << describe(key) << " described twice";
        EXPECT_EQ(tree.count.count(key), 1U) << describe(key) << " is not a control";
    }
    for (const app::Row& row : app::catalogue()) {
        const ControlKey key = keyOf(row.name, row.index);
        auto* windowed = dynamic_cast<WindowedControl*>(
            app::kindOf(row.name) == app::Kind::Timer ? nullptr : tree.byKey.at(key));
        if (windowed == nullptr) {
            continue; // drawn by its container, not seen by a screen reader
        }
        const std::string which = describe(key);
        QAccessibleInterface* a = accessibleOf(windowed->widget());
        ASSERT_NE(a, nullptr) << which;
        const auto d = described.find(key);
        const bool isDescribed = d != described.end();
        if (isDescribed && !d->second.accessible.isEmpty()) {
            EXPECT_EQ(a->text(QAccessible::Name), d->second.accessible) << which;
        } else {
            EXPECT_EQ(a->text(QAccessible::Name), windowed->widget()->property("text").toString())
                << which << ": its caption";
        }
        const QString tip = isDescribed ? d->second.tip : QString();
        EXPECT_EQ(windowed->widget()->toolTip(), tip) << which;
        EXPECT_EQ(a->text(QAccessible::Description), tip) << which;
        const bool givenRole = isDescribed && d->second.role != QAccessible::NoRole &&
                               dynamic_cast<Container*>(windowed) != nullptr;
        EXPECT_EQ(a->role(), givenRole ? d->second.role : roleOf(app::kindOf(row.name))) << which;
    }
}

} // namespace
} // namespace zs::test
