#include "editor/handlers.h"

#include "editor/sizing.h"
#include "form/numbers.h"
#include "services/errors.h"

namespace zs::editor {

namespace {

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

} // namespace

// The editor asks no service of its own; it takes them as every subsystem does.
Handlers::Handlers(const Controls& controls, const Variables& variables, Services& /*services*/)
    : c(controls), v(variables) {}

// ---------------------------------------------------------------- the panel

void Handlers::Command5_Click() {
    if (!c.Picture2.visible()) {
        return;
    }
    c.Picture6.setDrawWidth(3);
    // The crop's size in its own (device) pixels.
    const float tx = c.Form1.twipsPerImagePixelX();
    const float ty = c.Form1.twipsPerImagePixelY();
    c.Label4.setCaption(formatWhole(c.Shape1.width() / tx));
    c.Label6.setCaption(formatWhole(c.Shape1.height() / ty));
    // Each write raises the apply action at once, the first while the height
    // box still holds its old text.
    c.Text1_0.setText(formatWhole(c.Shape1.width() / tx));
    c.Text1_1.setText(formatWhole(c.Shape1.height() / ty));
    c.Frame4.setLeft(0);
    c.Frame4.setTop(0);
    c.Frame4.setWidth(c.Form1.width());
    c.Frame4.setHeight(c.Form1.height());
    c.Frame4.setVisible(true);
}

void Handlers::Command6_Click() {
    c.Frame4.setVisible(false);
}

void Handlers::Command16_Click() {
    c.Frame9.setVisible(!c.Frame9.visible());
}

void Handlers::Command14_Click() {
    c.Picture6.setPicture(QImage());
    c.Picture6.setWidth(c.Picture2.width());
    c.Picture6.setHeight(c.Picture2.height());
    c.Picture6.paintPicture(c.FormScreenCapture.picture(), 0, 0, c.Shape1.width(),
                            c.Shape1.height(), c.Shape1.left(), c.Shape1.top(), c.Shape1.width(),
                            c.Shape1.height());
    c.Text1_0.setText(c.Label4.caption());
    c.Text1_1.setText(c.Label6.caption());
}

// ---------------------------------------------------------------- resizing

void Handlers::Text1_Change(std::int16_t /*Index*/) {
    Command7_Click();
}

void Handlers::Text1_KeyUp(std::int16_t Index, std::int16_t /*KeyCode*/, std::int16_t /*Shift*/) {
    TextBox* other = nullptr;
    std::int32_t value = 0;
    try {
        if (Index == 0) {
            value = linkedSize(c.Text1_0.text(), c.Label4.caption(), c.Label6.caption());
            other = &c.Text1_1;
        } else if (Index == 1) {
            value = linkedSize(c.Text1_1.text(), c.Label6.caption(), c.Label4.caption());
            other = &c.Text1_0;
        }
    } catch (const Error&) {
        return; // the other box stays as it is
    }
    if (other != nullptr) {
        other->setText(QString::number(value));
    }
}

void Handlers::Command7_Click() {
    // Sizes typed in the picture's (device) pixels.
    const float tx = c.Form1.twipsPerImagePixelX();
    const float ty = c.Form1.twipsPerImagePixelY();
    // Each step stands alone: a failing one is skipped and the next runs.
    skipOnError([&] {
        const float width = static_cast<float>(readInt16(c.Text1_0.text())) * tx;
        refuseOversize(QSize(twipsToPx(width, tx), c.Picture6.imageSizePx().height()));
        c.Picture6.setWidth(width);
    });
    skipOnError([&] {
        const float height = static_cast<float>(readInt16(c.Text1_1.text())) * ty;
        refuseOversize(QSize(c.Picture6.imageSizePx().width(), twipsToPx(height, ty)));
        c.Picture6.setHeight(height);
    });
    skipOnError([&] { c.Picture6.setPicture(QImage()); });
    skipOnError([&] {
        c.Picture6.paintPicture(c.FormScreenCapture.picture(), 0, 0, c.Picture6.width(),
                                c.Picture6.height(), c.Shape1.left(), c.Shape1.top(),
                                c.Shape1.width(), c.Shape1.height());
    });
}

void Handlers::refuseOversize(QSize px) {
    // A negative size is left to the canvas, which refuses it itself.
    if (px.width() >= 0 && px.height() >= 0 && !canvasSizeAllowed(px)) {
        throw Error(Error::Code::InvalidValue,
                    "Invalid property value: a canvas of " + std::to_string(px.width()) + " x " +
                        std::to_string(px.height()) + " pixels is beyond the limit");
    }
}

// ---------------------------------------------------------------- the pen

void Handlers::Picture6_MouseDown(std::int16_t /*Button*/, std::int16_t /*Shift*/, float X,
                                  float Y) {
    v.PenDown = kTrue;
    v.PenX = roundToInt32(X);
    v.PenY = roundToInt32(Y);
}

void Handlers::Picture6_MouseMove(std::int16_t /*Button*/, std::int16_t /*Shift*/, float X,
                                  float Y) {
    if (v.PenDown == kFalse) {
        return;
    }
    const Color color = c.Shape6.backColor();
    c.Picture6.line(static_cast<float>(v.PenX), static_cast<float>(v.PenY), X, Y, color);
    v.PenX = roundToInt32(X);
    v.PenY = roundToInt32(Y);
}

void Handlers::Picture6_MouseUp(std::int16_t /*Button*/, std::int16_t /*Shift*/, float /*X*/,
                                float /*Y*/) {
    v.PenDown = kFalse;
}

void Handlers::Picture10_Click(std::int16_t Index) {
    c.Shape6.setBackColor(c.Picture10[Index].backColor());
}

void Handlers::Picture11_Click(std::int16_t Index) {
    c.Option1[Index].setValue(true);
}

void Handlers::Option1_Click(std::int16_t Index) {
    switch (Index) {
    case 0:
        c.Picture6.setDrawWidth(1);
        break;
    case 1:
        c.Picture6.setDrawWidth(3);
        break;
    case 2:
        c.Picture6.setDrawWidth(6);
        break;
    default:
        break;
    }
}

} // namespace zs::editor
