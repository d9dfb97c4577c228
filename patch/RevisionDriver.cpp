// Revises one installed font end to end: load, the check that the file is still the one the
// search admitted, the License Description strings, the patch source, the assembly into a
// temporary file, the replacement of the installed file, its attributes and the check of
// what is in place.

#include "patch/RevisionDriver.h"

#include "discovery/FontCheckCtrl.h"
#include "fonttables/ImageSum.h"
#include "fonttables/OpenTypeManager.h"
#include "patch/ProgressText.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>

namespace fr {

namespace {
constexpr std::uint32_t kFileTypeSfnt = 0x73666E74;     // "sfnt"
constexpr std::uint32_t kFileCreatorATMC = 0x41544D43;  // "ATMC"
// Names taken already (by another revision in the same second, or planted) are skipped;
// after this many the temporary folder is taken to be unusable.
constexpr int kTemporaryNameAttempts = 64;

QString nameInFormKC(const QString& path) {
    return progress::fileName(path).normalized(QString::NormalizationForm_KC);
}

// A path in the temporary folder at which nothing, not even a dangling link, stands. The
// assembly creates the file there exclusively, so a name taken meanwhile fails cleanly.
std::optional<QString> freeTemporaryPath() {
    const platform::Files& files = platform::files();
    QString folder = files.temporaryFolder();
    if (!folder.endsWith(u'/')) folder += u'/';
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const QString path = folder + temporaryFileName();
        if (!files.exists(path) && !files.isSymbolicLink(path)) return path;
    }
    return std::nullopt;
}
}  // namespace

QString temporaryFileName() {
    return QString::number(static_cast<qlonglong>(std::time(nullptr))) + QString::number(std::rand() % 255);
}

QString revisionIdentity(const QString& targetPath) {
    const QString canonical = platform::files().canonicalPath(targetPath);
    return canonical.isEmpty() ? targetPath : canonical;
}

SourceEntryPtr DiscoverySourceLookup::sourceForName(const QString& name) const {
    return FontCheckCtrl::getFontCheckCtrl()->IsUpdateFont(name, QString());
}
SourceEntryPtr DiscoverySourceLookup::sourceForTarget(const QString& path, std::uint64_t version) const {
    return FontCheckCtrl::getFontCheckCtrl()->getUpdateFontPath(path, version);
}

SourceEntryPtr FixedSourceLookup::sourceForName(const QString& name) const {
    for (const auto& source : m_sources)
        if (source && source->fontfile == name) return source;
    return nullptr;
}
SourceEntryPtr FixedSourceLookup::sourceForTarget(const QString& path, std::uint64_t) const {
    return sourceForName(nameInFormKC(path));
}

std::int32_t OpenTypeManager::loadOpenTypeDiff(const QString& path, RevisionProgressProc proc, void* context,
                                               std::int32_t count, std::int32_t index) {
    const QString name = progress::fileName(path);
    if (progress::report(proc, context, 10, count, index, path, progress::openingLine(name)))
        return result::kCancelled;

    auto file = platform::files().readAll(path);
    // Lengths are 32-bit signed throughout the engine: a larger file is no font of ours.
    const bool read = file && !file->empty() &&
                      file->size() <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    if (read) setReadData(std::move(*file));
    file.reset();

    if (progress::report(proc, context, 20, count, index, path, progress::readingLine(name)))
        return result::kCancelled;

    if (read) {
        const std::span<const std::uint8_t> font(m_pReadData.data(), static_cast<std::size_t>(m_fileLength));
        if (!checkOpenTypeHeader(font, m_fileLength, m_sfntHead)) return result::kFontUnusable;
        if (buildTagObjects() != result::kRevised) return result::kFontUnusable;
    }

    if (progress::report(proc, context, 30, count, index, path, progress::tagsReadLine()))
        return result::kCancelled;
    return read ? result::kRevised : result::kFontUnusable;
}

bool OpenTypeManager::compareFontData(const QString& path, std::uint32_t sum) const {
    const auto file = platform::files().readAll(path);
    if (!file || file->empty()) return false;
    // A sum cannot see a lost tail of zero words: the length must be the image's too.
    if (file->size() != m_WriteLength) return false;
    return verificationSum(*file, file->size()) == sum;
}

std::int32_t OpenTypeManager::updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                                 std::int32_t count, std::int32_t index) {
    const DiscoverySourceLookup discovery;
    return updateOpenTypeDiff(target, proc, context, count, index, discovery);
}

std::int32_t OpenTypeManager::updateOpenTypeDiff(const TargetEntry& target, RevisionProgressProc proc, void* context,
                                                 std::int32_t count, std::int32_t index,
                                                 const SourceLookup& sources) {
    const QString path = target.fullpath;
    const std::uint32_t version = target.version;

    if (const std::int32_t code = loadOpenTypeDiff(path, proc, context, count, index); code != result::kRevised)
        return code;

    // The file may have changed since the search admitted it: the bytes loaded must pass the
    // same identity checks, with the revision the target was listed with.
    {
        const SourceEntryPtr paired = sources.sourceForName(nameInFormKC(path));
        std::uint64_t revision = 0;
        const std::span<const std::uint8_t> font(m_pReadData.data(), static_cast<std::size_t>(m_fileLength));
        if (!paired || !checkOpenTypeVersion(font, *paired, revision) || revision != version)
            return result::kFontUnusable;
    }

    m_SerialNumber.fill(0);
    m_SerialNumberUni.fill(0);
    if (!getSerialNumber(m_SerialNumber, m_SerialNumberUni)) return result::kFontUnusable;

    const SourceEntryPtr source = sources.sourceForTarget(path, version);
    if (!source || source->fullpath.isEmpty()) return result::kFontUnusable;
    const QString patch = source->fullpath;

    const std::optional<QString> temporary = freeTemporaryPath();
    if (!temporary) return result::kNewFileFailed;

    // The temporary file exists only once the assembly has returned 0: it is created at its
    // last step, and a failed creation leaves nothing behind.
    if (const std::int32_t code = creatFontFileDiff(path, patch, *temporary, proc, context, count, index);
        code != result::kRevised)
        return code;

    platform::Files& files = platform::files();
    platform::Pauses& pauses = platform::pauses();
    auto cleanUp = [&](std::int32_t code) {
        if (!files.isDeletable(*temporary)) return result::kTempNotRemovable;
        files.remove(*temporary);
        return code;
    };

    if (progress::report(proc, context, 100, count, index, path, progress::copyingLine(progress::fileName(patch))))
        return cleanUp(result::kCancelled);

    // An installed path that is a symbolic link is revised in the file behind it: the link
    // stays as the user made it, and every path to the font sees the new revision.
    const QString installed = revisionIdentity(path);

    const std::optional<std::uint32_t> permissions = files.permissions(installed);
    if (!permissions) return cleanUp(result::kNewFileFailed);
    if (!files.isDeletable(installed)) return cleanUp(result::kNotReplaceable);

    // The new file is made complete beside the installed one, checked and given its
    // attributes there, and only then renamed over it in one step: until that moment the
    // installed font is untouched, and a failure removes the new file.
    pauses.pause(200);
    const std::optional<QString> staged = files.copyBeside(*temporary, installed);
    if (!staged) return cleanUp(result::kCopyFailed);
    struct StagedRemoval {
        platform::Files& files;
        const QString& path;
        bool active = true;
        ~StagedRemoval() {
            if (active) files.remove(path);
        }
    } stagedRemoval{files, *staged};
    pauses.pause(100);

    if (!compareFontData(*staged, m_VerifyCheckSum)) return cleanUp(result::kNewFileFailed);
    if (!files.setTypeAndCreator(*staged, kFileTypeSfnt, kFileCreatorATMC)) return cleanUp(result::kNewFileFailed);
    pauses.pause(100);
    if (!files.setPermissions(*staged, *permissions)) return cleanUp(result::kNewFileFailed);
    pauses.pause(100);

    const std::optional<QString> kept = files.replaceKeepingOld(*staged, installed);
    if (!kept) return cleanUp(result::kCopyFailed);
    stagedRemoval.active = false;

    // The file in place is checked once more; should it not be the image, the old font
    // comes back where the file system kept it.
    const bool inPlace = compareFontData(installed, m_VerifyCheckSum);
    if (!kept->isEmpty()) {
        if (!inPlace) files.rename(*kept, installed);
        else files.remove(*kept);
    }
    return cleanUp(inPlace ? result::kRevised : result::kNewFileFailed);
}

}  // namespace fr
