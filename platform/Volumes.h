#pragma once
// The mounted local volumes and what kind of medium each is.

#include <QString>
#include <QStringList>

#include <vector>

namespace platform {

struct VolumeInfo {
    bool removable = false;
    bool unmountable = false;
};

// A mounted file system that is not one of the local volumes, and the rule that leaves it
// out: "volume-not-local" (network, memory or packed image file systems), "volume-covered"
// (another mount on the same point hides it), "volume-second-view" (a bind mount of a part of
// a volume listed already).
struct PassedOverMount {
    QString mountPoint;
    QString rule;
    QString detail;
};

class Volumes {
public:
    virtual ~Volumes() = default;
    // The mounted local volume paths in a stable order.
    virtual QStringList mountedLocalVolumePaths() const = 0;
    // The other mounts a user might look for fonts on (not the kernel's own file systems).
    virtual std::vector<PassedOverMount> passedOverMounts() const { return {}; }
    // False when the query fails (the flags are then meaningless).
    virtual bool volumeInfo(const QString& path, VolumeInfo& info) const = 0;
    // True when a folder inside a volume is the mount point of another file system, so a
    // walk of one volume never strays into another one.
    virtual bool isOtherMountPoint(const QString& folder) const = 0;
    // The mount point of the file system that holds `path` (a path without links): the
    // deepest mounted folder that is `path` or lies above it.
    virtual QString mountPointOf(const QString& path) const = 0;
    // The word in a path that marks the users' home folders ("Users" on the Mac layout).
    virtual QString homeFolderWord() const = 0;
};

}  // namespace platform
