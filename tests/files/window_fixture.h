#pragma once

#include "app/form1.h"
#include "services/fakes/fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zs::test {

// The real window on fake services, not shown, with a scratch folder as the
// program's folder. Shared by the files and the editor tests.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() { fake.application.folder = dir.path(); }

    // Puts `picture` on the capture surface and crops the pixel rectangle
    // `px` of it, as a finished selection does.
    void cropOf(const QImage& picture, QRect px) {
        const float tx = fake.screen.tppX;
        const float ty = fake.screen.tppY;
        f.FormScreenCapture.setWidth(static_cast<float>(picture.width()) * tx);
        f.FormScreenCapture.setHeight(static_cast<float>(picture.height()) * ty);
        f.FormScreenCapture.setPicture(picture);
        f.FormScreenCapture.setVisible(true);
        f.Shape1.move(static_cast<float>(px.x()) * tx, static_cast<float>(px.y()) * ty,
                      static_cast<float>(px.width()) * tx, static_cast<float>(px.height()) * ty);
        f.Command1_Click(3);
        f.Picture2.setVisible(true);
    }

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
    app::Form1 f{fake.services};
    QTemporaryDir dir;
    QImage surface = fakes::patternImage(QSize(800, 600));
};

} // namespace zs::test
