#pragma once
// The platform services that need the desktop's session: the restart request (the session
// manager, or logind, over D-Bus) and the system information with the relaunch switch (the session manager, through
// Qt Gui). Only the program itself links them; the engine and its tools never do.

#include "platform/LinuxRestart.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/Platform.h"

namespace platform {

class DesktopServices {
public:
    // `logRestartOnly`: the restart request is written to stderr and never sent.
    explicit DesktopServices(bool logRestartOnly = false) : m_restart(logRestartOnly) {}

    // The set with these two services added.
    Platform addTo(Platform services) {
        services.restart = &m_restart;
        services.systemInfo = &m_systemInfo;
        return services;
    }

private:
    LinuxRestart m_restart;
    LinuxSystemInfo m_systemInfo;
};

}  // namespace platform
