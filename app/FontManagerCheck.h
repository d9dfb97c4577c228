#pragma once
// Whether the system's font manager application is running, which keeps the program from
// revising anything.

#include "platform/Processes.h"

namespace wizard {

bool fontManagerRunning(const platform::Processes& processes);

}  // namespace wizard
