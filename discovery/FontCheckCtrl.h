#pragma once
// Font discovery: the patch sources of the "host" folder, the volumes to walk and the
// revision targets found on them. One instance per run, owned by whoever runs the search.

#include "fonttables/Reason.h"
#include "patch/FontEntries.h"
#include "patch/Integrity.h"
#include "patch/LeftoverClearing.h"
#include "patch/PatchManifest.h"
#include "platform/Platform.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace fr {

// Called on the search worker with the folder about to be entered. True stops the search.
using SearchStatusProc = bool (*)(const QString& path, void* context);

// What the search passed over, and what it walked, told as it goes (on the search worker):
// the command line shows them to administrators.
struct SearchNote {
    enum class Kind {
        SourceSkipped,     // a file of "host" that is no patch source
        CandidateSkipped,  // a font the search met that is no revision target
        VolumeSkipped,     // a volume or font folder it did not walk
        VolumeWalked,
        FontFolderWalked,
    };
    Kind kind;
    QString path;
    Reason reason;  // for what was skipped
};
using SearchNotes = std::function<void(const SearchNote&)>;

// Where the search may look: everywhere (the volumes, then the font folders), only inside
// some folders (the search's rules applying inside them), or only in the font folders.
struct SearchScope {
    QStringList under;  // absolute paths; empty: no such bound
    bool fontFoldersOnly = false;
};

class FontCheckCtrl {
public:
    // Reads the files, volumes and font folders of `services`, which outlive it; the manifest
    // of "host" is checked with `trustedKey` (none: this program trusts no key).
    explicit FontCheckCtrl(const platform::Platform& services, QString trustedKey = trustedManifestKey());
    FontCheckCtrl(const FontCheckCtrl&) = delete;
    FontCheckCtrl& operator=(const FontCheckCtrl&) = delete;

    // Where the search tells what it passes over and walks; nowhere by default.
    void setNotes(SearchNotes notes) { m_notes = std::move(notes); }
    // Whether the search clears what interrupted runs left (as it does by default); a search
    // that only looks clears nothing.
    void setClearsLeftovers(bool clears) { m_clearsLeftovers = clears; }
    // The administrator's word that unsigned patches may be applied where a key is built in.
    void setAllowUnsigned(bool allow) { m_allowUnsigned = allow; }
    // Bounds the search (before it starts): each folder is taken as what it is behind its
    // links, and one inside another is walked with it.
    void setScope(const SearchScope& scope);

    // --- sources and targets (discovery/FontCheckCtrl.cpp) ---
    // Lists the patch sources of the "host" folder. Where the folder holds a verified manifest,
    // only the patches it lists are sources, each with its entry; a manifest that can't be
    // read or isn't signed with the trusted key makes no file there a source, and so does a
    // folder without one where a key is built in (unless unsigned patches are allowed).
    bool checkUpdateFontFile();
    // Whether the folder's patches may be applied, and are verified, once they are listed.
    const FolderTrust& getTrust() const { return m_trust; }
    // The patch set as its signed manifest names it (the manifest's SHA-256); "unsigned" for
    // patches no verified manifest lists.
    QString patchSet() const { return m_trust.verified ? m_manifest.sha256.hex() : QStringLiteral("unsigned"); }
    // The source of the installed font of this name, as leftovers beside it are judged by it.
    SourceFor sourceFor() const;
    // The source entry of one patch file; nothing when it is no patch file.
    static SourceEntryPtr sourceEntryFromPatch(const platform::Files& files, const QString& path,
                                               Reason* why = nullptr);
    std::int32_t getUpdateSrcFileCount() const { return static_cast<std::int32_t>(m_UpdateSrcFontArray.size()); }
    // The target list itself; the search may still be filling it.
    const std::vector<TargetEntryPtr>& getUpdateFontArray() const { return m_OpenTypeFontArray; }
    SourceEntryPtr IsUpdateFont(const QString& name, const QString& path) const;
    SourceEntryPtr getUpdateFontPath(const QString& path, std::uint64_t version) const;

    // --- the scan (discovery/VolumeScan.cpp) ---
    bool searchOpenTypeFont(SearchStatusProc proc, void* context);
    bool checkVolume();
    bool searchDirectorySub(const QString& path, bool root, SearchStatusProc proc, void* context);
    // After the volumes: every font folder the system names, on an admitted volume, walked
    // to any depth. False when the callback asked to stop.
    bool searchFontFolders(SearchStatusProc proc, void* context);
    // The volumes the search walks, once it has listed them.
    const QStringList& getVolumeArray() const { return m_VolumeArray; }
    // Whether the search finds the file at `path` (without links) where it lies: in a font
    // folder it walked, or on a volume it walks, under its folder and name rules, inside its
    // scope.
    bool wouldFind(const QString& path) const;
    // The target the search would list for the font at `path`, a path as the search reports
    // them, without a walk: it lies where the walk goes (on a volume it walks, under its
    // folder rules and depth limit, through no folder that is a link; or in a font folder the
    // system names), under a name it examines, is paired with a patch source and passes the
    // identity checks. Null, and why (told as a candidate skipped), for anything else. The
    // sources are listed first.
    TargetEntryPtr admitListed(const QString& path, Reason& why);
    // Files of ours the search found beside installed fonts and kept, since each may be the
    // only good copy of its font (read once the search has ended).
    const std::vector<KeptCopy>& keptCopies() const { return m_keptCopies; }

    // The folder that holds the patch files: the one set with setPatchSourceFolder; else
    // "host" beside the program where there is one, else the system's folder for a vendor's
    // patch set (/usr/share/font-reviser/host), where a package of patches puts them.
    QString patchSourceFolder() const;
    // The administrator's own folder of patches (--host); the signature rules stay.
    void setPatchSourceFolder(QString folder) { m_patchSourceFolder = std::move(folder); }

private:
    friend struct FontCheckCtrlTestPeer;  // lets tests state source lists directly

    // One walk's fixed inputs (defined with the scan).
    struct ScanContext;
    // The walk of one folder; `pathC` is the folder's path in Form C, for the word tests.
    bool walkFolder(const ScanContext& scan, const QString& path, const QString& pathC);
    // The pairing and identity checks of one candidate file; true when it became a target.
    bool examineCandidate(const QString& path, const QString& name, Reason* why = nullptr);
    // A file of ours met beside a font: cleared where nothing can be lost, kept otherwise.
    void clearMet(const QString& path);
    void note(SearchNote::Kind kind, const QString& path, Reason reason = {}) const {
        if (m_notes) m_notes({kind, path, std::move(reason)});
    }

    platform::Files& m_files;
    platform::Volumes& m_volumes;
    platform::FontFolders& m_fontFolders;
    QString m_trustedKey;
    QString m_patchSourceFolder;
    SearchNotes m_notes;
    bool m_clearsLeftovers = true;
    bool m_allowUnsigned = false;
    ManifestReading m_manifest;
    FolderTrust m_trust;
    QStringList m_VolumeArray;
    std::int32_t m_folderCnt = 0;
    std::vector<SourceEntryPtr> m_UpdateSrcFontArray;
    std::vector<TargetEntryPtr> m_OpenTypeFontArray;
    QStringList m_walkedFontFolders;  // behind their links
    SearchScope m_scope;
    // For admitListed: the font folders on admitted volumes, as named and behind their links,
    // once the volumes are listed.
    std::optional<std::vector<std::pair<QString, QString>>> m_fontFolderRoots;
    std::vector<KeptCopy> m_keptCopies;
};

// The twelve alternative patch names (ASCII, ".otf", no family word).
extern const char* const kAlternativePatchNames[12];

// Whether the search walks the volume mounted at `mountPoint`: one that can say what it is,
// neither removable nor unmountable.
bool admittedVolume(const platform::Volumes& volumes, const QString& mountPoint);
// Whether a walk of the volume mounted at `volume` reaches the file at `path` (without links):
// every folder from the volume down to the file's is one the walk enters, its own folder is
// within the depth limit, and its name makes it a candidate.
bool searchReaches(const platform::Volumes& volumes, const QString& volume, const QString& path);
// Whether a walk of the volume mounted at `volume` enters `folder` (without links) and lists it.
bool walkEnters(const platform::Volumes& volumes, const QString& volume, const QString& folder);

}  // namespace fr
