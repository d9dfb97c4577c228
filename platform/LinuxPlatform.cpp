#include "platform/LinuxPlatform.h"

#include "platform/LinuxFiles.h"
#include "platform/LinuxFontFolders.h"
#include "platform/LinuxPauses.h"
#include "platform/LinuxProcesses.h"
#include "platform/LinuxVolumes.h"

namespace platform {

struct LinuxPlatform::Impl {
    explicit Impl(const LinuxPlatformOptions& o)
        : files(o.root, o.applicationPath, o.temporaryFolder, o.durable),
          // A rooted view stands for one fixed disk.
          volumes(!o.root.isEmpty()),
          standardFolders(files),
          pauses(o.instantPauses),
          rooted(!o.root.isEmpty()) {}

    LinuxFiles files;
    LinuxVolumes volumes;
    FontconfigFolders fontconfigFolders;
    StandardFontFolders standardFolders;  // a rooted view has no fontconfig of its own
    LinuxProcesses processes;
    LinuxPauses pauses;
    bool rooted;
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
    return p;
}

}  // namespace platform
