// revise-font INSTALLED.otf PATCH [--trusted-key KEY.pub] [--no-pauses] [--no-fsync]
//
// Revises one installed font with one patch file, as the wizard revises one target, on the
// real file system: the patch becomes the only source, paired by file name; the installed
// file must be the exact revision the patch was made for. Every progress point is printed
// as "overall step | font | file"; the exit status is the revision's result code
// (0 revised, 2 unusable font or data, 7 patch unreadable, 8, 10, 11, 12 as the wizard
// reports them; 64 for a wrong command line), and a failure's reason goes to standard error.
// With --trusted-key (a minisign public key file), a signed manifest beside the patch is
// honoured as the program honours one in its "host" folder; without one, or without a
// manifest, the patch is applied unverified, and the tool says so. What an interrupted run of
// this program left beside the font or in the temporary folder is cleared first. --no-fsync,
// for benchmarks only, leaves the new file and its rename to the disk's own time.

#include "discovery/FontCheckCtrl.h"
#include "discovery/SourceLookups.h"
#include "patch/LeftoverClearing.h"
#include "patch/OpenTypeManager.h"
#include "patch/PatchManifest.h"
#include "patch/RevisionDriver.h"
#include "platform/LinuxFiles.h"
#include "platform/LinuxPauses.h"
#include "platform/LinuxVolumes.h"
#include "platform/NativePath.h"

#include <QDir>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace {

constexpr int kUsageError = 64;

bool printProgress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2, void*) {
    // Numbers without the locale's formatting: nothing of it is loaded for a line of digits.
    std::printf("%d %d | %s | %s\n", overall, step, line1.toUtf8().constData(), line2.toUtf8().constData());
    std::fflush(stdout);
    return false;
}

void complain(const QString& message) {
    const QByteArray text = (QStringLiteral("revise-font: ") + message + u'\n').toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

}  // namespace

// The key of a minisign public key file (its second line); nothing when it is none. Read
// through the platform's files, as everything the revision reads.
std::optional<QString> keyOf(const platform::Files& files, const QString& file) {
    constexpr std::uint64_t kLargestKeyFile = 4096;
    const auto bytes = files.readAll(file, kLargestKeyFile);
    if (!bytes) return std::nullopt;
    const QList<QByteArray> lines =
        QByteArray(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size()))
            .trimmed()
            .split('\n');
    if (lines.size() != 2 || !fr::minisignKeyId(QString::fromLatin1(lines[1]))) return std::nullopt;
    return QString::fromLatin1(lines[1].trimmed());
}

// The path from the working folder, as a path of the program's view; empty where the working
// folder can't be had (gone, or too long), never another file.
QString absolute(const QString& path) {
    if (path.startsWith(u'/')) return QDir::cleanPath(path);
    char here[4096];
    if (!::getcwd(here, sizeof here)) return {};
    return QDir::cleanPath(platform::decodeNativePath(here) + u'/' + path);
}

int main(int argc, char** argv) {
    // No QCoreApplication: nothing here needs an event loop, and the tool starts faster.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << platform::decodeNativePath(QByteArrayView(argv[i]));
    const bool noPauses = args.removeAll(QStringLiteral("--no-pauses")) > 0;
    const bool noFsync = args.removeAll(QStringLiteral("--no-fsync")) > 0;
    // Only the services a revision uses: no font folders, processes or desktop.
    platform::LinuxFiles files({}, {}, {}, !noFsync);
    const platform::LinuxVolumes volumes;
    platform::LinuxPauses pauses(noPauses);

    QString trustedKey;
    if (const qsizetype at = args.indexOf(QStringLiteral("--trusted-key")); at >= 0 && at + 1 < args.size()) {
        const auto key = keyOf(files, absolute(args[at + 1]));
        if (!key) {
            complain(QStringLiteral("%1 is not a minisign public key file").arg(args[at + 1]));
            return kUsageError;
        }
        trustedKey = *key;
        args.remove(at, 2);
    }
    if (args.size() != 2) {
        complain(
            QStringLiteral("usage: revise-font INSTALLED.otf PATCH [--trusted-key KEY.pub] [--no-pauses] "
                           "[--no-fsync]"));
        return kUsageError;
    }
    const QString installed = absolute(args[0]);
    const QString patch = absolute(args[1]);
    if (installed.isEmpty() || patch.isEmpty()) {
        complain(QStringLiteral("the working folder can't be read: give the files' absolute paths"));
        return kUsageError;
    }

    // Two runs in the same second draw different temporary names.
    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(::getpid()));

    // A manifest beside the patch is honoured as the program honours one in its "host" folder:
    // only a patch it lists, signed with the trusted key, is applied, with the checks it allows.
    // This tool applies an unsigned patch on its caller's word.
    const QString folder = patch.left(std::max<qsizetype>(patch.lastIndexOf(u'/'), 1));
    const fr::ManifestReading manifest = fr::readManifest(files, folder, trustedKey);
    const fr::FolderTrust trust = fr::folderTrust(manifest, !trustedKey.isEmpty(), true, folder);
    if (!trust.usable) {
        complain(QStringLiteral("the manifest beside the patch is not to be trusted: %1").arg(trust.why.detail));
        return fr::result::kPatchLoadFailed;
    }
    if (!trust.verified) complain(QStringLiteral("unverified patch: %1").arg(trust.why.detail));
    fr::Reason unlisted;
    fr::SourceEntryPtr source =
        fr::withManifestEntry(fr::FontCheckCtrl::sourceEntryFromPatch(files, patch), manifest, &unlisted);
    if (unlisted) {
        complain(QStringLiteral("%1 is not listed in the manifest beside it").arg(patch));
        return fr::result::kPatchLoadFailed;
    }
    const fr::FixedSourceLookup sources({source}, volumes);
    const fr::SourceFor sourceFor = [&sources](const QString& name) { return sources.sourceForInstalledName(name); };

    // What an interrupted run left beside this font and in the temporary folder goes first,
    // whether or not the font is still to be revised (as the search clears what it walks).
    const fr::LeftoverClearing cleared =
        fr::clearLeftoversAround(files, fr::replacedFile(files, sources, installed), sourceFor);
    if (cleared.failed) {
        complain(QStringLiteral("a file an interrupted run left beside %1 or in the temporary folder can't be removed")
                     .arg(installed));
        return fr::result::kTempNotRemovable;
    }
    // A file of ours that may be the only good copy of a font stays, and is told; beside this
    // font it keeps the font from being revised.
    bool keptHere = false;
    for (const fr::KeptCopy& kept : cleared.kept) {
        complain(QStringLiteral("%1: %2").arg(kept.reason().id, kept.reason().detail));
        keptHere = keptHere || kept.installed == fr::replacedFile(files, sources, installed);
    }
    if (keptHere) return fr::result::kTempNotRemovable;
    if (!source) {
        complain(QStringLiteral("%1 is not a patch file").arg(patch));
        return fr::result::kPatchLoadFailed;
    }

    // The installed revision, read by the same checks the search makes.
    fr::TargetEntry target;
    target.fullpath = installed;
    {
        std::uint64_t revision = 0;
        const auto font = files.openForReading(installed);
        if (!font || !fr::OpenTypeManager::checkOpenTypeVersion(*font, *source, revision)) {
            complain(QStringLiteral("%1 is not the font and revision %2 was made for").arg(installed, patch));
            return fr::result::kFontUnusable;
        }
        target.version = static_cast<std::uint32_t>(revision);
    }

    fr::OpenTypeManager manager(files, pauses);
    const std::int32_t code = manager.updateOpenTypeDiff(target, printProgress, nullptr, 1, 0, sources);
    if (code != fr::result::kRevised)
        complain(QStringLiteral("%1: %2").arg(manager.reason().id, manager.reason().detail));
    return code;
}
