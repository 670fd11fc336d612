#include "app/windowless_stay.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>

namespace zs::app {

std::optional<HandedRequest> stayWithCrop(SingleInstance& instance,
                                          const std::function<bool()>& holdsCrop) {
    if (!holdsCrop()) {
        return std::nullopt;
    }
    std::optional<HandedRequest> next;
    QEventLoop loop;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &loop,
                     [&](QClipboard::Mode mode) {
                         if (mode == QClipboard::Clipboard && !holdsCrop()) {
                             loop.quit();
                         }
                     });
    instance.setHandler([&](const HandedRequest& request) {
        next = request;
        loop.quit();
    });
    loop.exec();
    instance.setHandler(nullptr); // later requests wait for the window's handler
    return next;
}

} // namespace zs::app
