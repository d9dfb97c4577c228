#pragma once
// The program's entry, shared by the real program and the sample run: the wizard when the
// command line holds no option of ours, the headless command line otherwise.

#include "platform/LinuxPlatform.h"

namespace wizard {

// `argv[firstOption]` on are the program's options; `platform` chooses the real disk or a
// rooted view. Returns the exit status.
int programMain(int argc, char** argv, int firstOption, platform::LinuxPlatformOptions platform);

}  // namespace wizard
