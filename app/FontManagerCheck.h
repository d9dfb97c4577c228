#pragma once
// Whether a font manager application is running, which keeps the program from revising
// anything: the system's own, or one of those the Linux desktops run, among the user's own
// processes.

#include "platform/Processes.h"

namespace wizard {

bool fontManagerRunning(const platform::Processes& processes);

}  // namespace wizard
