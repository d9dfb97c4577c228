#include "discovery/FontCheckCtrl.h"

#include "discovery/TextRules.h"
#include "patch/MakeSabunData.h"
#include "patch/PatchLayout.h"
#include "platform/NativePath.h"
#include "platform/PathText.h"

#include <array>
#include <memory>

namespace fr {

namespace {
// Where a package of a vendor's patches puts them, apart from the program's own folder.
const QString kSystemPatchFolder = QStringLiteral("/usr/share/font-reviser/host");
// Revisions up to 1.002 of a font in the alternative list take the "2.pa" patch.
constexpr std::uint64_t kAlternativeRevisionBound = 65667;  // 0x10083
}  // namespace

// Fonts of other families whose early revisions are mended by a second patch named after
// them. None of them carries a family word, so the scan never admits one.
const char* const kAlternativePatchNames[12] = {
    "PlainGothicStd-W3-Legacy.otf", "PlainGothicStd-W6-Legacy.otf", "PlainGothicStd-W9-Legacy.otf",
    "PlainMinchoStd-W2-Legacy.otf", "PlainMinchoStd-W5-Legacy.otf", "PlainMinchoStd-W8-Legacy.otf",
    "PlainRoundStd-W4-Legacy.otf",  "PlainRoundStd-W7-Legacy.otf",  "PlainBrushStd-W5-Legacy.otf",
    "PlainGothicPro-W3-Legacy.otf", "PlainGothicPro-W6-Legacy.otf", "PlainMinchoPro-W3-Legacy.otf",
};

FontCheckCtrl::FontCheckCtrl(const platform::Platform& services, QString trustedKey)
    : m_files(*services.files),
      m_volumes(*services.volumes),
      m_fontFolders(*services.fontFolders),
      m_trustedKey(std::move(trustedKey)) {}

QString FontCheckCtrl::patchSourceFolder() const {
    if (!m_patchSourceFolder.isEmpty()) return m_patchSourceFolder;
    const QString app = m_files.applicationPath();
    const qsizetype slash = app.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : app.left(slash));
    QString beside = text::joinPath(folder, QStringLiteral("host"));
    if (m_files.isFolder(beside) || !m_files.isFolder(kSystemPatchFolder)) return beside;
    return kSystemPatchFolder;
}

SourceEntryPtr FontCheckCtrl::sourceEntryFromPatch(const platform::Files& files, const QString& path, Reason* why) {
    std::array<char, 255> fontName{};
    std::uint32_t version = 0;
    if (!MakeSabunData::checkSabunData(files, path, fontName.data(), version, why)) return nullptr;
    auto entry = std::make_shared<SourceEntry>();
    entry->fullpath = path;
    entry->fontfile =
        text::formKC(platform::removeLastExtension(platform::lastPathComponent(path)) + QStringLiteral(".otf"));
    // font_name is 32 bytes at most, ended by the first zero byte.
    entry->fontname = platform::decodeZeroTerminatedUtf8(
        std::span(reinterpret_cast<const std::uint8_t*>(fontName.data()), patchfile::header::kFontNameSize));
    entry->version = version;
    return entry;
}

bool FontCheckCtrl::checkUpdateFontFile() {
    const QString folder = patchSourceFolder();
    m_manifest = readManifest(m_files, folder, m_trustedKey);
    m_trust = folderTrust(m_manifest, !m_trustedKey.trimmed().isEmpty(), m_allowUnsigned, folder);
    if (!m_trust.usable) return false;
    for (const platform::DirEntry& entry : m_files.listEntries(folder)) {
        const QString path = text::joinPath(folder, entry.name);
        if (entry.name == QLatin1String(kManifestName) || entry.name == QLatin1String(kManifestSignatureName)) continue;
        // A file without a family word is never opened, nor one the manifest does not list.
        if (!text::hasFamilyWord(text::formC(entry.name))) {
            note(
                SearchNote::Kind::SourceSkipped, path,
                {QStringLiteral("source-name"), QStringLiteral("its name carries no family word (Velmora, Kestrune)")});
            continue;
        }
        if (m_trust.verified && !m_manifest.entryFor(entry.name)) {
            note(SearchNote::Kind::SourceSkipped, path,
                 {QStringLiteral("manifest-unlisted"), QStringLiteral("the signed manifest does not list it")});
            continue;
        }
        Reason why;
        SourceEntryPtr source = withManifestEntry(sourceEntryFromPatch(m_files, path, &why), m_manifest, &why);
        if (!source) {
            note(SearchNote::Kind::SourceSkipped, path, why);
            continue;
        }
        m_UpdateSrcFontArray.push_back(std::move(source));
    }
    return false;
}

SourceFor FontCheckCtrl::sourceFor() const {
    return [this](const QString& installedName) { return IsUpdateFont(text::formKC(installedName), QString()); };
}

SourceEntryPtr FontCheckCtrl::IsUpdateFont(const QString& name, const QString& /*path*/) const {
    for (const auto& source : m_UpdateSrcFontArray)
        if (source->fontfile == name) return source;
    return nullptr;
}

SourceEntryPtr FontCheckCtrl::getUpdateFontPath(const QString& path, std::uint64_t version) const {
    // The installed name as found, compared in Form KC like every name the sources hold.
    const QString fileName = text::formKC(platform::lastPathComponent(path));
    for (const char* alternative : kAlternativePatchNames) {
        if (fileName != QLatin1String(alternative)) continue;
        if (version <= kAlternativeRevisionBound) {
            const QString patchName = platform::removeLastExtension(fileName) + QStringLiteral("2.pa");
            for (const auto& source : m_UpdateSrcFontArray)
                if (platform::lastPathComponent(source->fullpath) == patchName) return source;
        }
        break;  // the names all differ: no other one can match
    }
    for (const auto& source : m_UpdateSrcFontArray)
        if (source->fontfile == fileName) return source;
    return nullptr;
}

}  // namespace fr
