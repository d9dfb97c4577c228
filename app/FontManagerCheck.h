#pragma once
// Whether the system's font manager application is running, which keeps the program from
// revising anything.

namespace wizard {

bool fontManagerRunning();

}  // namespace wizard
