// The walk over the local fixed volumes that finds the installed fonts to revise.

#include "discovery/FontCheckCtrl.h"
#include "discovery/TextRules.h"
#include "patch/LeftoverClearing.h"
#include "patch/OpenTypeManager.h"
#include "platform/Leftovers.h"

#include <QSet>

#include <algorithm>

namespace fr {

namespace {

const QString kFontExtension = QStringLiteral(".otf");
const QString kRoot = QStringLiteral("/");

// Folders never entered: other volumes seen from the root, backup sets, application
// bundles, bundle contents and frameworks.
const QString kVolumesFolder = QStringLiteral("/Volumes");
const QString kBackups = QStringLiteral("Backups.backupdb");
const QString kApplication = QStringLiteral(".app");
const QString kContents = QStringLiteral("Contents");
const QString kFramework = QStringLiteral("framework");

constexpr qsizetype kMaxFolderPathLength = 300;
constexpr qsizetype kMaxParts = 5;
constexpr qsizetype kMaxPartsInHome = 7;
constexpr std::int32_t kCallbackPace = 300;

}  // namespace

struct FontCheckCtrl::ScanContext {
    bool root = false;
    SearchStatusProc proc = nullptr;
    void* context = nullptr;
    QString homeWordC;  // in Form C
    platform::Files& files;
    platform::Volumes& volumes;
    // Inside a font folder the walk goes to any depth, and a file that the walks have
    // listed already (the same file, whatever path reached it) is not listed again.
    bool inFontFolder = false;
    QSet<QString>* listedFiles = nullptr;
};

bool FontCheckCtrl::searchOpenTypeFont(SearchStatusProc proc, void* context) {
    // What interrupted runs left in the temporary folder goes; beside the fonts the walk
    // clears what it meets.
    if (m_clearsLeftovers) clearLeftovers(m_files, m_files.temporaryFolder(), sourceFor());
    checkVolume();
    const qsizetype count = m_VolumeArray.size();
    for (qsizetype i = 0; i < count; ++i) {
        m_folderCnt = 0;
        const QString volume = m_VolumeArray.at(i);
        note(SearchNote::Kind::VolumeWalked, volume);
        if (!searchDirectorySub(volume, volume == kRoot, proc, context)) return false;
    }
    searchFontFolders(proc, context);
    return false;
}

bool FontCheckCtrl::searchFontFolders(SearchStatusProc proc, void* context) {
    auto& files = m_files;
    auto& volumes = m_volumes;
    // The files the volume walk listed, by what they are behind their links.
    QSet<QString> listed;
    for (const auto& target : m_OpenTypeFontArray) listed.insert(files.canonicalPath(target->fullpath));

    QStringList walked;  // font folders walked, behind their links
    const auto skipped = [&](const QString& folder, const char* rule, const QString& detail) {
        note(SearchNote::Kind::VolumeSkipped, folder, {QString::fromLatin1(rule), detail});
    };
    for (const QString& folder : m_fontFolders.fontFolders()) {
        const QString real = files.canonicalPath(folder);
        if (real.isEmpty() || !files.isFolder(real)) {
            skipped(folder, "font-folder-missing", QStringLiteral("a font folder fontconfig names, but no folder"));
            continue;
        }
        // A folder inside one walked already has been walked with it.
        const auto inside = std::find_if(walked.cbegin(), walked.cend(), [&](const QString& w) {
            return real == w || real.startsWith(w == kRoot ? w : w + QLatin1Char('/'));
        });
        if (inside != walked.cend()) {
            skipped(folder, "font-folder-inside", QStringLiteral("walked with %1").arg(*inside));
            continue;
        }
        if (!m_VolumeArray.contains(volumes.mountPointOf(real))) {
            skipped(folder, "font-folder-volume",
                    QStringLiteral("on %1, a volume the search does not walk").arg(volumes.mountPointOf(real)));
            continue;
        }
        walked << real;
        note(SearchNote::Kind::FontFolderWalked, folder);

        const ScanContext scan{false, proc,    context, text::formC(volumes.homeFolderWord()),
                               files, volumes, true,    &listed};
        m_folderCnt = 0;
        if (scan.proc && scan.proc(folder, scan.context)) return false;
        if (!walkFolder(scan, folder, text::formC(folder))) return false;
    }
    return true;
}

bool admittedVolume(const platform::Volumes& volumes, const QString& mountPoint) {
    platform::VolumeInfo info;
    // A volume that can't say what it is might be a network or removable one: not walked.
    return volumes.volumeInfo(mountPoint, info) && !info.removable && !info.unmountable;
}

bool FontCheckCtrl::checkVolume() {
    for (const QString& path : m_volumes.mountedLocalVolumePaths()) {
        if (admittedVolume(m_volumes, path)) {
            m_VolumeArray.append(path);
            continue;
        }
        if (!m_notes) continue;
        platform::VolumeInfo info;
        if (!m_volumes.volumeInfo(path, info))
            note(SearchNote::Kind::VolumeSkipped, path,
                 {QStringLiteral("volume-unknown"), QStringLiteral("a volume that can't say what it is")});
        else
            note(SearchNote::Kind::VolumeSkipped, path,
                 info.removable ? Reason{QStringLiteral("volume-removable"), QStringLiteral("a removable disk")}
                                : Reason{QStringLiteral("volume-media"),
                                         QStringLiteral("media a user mounted and may eject (/media, /run/media)")});
    }
    if (m_notes)
        for (const platform::PassedOverMount& mount : m_volumes.passedOverMounts())
            note(SearchNote::Kind::VolumeSkipped, mount.mountPoint, {mount.rule, mount.detail});
    return false;
}

bool FontCheckCtrl::onAdmittedVolume(const QString& path) const {
    return m_VolumeArray.contains(m_volumes.mountPointOf(path));
}

bool FontCheckCtrl::searchDirectorySub(const QString& path, bool root, SearchStatusProc proc, void* context) {
    const ScanContext scan{root, proc, context, text::formC(m_volumes.homeFolderWord()), m_files, m_volumes};
    return walkFolder(scan, path, text::formC(path));
}

bool FontCheckCtrl::walkFolder(const ScanContext& scan, const QString& path, const QString& pathC) {
    if (!scan.inFontFolder) {
        const bool inHome = !scan.homeWordC.isEmpty() && pathC.contains(scan.homeWordC);
        if (text::pathPartCount(path) > (inHome ? kMaxPartsInHome : kMaxParts)) return true;
    }

    const std::vector<platform::DirEntry> entries = scan.files.listEntries(path);
    for (const platform::DirEntry& entry : entries) {
        const QString full = text::joinPath(path, entry.name);

        // What the listing says spares a second look at the disk; only entries it can't
        // place are asked about, links followed.
        bool isFolder = false;
        bool knownToExist = false;
        switch (entry.kind) {
        case platform::EntryKind::Folder:
            isFolder = true;
            break;
        case platform::EntryKind::File:
            knownToExist = true;
            break;
        case platform::EntryKind::SymbolicLink:
            // A link to a folder is never followed; a link to anything else is a file if its
            // name can make it a candidate at all.
            if (!entry.name.contains(kFontExtension) || scan.files.isFolder(full)) continue;
            break;
        case platform::EntryKind::Other:
            // Pipes, sockets and devices: no font can be read from one.
            continue;
        case platform::EntryKind::Unknown:
            if (scan.files.isFolder(full)) {
                if (scan.files.isSymbolicLink(full)) continue;
                isFolder = true;
            }
            break;
        }

        if (isFolder) {
            if (text::utf16Length(full) > kMaxFolderPathLength) continue;
            const QString fullC = text::joinPath(pathC, text::formC(entry.name));
            if (scan.root && fullC.contains(kVolumesFolder)) continue;
            if (fullC.contains(kBackups) || fullC.contains(kApplication) || fullC.contains(kContents) ||
                fullC.contains(kFramework))
                continue;
            // Another file system mounted here is walked as its own volume, if at all.
            if (scan.volumes.isOtherMountPoint(full)) continue;

            if (m_folderCnt % kCallbackPace == 0) {
                if (scan.proc && scan.proc(full, scan.context)) return false;
                m_folderCnt = 0;
            }
            if (!walkFolder(scan, full, fullC)) return false;
            ++m_folderCnt;
            continue;
        }

        // What an interrupted revision left beside a font goes once its run has ended.
        if (entry.name.startsWith(QLatin1Char('.')) && platform::mayBeLeftoverName(entry.name)) {
            if (m_clearsLeftovers) clearLeftover(scan.files, full, sourceFor());
            continue;
        }
        // A name without ".otf" has none in any canonically equivalent spelling either.
        if (!entry.name.contains(kFontExtension)) continue;
        const QString nameC = text::formC(entry.name);
        if (!nameC.contains(kFontExtension)) continue;
        if (!text::hasFamilyWord(nameC)) continue;
        if (!knownToExist && !scan.files.exists(full)) continue;
        if (scan.listedFiles) {
            const QString identity = scan.files.canonicalPath(full);
            if (scan.listedFiles->contains(identity)) continue;
            if (examineCandidate(full, entry.name)) scan.listedFiles->insert(identity);
            continue;
        }
        examineCandidate(full, entry.name);
    }
    return true;
}

bool FontCheckCtrl::examineCandidate(const QString& path, const QString& name) {
    const SourceEntryPtr source = IsUpdateFont(text::formKC(name), path);
    if (!source) {
        note(SearchNote::Kind::CandidateSkipped, path,
             {QStringLiteral("no-patch"), QStringLiteral("no patch in the host folder is for a font of this name")});
        return false;
    }
    // Only what the checks need is read: never the whole file.
    std::uint64_t revision = 0;
    const auto file = m_files.openForReading(path);
    Reason why{QStringLiteral("font-unreadable"), QStringLiteral("the file can't be opened for reading")};
    if (!file || !OpenTypeManager::checkOpenTypeVersion(*file, *source, revision, &why)) {
        note(SearchNote::Kind::CandidateSkipped, path, why);
        return false;
    }
    auto target = std::make_shared<TargetEntry>();
    // The path exactly as the listings gave it: the file is opened by these bytes.
    target->fullpath = path;
    target->version = static_cast<std::uint32_t>(revision);
    m_OpenTypeFontArray.push_back(std::move(target));
    return true;
}

}  // namespace fr
