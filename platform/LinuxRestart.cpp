#include "platform/LinuxRestart.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <cstdio>

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

}  // namespace

LinuxRestart::LinuxRestart(bool logOnly, QString busAddress)
    : m_logOnly(logOnly), m_busAddress(std::move(busAddress)) {}

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

}  // namespace platform
