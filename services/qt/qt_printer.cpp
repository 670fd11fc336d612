#include "services/qt/qt_services.h"

#include "services/errors.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <string>

namespace zs {

QRectF printedRect(QSize imagePx, int printerDpi, QPointF dotsPerInch) {
    const double kx = printerDpi / (dotsPerInch.x() > 0 ? dotsPerInch.x() : 96.0);
    const double ky = printerDpi / (dotsPerInch.y() > 0 ? dotsPerInch.y() : 96.0);
    return QRectF(0, 0, imagePx.width() * kx, imagePx.height() * ky);
}

void QtPrinter::printImage(const QImage& image, QPointF dotsPerInch) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        throw Error(Error::Code::Device, "No default printer is installed");
    }
    const std::string name = info.printerName().toStdString();
    // The default printer with its own settings: page, orientation, copies
    // and colour stay as the printer has them.
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setFullPage(false); // the origin is the printable area's corner
    printer.setDocName(QStringLiteral("Zentrim Screen"));
    if (printer.printerState() == QPrinter::Error) {
        throw Error(Error::Code::Device, "The printer \"" + name + "\" is not available");
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw Error(Error::Code::Device, "The printer \"" + name + "\" could not be opened");
    }
    // At its natural size, whatever the printer's own resolution. What lies
    // past the page is cut off.
    if (!image.isNull()) {
        painter.drawImage(printedRect(image.size(), printer.resolution(), dotsPerInch), image);
    }
    // QPainter::end() reports success even when the job failed; the
    // printer's state tells.
    painter.end();
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        throw Error(Error::Code::Device, "The print job on \"" + name + "\" failed");
    }
}

} // namespace zs
