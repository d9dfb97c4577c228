#pragma once
// The set of platform services the program runs on, handed to whatever uses them: the
// program hands in the Linux set, the sample run a rooted one, tests their doubles. Each
// service outlives everything it is handed to.

#include "platform/Files.h"
#include "platform/FontFolders.h"
#include "platform/Journal.h"
#include "platform/Pauses.h"
#include "platform/Processes.h"
#include "platform/RestartRequest.h"
#include "platform/StateFolder.h"
#include "platform/SystemInfo.h"
#include "platform/Volumes.h"

namespace platform {

struct Platform {
    Files* files = nullptr;
    Volumes* volumes = nullptr;
    FontFolders* fontFolders = nullptr;
    Processes* processes = nullptr;
    SystemInfo* systemInfo = nullptr;
    Pauses* pauses = nullptr;
    RestartRequest* restart = nullptr;
    // Where runs that write keep their lock, history and backups, and the system's log; where
    // a set has none (a test's), runs keep no records.
    StateFolder* state = nullptr;
    Journal* journal = nullptr;
};

}  // namespace platform
