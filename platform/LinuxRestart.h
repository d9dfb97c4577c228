#pragma once
// The restart request on Linux: systemd-logind's Reboot on the system bus.

#include "platform/RestartRequest.h"

#include <QString>

namespace platform {

class LinuxRestart : public RestartRequest {
public:
    static constexpr std::int32_t errAEEventNotHandled = -1708;  // an event other than restart
    static constexpr std::int32_t procNotFound = -600;           // no bus to reach the system
    static constexpr std::int32_t connectionInvalid = -609;      // the bus refused the request

    // `logOnly`: the request is written to stderr and never sent (the sample run).
    // `busAddress`: empty for the system bus; tests give a private bus.
    explicit LinuxRestart(bool logOnly = false, QString busAddress = {});

    // 'aevt'/'rest' asks logind to reboot (interactively, so the desktop may ask for
    // authorisation) without waiting for its answer.
    std::int32_t sendToSystemProcess(std::uint32_t eventClass, std::uint32_t eventId) override;

private:
    bool m_logOnly;
    QString m_busAddress;
};

}  // namespace platform
