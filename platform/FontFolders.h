#pragma once
// The folders where the system keeps fonts for this user, as the system's font
// configuration names them (on Linux: fontconfig's system, local, per-user and configured
// folders).

#include <QStringList>

namespace platform {

class FontFolders {
public:
    virtual ~FontFolders() = default;
    // The font folders in the configuration's order; a folder that does not exist may be
    // among them.
    virtual QStringList fontFolders() const = 0;
    // Rewrites the system's font cache of each folder (not of the folders below it), so that
    // programs started from now on see its fonts at once, without a scan of their own. True
    // when every folder now has an up-to-date cache.
    virtual bool refreshCaches(const QStringList& folders) = 0;
};

}  // namespace platform
