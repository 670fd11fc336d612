#include "files/handlers.h"

#include "files/file_names.h"
#include "files/picture_file.h"
#include "files/save_file.h"
#include "form/scroll_bar.h"
#include "formats/bmp.h"
#include "services/errors.h"

#include <QPainter>

#include <optional>
#include <utility>

namespace zs::files {

namespace {

// The screen-wide hourglass for the lifetime of the object.
class BusyPointer {
public:
    explicit BusyPointer(IMousePointer& pointer) : m_pointer(pointer) { m_pointer.setBusy(true); }
    ~BusyPointer() { m_pointer.setBusy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    IMousePointer& m_pointer;
};

[[noreturn]] void failOutOfMemory(QSize size) {
    throw Error(Error::Code::OutOfMemory, "Out of memory: picture of " +
                                              std::to_string(size.width()) + " x " +
                                              std::to_string(size.height()));
}

// A loaded picture as the surface holds it, 32-bit RGB, with transparent
// parts showing the surface's background. Image3 and the surface then share
// its pixels: in any other format the surface would keep a converted copy
// beside the one in Image3.
QImage surfacePicture(QImage picture, const QColor& background) {
    if (picture.isNull() || picture.format() == QImage::Format_RGB32) {
        return picture;
    }
    if (!picture.hasAlphaChannel()) {
        // Converted in place where the formats allow, so the decoded pixels
        // are not held twice on the way either.
        const QSize size = picture.size();
        QImage rgb = std::move(picture).convertToFormat(QImage::Format_RGB32);
        if (rgb.isNull()) {
            failOutOfMemory(size);
        }
        return rgb;
    }
    QImage opaque(picture.size(), QImage::Format_RGB32);
    if (opaque.isNull()) {
        failOutOfMemory(picture.size());
    }
    opaque.fill(background);
    QPainter p(&opaque);
    p.drawImage(0, 0, picture);
    return opaque;
}

} // namespace

Handlers::Handlers(const Controls& controls, Services& services) : c(controls), s(services) {}

void Handlers::Command3_Click(std::int16_t /*Index*/) {
    save(c.Picture2);
}

void Handlers::Command8_Click() {
    save(c.Picture6);
}

void Handlers::save(PictureBox& box) {
    if (!c.Picture2.visible()) {
        return;
    }
    FileDialogRequest request;
    request.title = QStringLiteral("Save file");
    request.filterName = QStringLiteral("Picture");
    request.patterns = {QStringLiteral("*.bmp")};
    request.initialDir = saveDialogFolder(s.application.programFolder());
    request.proposedName = QStringLiteral("filename.bmp");
    // BMP stays the first filter and the default; PNG is lossless and smaller.
    request.moreFilters = {{QStringLiteral("PNG picture"), {QStringLiteral("*.png")}}};
    const std::optional<SaveChoice> chosen = s.dialogs.saveFile(c.Form1.widget(), request);
    if (!chosen) {
        return;
    }
    const std::optional<SaveTarget> target = saveTarget(chosen->path, chosen->filter == 1);
    if (!target) {
        return;
    }
    try {
        if (target->format == SaveFormat::Png) {
            savePngFile(box.image(), target->name);
        } else {
            // The picture's pixels are device pixels: so many to the inch.
            saveBmpFile(box.image(), target->name,
                        formats::dotsPerMeter(s.screen.twipsPerDevicePixelX()));
        }
    } catch (const Error& e) {
        report(e);
    }
}

void Handlers::Command9_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Profil picture");
    request.filterName = QStringLiteral("Images");
    // The dialog matches patterns without regard to case, so these two take
    // .jpg, .JPG, .jpeg, .Jpeg and the rest.
    request.patterns = {QStringLiteral("*.JPG"), QStringLiteral("*.JPEG")};
    const std::optional<QString> chosen = s.dialogs.openFile(c.Form1.widget(), request);
    if (!chosen) {
        // The hourglass shows briefly, as for a chosen file.
        const BusyPointer busy(s.pointer);
        return;
    }
    loadPicture(loadFileName(*chosen));
}

void Handlers::loadPicture(const QString& name) {
    std::optional<BusyPointer> busy(std::in_place, s.pointer);
    QImage picture;
    try {
        picture = surfacePicture(loadPictureFile(name), toQColor(c.FormScreenCapture.backColor()));
    } catch (const Error& e) {
        busy.reset(); // the message is shown with the default pointer
        report(e);
        return;
    }
    // Shown pixel for pixel on the screen: its natural size counts device
    // pixels.
    picture.setDevicePixelRatio(s.screen.devicePixelRatio());
    c.Image3.setPicture(picture);
    c.FormScreenCapture.setWidth(c.Image3.width());
    c.FormScreenCapture.setHeight(c.Image3.height());
    if (c.FormScreenCapture.height() < c.Picture1.height()) {
        c.FormScreenCapture.setHeight(c.Picture1.height());
    }
    if (c.FormScreenCapture.width() < c.Picture1.width()) {
        c.FormScreenCapture.setWidth(c.Picture1.width());
    }
    c.FormScreenCapture.setPicture(c.Image3.picture());
    c.FormScreenCapture.setVisible(true);
    c.HScroll1.setMax(32767);
    c.VScroll1.setMax(32767);
    // From here a failing step is skipped: a range beyond 16 bits keeps 32767.
    skipOnError(
        [&] { c.HScroll1.setMax(scrollRange(c.FormScreenCapture.width(), c.Picture1.width())); });
    skipOnError(
        [&] { c.VScroll1.setMax(scrollRange(c.FormScreenCapture.height(), c.Picture1.height())); });
}

void Handlers::Command12_Click() {
    print(c.Picture2);
}

void Handlers::Command13_Click() {
    print(c.Picture6);
}

void Handlers::print(PictureBox& box) {
    try {
        // As large on paper as on the screen: device pixels to the inch,
        // each axis at its own factor.
        s.printer.printImage(box.image(), QPointF(1440.0 / s.screen.twipsPerDevicePixelX(),
                                                  1440.0 / s.screen.twipsPerDevicePixelY()));
    } catch (const Error& e) {
        report(e);
    }
}

void Handlers::Command15_Click() {
    s.clipboard.clear();
    s.clipboard.setImage(c.Picture6.image());
}

void Handlers::report(const Error& e) {
    s.messages.showError(c.Form1.widget(), c.Form1.caption(),
                         QStringLiteral("%1: %2").arg(QString::fromUtf8(Error::codeName(e.code())),
                                                      QString::fromStdString(e.what())));
}

} // namespace zs::files
