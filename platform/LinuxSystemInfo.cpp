#include "platform/LinuxSystemInfo.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace platform {

void LinuxSystemInfo::disableRelaunchOnLogin() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || m_asked) return;
    m_asked = true;
    // The session manager asks for the hint each time it saves the session.
    const auto never = [](QSessionManager& manager) { manager.setRestartHint(QSessionManager::RestartNever); };
    QObject::connect(app, &QGuiApplication::commitDataRequest, app, never, Qt::DirectConnection);
    QObject::connect(app, &QGuiApplication::saveStateRequest, app, never, Qt::DirectConnection);
}

}  // namespace platform
