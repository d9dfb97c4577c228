#include "patch/LeftoverClearing.h"

#include "patch/Integrity.h"

namespace fr {

namespace {
QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) return {};
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}
QString joined(const QString& folder, const QString& name) {
    return folder + (folder.endsWith(u'/') ? QString() : QStringLiteral("/")) + name;
}
}  // namespace

Reason KeptCopy::reason() const {
    return {QStringLiteral("kept-copy"),
            QStringLiteral("%1 stays beside %2: it may be the only good copy of that font, since the file in place is "
                           "not proven to be the complete new revision; check both, keep the right one")
                .arg(copy, installed)};
}

Clearing clearLeftover(platform::Files& files, const QString& path, const SourceFor& sourceFor) {
    const auto leftover = files.endedLeftover(path);
    if (!leftover) return Clearing::NotOurs;
    const auto remove = [&] { return files.remove(path) ? Clearing::Removed : Clearing::Failed; };
    if (leftover->kind == platform::LeftoverKind::Temporary) return remove();

    // Beside a font: the new copy before it traded places, or the old font after. Nothing is
    // lost with a file whose bytes the font in place holds too, or one that is no font.
    const QString installed = joined(folderOf(path), leftover->installedName);
    if (sameContents(files, path, installed) || !isWholeFont(files, path)) return remove();
    const SourceEntryPtr source = sourceFor ? sourceFor(leftover->installedName) : nullptr;
    if (source) {
        if (isCompleteNewFont(files, installed, source.get()) || isTheOldFont(files, installed, source.get()))
            return remove();
        if (isTheOldFont(files, path, source.get()))
            return files.rename(path, installed) ? Clearing::PutBack : Clearing::Failed;
    }
    return Clearing::Kept;
}

LeftoverClearing clearLeftovers(platform::Files& files, const QString& folder, const SourceFor& sourceFor) {
    LeftoverClearing cleared;
    if (folder.isEmpty()) return cleared;  // no such folder (no usable temporary folder)
    for (const platform::DirEntry& entry : files.listEntries(folder)) {
        if (entry.kind == platform::EntryKind::Folder || !platform::mayBeLeftoverName(entry.name)) continue;
        const QString path = joined(folder, entry.name);
        switch (clearLeftover(files, path, sourceFor)) {
        case Clearing::Failed:
            cleared.failed = true;
            break;
        case Clearing::Kept:
            cleared.kept.push_back({path, joined(folder, platform::parseLeftoverName(entry.name)->installedName)});
            break;
        case Clearing::NotOurs:
        case Clearing::Removed:
        case Clearing::PutBack:
            break;
        }
    }
    return cleared;
}

LeftoverClearing clearLeftoversAround(platform::Files& files, const QString& replaced, const SourceFor& sourceFor) {
    LeftoverClearing cleared = clearLeftovers(files, folderOf(replaced), sourceFor);
    const LeftoverClearing temporary = clearLeftovers(files, files.temporaryFolder(), sourceFor);
    cleared.failed = cleared.failed || temporary.failed;
    return cleared;
}

}  // namespace fr
