#include "patch/LeftoverClearing.h"

#include "fonttables/CommonTool.h"
#include "fonttables/FontOpens.h"
#include "fonttables/InstalledFont.h"
#include "fonttables/SfntLayout.h"
#include "fonttables/TableDigest.h"
#include "patch/OpenTypeManager.h"
#include "patch/PatchManifest.h"
#include "patch/RevisionDriver.h"

#include <algorithm>
#include <new>

namespace fr {

namespace {
// No font this program revises is larger; a larger file is no complete font of ours.
constexpr std::uint64_t kLargestFont = 256u << 20;

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) return {};
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}
QString joined(const QString& folder, const QString& name) {
    return folder + (folder.endsWith(u'/') ? QString() : QStringLiteral("/")) + name;
}

// Every digested table of the font at `path` is as `expected` lists it, and no other is.
bool tablesAre(const platform::Files& files, const QString& path, const ManifestEntry::Tables& expected) {
    InstalledFont font;
    if (!font.load(files.openForReading(path))) return false;
    std::size_t digested = 0;
    for (const auto& table : font.tables()) {
        if (!isDigested(table->tag())) continue;
        ++digested;
        const auto bytes = table->installedTable();
        const auto listed =
            std::find_if(expected.begin(), expected.end(), [&](const auto& t) { return t.first == table->tag(); });
        if (!bytes || listed == expected.end() || listed->second != tableDigest(table->tag(), *bytes)) return false;
    }
    return digested == expected.size();
}

// A CFF OpenType font that opens; with `summed`, its words add up to the whole-font sum too.
bool opensAsFont(const platform::Files& files, const QString& path, bool summed) {
    const auto bytes = files.readAll(path, kLargestFont);
    InstalledFont font;
    if (!bytes || !font.load(std::make_unique<platform::BytesInMemory>(*bytes))) return false;
    if (summed && CommonTool::tableChecksum(*bytes) != sfnt::kWholeFontSum) return false;
    return newFontOpens(*bytes, font.header().numTables);
}
}  // namespace

bool isCompleteNewFont(const platform::Files& files, const QString& path, const SourceEntry* source) try {
    if (source && source->manifest) return tablesAre(files, path, source->manifest->newTables);
    return opensAsFont(files, path, true);
} catch (const std::bad_alloc&) {
    return false;
}

bool isTheOldFont(const platform::Files& files, const QString& path, const SourceEntry* source) try {
    if (!source) return opensAsFont(files, path, false);
    std::uint64_t revision = 0;
    const auto font = files.openForReading(path);
    if (!font || !OpenTypeManager::checkOpenTypeVersion(*font, *source, revision)) return false;
    return !source->manifest || tablesAre(files, path, source->manifest->oldTables);
} catch (const std::bad_alloc&) {
    return false;
}

Clearing clearLeftover(platform::Files& files, const QString& path, const SourceFor& sourceFor) {
    const auto leftover = files.endedLeftover(path);
    if (!leftover) return Clearing::NotOurs;
    if (leftover->kind != platform::LeftoverKind::Temporary) {
        // Beside a font: the new copy before it traded places, or the old font after.
        const QString installed = joined(folderOf(path), leftover->installedName);
        const SourceEntryPtr source = sourceFor ? sourceFor(leftover->installedName) : nullptr;
        // It is put back only where it is the user's font and the font in place is neither the
        // complete new one nor that same old font.
        if (!isCompleteNewFont(files, installed, source.get()) && !isTheOldFont(files, installed, source.get()) &&
            isTheOldFont(files, path, source.get()))
            return files.rename(path, installed) ? Clearing::PutBack : Clearing::Failed;
    }
    return files.remove(path) ? Clearing::Removed : Clearing::Failed;
}

bool clearLeftovers(platform::Files& files, const QString& folder, const SourceFor& sourceFor) {
    if (folder.isEmpty()) return true;  // no such folder (no usable temporary folder)
    bool cleared = true;
    for (const platform::DirEntry& entry : files.listEntries(folder))
        if (entry.kind != platform::EntryKind::Folder && platform::mayBeLeftoverName(entry.name))
            cleared = clearLeftover(files, joined(folder, entry.name), sourceFor) != Clearing::Failed && cleared;
    return cleared;
}

bool clearLeftoversAround(platform::Files& files, const QString& targetPath, const SourceFor& sourceFor) {
    const QString folder = folderOf(revisionIdentity(files, targetPath));
    const bool beside = folder.isEmpty() || clearLeftovers(files, folder, sourceFor);
    return clearLeftovers(files, files.temporaryFolder(), sourceFor) && beside;
}

}  // namespace fr
