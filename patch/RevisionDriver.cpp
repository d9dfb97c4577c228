// Revises one installed font end to end: load, the check that the file is still the one the
// search admitted, the License Description strings, the patch source, the assembly into a
// temporary file, the new file made and checked beside the installed one, and its rename
// into place.

#include "patch/RevisionDriver.h"

#include "patch/InPlaceReplacement.h"
#include "patch/Integrity.h"
#include "patch/LeftoverClearing.h"
#include "patch/OpenTypeManager.h"
#include "patch/SourceLookup.h"
#include "platform/Leftovers.h"
#include "platform/PathText.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <new>
#include <optional>

namespace fr {

namespace {
// Names taken already (by another revision in the same second, or planted) are skipped;
// after this many the temporary folder is taken to be unusable.
constexpr int kTemporaryNameAttempts = 64;

// A path in the temporary folder at which nothing, not even a dangling link, stands. The
// assembly creates the file there exclusively, so a name taken meanwhile fails cleanly.
std::optional<QString> freeTemporaryPath(const platform::Files& files) {
    QString folder = files.temporaryFolder();
    if (folder.isEmpty()) return std::nullopt;  // no usable temporary folder
    if (!folder.endsWith(u'/')) folder += u'/';
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const QString path = folder + temporaryFileName();
        if (!files.exists(path) && !files.isSymbolicLink(path)) return path;
    }
    return std::nullopt;
}

}  // namespace

QString temporaryFileName() {
    return platform::temporaryName(::getpid(), static_cast<std::int64_t>(std::time(nullptr)), std::rand() % 255);
}

QString revisionIdentity(const platform::Files& files, const QString& targetPath) {
    const QString canonical = files.canonicalPath(targetPath);
    return canonical.isEmpty() ? targetPath : canonical;
}

std::int32_t OpenTypeManager::fail(std::int32_t code, const QString& file, const Reason& why) {
    m_reason = {why.id, file.isEmpty() ? why.detail : file + QStringLiteral(": ") + why.detail};
    return code;
}

std::int32_t OpenTypeManager::cancelled() {
    m_reason = {QStringLiteral("cancelled"), QStringLiteral("the revision was stopped before it changed anything")};
    return result::kCancelled;
}

QString replacedFile(const platform::Files& files, const SourceLookup& sources, const QString& targetPath) {
    const QString behind = revisionIdentity(files, targetPath);
    if (behind == targetPath) return targetPath;
    const bool inPlace = sources.searchFinds(behind) && files.isDeletable(behind);
    return inPlace ? behind : targetPath;
}

Reason whyNotReplaceable(const QString& path, platform::Files::Removal removal) {
    using Removal = platform::Files::Removal;
    const QString folder = path.left(std::max<qsizetype>(path.lastIndexOf(u'/'), 1));
    switch (removal) {
    case Removal::Allowed:
        return {};
    case Removal::ReadOnlyFileSystem:
        return {QStringLiteral("read-only-mount"),
                path + QStringLiteral(": it lies on a file system mounted read-only")};
    case Removal::NotOwner:
        return {QStringLiteral("not-owner"),
                path + QStringLiteral(": it belongs to another user in the shared folder %1").arg(folder)};
    case Removal::FolderNotWritable:
        break;
    }
    return {QStringLiteral("folder-not-writable"),
            path + QStringLiteral(": this user may not write to its folder %1").arg(folder)};
}

// Memory that can't be had for the installed font's directory makes the font unusable here.
std::int32_t OpenTypeManager::loadOpenTypeDiff(const FontProgress& progress) try {
    const QString name = platform::lastPathComponent(progress.path);
    if (progress.report(step::kOpenFont, name)) return cancelled();

    // The font is opened here and read where it lies: its directory now, its tables as the
    // revision needs them, straight into the new image.
    auto file = m_files.openForReading(progress.path);
    const bool opened = file != nullptr, read = opened && file->size() != 0;

    if (progress.report(step::kReadFont, name)) return cancelled();

    Reason why;
    if (read && !m_installedFont.load(std::move(file), &why)) return fail(result::kFontUnusable, progress.path, why);

    if (progress.report(step::kTablesRead, QString())) return cancelled();
    if (!opened)
        return fail(result::kFontUnusable, progress.path, "font-unreadable",
                    QStringLiteral("the file can't be opened for reading"));
    if (!read) return fail(result::kFontUnusable, progress.path, "font-truncated", QStringLiteral("the file is empty"));
    return result::kRevised;
} catch (const std::bad_alloc&) {
    return fail(result::kFontUnusable, progress.path, "font-memory", QStringLiteral("no memory for its directory"));
}

bool OpenTypeManager::compareFontData(const QString& path, const WrittenImage& written) const {
    return written.length != 0 && fileHoldsImage(m_files, path, written);
}

// The load and the assembly end with their own codes when memory can't be had; anywhere after
// them it is the new file that could not be made, and the temporary file and the copy beside
// the font are gone by the time the code is returned.
std::int32_t OpenTypeManager::updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                                 std::int32_t count, std::int32_t index,
                                                 const SourceLookup& sources) try {
    const FontProgress progress{proc, context, count, index, target.fullpath};
    // An installed path that is a symbolic link is revised in the file behind it where the
    // search would find that file and this user may replace it: the link stays as the user
    // made it, and every path to the font sees the new revision. Elsewhere the link itself is
    // replaced by the revised font.
    const QString installed = replacedFile(m_files, sources, target.fullpath);

    SourceEntryPtr source;
    if (const std::int32_t code = prepareRevision(progress, target, sources, installed, source);
        code != result::kRevised)
        return code;
    const std::optional<QString> temporaryPath = freeTemporaryPath(m_files);
    if (!temporaryPath || (m_dryRun && !m_files.isDeletable(*temporaryPath)))
        return fail(result::kNewFileFailed, m_files.temporaryFolder(), "temp-folder",
                    QStringLiteral("no temporary folder this user may write ($TMPDIR, /tmp, /var/tmp)"));
    // The file stays only once the assembly has returned 0: it is made a piece at a time, and
    // a failed or stopped assembly removes it. A dry run makes none.
    if (const std::int32_t code = creatFontFileDiff(progress, *source, *temporaryPath); code != result::kRevised)
        return code;
    return replaceInPlace(progress, *source, *temporaryPath, installed);
} catch (const std::bad_alloc&) {
    return fail(result::kNewFileFailed, target.fullpath, "memory", QStringLiteral("no memory to finish the revision"));
}

std::int32_t OpenTypeManager::prepareRevision(const FontProgress& progress, const TargetEntry& target,
                                              const SourceLookup& sources, const QString& installed,
                                              SourceEntryPtr& source) {
    const QString& path = target.fullpath;
    // What interrupted runs left goes first. A file of ours that can't be removed is never
    // multiplied by another run, and one that may be the only good copy of this font is never
    // put at risk by another: nothing is made where one stays.
    if (!m_dryRun) {
        const SourceFor sourceFor = [&sources](const QString& name) { return sources.sourceForInstalledName(name); };
        const LeftoverClearing cleared = clearLeftoversAround(m_files, installed, sourceFor);
        if (cleared.failed)
            return fail(result::kTempNotRemovable, path, "leftover-not-removable",
                        QStringLiteral("a file an interrupted run left beside it or in the temporary folder can't be "
                                       "removed"));
        for (const KeptCopy& kept : cleared.kept)
            if (kept.installed == installed) return fail(result::kTempNotRemovable, QString(), kept.reason());
    }

    if (const std::int32_t code = loadOpenTypeDiff(progress); code != result::kRevised) return code;
    // The file may have changed since the search admitted it.
    if (!sources.stillTarget(m_installedFont.bytes(), path, target.version))
        return fail(result::kFontUnusable, path, "font-changed",
                    QStringLiteral("no longer the font and revision the search found"));
    if (!readLicenseStrings())
        return fail(result::kFontUnusable, path, "license-strings",
                    QStringLiteral("its License Description strings (Macintosh and Windows) are missing or unusable"));
    source = sources.sourceForTarget(path, target.version);
    if (!source || source->fullpath.isEmpty())
        return fail(result::kFontUnusable, path, "no-patch", QStringLiteral("no patch in the host folder is for it"));
    return result::kRevised;
}

std::int32_t OpenTypeManager::replaceInPlace(const FontProgress& progress, const SourceEntry& source,
                                             const QString& temporaryPath, const QString& installed) {
    InPlaceReplacement replacement(m_files, m_pauses, m_dryRun ? QString() : temporaryPath, installed);
    const auto end = [&](std::int32_t code) { return replacement.finish(code, m_reason); };
    if (progress.report(step::kCopyIntoPlace, platform::lastPathComponent(source.fullpath))) return end(cancelled());
    if (const std::int32_t code = replacement.checkReplaceable(m_reason); code != result::kRevised) return end(code);
    if (m_dryRun) return end(result::kRevised);
    return end(replacement.replace(m_written, m_reason));
}

}  // namespace fr
