#include "capture/handlers.h"

#include "capture/geometry.h"
#include "form/scroll_bar.h"
#include "services/errors.h"
#include "services/session_kind.h"

namespace zs::capture {

namespace {

// A window still on the screen after the fixed wait is unmapped by the
// program itself; the server takes it off at once, and the wait for that is
// bounded all the same. On an X server the windows it covered then have a
// moment to repaint. A Wayland compositor keeps every window's picture and
// draws the output anew for the copy itself: there one pass of the event
// loop, which sends the unmap ahead of the copy's request, is enough.
constexpr float kLeaveScreenSlice = 0.01f;
constexpr double kLeaveScreenLimit = 1.0; // seconds
constexpr float kRepaintBeneath = 0.1f;

float settleAfterTakingOff() {
    return currentSessionKind() == SessionKind::Wayland ? kLeaveScreenSlice : kRepaintBeneath;
}

} // namespace

Handlers::Handlers(const Controls& controls, const Variables& variables, Routines routines,
                   Services& services)
    : c(controls), v(variables), r(std::move(routines)), s(services) {}

// ---------------------------------------------------------------- capture

void Handlers::capture() {
    const bool surfaceWasVisible = c.FormScreenCapture.visible();
    c.FormScreenCapture.setVisible(true);
    c.Form1.setWindowState(WindowState::Minimized);
    r.Perimene(0.4f);
    // No window manager, or one that does not minimise (a tiling one): the
    // window is still there and would be in the copy.
    if (s.windowOrder.isOnScreen(*c.Form1.widget())) {
        c.Form1.takeOffScreen();
        const double giveUp = s.pump.now() + kLeaveScreenLimit;
        while (s.windowOrder.isOnScreen(*c.Form1.widget()) && s.pump.now() < giveUp) {
            r.Perimene(kLeaveScreenSlice);
        }
        r.Perimene(settleAfterTakingOff());
    }

    // Copied before the surface changes, so that a failed copy leaves the
    // surface as it was.
    const CaptureResult shot = s.capture.grabPrimary(s.pump);
    if (!shot.ok()) {
        c.FormScreenCapture.setVisible(surfaceWasVisible);
        c.Form1.setWindowState(WindowState::Maximized);
        r.bringToFront();
        s.messages.showError(c.Form1.widget(), c.Form1.caption(),
                             QStringLiteral("The screen could not be copied.\n%1\n"
                                            "The capture surface is as it was.")
                                 .arg(shot.failure()));
        return;
    }

    // The copy is the primary screen in device pixels, and the surface is as
    // large: sized by the copy rather than by Qt's screen size times the
    // ratio, which some compositors report in device pixels already. Sized
    // first, so that the persistent image has the copy's size when the copy
    // lands at its top-left.
    const QSize copied = shot.image().size();
    const float screenWidth = static_cast<float>(copied.width()) * s.screen.twipsPerDevicePixelX();
    const float screenHeight =
        static_cast<float>(copied.height()) * s.screen.twipsPerDevicePixelY();
    c.FormScreenCapture.setWidth(screenWidth);
    c.FormScreenCapture.setHeight(screenHeight);
    c.FormScreenCapture.setPicture(shot.image());
    // The picture shares the image's pixels (and the copy's, when the sizes
    // match): one buffer for all three.
    c.FormScreenCapture.setPicture(c.FormScreenCapture.image());

    // A range that does not fit 16 bits leaves the bar's previous range, as
    // the layout does; the maximising below computes both again anyway.
    skipOnError(
        [&] { c.HScroll1.setMax(scrollRange(c.FormScreenCapture.width(), c.Picture1.width())); });
    skipOnError(
        [&] { c.VScroll1.setMax(scrollRange(c.FormScreenCapture.height(), c.Picture1.height())); });

    c.Form1.setWindowState(WindowState::Maximized);
    r.bringToFront();
}

void Handlers::Command18_Click() {
    r.Command1_ClickCapture();
}

// ---------------------------------------------------------------- crop

void Handlers::crop() {
    const QImage source = c.FormScreenCapture.picture();
    const auto paintRegion = [&](PictureBox& box) {
        box.paintPicture(source, 0, 0, c.Shape1.width(), c.Shape1.height(), c.Shape1.left(),
                         c.Shape1.top(), c.Shape1.width(), c.Shape1.height());
    };

    c.Picture2.setPicture(QImage());
    c.Picture2.setWidth(c.Shape1.width());
    c.Picture2.setHeight(c.Shape1.height());
    paintRegion(c.Picture2);

    c.Picture6.setPicture(QImage());
    c.Picture6.setWidth(c.Picture2.width());
    c.Picture6.setHeight(c.Picture2.height());
    paintRegion(c.Picture6);

    s.clipboard.clear();
    // A region under one pixel gives an empty image, which leaves the
    // clipboard empty.
    s.clipboard.setImage(c.Picture2.image());
}

// ---------------------------------------------------------------- selection

void Handlers::FormScreenCapture_MouseDown(std::int16_t /*Button*/, std::int16_t /*Shift*/, float X,
                                           float Y) {
    c.Frame3.setVisible(false);
    c.Picture2.setVisible(false);
    c.Shape1.setWidth(1);
    c.Shape1.setHeight(1);
    v.SelStartX = X;
    v.SelStartY = Y;
    c.Shape1.setLeft(X);
    c.Shape1.setTop(Y);
    c.Shape1.setVisible(true);
    c.Label2.setLeft(X + 50);
    c.Label2.setTop(Y + 50);
    c.Label2.setVisible(true);
}

void Handlers::FormScreenCapture_MouseMove(std::int16_t Button, std::int16_t /*Shift*/, float X,
                                           float Y) {
    if (Button == 0) {
        c.Line1_0.setX1(X);
        c.Line1_0.setX2(X);
        c.Line1_1.setY1(Y);
        c.Line1_1.setY2(Y);
    }
    if (Button != kLeftButton) {
        return;
    }

    // The drag step: every failing step is skipped, a distance whose step
    // failed stays 0.
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    skipOnError([&] { dx = dragDistance(X, v.SelStartX); });
    skipOnError([&] { dy = dragDistance(Y, v.SelStartY); });
    if (c.Check1.value() == 1) {
        lockSquare(dx, dy);
    }
    skipOnError([&] { c.Shape1.setWidth(static_cast<float>(absInt32(dx))); });
    skipOnError([&] { c.Shape1.setHeight(static_cast<float>(absInt32(dy))); });
    skipOnError([&] {
        // In the picture's (device) pixels, the pixels the crop will have.
        c.Label2.setCaption(
            readout(dx, dy, s.screen.twipsPerDevicePixelX(), s.screen.twipsPerDevicePixelY()));
    });
}

void Handlers::FormScreenCapture_MouseUp(std::int16_t /*Button*/, std::int16_t /*Shift*/,
                                         float /*X*/, float /*Y*/) {
    c.Picture2.setVisible(true);
    r.Command1_ClickSaveCrop();
    c.Frame3.setVisible(true);
}

void Handlers::Command4_Click() {
    if (!c.Picture2.visible()) {
        return;
    }
    c.Shape1.setLeft(0);
    c.Shape1.setTop(0);
    c.Shape1.setWidth(c.FormScreenCapture.width());
    c.Shape1.setHeight(c.FormScreenCapture.height());
    c.Shape1.setVisible(true);
    c.Picture2.setVisible(true);
    r.Command1_ClickSaveCrop();
}

// ---------------------------------------------------------------- arrow pad

void Handlers::Image2_MouseDown(std::int16_t Index, std::int16_t /*Button*/, std::int16_t /*Shift*/,
                                float /*X*/, float /*Y*/) {
    c.Timer1.setEnabled(true);
    switch (Index) {
    case 0:
        v.NudgeY = -1;
        break;
    case 1:
        v.NudgeX = 1;
        break;
    case 2:
        v.NudgeY = 1;
        break;
    case 3:
        v.NudgeX = -1;
        break;
    default:
        break;
    }
}

void Handlers::Image2_DblClick(std::int16_t Index) {
    Image2_MouseDown(Index, 0, 0, 0, 0);
}

void Handlers::Image2_MouseUp(std::int16_t /*Index*/, std::int16_t /*Button*/,
                              std::int16_t /*Shift*/, float /*X*/, float /*Y*/) {
    v.NudgeY = 0;
    v.NudgeX = 0;
    c.Timer1.setEnabled(false);
    c.Picture2.setVisible(true);
    r.Command1_ClickSaveCrop();
}

void Handlers::Timer1_Timer() {
    c.Shape1.setTop(c.Shape1.top() + static_cast<float>(10 * v.NudgeY));
    c.Shape1.setLeft(c.Shape1.left() + static_cast<float>(10 * v.NudgeX));
    c.Label2.setTop(c.Shape1.top() + 50);
    c.Label2.setLeft(c.Shape1.left() + 50);
}

// ---------------------------------------------------------------- scrolling

void Handlers::HScroll1_Change() {
    c.FormScreenCapture.setLeft(surfaceOffset(c.HScroll1.value()));
}
void Handlers::HScroll1_Scroll() {
    c.FormScreenCapture.setLeft(surfaceOffset(c.HScroll1.value()));
}
void Handlers::VScroll1_Change() {
    c.FormScreenCapture.setTop(surfaceOffset(c.VScroll1.value()));
}
void Handlers::VScroll1_Scroll() {
    c.FormScreenCapture.setTop(surfaceOffset(c.VScroll1.value()));
}

void Handlers::Command2_Click() {
    c.FormScreenCapture.setLeft(0);
    c.FormScreenCapture.setTop(0);
    c.HScroll1.setValue(0);
    c.VScroll1.setValue(0);
}

} // namespace zs::capture
