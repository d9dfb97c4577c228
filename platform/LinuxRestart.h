#pragma once
// The restart request on Linux: the desktop session manager's restart on the session bus,
// and systemd-logind's Reboot on the system bus.

#include "platform/RestartRequest.h"

#include <QString>

namespace platform {

class LinuxRestart : public RestartRequest {
public:
    static constexpr std::int32_t errAEEventNotHandled = -1708;  // an event other than restart
    static constexpr std::int32_t procNotFound = -600;           // no bus to reach the system
    static constexpr std::int32_t connectionInvalid = -609;      // the bus refused the request

    // How long a session manager may take to accept the request: the ones we ask answer as
    // soon as they have queued it, before the user is asked anything.
    static constexpr int sessionReplyTimeoutMs = 5000;

    // `logOnly`: the request is written to stderr and never sent (the sample run).
    // `busAddress`, `sessionBusAddress`: empty for the system and the session bus; tests give
    // private buses.
    explicit LinuxRestart(bool logOnly = false, QString busAddress = {}, QString sessionBusAddress = {});

    // 'aevt'/'rest' asks logind to reboot (interactively, so the desktop may ask for
    // authorisation) without waiting for its answer.
    std::int32_t sendToSystemProcess(std::uint32_t eventClass, std::uint32_t eventId) override;
    // Asks GNOME, Plasma (org.kde.Shutdown, then the older ksmserver) or Xfce, in that order
    // and only those whose name is owned on the session bus; none is ever started. Waits for
    // each call's reply: an error or no reply passes on to the next. The log-only mode looks
    // the managers up, names on stderr the one it would ask, and returns it.
    SessionManager askSessionToRestart() override;

private:
    bool m_logOnly;
    QString m_busAddress;
    QString m_sessionBusAddress;
};

}  // namespace platform
