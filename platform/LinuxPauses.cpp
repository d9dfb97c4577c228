#include "platform/LinuxPauses.h"

#include <chrono>
#include <thread>

namespace platform {

void LinuxPauses::pause(int milliseconds) {
    if (!m_instant && milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
