#include "patch/RunUndo.h"

#include "patch/InPlaceReplacement.h"
#include "patch/RevisionCodes.h"

namespace fr {

std::int32_t undoFont(platform::Files& files, platform::Pauses& pauses, const QString& stateFolder,
                      const FontRecord& font, bool dryRun, Reason& why) {
    const auto skipped = [&](const char* id, const QString& detail) {
        why = {QString::fromLatin1(id), font.file + QStringLiteral(": ") + detail};
        return result::kFontUnusable;
    };
    if (font.backup.isEmpty()) return skipped("no-backup", QStringLiteral("the run kept no copy of the old font"));
    const QString backup = stateFolder + u'/' + font.backup;
    const auto kept = fingerprintOf(files, backup);
    if (!kept) return skipped("no-backup", QStringLiteral("the copy of the old font is gone (%1)").arg(backup));
    if (kept->sha256.hex() != font.oldSha256)
        return skipped("backup-changed", QStringLiteral("the copy of the old font is no longer what was replaced"));
    const auto inPlace = fingerprintOf(files, font.file);
    if (!inPlace || inPlace->sha256.hex() != font.newSha256)
        return skipped("font-changed-since", QStringLiteral("the file in place is no longer what the run wrote"));

    InPlaceReplacement replacement(files, pauses, backup, font.file, InPlaceReplacement::Source::Kept);
    std::int32_t code = replacement.checkReplaceable(why);
    if (code == result::kRevised && !dryRun) code = replacement.replace(kept->image, why);
    return replacement.finish(code, why);
}

}  // namespace fr
