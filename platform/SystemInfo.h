#pragma once
// The system version and the application's relaunch-on-login switch.

#include <cstdint>

namespace platform {

// From this system version on, a program must ask not to be relaunched at the next login.
constexpr std::int32_t kRelaunchSwitchVersion = 0x1070;

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // Binary-coded decimal: 0x1070 means 10.7.0.
    virtual std::int32_t systemVersion() const = 0;
    // Asks that the program not be started again at the user's next login.
    virtual void disableRelaunchOnLogin() = 0;
};

}  // namespace platform
