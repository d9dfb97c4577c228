// The program on sample data: the same program, handed a platform rooted at a scratch tree
// laid out like a desktop disk (scripts/make_sample.sh builds one). Every path it sees lies
// inside that tree; a restart is only logged. Options after ROOT are the program's own.
// Fonts this user may not replace are revised by the sample program itself in helper mode on
// the same root, started by FONT_REVISER_ELEVATE (pkexec by default; sudo -n in the tests).
// It trusts the key kept for tests and samples only, whose manifests the sample data carry;
// FONT_REVISER_SAMPLE_KEY names another minisign public key file, or "none" for a program
// that trusts no key.

#include "app/ProgramMain.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[]) {
    const QString root = argc >= 2 ? platform::decodeNativePath(QByteArrayView(argv[1])) : QString();
    if (root.isEmpty() || root.startsWith(QLatin1String("--")) || !QFileInfo(root).isDir()) {
        std::fputs("usage: font-reviser-sample SAMPLE_ROOT [options] (see scripts/make_sample.sh, --help)\n", stderr);
        return 64;
    }
    wizard::ProgramSetup setup;
    setup.platform.root = QDir(root).absolutePath();
    setup.platform.applicationPath = QStringLiteral("/Applications/FontReviser/font-reviser");
    setup.platform.temporaryFolder = QStringLiteral("/tmp");
    setup.platform.logRestartOnly = true;
    setup.trustedKey = QStringLiteral(FR_SAMPLE_KEY);
    // Its helper is the sample program in helper mode, on the same root.
    setup.helperArguments = {setup.platform.root};
    const QByteArray chosen = qgetenv("FONT_REVISER_SAMPLE_KEY");
    if (chosen == "none") {
        setup.trustedKey.clear();
    } else if (!chosen.isEmpty()) {
        QFile file(platform::decodeNativePath(chosen));
        const QList<QByteArray> lines =
            file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split('\n') : QList<QByteArray>{};
        if (lines.size() != 2) {
            std::fputs("font-reviser-sample: FONT_REVISER_SAMPLE_KEY is no minisign public key file\n", stderr);
            return 64;
        }
        setup.trustedKey = QString::fromLatin1(lines[1].trimmed());
    }
    return wizard::programMain(argc, argv, 2, setup);
}
