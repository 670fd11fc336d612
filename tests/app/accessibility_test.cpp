#include "tests/app/form1_fixture.h"

#include <QAccessible>
#include <QToolButton>

namespace zs::test {
namespace {

using AccessibilityTest = Form1Test;

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

TEST_F(AccessibilityTest, NamesAndRolesAsAScreenReaderGetsThem) {
    const struct {
        const char* object;
        QAccessible::Role role;
        const char* name;
    } cases[] = {
        {"Form1", QAccessible::Window, "Zentrim Screen"},
        {"Frame5", QAccessible::ToolBar, "Tool bar"},
        {"Command1(5)", QAccessible::Button, "Capture"},
        {"Command19", QAccessible::Button, "Restore"},
        {"Command2", QAccessible::Button, "Top-left corner"},
        {"Check1", QAccessible::CheckBox, "Square"},
        {"Option1(2)", QAccessible::RadioButton, "Pen 6 pixels wide"},
        {"Text1(0)", QAccessible::EditableText, "Width in pixels"},
        {"HScroll1", QAccessible::ScrollBar, "Scroll across"},
        {"Picture10(6)", QAccessible::Button, "Red"},
        {"Picture9(8)", QAccessible::Button, "Dark teal"},
        {"FormScreenCapture", QAccessible::Graphic, "Captured picture"},
        {"Frame7", QAccessible::Grouping, "Settings"},
    };
    for (const auto& c : cases) {
        QWidget* w = QString::fromUtf8(c.object) == "Form1"
                         ? f.form.widget()
                         : f.form.widget()->findChild<QWidget*>(QString::fromUtf8(c.object));
        ASSERT_NE(w, nullptr) << c.object;
        QAccessibleInterface* a = accessibleOf(w);
        ASSERT_NE(a, nullptr) << c.object;
        EXPECT_EQ(a->role(), c.role) << c.object;
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(c.name)) << c.object;
    }
}

} // namespace
} // namespace zs::test
