#pragma once
// Font folders on Linux: those fontconfig names, or, in a rooted view, the standard ones
// inside the root.

#include "platform/FontFolders.h"

namespace platform {

class Files;

// The folders of fontconfig's current configuration (FONTCONFIG_FILE and the rest of its
// environment apply), without the folders below them.
class FontconfigFolders : public FontFolders {
public:
    QStringList fontFolders() const override;
    // Scans each folder and writes its cache where fontconfig keeps it (the system's cache
    // folder when it may write there, the user's otherwise). A folder that is not there fails.
    bool refreshCaches(const QStringList& folders) override;
};

// The standard folders of a Linux system inside a rooted view: /usr/share/fonts,
// /usr/local/share/fonts, and each home's .local/share/fonts and .fonts (/root and every
// folder in /home and /Users).
class StandardFontFolders : public FontFolders {
public:
    explicit StandardFontFolders(const Files& files) : m_files(files) {}
    QStringList fontFolders() const override;
    // The caches on this machine belong to its user, not to the rooted view: nothing is
    // written, and the refresh succeeds.
    bool refreshCaches(const QStringList& folders) override;

private:
    const Files& m_files;
};

}  // namespace platform
