// Revises one installed font end to end: load, the check that the file is still the one the
// search admitted, the License Description strings, the patch source, the assembly into a
// temporary file, the new file made and checked beside the installed one, and its rename
// into place.

#include "patch/RevisionDriver.h"

#include "fonttables/CommonTool.h"
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
        if (!m_finished) m_files.remove(m_path);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const QString& path() const { return m_path; }
    // Removes the file and gives the revision's code: `code`, or 12 when the file may not be
    // removed or its removal fails.
    std::int32_t finish(std::int32_t code) {
        m_finished = true;
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

// Memory that can't be had for the installed font's directory makes the font unusable here.
std::int32_t OpenTypeManager::loadOpenTypeDiff(const FontProgress& progress) try {
    const QString name = platform::lastPathComponent(progress.path);
    if (progress.report(step::kOpenFont, progress::openingLine(name))) return result::kCancelled;

    // The font is opened here and read where it lies: its directory now, its tables as the
    // revision needs them, straight into the new image.
    auto file = m_files.openForReading(progress.path);
    const bool read = file && file->size() != 0;

    if (progress.report(step::kReadFont, progress::readingLine(name))) return result::kCancelled;

    if (read && !m_installedFont.load(std::move(file))) return result::kFontUnusable;

    if (progress.report(step::kTablesRead, progress::tagsReadLine())) return result::kCancelled;
    return read ? result::kRevised : result::kFontUnusable;
} catch (const std::bad_alloc&) {
    return result::kFontUnusable;
}

bool OpenTypeManager::compareFontData(const QString& path, std::uint32_t sum) const {
    constexpr std::size_t kPiece = 256 * 1024;  // a whole number of words; hot in the cache for the sum and the digest
    const auto file = m_files.openForReading(path);
    // A sum cannot see a lost tail of zero words: the length must be the image's too.
    if (!file || file->size() == 0 || file->size() != m_WriteLength) return false;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, file->size())));
    std::uint32_t total = 0;
    Hasher digest;
    for (std::uint64_t at = 0; at < file->size(); at += kPiece) {
        const auto piece =
            std::span(buffer).first(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, file->size() - at)));
        if (!file->readAt(at, piece)) return false;
        total += CommonTool::tableChecksum(piece);
        digest.update(piece);
    }
    return total == sum && digest.digest() == m_imageDigest;
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

    // What interrupted runs left goes first. A file of ours that can't be removed is never
    // multiplied by another run: nothing is made where one stays.
    const SourceFor sourceFor = [&sources](const QString& name) { return sources.sourceForInstalledName(name); };
    if (!clearLeftoversAround(m_files, path, sourceFor)) return result::kTempNotRemovable;

    if (const std::int32_t code = loadOpenTypeDiff(progress); code != result::kRevised) return code;
    // The file may have changed since the search admitted it.
    if (!sources.stillTarget(m_installedFont.bytes(), path, version)) return result::kFontUnusable;
    if (!readLicenseStrings()) return result::kFontUnusable;

    const SourceEntryPtr source = sources.sourceForTarget(path, version);
    if (!source || source->fullpath.isEmpty()) return result::kFontUnusable;

    const std::optional<QString> temporaryPath = freeTemporaryPath(m_files);
    if (!temporaryPath) return result::kNewFileFailed;
    // The file exists only once the assembly has returned 0: it is created at its last
    // step, and a failed creation leaves nothing behind.
    if (const std::int32_t code = creatFontFileDiff(progress, *source, *temporaryPath); code != result::kRevised)
        return code;
    TemporaryFile temporary(m_files, *temporaryPath);

    if (progress.report(step::kCopyIntoPlace, progress::copyingLine(platform::lastPathComponent(source->fullpath))))
        return temporary.finish(result::kCancelled);

    // An installed path that is a symbolic link is revised in the file behind it, where the
    // search would look for that file: the link stays as the user made it, and every path to
    // the font sees the new revision. Behind it elsewhere (another volume, or one the search
    // passes over), the link itself is replaced by the revised font.
    QString installed = revisionIdentity(m_files, path);
    if (installed != path && !sources.onAdmittedVolume(installed)) installed = path;
    const std::optional<std::uint32_t> permissions = m_files.permissions(installed);
    if (!permissions) return temporary.finish(result::kNewFileFailed);
    if (!m_files.isDeletable(installed)) return temporary.finish(result::kNotReplaceable);

    // The new file is made complete beside the installed one, checked and given its
    // attributes there, and only then trades places with it in one step: until that moment
    // the installed font is untouched, and a failure removes the new file. A file of ours
    // that stays is never a success.
    m_pauses.pause(200);
    const std::optional<QString> copied = m_files.copyBeside(temporary.path(), installed);
    if (!copied) return temporary.finish(result::kCopyFailed);
    StagedCopy staged(m_files, *copied);
    const auto end = [&](std::int32_t code) {
        return temporary.finish(staged.done() ? code : result::kTempNotRemovable);
    };
    m_pauses.pause(100);

    if (!compareFontData(staged.path(), m_VerifyCheckSum)) return end(result::kNewFileFailed);
    if (!m_files.setTypeAndCreator(staged.path(), kFileTypeSfnt, kFileCreatorATMC)) return end(result::kNewFileFailed);
    m_pauses.pause(100);
    if (!m_files.setPermissions(staged.path(), *permissions)) return end(result::kNewFileFailed);
    m_pauses.pause(100);

    const std::optional<QString> kept = m_files.replaceKeepingOld(staged.path(), installed);
    if (!kept) return end(result::kCopyFailed);
    // The old font now stands under the staged name, or under `kept` where the file system
    // could not trade places (or nowhere, where it has no links either).
    staged.gone();
    StagedCopy old(m_files, *kept);
    if (kept->isEmpty()) old.gone();

    // The file in place is checked once more; should it not be the image, the old font comes
    // back. Should even that fail, it stays under our name, never removed: the next run puts
    // it back.
    if (!compareFontData(installed, m_VerifyCheckSum)) {
        if (!kept->isEmpty()) m_files.rename(*kept, installed);
        old.gone();
        return temporary.finish(result::kNewFileFailed);
    }
    return temporary.finish(old.done() ? result::kRevised : result::kTempNotRemovable);
} catch (const std::bad_alloc&) {
    return result::kNewFileFailed;
}

}  // namespace fr
