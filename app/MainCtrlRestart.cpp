// The restart request: one event of the core class to the system process.

#include "app/MainCtrl.h"

namespace wizard {

std::int32_t MainCtrl::SendAppleEventToSystemProcess(std::uint32_t eventId) {
    return m_services.restart->sendToSystemProcess(platform::kCoreEventClass, eventId);
}

}  // namespace wizard
