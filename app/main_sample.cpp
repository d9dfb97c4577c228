// The program on sample data: the same program, handed a platform rooted at a scratch tree
// laid out like a desktop disk (scripts/make_sample.sh builds one). Every path it sees lies
// inside that tree; a restart is only logged. Options after ROOT are the program's own.

#include "app/ProgramMain.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[]) {
    const QString root = argc >= 2 ? platform::decodeNativePath(QByteArrayView(argv[1])) : QString();
    if (root.isEmpty() || root.startsWith(QLatin1String("--")) || !QFileInfo(root).isDir()) {
        std::fputs("usage: font-reviser-sample SAMPLE_ROOT [options] (see scripts/make_sample.sh, --help)\n", stderr);
        return 64;
    }
    platform::LinuxPlatformOptions options;
    options.root = QDir(root).absolutePath();
    options.applicationPath = QStringLiteral("/Applications/FontReviser/font-reviser");
    options.temporaryFolder = QStringLiteral("/tmp");
    options.logRestartOnly = true;
    return wizard::programMain(argc, argv, 2, options);
}
