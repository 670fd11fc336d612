#pragma once

#include "fakes.h"
#include "form1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zs::test {

// The real window on fake services, not shown, with a scratch folder as the
// program's folder.
class FilesTest : public ::testing::Test {
protected:
    FilesTest() { fake.application.folder = dir.path(); }

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

    QString path(const QString& name) const { return dir.filePath(name); }

    static QImage readImage(const QString& file) {
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }

    static QByteArray readBytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    fakes::FakeServices fake;
    app::Form1 f{fake.services};
    QTemporaryDir dir;
    QImage surface = fakes::patternImage(QSize(400, 300));
};

} // namespace zs::test
