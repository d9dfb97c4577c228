#pragma once
// The volumes of a Linux machine, read from the kernel's mount table (/proc/self/mountinfo).

#include "platform/Volumes.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

// One line of a mountinfo text, escapes (\040 and the like) decoded.
struct MountEntry {
    int id = 0;
    int parentId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    QString root;  // the folder of the file system that is mounted (not "/" for a bind mount)
    QString mountPoint;
    QString fsType;
    QString source;
};

// Every well-formed line of a mountinfo text, in table order; malformed lines are left out.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// A file system on a local disk: mounted from a block device and not a network, memory,
// kernel or packed image file system.
bool isLocalDiskFileSystem(const MountEntry& entry);

// The local volumes of a mount table: "/" first (whatever it is, so a container's overlay
// root still gives it), then in table order every other local disk file system that is
// visible (not covered by a later mount on the same point) and not a second view of one
// already listed (the same device with the same or an enclosing root, as a bind mount is).
std::vector<MountEntry> localVolumes(const std::vector<MountEntry>& table);

class LinuxVolumes : public Volumes {
public:
    struct Sources {
        QString mountInfo = QStringLiteral("/proc/self/mountinfo");
        QString blockDevices = QStringLiteral("/sys/dev/block");  // MAJ:MIN links to the devices
    };
    // `singleVolume`: the program's view is one fixed disk "/" with nothing mounted inside it.
    explicit LinuxVolumes(bool singleVolume = false);
    LinuxVolumes(bool singleVolume, Sources sources);

    QStringList mountedLocalVolumePaths() const override;
    std::vector<PassedOverMount> passedOverMounts() const override;
    bool volumeInfo(const QString& path, VolumeInfo& info) const override;
    bool isOtherMountPoint(const QString& folder) const override;
    QString mountPointOf(const QString& path) const override;
    QString homeFolderWord() const override { return QStringLiteral("home"); }

private:
    std::vector<MountEntry> readTable() const;
    bool isRemovableDevice(const MountEntry& entry) const;

    bool m_singleVolume;
    Sources m_sources;
    // Every mount point, read when the volumes are listed (once per search) or first asked.
    mutable std::mutex m_mutex;
    mutable std::optional<QSet<QString>> m_mountPoints;
};

}  // namespace platform
