#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {
Platform g_current;

template <typename T>
T& require(T* p, const char* what) {
    if (!p) {
        std::fprintf(stderr, "platform service missing: %s\n", what);
        std::abort();
    }
    return *p;
}
}  // namespace

const Platform& current() { return g_current; }
Files& files() { return require(g_current.files, "files"); }
Volumes& volumes() { return require(g_current.volumes, "volumes"); }
FontFolders& fontFolders() { return require(g_current.fontFolders, "font folders"); }
Processes& processes() { return require(g_current.processes, "processes"); }
SystemInfo& systemInfo() { return require(g_current.systemInfo, "system info"); }
Pauses& pauses() { return require(g_current.pauses, "pauses"); }
RestartRequest& restart() { return require(g_current.restart, "restart request"); }

ScopedPlatform::ScopedPlatform(const Platform& p) : m_previous(g_current) { g_current = p; }
ScopedPlatform::~ScopedPlatform() { g_current = m_previous; }

}  // namespace platform
