#include "platform/LinuxPlatform.h"

#include "platform/LinuxFiles.h"
#include "platform/LinuxFontFolders.h"
#include "platform/LinuxPauses.h"
#include "platform/LinuxProcesses.h"
#include "platform/LinuxStateFolder.h"
#include "platform/LinuxVolumes.h"

#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {
StatePaths statePaths(bool rooted) {
    const uid_t uid = ::geteuid();
    if (!rooted) return systemStatePaths(uid, [](const char* name) { return qgetenv(name); });
    const passwd* user = ::getpwuid(uid);
    return rootedStatePaths(uid, user ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid));
}
}  // namespace

struct LinuxPlatform::Impl {
    explicit Impl(const LinuxPlatformOptions& o)
        : files(o.root, o.applicationPath, o.temporaryFolder, o.durable),
          // A rooted view stands for one fixed disk.
          volumes(!o.root.isEmpty()),
          standardFolders(files),
          pauses(o.instantPauses),
          rooted(!o.root.isEmpty()),
          state(statePaths(rooted), [this](const QString& path) { return files.hostPath(path); }),
          journalFile(files.hostPath(QStringLiteral("/var/log/font-reviser/journal.jsonl"))) {}

    LinuxFiles files;
    LinuxVolumes volumes;
    FontconfigFolders fontconfigFolders;
    StandardFontFolders standardFolders;  // a rooted view has no fontconfig of its own
    LinuxProcesses processes;
    LinuxPauses pauses;
    bool rooted;
    LinuxStateFolder state;
    JournalFile journalFile;  // a rooted view's: the machine's journal is not the view's
};

LinuxPlatform::LinuxPlatform(const LinuxPlatformOptions& options) : m_impl(std::make_unique<Impl>(options)) {}

LinuxPlatform::~LinuxPlatform() = default;

Platform LinuxPlatform::services() const {
    Platform p;
    p.files = &m_impl->files;
    p.volumes = &m_impl->volumes;
    p.fontFolders = m_impl->rooted ? static_cast<FontFolders*>(&m_impl->standardFolders) : &m_impl->fontconfigFolders;
    p.processes = &m_impl->processes;
    p.pauses = &m_impl->pauses;
    p.state = &m_impl->state;
    // The machine's own journal is the desktop services' (DesktopServices.h).
    if (m_impl->rooted) p.journal = &m_impl->journalFile;
    return p;
}

}  // namespace platform
