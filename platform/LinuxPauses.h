#pragma once
// Pauses that really wait.

#include "platform/Pauses.h"

namespace platform {

class LinuxPauses : public Pauses {
public:
    void pause(int milliseconds) override;
};

}  // namespace platform
