#pragma once
// The set of platform services the program runs on. One set is current at a time: the
// program installs the Linux set at start, the sample run a rooted one, tests their doubles.

#include "platform/Files.h"
#include "platform/FontFolders.h"
#include "platform/Pauses.h"
#include "platform/Processes.h"
#include "platform/RestartRequest.h"
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
};

// The current set. Never null after the program or a test has installed one.
const Platform& current();
Files& files();
Volumes& volumes();
FontFolders& fontFolders();
Processes& processes();
SystemInfo& systemInfo();
Pauses& pauses();
RestartRequest& restart();

// Installs a set for the lifetime of the object and puts the previous one back after.
class ScopedPlatform {
public:
    explicit ScopedPlatform(const Platform& p);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Platform m_previous;
};

}  // namespace platform
