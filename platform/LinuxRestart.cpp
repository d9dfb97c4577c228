#include "platform/LinuxRestart.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantList>

#include <cstdio>
#include <vector>

namespace platform {
namespace {

std::int32_t requestReboot(const QDBusConnection& bus) {
    if (!bus.isConnected()) return LinuxRestart::procNotFound;
    QDBusMessage reboot = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Reboot"));
    reboot << true;  // interactive
    reboot.setAutoStartService(true);
    if (!bus.send(reboot)) return LinuxRestart::connectionInvalid;
    // The program ends right after this; a round trip to the bus itself comes back only once
    // everything queued before it, the request included, has left the process.
    bus.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
        QDBus::Block, 2000);
    return 0;
}

// What a desktop's own restart item asks its session manager.
struct SessionRestartCall {
    SessionManager manager;
    QString service, path, interface, method;
    QVariantList arguments;
};

// In the order they are tried.
std::vector<SessionRestartCall> sessionRestartCalls() {
    return {
        {SessionManager::Gnome,
         QStringLiteral("org.gnome.SessionManager"),
         QStringLiteral("/org/gnome/SessionManager"),
         QStringLiteral("org.gnome.SessionManager"),
         QStringLiteral("Reboot"),
         {}},
        // Plasma 5.25 and later.
        {SessionManager::Kde,
         QStringLiteral("org.kde.Shutdown"),
         QStringLiteral("/Shutdown"),
         QStringLiteral("org.kde.Shutdown"),
         QStringLiteral("logoutAndReboot"),
         {}},
        // Older Plasma: confirm 1 (always ask, whatever the user's setting), type 1 (reboot),
        // mode 3 (ask the user when other sessions are still active; 2 would end them).
        {SessionManager::Kde,
         QStringLiteral("org.kde.ksmserver"),
         QStringLiteral("/KSMServer"),
         QStringLiteral("org.kde.KSMServerInterface"),
         QStringLiteral("logout"),
         {1, 1, 3}},
        // allow_save: the programs are asked to save before the session ends.
        {SessionManager::Xfce,
         QStringLiteral("org.xfce.SessionManager"),
         QStringLiteral("/org/xfce/SessionManager"),
         QStringLiteral("org.xfce.Session.Manager"),
         QStringLiteral("Restart"),
         {true}},
    };
}

bool hasOwner(const QDBusConnection& bus, const QString& service) {
    // NameHasOwner: asking it never starts the service.
    const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(service);
    return owned.isValid() && owned.value();
}

bool accepted(const QDBusConnection& bus, const SessionRestartCall& call) {
    QDBusMessage request = QDBusMessage::createMethodCall(call.service, call.path, call.interface, call.method);
    request.setArguments(call.arguments);
    request.setAutoStartService(false);  // an owner that just left is not replaced by a new one
    return bus.call(request, QDBus::Block, LinuxRestart::sessionReplyTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

SessionManager askSession(const QDBusConnection& bus, bool logOnly) {
    if (!bus.isConnected() || !bus.interface()) {
        if (logOnly) std::fputs("no session bus: no session manager to ask to restart\n", stderr);
        return SessionManager::None;
    }
    for (const SessionRestartCall& call : sessionRestartCalls()) {
        if (!hasOwner(bus, call.service)) continue;
        if (logOnly) {
            std::fprintf(stderr, "restart through the session manager %s (not sent in the sample run)\n",
                         qPrintable(call.service));
            return call.manager;
        }
        if (accepted(bus, call)) return call.manager;
    }
    if (logOnly) std::fputs("no session manager answers on the session bus\n", stderr);
    return SessionManager::None;
}

}  // namespace

LinuxRestart::LinuxRestart(bool logOnly, QString busAddress, QString sessionBusAddress)
    : m_logOnly(logOnly), m_busAddress(std::move(busAddress)), m_sessionBusAddress(std::move(sessionBusAddress)) {}

std::int32_t LinuxRestart::sendToSystemProcess(std::uint32_t eventClass, std::uint32_t eventId) {
    if (eventClass != kCoreEventClass || eventId != kAERestart) return errAEEventNotHandled;
    if (m_logOnly) {
        std::fputs("restart requested (not sent in the sample run)\n", stderr);
        return 0;
    }
    if (m_busAddress.isEmpty()) return requestReboot(QDBusConnection::systemBus());
    const QString name = QStringLiteral("platform-restart");
    const std::int32_t result = requestReboot(QDBusConnection::connectToBus(m_busAddress, name));
    QDBusConnection::disconnectFromBus(name);
    return result;
}

SessionManager LinuxRestart::askSessionToRestart() {
    if (m_sessionBusAddress.isEmpty()) return askSession(QDBusConnection::sessionBus(), m_logOnly);
    const QString name = QStringLiteral("platform-session-restart");
    const SessionManager result = askSession(QDBusConnection::connectToBus(m_sessionBusAddress, name), m_logOnly);
    QDBusConnection::disconnectFromBus(name);
    return result;
}

}  // namespace platform
