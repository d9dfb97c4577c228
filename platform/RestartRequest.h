#pragma once
// Asks the operating system, or the desktop session in front of it, to restart the computer.

#include <cstdint>

namespace platform {

// Four-character codes, first character in the most significant byte.
constexpr std::uint32_t fourCharCode(const char (&c)[5]) {
    return (std::uint32_t(std::uint8_t(c[0])) << 24) | (std::uint32_t(std::uint8_t(c[1])) << 16) |
           (std::uint32_t(std::uint8_t(c[2])) << 8) | std::uint32_t(std::uint8_t(c[3]));
}
constexpr std::uint32_t kCoreEventClass = fourCharCode("aevt");
constexpr std::uint32_t kAERestart = fourCharCode("rest");
constexpr std::uint32_t typeProcessSerialNumber = fourCharCode("psn ");
constexpr std::uint32_t typeNull = fourCharCode("null");

// The desktop session managers that can restart the computer the way their own restart item
// does.
enum class SessionManager { None, Gnome, Kde, Xfce };

class RestartRequest {
public:
    virtual ~RestartRequest() = default;
    // Hands one event of the core class to the system process without waiting for it;
    // 0 when handed over, otherwise an error code. Every program is stopped at once: unsaved
    // work is lost.
    virtual std::int32_t sendToSystemProcess(std::uint32_t eventClass, std::uint32_t eventId) = 0;
    // Asks the desktop session's manager to restart: the user may confirm or cancel, and each
    // running program may save its work or refuse. The manager that accepted the request;
    // None when there is no session, no manager, or none accepted.
    virtual SessionManager askSessionToRestart() = 0;
};

}  // namespace platform
