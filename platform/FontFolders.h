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
};

}  // namespace platform
