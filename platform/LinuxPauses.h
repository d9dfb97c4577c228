#pragma once
// Pauses that really wait, or, where nobody watches the windows they are for, none at all.

#include "platform/Pauses.h"

namespace platform {

class LinuxPauses : public Pauses {
public:
    explicit LinuxPauses(bool instant = false) : m_instant(instant) {}
    void pause(int milliseconds) override;

private:
    bool m_instant;
};

}  // namespace platform
