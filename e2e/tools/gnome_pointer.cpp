// gnome-pointer CONNECTOR: a mouse for a headless GNOME Shell.
//
// mutter started headless has no input devices. Its remote-desktop D-Bus
// interface gives a client a virtual one: this helper opens a remote-desktop
// session on the session bus, links a screen-cast session to it that records
// the monitor CONNECTOR (e.g. Meta-0; absolute motion is given in a stream's
// coordinates, the monitor's device pixels), starts it, gives the seat a
// keyboard (below), and then moves and
// clicks as told, one command a line on standard input, as wl-pointer-device
// does on wlroots:
//
//   move X Y         to device pixel X,Y of the monitor
//   press [BUTTON]   BUTTON 1 (left, the default), 2 (middle) or 3 (right)
//   release [BUTTON]
//
// After "ready" it prints "done N" once mutter has accepted the N-th command
// (its method call returned) and "error N ..." for one that failed. It ends
// at the end of its input or on SIGTERM; mutter closes the sessions when the
// helper's bus connection goes away.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QVariantMap>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const QString kMutterRemoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString kMutterScreenCast = QStringLiteral("org.gnome.Mutter.ScreenCast");

// Linux input event codes of the three buttons.
constexpr int kButtonCodes[] = {0x110, 0x112, 0x111}; // BTN_LEFT, BTN_MIDDLE, BTN_RIGHT
constexpr uint kLeftShift = 42;                       // KEY_LEFTSHIFT

class Mutter {
public:
    explicit Mutter(QDBusConnection bus) : m_bus(std::move(bus)) {}

    // Calls METHOD and returns its reply; an error reply sets `error`.
    QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& args = {}) {
        QDBusMessage msg = QDBusMessage::createMethodCall(service, path, interface, method);
        msg.setArguments(args);
        QDBusMessage reply = m_bus.call(msg, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ErrorMessage && error.isEmpty()) {
            error = method + QStringLiteral(": ") + reply.errorMessage();
        }
        return reply;
    }

    QString pathOf(const QDBusMessage& reply) const {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return {};
        }
        return qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
    }

    // Opens the linked sessions and starts them; false with `error` set.
    bool open(const QString& connector) {
        m_session =
            pathOf(call(kMutterRemoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                        kMutterRemoteDesktop, QStringLiteral("CreateSession")));
        if (m_session.isEmpty()) {
            return false;
        }
        const QDBusMessage idReply =
            call(kMutterRemoteDesktop, m_session, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"),
                 {kMutterRemoteDesktop + QStringLiteral(".Session"), QStringLiteral("SessionId")});
        if (idReply.type() != QDBusMessage::ReplyMessage || idReply.arguments().isEmpty()) {
            return false;
        }
        const QString sessionId =
            qvariant_cast<QDBusVariant>(idReply.arguments().constFirst()).variant().toString();
        const QString cast =
            pathOf(call(kMutterScreenCast, QStringLiteral("/org/gnome/Mutter/ScreenCast"),
                        kMutterScreenCast, QStringLiteral("CreateSession"),
                        {QVariantMap{{QStringLiteral("remote-desktop-session-id"), sessionId}}}));
        if (cast.isEmpty()) {
            return false;
        }
        m_stream =
            pathOf(call(kMutterScreenCast, cast, kMutterScreenCast + QStringLiteral(".Session"),
                        QStringLiteral("RecordMonitor"), {connector, QVariantMap{}}));
        if (m_stream.isEmpty()) {
            return false;
        }
        const QString session = kMutterRemoteDesktop + QStringLiteral(".Session");
        call(kMutterRemoteDesktop, m_session, session, QStringLiteral("Start"));
        // mutter makes the virtual keyboard on its first key, and without a
        // keyboard the seat has no keyboard focus, so no client may set the
        // clipboard (a desktop with a real keyboard always has one): one
        // tap of Shift gives the seat its keyboard.
        for (const bool pressed : {true, false}) {
            call(kMutterRemoteDesktop, m_session, session, QStringLiteral("NotifyKeyboardKeycode"),
                 {QVariant::fromValue(kLeftShift), pressed});
        }
        return error.isEmpty();
    }

    // Carries out one command line; false with `error` set when it fails.
    bool run(const std::string& line) {
        error.clear();
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        const QString session = kMutterRemoteDesktop + QStringLiteral(".Session");
        if (verb == "move") {
            double x = -1;
            double y = -1;
            if (!(in >> x >> y) || x < 0 || y < 0) {
                error = QStringLiteral("move needs X Y");
                return false;
            }
            call(kMutterRemoteDesktop, m_session, session,
                 QStringLiteral("NotifyPointerMotionAbsolute"), {m_stream, x, y});
        } else if (verb == "press" || verb == "release") {
            int button = 1;
            if (!(in >> button)) {
                button = 1;
            }
            if (button < 1 || button > 3) {
                error = QStringLiteral("no button %1").arg(button);
                return false;
            }
            call(kMutterRemoteDesktop, m_session, session, QStringLiteral("NotifyPointerButton"),
                 {kButtonCodes[button - 1], verb == "press"});
        } else {
            error = QStringLiteral("unknown command");
            return false;
        }
        return error.isEmpty();
    }

    QString error;

private:
    QDBusConnection m_bus;
    QString m_session;
    QString m_stream;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gnome-pointer CONNECTOR\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "gnome-pointer: no D-Bus session\n");
        return 1;
    }
    Mutter mutter(bus);
    if (!mutter.open(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "gnome-pointer: %s\n", qPrintable(mutter.error));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    long count = 0;
    for (std::string line; std::getline(std::cin, line);) {
        ++count;
        if (mutter.run(line)) {
            std::printf("done %ld\n", count);
        } else {
            std::printf("error %ld %s\n", count, qPrintable(mutter.error));
        }
        std::fflush(stdout);
    }
    return 0;
}
