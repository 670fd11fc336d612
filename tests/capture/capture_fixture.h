#pragma once

#include "app/form1.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QImage>

#include <memory>

namespace zs::capture::test {

inline int px(float twips) {
    return twipsToPx(twips, 15);
}

// The part `regionPx` of `source`, one to one; where the region lies off the
// source the pixels are `background`.
inline QImage cropOf(const QImage& source, const QRect& regionPx, QColor background) {
    QImage out(regionPx.size(), QImage::Format_RGB32);
    out.fill(background);
    for (int y = 0; y < regionPx.height(); ++y) {
        for (int x = 0; x < regionPx.width(); ++x) {
            const QPoint at(regionPx.x() + x, regionPx.y() + y);
            if (source.rect().contains(at)) {
                out.setPixel(x, y, source.pixel(at));
            }
        }
    }
    return out;
}

// The whole window on the fake services, loaded and shown (offscreen).
class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<app::Form1>(fake.services);
        window->start();
        QCoreApplication::processEvents();
        fake.log.clear();
    }
    void TearDown() override {
        EXPECT_TRUE(fake.messages.errors.empty())
            << "a handler failed: " << fake.messages.errors.front().toStdString();
    }

    app::Form1& f() { return *window; }

    void captureScreen() { f().Command1_Click(5); }
    void press(float x, float y, std::int16_t button = kLeftButton) {
        f().capture.FormScreenCapture_MouseDown(button, 0, x, y);
    }
    void move(float x, float y, std::int16_t buttons = kLeftButton) {
        f().capture.FormScreenCapture_MouseMove(buttons, 0, x, y);
    }
    void release(float x, float y, std::int16_t button = kLeftButton) {
        f().capture.FormScreenCapture_MouseUp(button, 0, x, y);
    }
    // A whole selection with the left button, from one corner to the other.
    void select(float x0, float y0, float x1, float y1) {
        press(x0, y0);
        move(x1, y1);
        release(x1, y1);
    }
    QImage screenContent() const { return fake.capture.content; }
    QColor holderBackground() { return toQColor(f().Picture2.backColor()); }

    fakes::FakeServices fake;
    std::unique_ptr<app::Form1> window;
};

} // namespace zs::capture::test
