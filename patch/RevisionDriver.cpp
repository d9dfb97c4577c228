// Revises one installed font end to end: load, the check that the file is still the one the
// search admitted, the License Description strings, the patch source, the assembly into a
// temporary file, the new file made and checked beside the installed one, and its rename
// into place.

#include "patch/RevisionDriver.h"

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
constexpr std::uint32_t kFileTypeSfnt = 0x73666E74;     // "sfnt"
constexpr std::uint32_t kFileCreatorATMC = 0x41544D43;  // "ATMC"
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

// The temporary file, removed on every way out of the revision. Its removal can fail: the
// revision's code then becomes 12, which is why the driver asks for it with finish().
class TemporaryFile {
public:
    TemporaryFile(platform::Files& files, QString path) : m_files(files), m_path(std::move(path)) {}
    ~TemporaryFile() {
        if (!m_finished && !m_path.isEmpty()) m_files.remove(m_path);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const QString& path() const { return m_path; }
    // Removes the file and gives the revision's code: `code`, or 12 when the file may not be
    // removed or its removal fails.
    std::int32_t finish(std::int32_t code) {
        m_finished = true;
        if (m_path.isEmpty()) return code;  // none was made
        if (!m_files.isDeletable(m_path) || !m_files.remove(m_path)) return result::kTempNotRemovable;
        return code;
    }

private:
    platform::Files& m_files;
    QString m_path;
    bool m_finished = false;
};

// The new copy beside the installed font until it trades places with it, and the old font
// under its name after: removed on every way out, which the driver asks for with done().
class StagedCopy {
public:
    StagedCopy(platform::Files& files, QString path) : m_files(files), m_path(std::move(path)) {}
    ~StagedCopy() {
        if (!m_done) m_files.remove(m_path);
    }
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;
    const QString& path() const { return m_path; }
    // Nothing stands under the name any more: the old font came back into place.
    void gone() { m_done = true; }
    // Removes what stands under the name; false when it stays.
    bool done() {
        if (m_done) return true;
        m_done = true;
        return m_files.remove(m_path);
    }

private:
    platform::Files& m_files;
    QString m_path;
    bool m_done = false;
};
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

std::int32_t OpenTypeManager::notReplaceable(const QString& path, platform::Files::Removal removal) {
    return fail(result::kNotReplaceable, QString(), whyNotReplaceable(path, removal));
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
// them it is the new file that could not be made, and the temporary file and the staged copy
// are gone by the time the code is returned.
std::int32_t OpenTypeManager::updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                                 std::int32_t count, std::int32_t index,
                                                 const SourceLookup& sources) try {
    const FontProgress progress{proc, context, count, index, target.fullpath};
    const QString& path = target.fullpath;
    const std::uint32_t version = target.version;
    // An installed path that is a symbolic link is revised in the file behind it where the
    // search would find that file and this user may replace it: the link stays as the user
    // made it, and every path to the font sees the new revision. Elsewhere the link itself is
    // replaced by the revised font.
    const QString installed = replacedFile(m_files, sources, path);

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
    if (!sources.stillTarget(m_installedFont.bytes(), path, version))
        return fail(result::kFontUnusable, path, "font-changed",
                    QStringLiteral("no longer the font and revision the search found"));
    if (!readLicenseStrings())
        return fail(result::kFontUnusable, path, "license-strings",
                    QStringLiteral("its License Description strings (Macintosh and Windows) are missing or unusable"));

    const SourceEntryPtr source = sources.sourceForTarget(path, version);
    if (!source || source->fullpath.isEmpty())
        return fail(result::kFontUnusable, path, "no-patch", QStringLiteral("no patch in the host folder is for it"));

    const std::optional<QString> temporaryPath = freeTemporaryPath(m_files);
    if (!temporaryPath || (m_dryRun && !m_files.isDeletable(*temporaryPath)))
        return fail(result::kNewFileFailed, m_files.temporaryFolder(), "temp-folder",
                    QStringLiteral("no temporary folder this user may write ($TMPDIR, /tmp, /var/tmp)"));
    // The file exists only once the assembly has returned 0: it is created at its last
    // step, and a failed creation leaves nothing behind. A dry run creates none.
    if (const std::int32_t code = creatFontFileDiff(progress, *source, *temporaryPath); code != result::kRevised)
        return code;
    TemporaryFile temporary(m_files, m_dryRun ? QString() : *temporaryPath);
    const auto finish = [&](std::int32_t code) {
        const std::int32_t ended = temporary.finish(code);
        if (ended != code)
            fail(ended, *temporaryPath, "temp-not-removable", QStringLiteral("the temporary file can't be removed"));
        return ended;
    };

    if (progress.report(step::kCopyIntoPlace, platform::lastPathComponent(source->fullpath)))
        return finish(cancelled());

    const std::optional<std::uint32_t> permissions = m_files.permissions(installed);
    if (!permissions)
        return finish(fail(result::kNewFileFailed, installed, "permissions-unknown",
                           QStringLiteral("its permissions can't be read")));
    if (const auto removal = m_files.removal(installed); removal != platform::Files::Removal::Allowed)
        return finish(notReplaceable(installed, removal));
    if (m_dryRun) return result::kRevised;

    // The new file is made complete beside the installed one, checked and given its
    // attributes there, and only then trades places with it in one step: until that moment
    // the installed font is untouched, and a failure removes the new file. A file of ours
    // that stays is never a success.
    m_pauses.pause(200);
    const std::optional<QString> copied = m_files.copyBeside(temporary.path(), installed);
    if (!copied)
        return finish(fail(result::kCopyFailed, installed, "copy-beside",
                           QStringLiteral("the new font could not be copied into its folder (disk full?)")));
    StagedCopy staged(m_files, *copied);
    const auto end = [&](std::int32_t code) {
        if (staged.done()) return finish(code);
        return finish(fail(result::kTempNotRemovable, staged.path(), "staged-not-removable",
                           QStringLiteral("the new copy beside the font can't be removed")));
    };
    m_pauses.pause(100);

    if (!compareFontData(staged.path(), m_written))
        return end(fail(result::kNewFileFailed, staged.path(), "copy-check",
                        QStringLiteral("the copy beside the font is not the new font as built")));
    const auto attributes = [&] {
        return end(fail(result::kNewFileFailed, staged.path(), "attributes",
                        QStringLiteral("the new copy can't be given the font's permissions and attributes")));
    };
    if (!m_files.setTypeAndCreator(staged.path(), kFileTypeSfnt, kFileCreatorATMC)) return attributes();
    m_pauses.pause(100);
    if (!m_files.setPermissions(staged.path(), *permissions)) return attributes();
    m_pauses.pause(100);

    const std::optional<QString> kept = m_files.replaceKeepingOld(staged.path(), installed);
    if (!kept)
        return end(fail(result::kCopyFailed, installed, "exchange",
                        QStringLiteral("the new font could not be put in place of the old one")));
    // The old font now stands under the staged name, or under `kept` where the file system
    // could not trade places.
    staged.gone();
    StagedCopy old(m_files, *kept);

    // The file in place is checked once more; should it not be the image, the old font comes
    // back. Should even that fail, it stays under our name, never removed: the next run puts
    // it back.
    if (!compareFontData(installed, m_written)) {
        const bool back = m_files.rename(*kept, installed);
        old.gone();
        return finish(
            fail(result::kNewFileFailed, installed, "in-place-check",
                 back ? QStringLiteral("the file in place was not the new font as built; the old font is back")
                      : QStringLiteral("the file in place was not the new font as built; the old font stays beside "
                                       "it as %1 until a run proves which one to keep")
                            .arg(*kept)));
    }
    if (old.done()) return finish(result::kRevised);
    return finish(fail(result::kTempNotRemovable, *kept, "old-not-removable",
                       QStringLiteral("the old font kept beside the new one can't be removed")));
} catch (const std::bad_alloc&) {
    return fail(result::kNewFileFailed, target.fullpath, "memory", QStringLiteral("no memory to finish the revision"));
}

}  // namespace fr
