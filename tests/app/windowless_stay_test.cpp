#include "app/windowless_stay.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

// The program staying without a window after Exit while its crop is on the
// clipboard: it ends when the crop leaves the clipboard and opens its window
// again for a later start.
namespace zs::app {
namespace {

TEST(StayWithCrop, EndsWhenTheCropIsGoneAndHandsOverToALaterStart) {
    struct Case {
        const char* what;
        bool holdsAtExit;
        bool laterStart; // otherwise another program copies
        bool expectRequest;
    };
    const Case cases[] = {
        {"nothing of ours on the clipboard", false, true, false},
        {"another program copies", true, false, false},
        {"a later start", true, true, true},
    };
    for (const auto& c : cases) {
        SingleInstance instance(QDBusConnection(QStringLiteral("zs-no-bus")));
        bool holds = c.holdsAtExit;
        int changesSeen = 0;
        QObject scope;         // the timers end with the case
        bool timedOut = false; // a stay that misses its end fails, not hangs
        QTimer::singleShot(5000, &scope, [&] {
            timedOut = true;
            QCoreApplication::exit();
        });
        QTimer::singleShot(0, &scope, [&] {
            // A change that leaves the crop in place is not the end.
            QGuiApplication::clipboard()->setText(QStringLiteral("still ours"));
            ++changesSeen;
            QTimer::singleShot(0, &scope, [&] {
                if (c.laterStart) {
                    instance.receive({StartRequest{StartAction::Capture, {}}, QStringLiteral("t")});
                } else {
                    holds = false;
                    QGuiApplication::clipboard()->setText(QStringLiteral("another program's"));
                }
            });
        });
        const std::optional<HandedRequest> next = stayWithCrop(instance, [&] { return holds; });
        ASSERT_FALSE(timedOut) << c.what;
        EXPECT_EQ(next.has_value(), c.expectRequest) << c.what;
        if (next) {
            EXPECT_EQ(next->request.action, StartAction::Capture) << c.what;
            EXPECT_EQ(next->activationToken, QStringLiteral("t")) << c.what;
            EXPECT_EQ(changesSeen, 1) << c.what;
        }
    }
}

} // namespace
} // namespace zs::app
