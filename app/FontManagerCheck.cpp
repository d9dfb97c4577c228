#include "app/FontManagerCheck.h"

#include "app/Messages.h"

namespace wizard {

bool fontManagerRunning(const platform::Processes& processes) {
    const QString fontManager = QString::fromUtf8(kFontManagerBundleName);
    bool running = false;
    for (const auto& process : processes.running()) {
        // A process whose bundle can't be located ends the walk with what was found so far.
        if (!process.hasLocation) break;
        if (process.catalogName && *process.catalogName == fontManager) running = true;
    }
    return running;
}

}  // namespace wizard
