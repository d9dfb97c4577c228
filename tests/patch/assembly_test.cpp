// The new font image of one target: built from the installed font and its patch, written
// to the temporary file, and nothing written for a patch that does not fit the font.

#include "fonttables/TableDigest.h"
#include "patch/FontEntries.h"
#include "patch/NewRevision.h"
#include "patch/OpenTypeManager.h"
#include "patch/PatchManifest.h"
#include "support/FakePlatform.h"
#include "support/FontBytes.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace testsupport;
using fr::OpenTypeManager;

namespace {

struct Recorder {
    std::vector<std::pair<int, int>> points;  // overall, step
    std::vector<QString> lines2;
    int cancelAtStep = -1;
    static bool call(std::int32_t overall, std::int32_t step, const QString&, const QString& l2, void* ctx) {
        auto* self = static_cast<Recorder*>(ctx);
        self->points.push_back({overall, step});
        self->lines2.push_back(l2);
        return step == self->cancelAtStep;
    }
};

const QString kPatch = QStringLiteral("/host/a.pa");
const QString kTemp = QStringLiteral("/tmp/out");
const QString kFont = QStringLiteral("/Fonts/a.otf");

// A source listing the patch at `path` as made for the font named "a", version 0.
fr::SourceEntry listed(const QString& path = kPatch, std::shared_ptr<const fr::ManifestEntry> manifest = nullptr) {
    return {path, QStringLiteral("a.otf"), QStringLiteral("a"), 0, std::move(manifest)};
}

struct Fixture {
    TestPlatform tp;
    OpenTypeManager m{tp.files(), tp.pauses};
    Recorder progress;
    Bytes installed;
    // head, name, CFF, hhea, hmtx, maxp and a 5-byte 'post'.
    std::vector<Table> tables{
        {"head", headTable(0x00080000)},
        {"name", nameTable({{1, 0, 0, 13, bytesOf("MAC-SERIAL")}, {3, 1, 0x0409, 13, utf16be("WIN-SERIAL")}})},
        outlineTables()[0],
        outlineTables()[1],
        outlineTables()[2],
        outlineTables()[3],
        {"post", Bytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5}},
    };
    static constexpr std::uint32_t kDirectoryEnd = 12 + 16 * 7;

    // `adjusted`: the installed 'head' carries its whole-font adjustment, as a font in use does.
    // `postLength`: a 'post' that long instead (counting bytes), for a font larger than the
    // pieces the new file is read back in.
    explicit Fixture(bool adjusted = false, std::size_t postLength = 0) {
        if (postLength) tables.back().data = counting(postLength, 0x31);
        installed = buildSfnt(tables);
        if (adjusted)
            putU32(installed, getU32(installed, 12 + 8) + 8, 0xB1B0AFBAu - paddedSum(installed, 0, installed.size()));
        tp.writeFile(kFont, installed);
        EXPECT_EQ(m.loadOpenTypeDiff({nullptr, nullptr, 1, 0, kFont}), fr::result::kRevised);
        EXPECT_TRUE(m.readLicenseStrings());
    }

    // Every table carried over unchanged, the directory in reverse order, the tables laid out
    // in that order from the directory's end on ('post', 5 bytes, first), the file ending
    // unpadded after 'head'.
    PatchLayout unchangedReversed() const {
        PatchLayout layout;
        layout.fontName = "a";
        std::uint32_t at = kDirectoryEnd;
        for (std::size_t k = tables.size(); k-- > 0;) {
            const auto slot = static_cast<std::uint8_t>(tables.size() - 1 - k);
            const auto length = static_cast<std::uint32_t>(tables[k].data.size());
            layout.tables.push_back(placed(tables[k].tag.c_str(), slot, length, at));
            layout.fontLength = at + length;
            at = (at + length + 3) & ~3u;
        }
        return layout;
    }
    // Where the table with this tag lies in a layout.
    static const PatchTable& in(const PatchLayout& layout, const std::string& tag) {
        return *std::find_if(layout.tables.begin(), layout.tables.end(), [&](const auto& t) { return t.tag == tag; });
    }

    fr::FontProgress reporting(int count = 1, int index = 0) {
        return {Recorder::call, &progress, count, index, kFont};
    }
    std::int32_t run(const PatchLayout& layout, int count = 1, int index = 0) {
        tp.writeFile(kPatch, buildPatch(layout));
        return m.creatFontFileDiff(reporting(count, index), listed(), kTemp);
    }
    std::int32_t runListed(const PatchLayout& layout, const fr::ManifestEntry& entry) {
        tp.writeFile(kPatch, buildPatch(layout));
        return m.creatFontFileDiff(reporting(), listed(kPatch, std::make_shared<fr::ManifestEntry>(entry)), kTemp);
    }
    Bytes written() const {
        QFile f(tp.real(kTemp));
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray b = f.readAll();
        return Bytes(b.begin(), b.end());
    }
    bool wroteNothing() const { return !QFile::exists(tp.real(kTemp)); }
    Bytes installedTable(std::size_t i) const {
        const std::uint32_t at = getU32(installed, 12 + 16 * i + 8), len = getU32(installed, 12 + 16 * i + 12);
        return Bytes(installed.begin() + at, installed.begin() + at + len);
    }
};

Bytes slice(const Bytes& b, std::size_t at, std::size_t length) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + length));
}

// The manifest entry a vendor would list for `layout`: the installed tables of `f` and the new
// ones as `out` holds them.
fr::ManifestEntry listedAs(const Fixture& f, const PatchLayout& layout, const Bytes& out) {
    fr::ManifestEntry entry{QStringLiteral("a.pa"), fr::sha256Of(buildPatch(layout)), {}, {}};
    for (std::size_t k = 0; k < f.tables.size(); ++k) {
        const fr::Tag t(
            std::span<const std::uint8_t, 4>(reinterpret_cast<const std::uint8_t*>(f.tables[k].tag.data()), 4));
        if (!fr::isDigested(t)) continue;
        entry.oldTables.emplace_back(t, fr::tableDigest(t, f.installedTable(k)));
        const PatchTable& made = Fixture::in(layout, f.tables[k].tag);
        entry.newTables.emplace_back(t, fr::tableDigest(t, slice(out, made.up_dataOffset, made.up_datalength)));
    }
    return entry;
}

TEST(Assembly, RebuildsUnchangedTablesAtTheirNewOffsetsInPatchOrder) {
    Fixture f;
    const PatchLayout layout = f.unchangedReversed();
    ASSERT_EQ(f.run(layout), fr::result::kRevised);
    const Bytes out = f.written();
    ASSERT_EQ(out.size(), layout.fontLength);

    EXPECT_EQ(slice(out, 0, 12), slice(f.installed, 0, 12));
    for (const auto& t : layout.tables) {
        const std::size_t rec = 12 + 16 * t.tablePos;
        EXPECT_EQ(std::string(out.begin() + rec, out.begin() + rec + 4), t.tag);
        EXPECT_EQ(getU32(out, rec + 8), t.up_dataOffset);
        EXPECT_EQ(getU32(out, rec + 12), t.up_datalength);
        Bytes zeroedAdjustment = out;  // the 'head' checksum counts that field as zero
        if (t.tag == "head") putU32(zeroedAdjustment, t.up_dataOffset + 8, 0);
        EXPECT_EQ(getU32(out, rec + 4), paddedSum(zeroedAdjustment, t.up_dataOffset, t.up_datalength)) << t.tag;
    }
    // Every table but the adjustment field of 'head' is the installed one, byte for byte.
    for (std::size_t k = 1; k < f.tables.size(); ++k) {
        const PatchTable& t = Fixture::in(layout, f.tables[k].tag);
        EXPECT_EQ(slice(out, t.up_dataOffset, t.up_datalength), f.installedTable(k)) << t.tag;
    }
    Bytes head(out.end() - 54, out.end());
    putU32(head, 8, 0);
    EXPECT_EQ(head, f.installedTable(0));
    // Zero wherever no table lies: the padding of 'post' (the first table, 5 bytes).
    EXPECT_EQ(slice(out, Fixture::kDirectoryEnd + 5, 3), Bytes(3, 0));

    EXPECT_EQ(paddedSum(out, 0, out.size()), 0xB1B0AFBAu);
}

TEST(Assembly, AppliesOldCopiesAndNewDataToAChangedTable) {
    Fixture f;
    PatchLayout layout = f.unchangedReversed();
    // 'post': A2..A5 copied, EE EF over the last two of them, then zero.
    layout.tables[0] = {"post", 0, 3, 8, Fixture::kDirectoryEnd, true, {{1, 4, 0}}, {{2, {0xEE, 0xEF}}}};
    for (std::size_t k = 1; k < layout.tables.size(); ++k) layout.tables[k].up_dataOffset += 4;
    layout.fontLength += 4;
    ASSERT_EQ(f.run(layout), fr::result::kRevised);
    const Bytes out = f.written();
    EXPECT_EQ(slice(out, Fixture::kDirectoryEnd, 8), (Bytes{0xA2, 0xA3, 0xEE, 0xEF, 0, 0, 0, 0}));
    EXPECT_EQ(getU32(out, 12 + 12), 8u);
}

// With a manifest, the installed tables and the new ones are digested beside the build; however
// the copies lie, the digests are those of the tables themselves and the font is the one
// built without them.
TEST(Assembly, ProvesWhatItReadAndWhatItMadeHoweverTheCopiesLie) {
    struct Case {
        const char* what;
        const char* tag;
        std::vector<OldCopy> olds;
        std::vector<NewData> news;
    };
    const std::vector<Case> cases = {
        {"copies apart, read back to front", "post", {{3, 2, 3}, {0, 3, 0}}, {}},
        {"copies reading the same bytes", "post", {{0, 3, 0}, {2, 2, 3}}, {}},
        {"copies over each other, the later winning", "post", {{4, 1, 0}, {0, 4, 0}}, {}},
        {"bytes no copy reads, new data in their place", "post", {{4, 1, 4}}, {{0, {1, 2, 3, 4}}}},
        {"'head' from copies, its adjustment among them", "head", {{27, 27, 27}, {0, 27, 0}}, {}},
    };
    for (const auto& [what, tag, olds, news] : cases) {
        PatchLayout layout = Fixture().unchangedReversed();
        PatchTable& changed = const_cast<PatchTable&>(Fixture::in(layout, tag));
        changed.changed = true;
        changed.olds = olds;
        changed.news = news;
        Fixture plain(true);
        ASSERT_EQ(plain.run(layout), fr::result::kRevised) << what;
        const Bytes out = plain.written();

        const fr::ManifestEntry entry = listedAs(plain, layout, out);
        Fixture proved(true);
        EXPECT_EQ(proved.runListed(layout, entry), fr::result::kRevised) << what;
        EXPECT_EQ(proved.written(), out) << what;

        const auto listedOf = [&](fr::ManifestEntry::Tables& tables) -> fr::Digest128& {
            return std::find_if(tables.begin(), tables.end(),
                                [&](const auto& e) {
                                    return e.first == fr::Tag(std::span<const std::uint8_t, 4>(
                                                          reinterpret_cast<const std::uint8_t*>(tag), 4));
                                })
                ->second;
        };
        // One table that is not what was listed, or one listed that the font lacks, before or
        // after: nothing written.
        for (const bool before : {true, false})
            for (const bool extra : {false, true}) {
                fr::ManifestEntry other = entry;
                fr::ManifestEntry::Tables& tables = before ? other.oldTables : other.newTables;
                if (extra)
                    tables.emplace_back(fr::Tag("BASE"), fr::Digest128{});
                else
                    listedOf(tables).bytes[15] ^= 1;
                Fixture refused(true);
                EXPECT_EQ(refused.runListed(layout, other),
                          before ? fr::result::kFontUnusable : fr::result::kNewFileFailed)
                    << what << (extra ? ", a table listed that the font lacks" : "");
                EXPECT_TRUE(refused.wroteNothing()) << what;
            }
    }
}

// A font larger than the pieces the new file is read back in: the changed table straddles their
// ends (copies across them, new data over one), and every table's sum, the whole font's and
// a manifest's digests come out right however the pieces cut them.
TEST(Assembly, AFontLargerThanTheReadBacksPiecesIsSummedAndProvedWhole) {
    constexpr std::uint32_t kPost = 700 * 1024;
    PatchLayout layout = Fixture(false, kPost).unchangedReversed();
    // 'head' first in the file, written last: the read back goes on past it.
    PatchTable& head = const_cast<PatchTable&>(Fixture::in(layout, "head"));
    for (auto& t : layout.tables) t.up_dataOffset += &t == &head ? 0 : 56;
    head.up_dataOffset = Fixture::kDirectoryEnd;
    layout.fontLength = 0;
    for (const auto& t : layout.tables)
        layout.fontLength = std::max(layout.fontLength, t.up_dataOffset + t.up_datalength);
    PatchTable& post = const_cast<PatchTable&>(Fixture::in(layout, "post"));
    post.changed = true;
    post.olds = {{0, 262000, 0}, {262000, 300000, 262200}, {600000, 100000, 562300}};
    post.news = {{262140, {0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5}}, {524285, {7}}};
    Fixture f(true, kPost);
    ASSERT_EQ(f.run(layout), fr::result::kRevised);
    const Bytes out = f.written();
    ASSERT_EQ(out.size(), layout.fontLength);
    Bytes expected(kPost, 0);
    const Bytes installedPost = f.installedTable(f.tables.size() - 1);
    for (const auto& c : post.olds)
        std::copy_n(installedPost.begin() + c.src_offset, c.src_length, expected.begin() + c.dst_offset);
    for (const auto& n : post.news) std::copy(n.data.begin(), n.data.end(), expected.begin() + n.offset);
    EXPECT_EQ(slice(out, post.up_dataOffset, kPost), expected);
    for (const auto& t : layout.tables) {
        Bytes zeroedAdjustment = out;
        if (t.tag == "head") putU32(zeroedAdjustment, t.up_dataOffset + 8, 0);
        EXPECT_EQ(getU32(out, 12 + 16 * t.tablePos + 4), paddedSum(zeroedAdjustment, t.up_dataOffset, t.up_datalength))
            << t.tag;
    }
    EXPECT_EQ(paddedSum(out, 0, out.size()), 0xB1B0AFBAu);

    const fr::ManifestEntry entry = listedAs(f, layout, out);
    Fixture proved(true, kPost);
    EXPECT_EQ(proved.runListed(layout, entry), fr::result::kRevised);
    EXPECT_EQ(proved.written(), out);
}

TEST(Assembly, ReportsItsPointsOnTheRunsScale) {
    Fixture f;
    ASSERT_EQ(f.run(f.unchangedReversed(), 3, 2), fr::result::kRevised);
    EXPECT_EQ(f.progress.points, (std::vector<std::pair<int, int>>{{79, 40}, {84, 55}, {87, 65}, {91, 75}, {96, 90}}));
    EXPECT_EQ(f.progress.lines2,
              (std::vector<QString>{QStringLiteral("a.pa"), QStringLiteral("a.pa"), QStringLiteral("a.otf"),
                                    QStringLiteral("a.otf"), QStringLiteral("a.pa")}));
}

TEST(Assembly, CancelsWithoutWritingAnything) {
    for (int step : {40, 55, 65, 75, 90}) {
        Fixture f;
        f.progress.cancelAtStep = step;
        EXPECT_EQ(f.run(f.unchangedReversed()), fr::result::kCancelled) << step;
        EXPECT_TRUE(f.wroteNothing()) << step;
        EXPECT_EQ(f.progress.points.back().second, step);
    }
    Fixture f;
    f.progress.cancelAtStep = 40;
    EXPECT_EQ(f.m.creatFontFileDiff(f.reporting(), listed(QStringLiteral("/host/none.pa")), kTemp),
              fr::result::kCancelled);
}

TEST(Assembly, RefusesPatchesThatDoNotFitTheFontBeforeWritingAnything) {
    using Change = std::function<void(PatchLayout&)>;
    constexpr int kUnusable = fr::result::kFontUnusable, kNotLoaded = fr::result::kPatchLoadFailed,
                  kNewFile = fr::result::kNewFileFailed;
    struct Case {
        const char* what;
        Change change;
        int code;  // 7: refused when loaded, before step 55
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a table the font lacks", [](PatchLayout& s) { s.tables[2].tag = "GSUB"; }, kUnusable, "table-missing"},
        {"no tables at all", [](PatchLayout& s) { s.tables.clear(); }, kUnusable, "layout-records"},
        {"more records than installed tables",
         [](PatchLayout& s) { s.tables.push_back(placed("GSUB", 7, 4, s.fontLength)); }, kUnusable, "layout-records"},
        {"a table past the file's end", [](PatchLayout& s) { s.tables[3].up_dataOffset = s.fontLength - 4; }, kUnusable,
         "layout-outside"},
        {"a file too short for its directory",
         [](PatchLayout& s) {
             for (auto& t : s.tables) t.up_dataOffset = 0;
             s.fontLength = 60;
         },
         kUnusable, "layout-length"},
        {"one table over another", [](PatchLayout& s) { s.tables[2].up_dataOffset = Fixture::kDirectoryEnd; },
         kUnusable, "layout-overlap"},
        {"a table over the directory", [](PatchLayout& s) { s.tables[3].up_dataOffset = 60; }, kUnusable,
         "layout-outside"},
        {"a table over the offset table", [](PatchLayout& s) { s.tables[3].up_dataOffset = 0; }, kUnusable,
         "layout-outside"},
        {"a table off a word boundary", [](PatchLayout& s) { s.tables[3].up_dataOffset += 2; }, kUnusable,
         "layout-alignment"},
        {"a new font far larger than the installed one could become",
         [](PatchLayout& s) { s.fontLength = 2 * 1024 * 1024; }, kUnusable, "layout-length"},
        {"an unchanged table of another length", [](PatchLayout& s) { s.tables[2].up_datalength = 13; }, kUnusable,
         "layout-overlap"},
        {"an unchanged table given fewer bytes", [](PatchLayout& s) { s.tables[6].up_datalength = 52; }, kUnusable,
         "table-length"},
        {"an outlandish file length", [](PatchLayout& s) { s.fontLength = 0x7FFFFFF0; }, kUnusable, "layout-length"},
        {"a copy outside the installed table",
         [](PatchLayout& s) {
             s.tables[2].changed = true;
             s.tables[2].olds = {{8, 4, 0}};
         },
         kUnusable, "copy-outside"},
        {"a slot without a record", [](PatchLayout& s) { s.tables[3].tablePos = 7; }, kNotLoaded, "patch-records"},
        {"fewer records than installed tables, the last slot empty",
         [](PatchLayout& s) { s.tables.erase(s.tables.begin()); }, kNotLoaded, "patch-records"},
        {"two records on one slot", [](PatchLayout& s) { s.tables[3].tablePos = 1; }, kNotLoaded, "patch-records"},
        {"one table named twice",
         [](PatchLayout& s) {
             s.tables[3] = s.tables[2];
             s.tables[3].tablePos = 3;
         },
         kNotLoaded, "patch-records"},
        {"a new 'name' whose second record points past the table",
         [](PatchLayout& s) {
             // Record 1 (the Windows License Description) made a name ID 1 at offset 0x7F00.
             PatchTable& name = const_cast<PatchTable&>(Fixture::in(s, "name"));
             name.changed = true;
             name.olds = {{0, 24, 0}, {26, 2, 26}, {30, name.up_datalength - 30, 30}};
             name.news = {{24, {0x00, 0x01}}, {28, {0x7F, 0x00}}};
         },
         kNewFile, "new-font-name"},
        {"a new 'head' of no bytes",
         [](PatchLayout& s) {
             PatchTable& head = const_cast<PatchTable&>(Fixture::in(s, "head"));
             head.changed = true;
             head.olds = {};
             head.up_datalength = 0;
         },
         kUnusable, "layout-head"},
        {"a new 'head' that ends before its whole-font checksum",
         [](PatchLayout& s) {
             PatchTable& head = const_cast<PatchTable&>(Fixture::in(s, "head"));
             head.changed = true;
             head.olds = {{0, 8, 0}};
             head.up_datalength = 8;
         },
         kUnusable, "layout-head"},
        {"another font's patch", [](PatchLayout& s) { s.fontName = "b"; }, kNotLoaded, "patch-other-font"},
        {"another version of the patch", [](PatchLayout& s) { s.fontVersion = 1; }, kNotLoaded, "patch-other-font"},
    };
    for (const auto& [what, change, code, reason] : cases) {
        Fixture f;
        PatchLayout layout = f.unchangedReversed();
        change(layout);
        EXPECT_EQ(f.run(layout), code) << what;
        EXPECT_EQ(f.m.reason().id.toStdString(), reason) << what;
        EXPECT_TRUE(f.wroteNothing()) << what;
        // 40, 55 once loaded, and to 90 where only the finished font is refused
        EXPECT_EQ(f.progress.points.size(), code == kNotLoaded ? 1u : code == kNewFile ? 5u : 2u) << what;
    }
}

// What --list says a font becomes: the patch's 'head' built alone; one it can't build says why.
TEST(Assembly, TheNewRevisionIsReadOffThePatchsHead) {
    struct Case {
        const char* what;
        std::function<void(PatchTable&)> change;
        std::optional<std::uint32_t> revision;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"carried over", [](PatchTable&) {}, 0x00080000u, ""},
        {"too short to hold a revision",
         [](PatchTable& head) {
             head.changed = true;
             head.olds = {{0, 4, 0}};
             head.up_datalength = 4;
         },
         std::nullopt, "layout-head"},
        {"copied from outside the installed 'head'",
         [](PatchTable& head) {
             head.changed = true;
             head.olds = {{60, 4, 0}};
         },
         std::nullopt, "copy-outside"},
    };
    for (const auto& c : cases) {
        Fixture f;
        PatchLayout layout = f.unchangedReversed();
        c.change(const_cast<PatchTable&>(Fixture::in(layout, "head")));
        f.tp.writeFile(kPatch, buildPatch(layout));
        fr::Reason why;
        EXPECT_EQ(fr::revisionAfterPatch(f.tp.files(), kFont, listed(), &why), c.revision) << c.what;
        EXPECT_EQ(why.id.toStdString(), c.reason) << c.what;
    }
}

TEST(Assembly, FailsWithSevenOrEightWhenThePatchOrTheFileCannotBeHad) {
    {
        Fixture f;
        EXPECT_EQ(f.m.creatFontFileDiff(f.reporting(), listed(QStringLiteral("/host/none.pa")), kTemp),
                  fr::result::kPatchLoadFailed);
        EXPECT_TRUE(f.wroteNothing());
    }
    {
        // A file already at the temporary path (or a link planted there) is never written.
        Fixture f;
        f.tp.writeFile(kTemp, Bytes{1, 2, 3});
        EXPECT_EQ(f.run(f.unchangedReversed()), fr::result::kNewFileFailed);
        EXPECT_EQ(f.written(), (Bytes{1, 2, 3}));
    }
}

}  // namespace
