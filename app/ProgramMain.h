#pragma once
// The program's entry, shared by the real program and the sample run: the wizard when the
// command line holds no option of ours, the headless command line otherwise.

#include "patch/PatchManifest.h"
#include "platform/LinuxPlatform.h"

#include <QString>

namespace wizard {

struct ProgramSetup {
    platform::LinuxPlatformOptions platform;  // the real disk or a rooted view
    // The key the manifest of "host" must be signed with: the one built in (none: no key).
    QString trustedKey = fr::trustedManifestKey();
    // What the helper an administrator's authentication starts is given before --helper: the
    // program's own view of the disk (the sample run's root).
    QStringList helperArguments;
};

// `argv[firstOption]` on are the program's options. Returns the exit status.
int programMain(int argc, char** argv, int firstOption, ProgramSetup setup);

}  // namespace wizard
