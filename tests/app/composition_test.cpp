#include "app/catalogue.h"
#include "tests/app/control_tree.h"
#include "tests/support/window_fixture.h"

#include <QToolButton>

#include <map>
#include <vector>

namespace zs::test {
namespace {

using CompositionTest = WindowTest;
using app::Id;
using app::Kind;
using app::Row;

std::vector<const Row*> controlRows() {
    std::vector<const Row*> rows;
    for (const Row& row : app::catalogue()) {
        if (app::kindOf(row.name) != Kind::Timer) {
            rows.push_back(&row);
        }
    }
    return rows;
}

// Each row's control exists once, indexed exactly when its name is a control
// array, in the row's container; each container holds its rows' controls in
// catalogue order (stacking order) and nothing else. (That each has its
// kind's class, Form1's look-ups check as it is built.)
TEST_F(CompositionTest, EveryRowIsOneControlInItsContainerInStackingOrder) {
    const ControlTree tree(f.form);
    std::map<const Container*, std::vector<ControlKey>> expectedChildren;
    for (const Row* row : controlRows()) {
        const ControlKey key = keyOf(row->name, row->index);
        const std::string which = describe(key);
        EXPECT_EQ(row->index >= 0, app::isArray(row->name)) << which;
        ASSERT_EQ(tree.count.count(key), 1U) << which;
        EXPECT_EQ(tree.count.at(key), 1) << which << " occurs more than once";
        Control* c = tree.byKey.at(key);
        const Container* in = &f.form;
        if (row->in) {
            in = dynamic_cast<const Container*>(tree.byKey.at(keyOf(*row->in, row->inIndex)));
        }
        ASSERT_NE(in, nullptr) << which << ": its container is not one";
        EXPECT_EQ(c->container(), in) << which;
        expectedChildren[in].push_back(key);
    }
    EXPECT_EQ(tree.byKey.size(), controlRows().size());
    for (const auto& [container, keys] : expectedChildren) {
        std::vector<ControlKey> actual;
        for (const Control* c : container->children()) {
            actual.emplace_back(c->name(), c->index());
        }
        EXPECT_EQ(actual, keys);
    }
}

// What every kind of row sets reaches its control: place, visibility,
// captions, colours, ranges, ends, and the pictures its assets provide.
TEST_F(CompositionTest, EveryControlHasItsRowsDesignValues) {
    const ControlTree tree(f.form);
    for (const Row* row : controlRows()) {
        const ControlKey key = keyOf(row->name, row->index);
        const std::string which = describe(key);
        Control* c = tree.byKey.at(key);
        EXPECT_EQ(c->visible(), row->visible) << which;
        const QString text = QString::fromUtf8(row->text != nullptr ? row->text : "");
        switch (app::kindOf(row->name)) {
        case Kind::Line: {
            auto* line = dynamic_cast<Line*>(c);
            EXPECT_EQ(line->x1(), row->ends.x1) << which;
            EXPECT_EQ(line->y1(), row->ends.y1) << which;
            EXPECT_EQ(line->x2(), row->ends.x2) << which;
            EXPECT_EQ(line->y2(), row->ends.y2) << which;
            EXPECT_EQ(line->borderColor(), row->border.value_or(kWindowText)) << which;
            EXPECT_EQ(line->borderWidth(), row->lineWidth) << which;
            continue; // a line has ends, not a place
        }
        case Kind::Frame:
            EXPECT_EQ(dynamic_cast<Frame*>(c)->backColor(), row->back.value_or(kWindowBackground))
                << which;
            break;
        case Kind::PictureBox:
            EXPECT_EQ(dynamic_cast<PictureBox*>(c)->backColor(),
                      row->back.value_or(kWindowBackground))
                << which;
            break;
        case Kind::Label:
            EXPECT_EQ(dynamic_cast<Label*>(c)->caption(), text) << which;
            EXPECT_EQ(dynamic_cast<Label*>(c)->foreColor(), row->fore.value_or(kWindowText))
                << which;
            break;
        case Kind::TextBox:
            EXPECT_EQ(dynamic_cast<TextBox*>(c)->text(), text) << which;
            break;
        case Kind::Button: {
            auto* button = dynamic_cast<Button*>(c);
            EXPECT_EQ(button->caption(), text) << which;
            const auto* tool = qobject_cast<QToolButton*>(button->widget());
            ASSERT_NE(tool, nullptr) << which;
            EXPECT_EQ(tool->icon().isNull(), row->icon == nullptr) << which << ": its icon";
            break;
        }
        case Kind::OptionButton:
            EXPECT_EQ(dynamic_cast<OptionButton*>(c)->value(), row->selected) << which;
            break;
        case Kind::HScrollBar:
        case Kind::VScrollBar:
            EXPECT_EQ(dynamic_cast<ScrollBar*>(c)->min(), row->range.min) << which;
            EXPECT_EQ(dynamic_cast<ScrollBar*>(c)->max(), row->range.max) << which;
            break;
        case Kind::Shape: {
            auto* shape = dynamic_cast<Shape*>(c);
            EXPECT_EQ(shape->borderColor(), row->border.value_or(kWindowText)) << which;
            EXPECT_EQ(shape->borderStyle(), row->borderStyle) << which;
            EXPECT_EQ(shape->opaque(), row->opaque) << which;
            if (row->back) {
                EXPECT_EQ(shape->backColor(), *row->back) << which;
            }
            break;
        }
        case Kind::Image:
            EXPECT_EQ(dynamic_cast<Image*>(c)->picture().isNull(), row->icon == nullptr)
                << which << ": its picture";
            break;
        case Kind::CheckBox:
        case Kind::Timer:
            break;
        }
        // An image takes its picture's size: the catalogue gives that size.
        EXPECT_EQ(c->left(), row->pos.left) << which;
        EXPECT_EQ(c->top(), row->pos.top) << which;
        EXPECT_EQ(c->width(), row->pos.width) << which;
        EXPECT_EQ(c->height(), row->pos.height) << which;
    }
    for (const Row& row : app::catalogue()) {
        if (app::kindOf(row.name) == Kind::Timer) {
            EXPECT_EQ(f.Timer1.interval(), row.interval);
            EXPECT_FALSE(f.Timer1.enabled());
        }
    }
}

TEST_F(CompositionTest, SettingsPanelOpensChoosesAndCloses) {
    f.Command10_Click();
    EXPECT_TRUE(f.Frame7.visible());
    EXPECT_EQ(f.Frame7.left(), 0);
    EXPECT_EQ(f.Frame7.top(), 0);
    f.Picture9_Click(3); // white, before anything is captured
    EXPECT_EQ(f.Shape5.borderColor(), 0x00FFFFFFU);
    EXPECT_EQ(f.Shape1.borderColor(), 0x00FFFFFFU);
    EXPECT_EQ(f.Shape1.borderStyle(), LineStyle::Dash);
    f.Command11_Click();
    EXPECT_FALSE(f.Frame7.visible());
    EXPECT_EQ(f.Frame7.left(), 0); // keeps its place
    f.Command10_Click();
    EXPECT_EQ(f.Shape5.borderColor(), 0x00FFFFFFU); // the choice survives
    f.Picture9_Click(8);
    EXPECT_EQ(f.Shape1.borderColor(), 0x00404000U);
}

} // namespace
} // namespace zs::test
