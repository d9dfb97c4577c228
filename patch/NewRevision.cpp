#include "patch/NewRevision.h"

#include "fonttables/ByteReader.h"
#include "fonttables/InstalledFont.h"
#include "fonttables/SfntLayout.h"
#include "patch/MakeSabunData.h"
#include "patch/PatchManifest.h"

#include <new>
#include <vector>

namespace fr {

std::optional<std::uint32_t> revisionAfterPatch(const platform::Files& files, const QString& fontPath,
                                                const SourceEntry& source, Reason* why) try {
    InstalledFont font;
    auto file = files.openForReading(fontPath);
    if (!file) {
        refuse(why, "font-unreadable", QStringLiteral("the file can't be opened for reading"));
        return std::nullopt;
    }
    if (!font.load(std::move(file), why)) return std::nullopt;
    MakeSabunData patch;
    const Sha256* expected = source.manifest ? &source.manifest->sha256 : nullptr;
    if (!patch.loadSabunData(files, source.fullpath, MakeSabunData::largestNewFont(font.bytes().size()), expected)) {
        if (why) *why = patch.problem();
        return std::nullopt;
    }
    TagObj* head = font.getTagObjectName("head");
    for (std::int32_t slot = 0; head && slot < patch.getUpdateHeader().tagNum; ++slot) {
        const SabunTagObject* record = patch.getSabunTagTableNum(slot);
        char tag[5] = {};
        if (!record || (record->getTagName(tag), Tag("head") != Tag(tag))) continue;
        std::vector<std::uint8_t> table(record->placement().length);
        if (table.size() < sfnt::head::kFontRevision + 4) {
            refuse(why, "layout-head", QStringLiteral("the new 'head' table is too short for a revision"));
            return std::nullopt;
        }
        // A 'head' the patch can't build says why.
        if (!head->createUpdateTagObject(*record, table, why)) return std::nullopt;
        return bytes::Fixed<4>{std::span<const std::uint8_t, 4>(table.data() + sfnt::head::kFontRevision, 4)}.u32<0>();
    }
    refuse(why, "patch-no-head", QStringLiteral("the patch makes no 'head' table"));
    return std::nullopt;
} catch (const std::bad_alloc&) {
    refuse(why, "font-memory", QStringLiteral("no memory to read the font and its patch"));
    return std::nullopt;
}

}  // namespace fr
