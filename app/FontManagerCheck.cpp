#include "app/FontManagerCheck.h"


#include <QLatin1String>

#include <algorithm>
#include <iterator>

namespace wizard {

namespace {
// The font managers of the Linux desktops, by the file names of their executables: GNOME's
// font viewer, the Font Manager application, and KDE's font viewer and font installer.
constexpr const char* kDesktopFontManagers[] = {"gnome-font-viewer", "font-manager", "kfontview", "kfontinst"};

bool isDesktopFontManager(const QString& executable) {
    return std::any_of(std::begin(kDesktopFontManagers), std::end(kDesktopFontManagers),
                       [&](const char* name) { return executable == QLatin1String(name); });
}
}  // namespace

bool fontManagerRunning(const platform::Processes& processes) {
    // The font manager application whose running keeps the program from starting.
    const QString fontManager = QStringLiteral("Font Book.app");
    // A process whose bundle can't be located ends the walk for the system's font manager
    // with what was found so far. A desktop's font manager is looked for in every process:
    // a program of the user's that can't be inspected, such as an agent that refuses it, is
    // no reason to miss one started after it.
    bool bundleWalk = true;
    for (const auto& process : processes.running()) {
        if (!process.hasLocation) bundleWalk = false;
        if (!process.hasLocation || !process.catalogName) continue;
        if (bundleWalk && *process.catalogName == fontManager) return true;
        if (isDesktopFontManager(*process.catalogName)) return true;
    }
    return false;
}

}  // namespace wizard
