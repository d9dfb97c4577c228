#pragma once
// The Linux services the engine runs on, owned together: files, volumes, font folders,
// processes and pauses. The restart request and the system information, which need the
// desktop's session (Qt Gui and D-Bus), come from DesktopServices. With a root folder,
// every absolute path of the program's view resolves inside that folder (the sample run).

#include "platform/Platform.h"

#include <QString>

#include <memory>

namespace platform {

struct LinuxPlatformOptions {
    QString root;                 // empty: the real file system
    QString applicationPath;      // in the program's view; empty: the running executable
    QString temporaryFolder;      // in the program's view; empty: the one Qt reports
    bool logRestartOnly = false;  // the restart request is only logged, never sent (DesktopServices)
    bool instantPauses = false;   // the pauses that let a person watch the windows are left out
    bool durable = true;          // new files and renames flushed to the disk (off only for benchmarks)
};

class LinuxPlatform {
public:
    explicit LinuxPlatform(const LinuxPlatformOptions& options = {});
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    Platform services() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
