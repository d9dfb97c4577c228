#pragma once
// The platform services that need the desktop's session: the restart request (the session
// manager, or logind, over D-Bus) and the system information with the relaunch switch (the
// session manager, through Qt Gui); and systemd's journal. Only the program itself links them;
// the engine and its tools never do.

#include "platform/LinuxJournal.h"
#include "platform/LinuxRestart.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/Platform.h"

namespace platform {

class DesktopServices {
public:
    // `logRestartOnly`: the restart request is written to stderr and never sent.
    explicit DesktopServices(bool logRestartOnly = false) : m_restart(logRestartOnly) {}

    // The set with these services added; a set that has a journal of its own (a rooted
    // view's) keeps it.
    Platform addTo(Platform services) {
        services.restart = &m_restart;
        services.systemInfo = &m_systemInfo;
        if (!services.journal) services.journal = &m_journal;
        return services;
    }

private:
    LinuxRestart m_restart;
    LinuxSystemInfo m_systemInfo;
    SystemJournal m_journal;
};

}  // namespace platform
