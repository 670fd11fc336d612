#pragma once

#include <QSize>
#include <QString>

#include <optional>

// What a Wayland compositor says about its outputs' real pixels, asked on a
// connection of our own. Qt's screen geometry comes from xdg-output's
// logical size, which not every compositor keeps in the same units (mutter
// in its physical layout mode gives device pixels there while Qt still
// divides by the scale), so the size of the picture an output shows is read
// from its current mode instead.
namespace zs {

// An output's size in device pixels as it is shown: its current mode, turned
// by its wl_output.transform (a quarter turn swaps width and height).
QSize outputDeviceSize(QSize mode, int transform);

// The device size of the output called `name` (wl_output's name, or
// xdg-output's where the compositor's wl_output is older than version 4) on
// the compositor of $WAYLAND_DISPLAY; nothing when there is no compositor,
// no such output, no current mode, or no answer within `timeoutSeconds`.
std::optional<QSize> waylandOutputDeviceSize(const QString& name, double timeoutSeconds = 1);

} // namespace zs
