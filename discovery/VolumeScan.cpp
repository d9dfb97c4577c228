// The walk over the local fixed volumes that finds the installed fonts to revise.

#include "discovery/FontCheckCtrl.h"
#include "discovery/TextRules.h"
#include "patch/IdentityChecks.h"
#include "patch/LeftoverClearing.h"
#include "platform/Leftovers.h"
#include "platform/PathText.h"

#include <QDir>
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

// The folder rules that the path alone decides, on the folder's path (`fullC` in Form C): too
// long, another volume seen from the root, a backup set, an application bundle, bundle
// contents or a framework.
bool folderSkippedByPath(const QString& full, const QString& fullC, bool root) {
    if (text::utf16Length(full) > kMaxFolderPathLength) return true;
    if (root && fullC.contains(kVolumesFolder)) return true;
    return fullC.contains(kBackups) || fullC.contains(kApplication) || fullC.contains(kContents) ||
           fullC.contains(kFramework);
}

// Whether the walk lists a folder this deep (`homeWordC`: the home folders' word, Form C).
bool withinDepth(const QString& path, const QString& pathC, const QString& homeWordC) {
    const bool inHome = !homeWordC.isEmpty() && pathC.contains(homeWordC);
    return text::pathPartCount(path) <= (inHome ? kMaxPartsInHome : kMaxParts);
}

// A file name the walk examines: ".otf" and a family word, in any canonically equivalent
// spelling.
bool candidateName(const QString& name) {
    if (!name.contains(kFontExtension)) return false;  // none in any equivalent spelling either
    const QString nameC = text::formC(name);
    return nameC.contains(kFontExtension) && text::hasFamilyWord(nameC);
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? kRoot : path.left(slash);
}

bool isInside(const QString& path, const QString& folder) {
    return path.startsWith(folder == kRoot ? folder : folder + QLatin1Char('/'));
}

bool isInsideOrAt(const QString& path, const QString& folder) { return path == folder || isInside(path, folder); }

}  // namespace

bool searchReaches(const platform::Volumes& volumes, const QString& volume, const QString& path) {
    return isInside(path, volume) && candidateName(platform::lastPathComponent(path)) &&
           walkEnters(volumes, volume, folderOf(path));
}

bool walkEnters(const platform::Volumes& volumes, const QString& volume, const QString& folder) {
    if (!isInsideOrAt(folder, volume)) return false;
    const QString homeWordC = text::formC(volumes.homeFolderWord());
    if (!withinDepth(folder, text::formC(folder), homeWordC)) return false;
    // Each folder below the volume, as the walk would meet it (a path without links holds none).
    const bool root = volume == kRoot;
    for (qsizetype at = volume.size() + (root ? 0 : 1); at < folder.size();) {
        qsizetype end = folder.indexOf(QLatin1Char('/'), at);
        if (end < 0) end = folder.size();
        const QString step = folder.left(end);
        if (folderSkippedByPath(step, text::formC(step), root) || volumes.isOtherMountPoint(step)) return false;
        at = end + 1;
    }
    return true;
}

void FontCheckCtrl::setScope(const SearchScope& scope) {
    m_scope = {{}, scope.fontFoldersOnly};
    QStringList real;
    for (const QString& folder : scope.under) {
        const QString canonical = m_files.canonicalPath(folder);
        real << (canonical.isEmpty() ? QDir::cleanPath(folder) : canonical);
    }
    for (const QString& folder : real)
        if (std::none_of(real.cbegin(), real.cend(), [&](const QString& other) { return isInside(folder, other); }) &&
            !m_scope.under.contains(folder))
            m_scope.under << folder;
}

bool FontCheckCtrl::wouldFind(const QString& path) const {
    if (!m_scope.under.isEmpty() &&
        std::none_of(m_scope.under.cbegin(), m_scope.under.cend(), [&](const QString& u) { return isInside(path, u); }))
        return false;
    // A font folder is walked to any depth, its rules aside.
    for (const QString& folder : m_walkedFontFolders)
        if (isInside(path, folder)) return candidateName(platform::lastPathComponent(path));
    const QString volume = m_volumes.mountPointOf(path);
    return !m_scope.fontFoldersOnly && m_VolumeArray.contains(volume) && searchReaches(m_volumes, volume, path);
}

void FontCheckCtrl::clearMet(const QString& path) {
    if (!m_clearsLeftovers) return;
    if (clearLeftover(m_files, path, sourceFor()) != Clearing::Kept) return;
    const auto leftover = platform::parseLeftoverName(platform::lastPathComponent(path));
    m_keptCopies.push_back({path, text::joinPath(folderOf(path), leftover->installedName)});
}

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
    for (const QString& volume : std::as_const(m_VolumeArray)) {
        m_folderCnt = 0;
        if (m_scope.fontFoldersOnly) {
            note(SearchNote::Kind::VolumeSkipped, volume,
                 {QStringLiteral("out-of-scope"), QStringLiteral("only the font folders are searched")});
            continue;
        }
        // Without a bound the whole volume; with one, the bounding folders on it (a volume
        // inside one is walked whole), each as the volume's walk would enter it.
        QStringList starts;
        for (const QString& folder : m_scope.under) {
            if (isInsideOrAt(volume, folder)) {
                starts = {volume};
                break;
            }
            if (!isInside(folder, volume) || m_volumes.mountPointOf(folder) != volume) continue;
            if (walkEnters(m_volumes, volume, folder))
                starts << folder;
            else
                note(SearchNote::Kind::VolumeSkipped, folder,
                     {QStringLiteral("out-of-rules"),
                      QStringLiteral("the search never enters it (past the depth limit, a folder it skips, or "
                                     "under a link)")});
        }
        if (m_scope.under.isEmpty()) starts = {volume};
        if (starts.isEmpty()) {
            note(SearchNote::Kind::VolumeSkipped, volume,
                 {QStringLiteral("out-of-scope"),
                  QStringLiteral("no folder the search is bounded to is searched on it")});
            continue;
        }
        for (const QString& start : starts) {
            note(SearchNote::Kind::VolumeWalked, start);
            if (!searchDirectorySub(start, volume == kRoot, proc, context)) return false;
        }
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
        // With a bound: the whole font folder where it lies inside one, else the bounding
        // folders inside it, each to any depth.
        QStringList starts;
        for (const QString& bound : m_scope.under) {
            if (isInsideOrAt(real, bound)) {
                starts = {folder};
                break;
            }
            if (isInside(bound, real)) starts << bound;
        }
        if (m_scope.under.isEmpty()) starts = {folder};
        if (starts.isEmpty()) {
            skipped(folder, "out-of-scope", QStringLiteral("outside every folder the search is bounded to"));
            continue;
        }
        const ScanContext scan{false, proc,    context, text::formC(volumes.homeFolderWord()),
                               files, volumes, true,    &listed};
        for (const QString& start : starts) {
            m_walkedFontFolders << (start == folder ? real : start);
            note(SearchNote::Kind::FontFolderWalked, start);
            m_folderCnt = 0;
            if (scan.proc && scan.proc(start, scan.context)) return false;
            if (!walkFolder(scan, start, text::formC(start))) return false;
        }
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

bool FontCheckCtrl::searchDirectorySub(const QString& path, bool root, SearchStatusProc proc, void* context) {
    const ScanContext scan{root, proc, context, text::formC(m_volumes.homeFolderWord()), m_files, m_volumes};
    return walkFolder(scan, path, text::formC(path));
}

bool FontCheckCtrl::walkFolder(const ScanContext& scan, const QString& path, const QString& pathC) {
    if (!scan.inFontFolder && !withinDepth(path, pathC, scan.homeWordC)) return true;

    const std::vector<platform::DirEntry> entries = scan.files.listEntries(path);
    for (const platform::DirEntry& entry : entries) {
        // Most entries are plain files no rule below takes: their path is never made.
        const bool mayBeLeftover = entry.name.startsWith(QLatin1Char('.')) && platform::mayBeLeftoverName(entry.name);
        if (entry.kind == platform::EntryKind::File && !mayBeLeftover && !candidateName(entry.name)) continue;
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
            const QString fullC = text::joinPath(pathC, text::formC(entry.name));
            if (folderSkippedByPath(full, fullC, scan.root)) continue;
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
        if (mayBeLeftover) {
            clearMet(full);
            continue;
        }
        if (!candidateName(entry.name)) continue;
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

TargetEntryPtr FontCheckCtrl::admitListed(const QString& path, Reason& why) {
    if (!m_fontFolderRoots) {
        checkVolume();
        m_fontFolderRoots.emplace();
        for (const QString& folder : m_fontFolders.fontFolders()) {
            const QString real = m_files.canonicalPath(folder);
            if (!real.isEmpty() && m_files.isFolder(real) && m_VolumeArray.contains(m_volumes.mountPointOf(real)))
                m_fontFolderRoots->emplace_back(folder, real);
        }
    }
    const auto refused = [&](const char* id, const QString& detail) {
        why = {QString::fromLatin1(id), detail};
        note(SearchNote::Kind::CandidateSkipped, path, why);
        return nullptr;
    };
    if (!path.startsWith(kRoot) || QDir::cleanPath(path) != path)
        return refused("path-not-plain", QStringLiteral("not an absolute path in its plain form"));
    const QString folder = folderOf(path);
    const QString name = platform::lastPathComponent(path);
    // The walk enters no folder that is a link: below where it starts, the folders are as named.
    const auto noLinksBelow = [&](const QString& start, const QString& startReal) {
        return m_files.canonicalPath(folder) == startReal + folder.mid(start.size());
    };
    bool reachable = false;
    for (const auto& [configured, real] : *m_fontFolderRoots)
        reachable = reachable || (isInside(path, configured) && noLinksBelow(configured, real));
    if (!reachable) {
        const QString volume = m_volumes.mountPointOf(path);
        reachable = m_VolumeArray.contains(volume) && searchReaches(m_volumes, volume, path) &&
                    noLinksBelow(volume, m_files.canonicalPath(volume));
    }
    if (!reachable) return refused("not-searched", QStringLiteral("the search does not look there"));
    if (!candidateName(name))
        return refused("not-searched", QStringLiteral("the search examines no file of this name"));
    if (!m_files.exists(path) || m_files.isFolder(path))
        return refused("font-unreadable", QStringLiteral("no file the search would examine"));
    const std::size_t before = m_OpenTypeFontArray.size();
    if (!examineCandidate(path, name, &why)) return nullptr;
    TargetEntryPtr admitted = m_OpenTypeFontArray.back();
    m_OpenTypeFontArray.resize(before);
    return admitted;
}

bool FontCheckCtrl::examineCandidate(const QString& path, const QString& name, Reason* refusal) {
    const SourceEntryPtr source = IsUpdateFont(text::formKC(name), path);
    if (!source) {
        const Reason noPatch{QStringLiteral("no-patch"),
                             QStringLiteral("no patch in the host folder is for a font of this name")};
        note(SearchNote::Kind::CandidateSkipped, path, noPatch);
        if (refusal) *refusal = noPatch;
        return false;
    }
    // Only what the checks need is read: never the whole file.
    std::uint64_t revision = 0;
    const auto file = m_files.openForReading(path);
    Reason why{QStringLiteral("font-unreadable"), QStringLiteral("the file can't be opened for reading")};
    if (!file || !identity::checkOpenTypeVersion(*file, *source, revision, &why)) {
        note(SearchNote::Kind::CandidateSkipped, path, why);
        if (refusal) *refusal = why;
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
