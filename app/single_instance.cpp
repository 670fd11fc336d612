#include "app/single_instance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QTimer>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

namespace zs::app {

Q_LOGGING_CATEGORY(lcInstance, "zentrim.instance", QtWarningMsg)

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");
const QString kTokenKey = QStringLiteral("activation-token");
const QString kStartupKey = QStringLiteral("desktop-startup-id");

// The freedesktop application interface, as launchers and desktop actions
// call it: Activate (a plain start), Open (files), ActivateAction (capture).
class ApplicationAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(SingleInstance* owner)
        : QDBusAbstractAdaptor(owner), m_owner(*owner) {}

public Q_SLOTS: // NOLINT(readability-redundant-access-specifiers): moc needs the slots section
    void Activate(const QVariantMap& platformData) { pass({}, platformData); }
    void Open(const QStringList& uris, const QVariantMap& platformData) {
        // One picture at a time: the surface shows one.
        for (const QString& uri : uris) {
            const QUrl url(uri);
            if (url.isLocalFile()) {
                pass({StartAction::Open, url.toLocalFile()}, platformData);
                return;
            }
        }
        qCWarning(lcInstance) << "no local file among" << uris;
        pass({}, platformData);
    }
    void ActivateAction(const QString& name, const QVariantList& /*parameter*/,
                        const QVariantMap& platformData) {
        if (name != QLatin1String(kCaptureAction)) {
            qCWarning(lcInstance) << "unknown action" << name;
        }
        pass(name == QLatin1String(kCaptureAction) ? StartRequest{StartAction::Capture, {}}
                                                   : StartRequest{},
             platformData);
    }

private:
    void pass(StartRequest request, const QVariantMap& data) {
        m_owner.receive(HandedRequest{std::move(request), data.value(kTokenKey).toString()});
    }
    SingleInstance& m_owner;
};

QVariantMap platformData() {
    QVariantMap data;
    const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    const QString startup = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    if (!token.isEmpty()) {
        data.insert(kTokenKey, token);
    }
    if (!startup.isEmpty()) {
        data.insert(kStartupKey, startup);
    }
    return data;
}

QDBusMessage callFor(const StartRequest& request) {
    const QString service = QLatin1String(kApplicationId);
    const QString path = QLatin1String(kApplicationPath);
    QDBusMessage m;
    switch (request.action) {
    case StartAction::Show:
        m = QDBusMessage::createMethodCall(service, path, kInterface, QStringLiteral("Activate"));
        m << platformData();
        break;
    case StartAction::Capture:
        m = QDBusMessage::createMethodCall(service, path, kInterface,
                                           QStringLiteral("ActivateAction"));
        m << QLatin1String(kCaptureAction) << QVariantList{} << platformData();
        break;
    case StartAction::Open:
        m = QDBusMessage::createMethodCall(service, path, kInterface, QStringLiteral("Open"));
        m << QStringList{QUrl::fromLocalFile(request.file).toString()} << platformData();
        break;
    }
    // A name nobody owns must not start anything through bus activation.
    m.setAutoStartService(false);
    return m;
}

} // namespace

HandOff handOff(const QDBusConnection& bus, const StartRequest& request, int timeoutMs) {
    if (!bus.isConnected()) {
        return HandOff::NoneRuns;
    }
    const QDBusMessage reply = bus.call(callFor(request), QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return HandOff::Delivered;
    }
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return HandOff::NoneRuns;
    }
    qCWarning(lcInstance) << "the running program did not take the request:" << error
                          << reply.errorMessage();
    return HandOff::Failed;
}

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected()) {
        qCDebug(lcInstance) << "no session bus: running on its own";
        return;
    }
    new ApplicationAdaptor(this);
    m_registered = m_bus.registerObject(QLatin1String(kApplicationPath), this,
                                        QDBusConnection::ExportAdaptors);
    if (!m_registered) {
        qCWarning(lcInstance) << "could not serve" << kApplicationPath << "on the session bus";
        return;
    }
    // The bus gives the name to one of two starts at the same moment; the
    // other then hands its request over.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(QLatin1String(kApplicationId),
                                           QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        qCWarning(lcInstance) << "could not ask for" << kApplicationId << reply.error().message();
        return;
    }
    m_primary = reply.value() == QDBusConnectionInterface::ServiceRegistered;
    qCDebug(lcInstance) << (m_primary ? "owns" : "another program owns") << kApplicationId;
}

SingleInstance::~SingleInstance() {
    if (m_registered) {
        m_bus.unregisterObject(QLatin1String(kApplicationPath));
        if (m_primary) {
            m_bus.unregisterService(QLatin1String(kApplicationId));
        }
    }
}

void SingleInstance::setHandler(std::function<void(const HandedRequest&)> handler) {
    m_handler = std::move(handler);
    if (!m_pending.empty()) {
        QTimer::singleShot(0, this, [this] { deliver(); });
    }
}

void SingleInstance::receive(HandedRequest request) {
    qCDebug(lcInstance) << "request" << static_cast<int>(request.request.action)
                        << request.request.file;
    m_pending.push_back(std::move(request));
    // From the event loop: the bus call returns before the window acts.
    if (m_handler) {
        QTimer::singleShot(0, this, [this] { deliver(); });
    }
}

void SingleInstance::deliver() {
    if (!m_handler) {
        return;
    }
    std::vector<HandedRequest> requests;
    requests.swap(m_pending);
    for (const HandedRequest& r : requests) {
        m_handler(r);
    }
}

} // namespace zs::app

#include "single_instance.moc"
