#include "services/fakes/paint_meter.h"
#include "tests/support/window_fixture.h"

#include <QCoreApplication>

#include <memory>

namespace zs::test {
namespace {

using zs::fakes::area;
using zs::fakes::PaintMeter;

class Repaint : public StartedWindowTest {
protected:
    void SetUp() override {
        StartedWindowTest::SetUp();
        captureScreen();
        select(1500, 1500, 6000, 4500); // 300 x 200 pixels at (100, 100)
        f.Label2.setVisible(false);     // only the rectangle and the lines change
        // The test raises every tick itself: a real tick landing while the
        // events settle would move the outline between the measurements.
        f.Timer1.setInterval(0);
        settle();
        spy = std::make_unique<PaintMeter>(f.FormScreenCapture.widget());
    }
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
        }
    }
    // What was painted, after the pending repaints ran.
    QRegion painted() {
        settle();
        return spy->region();
    }
    std::unique_ptr<PaintMeter> spy;
};

TEST_F(Repaint, ANudgeTickRepaintsOnlyTheOldAndNewOutlines) {
    int moves = 0;
    for (int arrow : {1, 2, 3, 0}) {
        pressArrow(arrow);
        for (int tick = 0; tick < 6; ++tick) {
            spy->reset();
            const QRegion before = f.Shape1.coverage();
            f.Timer1.fire();
            const QRegion after = f.Shape1.coverage();
            moves += before != after ? 1 : 0;
            const QRegion got = painted();
            const QRegion strips = before.united(after);
            EXPECT_TRUE(got.subtracted(strips).isEmpty())
                << "arrow " << arrow << ": " << area(got) << " pixels painted";
            EXPECT_TRUE(strips.subtracted(got).isEmpty()) << arrow;
            // Two 300 x 200 outlines are 2000 pixels at most; the filled
            // rectangle would be 60000.
            EXPECT_LE(area(got), 2 * 2 * (300 + 200)) << arrow;
        }
        releaseArrow(arrow);
        settle();
    }
    // 10 twips a tick: at 15 twips per pixel most ticks move a pixel.
    EXPECT_GE(moves, 12);
}

TEST_F(Repaint, TheCrossHairRepaintsOnlyTheStripsOfItsTwoLines) {
    struct Case {
        float x, y;
    };
    // Small steps and a jump across the surface.
    const Case cases[] = {{1500, 1500}, {1515, 1530}, {9000, 6000}, {150, 7500}};
    move(300, 300, 0);
    settle();
    for (const auto& c : cases) {
        spy->reset();
        const QRegion before = f.Line1[0].coverage().united(f.Line1[1].coverage());
        move(c.x, c.y, 0);
        const QRegion after = f.Line1[0].coverage().united(f.Line1[1].coverage());
        const QRegion strips = before.united(after);
        const QRegion got = painted();
        EXPECT_TRUE(got.subtracted(strips).isEmpty())
            << c.x << ": " << area(got) << " pixels painted, strips " << area(strips);
        EXPECT_FALSE(got.isEmpty());
        // Each strip is a few pixels wide, across the visible surface.
        EXPECT_LE(area(got), 4 * 4 * (1920 + 1080)) << c.x;
    }
}

} // namespace
} // namespace zs::test
