#pragma once
// The program without windows: the search phase and the revision phase as the wizard runs
// them, reported on the console, with an exit status for scripts.

#include "app/CommandLine.h"
#include "platform/Platform.h"

#include <atomic>

namespace wizard {

class Console;

// Runs --list or --revise on `services` and returns the exit status. `stop` is set (by SIGINT
// or SIGTERM) when the user wants the run to end as the Cancel button answered yes would end
// it. The manifest of "host" must be signed with `trustedKey` (none: no key is trusted).
int runHeadless(const CommandLine& line, Console& console, const std::atomic<bool>& stop,
                const platform::Platform& services, const QString& trustedKey);

// The helper an administrator's authentication starts (--helper): revises the installed fonts
// at `listed`, paths as the search reported them, each only where the search would have found
// it and the identity checks pass (any other is refused with its reason), with the patches of
// its own "host" and its own key. JSON events on the console; `stop` ends it as a cancel does.
int runHelper(const QStringList& listed, Console& console, const std::atomic<bool>& stop,
              const platform::Platform& services, const QString& trustedKey);

}  // namespace wizard
