#pragma once
// The system version and the relaunch-on-login switch on a Linux desktop.

#include "platform/SystemInfo.h"

namespace platform {

class LinuxSystemInfo : public SystemInfo {
public:
    // The desktop's session manager can be told not to restart the program, so the switch
    // exists: the version is the first one that has it.
    std::int32_t systemVersion() const override { return kRelaunchSwitchVersion; }
    // Asks the session manager, through the running QGuiApplication, never to restart the
    // program at the next login. Without a QGuiApplication there is no session to ask.
    void disableRelaunchOnLogin() override;

private:
    bool m_asked = false;
};

}  // namespace platform
