#include "services/qt/x11_connection.h"

#include <QGuiApplication>

namespace zs::x11 {

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_connection_t* connection() {
    if (!onX11()) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

} // namespace zs::x11
