#pragma once

#include "app/command_line.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

// One program per user session: the first start owns a well-known name on
// the session bus (the application's id) and serves the standard
// org.freedesktop.Application interface there; a later start hands its
// request to it and ends.
namespace zs::app {

// The application's id: the AppStream id, and the name on the bus.
inline constexpr char kApplicationId[] = "org.example.ZentrimScreen";
// The object path that the id gives by the freedesktop convention.
inline constexpr char kApplicationPath[] = "/org/example/ZentrimScreen";
// The desktop action of the menu entry that captures.
inline constexpr char kCaptureAction[] = "capture";

// A request as it reaches the running program, with the starting process's
// permission to take the focus.
struct HandedRequest {
    StartRequest request;
    QString activationToken; // Wayland xdg-activation, may be empty
};

// How a hand-off went.
enum class HandOff {
    Delivered, // the running program took the request
    NoneRuns,  // no program owns the name (or there is no session bus)
    Failed,    // one does, but it did not answer
};

// Sends `request` to the program that owns the name, on `bus`, with the
// activation token and the X11 startup id of this process's environment, as
// the interface's platform data. Waits at
// most `timeoutMs` for the answer. Needs a QCoreApplication.
HandOff handOff(const QDBusConnection& bus, const StartRequest& request, int timeoutMs);

// The running program's side. Registers the object first and then asks for
// the name, so that a start that loses the race for the name can reach the
// winner at once. Requests that arrive are kept until a handler is set, then
// passed to it from the event loop, never from inside the bus call.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // `bus` may be disconnected: the program then runs on its own.
    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);
    ~SingleInstance() override;
    Q_DISABLE_COPY(SingleInstance)

    // True when this process owns the name, or there is no bus to own it on.
    bool primary() const { return m_primary; }
    const QDBusConnection& bus() const { return m_bus; }

    void setHandler(std::function<void(const HandedRequest&)> handler);

    // For the adaptor: a request that arrived.
    void receive(HandedRequest request);

private:
    void deliver();

    QDBusConnection m_bus;
    bool m_primary = true;
    bool m_registered = false;
    std::function<void(const HandedRequest&)> m_handler;
    std::vector<HandedRequest> m_pending;
};

} // namespace zs::app
