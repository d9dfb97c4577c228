// The new font image of one target: built from the installed font and its patch, written
// to the temporary file, and nothing written for a patch that does not fit the font.

#include "fonttables/CommonTool.h"
#include "fonttables/OpenTypeManager.h"
#include "support/FakePlatform.h"
#include "support/FontBytes.h"

#include <QFile>

#include <gtest/gtest.h>

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

struct Fixture {
    TestPlatform tp;
    OpenTypeManager m;
    Recorder progress;
    Bytes installed;
    std::vector<Table> tables{
        {"head", headTable(0x00080000)},
        {"name", nameTable({{1, 0, 0, 13, bytesOf("MAC-SERIAL")}, {3, 1, 0x0409, 13, utf16be("WIN-SERIAL")}})},
        {"CFF ", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"post", Bytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5}},
    };

    Fixture() {
        installed = buildSfnt(tables);
        EXPECT_EQ(m.loadInstalledFont(installed), fr::result::kRevised);
        EXPECT_TRUE(m.readLicenseStrings());
    }

    // Every table carried over unchanged, the directory in reverse order, 'post' (5 bytes)
    // at offset 100, the file ending unpadded after 'head'.
    PatchLayout unchangedReversed() const {
        PatchLayout layout;
        layout.fontName = "a";
        const std::uint32_t nameLength = static_cast<std::uint32_t>(tables[1].data.size());
        const std::uint32_t nameAt = 120, headAt = (nameAt + nameLength + 3) & ~3u;
        layout.tables = {placed("head", 3, 54, headAt), placed("name", 2, nameLength, nameAt),
                         placed("CFF ", 1, 12, 108), placed("post", 0, 5, 100)};
        layout.fontLength = headAt + 54;
        return layout;
    }

    std::int32_t run(const PatchLayout& layout, int count = 1, int index = 0) {
        tp.writeFile(kPatch, buildPatch(layout));
        return m.creatFontFileDiff(kFont, kPatch, kTemp, Recorder::call, &progress, count, index);
    }
    Bytes written() const {
        QFile f(tp.real(kTemp));
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray b = f.readAll();
        return Bytes(b.begin(), b.end());
    }
    bool wroteNothing() const { return !QFile::exists(tp.real(kTemp)) && m.image().empty(); }
    Bytes installedTable(std::size_t i) const {
        const std::uint32_t at = getU32(installed, 12 + 16 * i + 8), len = getU32(installed, 12 + 16 * i + 12);
        return Bytes(installed.begin() + at, installed.begin() + at + len);
    }
};

TEST(Assembly, RebuildsUnchangedTablesAtTheirNewOffsetsInPatchOrder) {
    Fixture f;
    const PatchLayout layout = f.unchangedReversed();
    ASSERT_EQ(f.run(layout), fr::result::kRevised);
    const Bytes out = f.written();
    ASSERT_EQ(out.size(), layout.fontLength);
    EXPECT_TRUE(f.m.image().empty());

    EXPECT_EQ(Bytes(out.begin(), out.begin() + 12), Bytes(f.installed.begin(), f.installed.begin() + 12));
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
    EXPECT_EQ(Bytes(out.begin() + 100, out.begin() + 105), f.installedTable(3));
    EXPECT_EQ(Bytes(out.begin() + 108, out.begin() + 120), f.installedTable(2));
    const std::uint32_t nameAt = 120, nameLength = static_cast<std::uint32_t>(f.tables[1].data.size());
    EXPECT_EQ(Bytes(out.begin() + nameAt, out.begin() + nameAt + nameLength), f.installedTable(1));
    Bytes head(out.end() - 54, out.end());
    putU32(head, 8, 0);
    EXPECT_EQ(head, f.installedTable(0));
    // Zero wherever no table lies: the gap after the directory and the padding of 'post'.
    EXPECT_EQ(Bytes(out.begin() + 76, out.begin() + 100), Bytes(24, 0));
    EXPECT_EQ(Bytes(out.begin() + 105, out.begin() + 108), Bytes(3, 0));

    EXPECT_EQ(paddedSum(out, 0, out.size()), 0xB1B0AFBAu);
    EXPECT_EQ(f.m.verifyCheckSum(), paddedSum(out, 0, out.size()));
}

TEST(Assembly, AppliesOldCopiesAndNewDataToAChangedTable) {
    Fixture f;
    PatchLayout layout = f.unchangedReversed();
    layout.tables[2] = {"CFF ", 1, 2, 8, 108, true, {{4, 4, 0}}, {{4, {0xEE, 0xEF}}}};  // 5..8, EE EF, then zero
    ASSERT_EQ(f.run(layout), fr::result::kRevised);
    const Bytes out = f.written();
    EXPECT_EQ(Bytes(out.begin() + 108, out.begin() + 120), (Bytes{5, 6, 7, 8, 0xEE, 0xEF, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(getU32(out, 12 + 16 + 12), 8u);
}

TEST(Assembly, ReportsItsPointsOnTheRunsScale) {
    Fixture f;
    ASSERT_EQ(f.run(f.unchangedReversed(), 3, 2), fr::result::kRevised);
    EXPECT_EQ(f.progress.points, (std::vector<std::pair<int, int>>{{79, 40}, {84, 55}, {87, 65}, {91, 75}, {96, 90}}));
    EXPECT_EQ(f.progress.lines2.front(), QStringLiteral("a.paのファイルをオープンしています。"));
    EXPECT_EQ(f.progress.lines2[1], QStringLiteral("a.paのファイルを読み込んでいます。"));
    EXPECT_EQ(f.progress.lines2.back(), QStringLiteral("a.paのファイルを書き込んでいます。"));
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
    EXPECT_EQ(f.m.creatFontFileDiff(kFont, QStringLiteral("/host/none.pa"), kTemp, Recorder::call, &f.progress, 1, 0),
              fr::result::kCancelled);
}

TEST(Assembly, RefusesPatchesThatDoNotFitTheFontBeforeWritingAnything) {
    using Change = std::function<void(PatchLayout&)>;
    const std::vector<std::pair<const char*, Change>> cases = {
        {"a table the font lacks", [](PatchLayout& s) { s.tables[2].tag = "GSUB"; }},
        {"no tables at all", [](PatchLayout& s) { s.tables.clear(); }},
        {"more records than installed tables",
         [](PatchLayout& s) {
             s.tables.push_back(s.tables[3]);
             s.tables[4].tablePos = 4;
         }},
        {"a table past the file's end", [](PatchLayout& s) { s.tables[3].up_dataOffset = s.fontLength - 4; }},
        {"a file too short for its directory",
         [](PatchLayout& s) {
             for (auto& t : s.tables) t.up_dataOffset = 0;
             s.fontLength = 60;
         }},
        {"a slot without a record", [](PatchLayout& s) { s.tables[3].tablePos = 7; }},
        {"fewer records than installed tables, the last slot empty",
         [](PatchLayout& s) { s.tables.erase(s.tables.begin()); }},
        {"one table over another", [](PatchLayout& s) { s.tables[2].up_dataOffset = 100; }},
        {"a table over the directory", [](PatchLayout& s) { s.tables[3].up_dataOffset = 60; }},
        {"a table over the offset table", [](PatchLayout& s) { s.tables[3].up_dataOffset = 0; }},
        {"a table off a word boundary", [](PatchLayout& s) { s.tables[3].up_dataOffset = 102; }},
        {"a new font far larger than the installed one could become",
         [](PatchLayout& s) { s.fontLength = 2 * 1024 * 1024; }},
        {"two records on one slot", [](PatchLayout& s) { s.tables[3].tablePos = 1; }},
        {"one table named twice",
         [](PatchLayout& s) {
             s.tables[3] = s.tables[2];
             s.tables[3].tablePos = 0;
         }},
        {"an unchanged table of another length", [](PatchLayout& s) { s.tables[2].up_datalength = 13; }},
        {"an outlandish file length", [](PatchLayout& s) { s.fontLength = 0x7FFFFFF0; }},
        {"a copy outside the installed table",
         [](PatchLayout& s) {
             s.tables[2] = {"CFF ", 1, 2, 12, 108, true, {{8, 8, 0}}, {}};
         }},
    };
    for (const auto& [what, change] : cases) {
        Fixture f;
        PatchLayout layout = f.unchangedReversed();
        change(layout);
        EXPECT_EQ(f.run(layout), fr::result::kFontUnusable) << what;
        EXPECT_TRUE(f.wroteNothing()) << what;
        EXPECT_EQ(f.progress.points.size(), 2u) << what;  // 40 and 55 only
    }
}

TEST(Assembly, FailsWithSevenOrEightWhenThePatchOrTheFileCannotBeHad) {
    {
        Fixture f;
        EXPECT_EQ(
            f.m.creatFontFileDiff(kFont, QStringLiteral("/host/none.pa"), kTemp, Recorder::call, &f.progress, 1, 0),
            fr::result::kPatchLoadFailed);
        EXPECT_TRUE(f.wroteNothing());
    }
    {
        // A file already at the temporary path (or a link planted there) is never written.
        Fixture f;
        f.tp.writeFile(kTemp, Bytes{1, 2, 3});
        EXPECT_EQ(f.run(f.unchangedReversed()), fr::result::kNewFileFailed);
        EXPECT_EQ(f.written(), (Bytes{1, 2, 3}));
        EXPECT_TRUE(f.m.image().empty());
    }
}

}  // namespace
