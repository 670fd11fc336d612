#pragma once

#include "app/form1.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRectF>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <initializer_list>

// The window under test: the real Form1 built from its catalogue on the fake
// services, with the helpers the window's tests share. Header-only, for the
// suites that link zs_app.
namespace zs::test {

// Pixels of a position or size in twips at the fakes' default 15 twips per
// pixel.
inline int px(float twips) {
    return twipsToPx(twips, 15);
}

// The pixels a crop of the pixel rectangle `regionPx` of `source` must hold:
// the source's one to one, and `background` where the region lies off it.
inline QImage expectedCrop(const QImage& source, const QRect& regionPx, const QColor& background) {
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

// The window, not shown, with a scratch folder as the program's folder.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : WindowTest(nullptr) {}
    // `prepare` sets the fakes up before the window is built (a screen's
    // factors, say, which the controls take when they are made).
    explicit WindowTest(const std::function<void(fakes::FakeServices&)>& prepare)
        : f(prepared(prepare)) {}

    // Loads and shows the window (offscreen) as start-up does, then forgets
    // what start-up asked of the fakes.
    void start() {
        f.start();
        QCoreApplication::processEvents();
        fake.log.clear();
    }

    // "Capture" on the tool bar.
    void captureScreen() { f.Command1_Click(app::command1::kToolBarCapture); }
    // The mouse on the capture surface, in twips.
    void press(float x, float y, std::int16_t button = kLeftButton) {
        f.capture.FormScreenCapture_MouseDown(button, 0, x, y);
    }
    void move(float x, float y, std::int16_t buttons = kLeftButton) {
        f.capture.FormScreenCapture_MouseMove(buttons, 0, x, y);
    }
    void release(float x, float y, std::int16_t button = kLeftButton) {
        f.capture.FormScreenCapture_MouseUp(button, 0, x, y);
    }
    // A whole selection with the left button, from one corner to the other.
    void select(float x0, float y0, float x1, float y1) {
        press(x0, y0);
        move(x1, y1);
        release(x1, y1);
    }
    // The left button on arrow `index` of the arrow pad (Image2) and off it.
    void pressArrow(int index) {
        f.capture.Image2_MouseDown(static_cast<std::int16_t>(index), kLeftButton, 0, 0, 0);
    }
    void releaseArrow(int index) {
        f.capture.Image2_MouseUp(static_cast<std::int16_t>(index), kLeftButton, 0, 0, 0);
    }
    // Puts the selection rectangle at `twips` and crops it.
    void cropAt(const QRectF& twips) {
        f.Shape1.move(static_cast<float>(twips.x()), static_cast<float>(twips.y()),
                      static_cast<float>(twips.width()), static_cast<float>(twips.height()));
        f.Command1_Click(app::command1::kSaveCrop);
    }
    // Puts `picture` on the capture surface and crops its pixel rectangle
    // `px`, with the holder shown as after a finished selection.
    void showAndCrop(const QImage& picture, QRect px) {
        const float tx = fake.screen.tppX;
        const float ty = fake.screen.tppY;
        f.FormScreenCapture.setWidth(static_cast<float>(picture.width()) * tx);
        f.FormScreenCapture.setHeight(static_cast<float>(picture.height()) * ty);
        f.FormScreenCapture.setPicture(picture);
        f.FormScreenCapture.setVisible(true);
        cropAt(QRectF(static_cast<float>(px.x()) * tx, static_cast<float>(px.y()) * ty,
                      static_cast<float>(px.width()) * tx, static_cast<float>(px.height()) * ty));
        f.Picture2.setVisible(true);
    }
    // What the fake screen showed at the last capture.
    QImage screenContent() const { return fake.capture.content; }
    QColor holderBackground() const { return toQColor(f.Picture2.backColor()); }

    // A pen stroke on the canvas through pixel points.
    void stroke(std::initializer_list<QPoint> points, std::int16_t button = kLeftButton) {
        bool first = true;
        for (const QPoint p : points) {
            const float x = static_cast<float>(p.x()) * fake.screen.tppX;
            const float y = static_cast<float>(p.y()) * fake.screen.tppY;
            if (first) {
                f.editor.Picture6_MouseDown(button, 0, x, y);
            } else {
                f.editor.Picture6_MouseMove(button, 0, x, y);
            }
            first = false;
        }
        f.editor.Picture6_MouseUp(button, 0, 0, 0);
    }
    // Types `text` into size box `index` and releases the key.
    void type(int index, const QString& text) {
        f.Text1[index].setText(text);
        f.editor.Text1_KeyUp(static_cast<std::int16_t>(index), 0, 0);
    }
    QSize canvasPx() const { return f.Picture6.imageSizePx(); }

    // Files in the scratch folder.
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    static QImage readImage(const QString& file) {
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }
    static QByteArray readBytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    fakes::FakeServices fake;
    QTemporaryDir dir;
    app::Form1 f;
    // A picture to crop from without a capture.
    QImage surface = fakes::patternImage(QSize(800, 600));

private:
    Services& prepared(const std::function<void(fakes::FakeServices&)>& prepare) {
        fake.application.folder = dir.path();
        if (prepare) {
            prepare(fake);
        }
        return fake.services;
    }
};

// The window loaded and shown, as after start-up. A handler that reports an
// error fails the test.
class StartedWindowTest : public WindowTest {
protected:
    using WindowTest::WindowTest;
    void SetUp() override { start(); }
    void TearDown() override {
        EXPECT_TRUE(fake.messages.errors.empty())
            << "a handler failed: " << fake.messages.errors.front().toStdString();
    }
};

} // namespace zs::test
