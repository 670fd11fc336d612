#include "screen/wayland_frame.h"

#include <QTransform>

#include <wayland-client-protocol.h>

#include <cstring>

namespace zs {

namespace {

// Bytes per pixel of the formats qtFormatOfShm() reads.
int bytesPerPixel(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGB16:
        return 2;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return 3;
    case QImage::Format_Invalid:
        return 0;
    default:
        return 4;
    }
}

// Sets the alpha byte of every pixel: compositors leave the padding byte of
// X formats undefined and may hand out a transparent A one for an opaque screen.
void makeOpaque(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] |= 0xff000000U;
        }
    }
}

// Undoes a wl_output transform: the compositor turned the output's picture
// counter-clockwise by 90 degrees per step (after flipping it about the
// vertical axis, for the flipped ones) to fill the output's buffer.
QImage undoTransform(const QImage& buffer, int transform) {
    const int quarterTurns = transform & 3;
    const bool flipped = (transform & 4) != 0;
    QImage turned = buffer;
    if (quarterTurns != 0) {
        // Qt's y axis points down, so a positive angle turns clockwise.
        turned = buffer.transformed(QTransform().rotate(90.0 * quarterTurns));
    }
    return flipped ? turned.mirrored(true, false) : turned;
}

} // namespace

QImage::Format qtFormatOfShm(std::uint32_t format) {
    // wl_shm codes name the bits of a little-endian word, high to low; Qt's
    // 8888 formats name bytes in memory order, its RGB32 a native word.
    switch (format) {
    case WL_SHM_FORMAT_ARGB8888:
    case WL_SHM_FORMAT_XRGB8888:
        return QImage::Format_RGB32;
    case WL_SHM_FORMAT_ABGR8888:
    case WL_SHM_FORMAT_XBGR8888:
        return QImage::Format_RGBX8888;
    case WL_SHM_FORMAT_XRGB2101010:
    case WL_SHM_FORMAT_ARGB2101010:
        return QImage::Format_RGB30;
    case WL_SHM_FORMAT_XBGR2101010:
    case WL_SHM_FORMAT_ABGR2101010:
        return QImage::Format_BGR30;
    case WL_SHM_FORMAT_RGB565:
        return QImage::Format_RGB16;
    case WL_SHM_FORMAT_BGR888: // bytes R, G, B
        return QImage::Format_RGB888;
    case WL_SHM_FORMAT_RGB888: // bytes B, G, R
        return QImage::Format_BGR888;
    default:
        return QImage::Format_Invalid;
    }
}

bool shmFrameIsReadable(const ShmFrame& frame) {
    const int bpp = bytesPerPixel(qtFormatOfShm(frame.format));
    // Rows start on 32-bit boundaries, as pixman and Qt read them.
    return bpp > 0 && frame.width > 0 && frame.height > 0 && frame.stride % 4 == 0 &&
           qint64(frame.stride) >= qint64(frame.width) * bpp;
}

QImage frameImage(const ShmFrame& frame, bool yInverted, int outputTransform) {
    if (!shmFrameIsReadable(frame) || frame.data == nullptr) {
        return {};
    }
    const QImage::Format format = qtFormatOfShm(frame.format);
    QImage copy;
    if (format == QImage::Format_RGB32) {
        // The usual case: one pass that copies and sets the alpha byte.
        copy = QImage(frame.width, frame.height, QImage::Format_RGB32);
        if (copy.isNull()) {
            return {};
        }
        for (int y = 0; y < frame.height; ++y) {
            const auto* src =
                reinterpret_cast<const quint32*>(frame.data + qsizetype(y) * frame.stride);
            auto* dst = reinterpret_cast<quint32*>(copy.scanLine(y));
            for (int x = 0; x < frame.width; ++x) {
                dst[x] = src[x] | 0xff000000U;
            }
        }
    } else {
        const QImage view(frame.data, frame.width, frame.height, frame.stride, format);
        copy = view.convertToFormat(QImage::Format_RGB32);
        if (copy.isNull()) {
            return {};
        }
        makeOpaque(copy);
    }
    if (yInverted) {
        copy = copy.mirrored(false, true);
    }
    return (outputTransform & 7) == 0 ? copy : undoTransform(copy, outputTransform & 7);
}

} // namespace zs
