#include "qt_services.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace zs {

void QtClipboard::clear() {
    QGuiApplication::clipboard()->clear();
}

void QtClipboard::setImage(const QImage& image) {
    if (image.isNull()) {
        QGuiApplication::clipboard()->clear();
        return;
    }
    // Qt offers a QImage in every format its image writers know, image/png
    // and image/bmp among them, converting only when another program asks.
    auto* data = new QMimeData; // owned by the clipboard
    data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace zs
