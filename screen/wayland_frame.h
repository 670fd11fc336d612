#pragma once

#include <QImage>

#include <cstdint>

// Turning a frame a Wayland compositor copied into shared memory into the
// picture the output shows.
namespace zs {

// A frame in shared memory as the compositor describes it: `format` is a
// wl_shm format code, `stride` the bytes from one row to the next.
struct ShmFrame {
    std::uint32_t format = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    const uchar* data = nullptr;
};

// The Qt format that reads memory of wl_shm `format` as it lies (the alpha
// or padding byte aside); Format_Invalid for formats this program does not read.
QImage::Format qtFormatOfShm(std::uint32_t format);

// Whether `frame` describes a buffer that can be read: a known format, a
// positive size, and a stride that holds a row and is a multiple of 4.
bool shmFrameIsReadable(const ShmFrame& frame);

// The frame as the output shows it, as opaque Format_RGB32: rows flipped
// back when the compositor says they are stored bottom-up (`yInverted`), and
// turned back from the output's transform (a wl_output.transform value),
// which the compositor applied when it drew into the output's buffer. Null
// when the frame is not readable.
QImage frameImage(const ShmFrame& frame, bool yInverted, int outputTransform);

} // namespace zs
