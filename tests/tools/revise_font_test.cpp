// The six real fixture fonts revised end to end, through the revise-font tool and through
// the driver in-process, checked against the reference applier, ots-sanitize and fontTools;
// and patches made hostile from a real one, which must leave the installed font alone.

#include "discovery/FontCheckCtrl.h"
#include "discovery/SourceLookups.h"
#include "discovery/TextRules.h"
#include "patch/MakeSabunData.h"
#include "patch/OpenTypeManager.h"
#include "patch/RevisionDriver.h"
#include "platform/LinuxPlatform.h"
#include "support/FixtureSet.h"
#include "support/FontBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

using namespace testsupport;

namespace {

const QStringList& kFonts = kFixtureFaces;
using Outcome = ProcessOutcome;
QString python() { return fixturePython(); }

Bytes readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}
void writeFile(const QString& path, const Bytes& bytes, unsigned mode = 0640) {
    QFile::remove(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
}
unsigned modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}
std::uint16_t u16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]); }

// A font with every checksum, the adjustment and the License Description strings zeroed,
// so that a revised font and the newer revision compare equal.
Bytes withoutSerialsAndChecksums(Bytes font) {
    for (std::size_t i = 0; i < u16(font, 4); ++i) {
        const std::size_t rec = 12 + 16 * i;
        putU32(font, rec + 4, 0);
        const std::string tag(font.begin() + rec, font.begin() + rec + 4);
        const std::uint32_t at = getU32(font, rec + 8);
        if (tag == "head") putU32(font, at + 8, 0);
        if (tag != "name") continue;
        const std::size_t storage = at + u16(font, at + 4);
        for (std::size_t k = 0; k < u16(font, at + 2); ++k) {
            const std::size_t r = at + 6 + 12 * k;
            if (u16(font, r + 6) != 13) continue;
            std::fill_n(font.begin() + static_cast<std::ptrdiff_t>(storage + u16(font, r + 10)), u16(font, r + 8), 0);
        }
    }
    return font;
}

class RealFonts : public ::testing::Test {
protected:
    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::optional<FixtureSet> s_set;

    static void SetUpTestSuite() {
        s_dir = std::make_unique<QTemporaryDir>();
        const QString d = s_dir->path();
        QDir(d).mkpath(QStringLiteral("inst"));
        QDir(d).mkpath(QStringLiteral("tmp"));
        QString error;
        s_set = FixtureSet::shared(error);
        ASSERT_TRUE(s_set) << error.toStdString();
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static QString dir() { return s_dir->path(); }
    static QString oldFont(const QString& n) { return s_set->oldFont(n); }
    static QString newFont(const QString& n) { return s_set->newFont(n); }
    static QString patchOf(const QString& n) { return s_set->patchOf(n); }
    static QString referenceOf(const QString& n) { return s_set->referenceOf(n); }
    static QString installedOf(const QString& n) {
        return dir() + QStringLiteral("/inst/") + n + QStringLiteral(".otf");
    }
    static QString temporaryFolder() { return dir() + QStringLiteral("/tmp"); }
    static bool temporaryFolderEmpty() {
        return QDir(temporaryFolder())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
            .isEmpty();
    }

    // Everything a revised font must be, whichever way it was made.
    static void expectRevised(const QString& name) {
        SCOPED_TRACE(name.toStdString());
        const QString path = installedOf(name);
        const Bytes out = readFile(path);
        EXPECT_EQ(out, readFile(referenceOf(name)));
        EXPECT_EQ(withoutSerialsAndChecksums(out), withoutSerialsAndChecksums(readFile(newFont(name))));
        EXPECT_NE(out, readFile(newFont(name)));  // the installed copy's strings came along
        EXPECT_EQ(paddedSum(out), 0xB1B0AFBAu);
        EXPECT_EQ(modeOf(path), 0640u);
        EXPECT_TRUE(temporaryFolderEmpty());
        const Outcome ots = runProcess(QStringLiteral("ots-sanitize"), {path});
        EXPECT_EQ(ots.code, 0) << ots.out.toStdString() << ots.err.toStdString();
        const Outcome ft = runProcess(python(), {QStringLiteral("-c"),
                                                 QStringLiteral("import sys, os\n"
                                                                "from fontTools.ttLib import TTFont\n"
                                                                "f = TTFont(sys.argv[1])\n"
                                                                "[f[t] for t in f.keys()]\n"
                                                                "f.saveXML(os.devnull)\n"),
                                                 path});
        EXPECT_EQ(ft.code, 0) << ft.err.toStdString();
    }
};

TEST_F(RealFonts, TheToolRevisesEachFont) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), temporaryFolder());
    for (const QString& name : kFonts) {
        writeFile(installedOf(name), readFile(oldFont(name)));
        const Outcome r = runProcess(QStringLiteral(FR_BINARY_DIR "/tools/revise-font"),
                                     {installedOf(name), patchOf(name), QStringLiteral("--no-pauses")}, env);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 9);
        EXPECT_EQ(lines.front(), QStringLiteral("10 10 | %1 | %2.otf").arg(installedOf(name), name));
        EXPECT_TRUE(lines.back().startsWith(QStringLiteral("100 100 | ")));
        expectRevised(name);
    }
}

TEST_F(RealFonts, TheToolRefusesWhatItCannotRevise) {
    const QString name = kFonts.front();
    const QString tool = QStringLiteral(FR_BINARY_DIR "/tools/revise-font");
    EXPECT_EQ(runProcess(tool, {installedOf(name)}).code, 64);
    // Relative paths in a working folder that is gone: no file is taken for them.
    EXPECT_EQ(runProcess(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"),
                          QStringLiteral(R"(d=$(mktemp -d) && cd "$d" && rmdir "$d" && exec "$0" a.otf a.pa)"), tool})
                  .code,
              64);

    writeFile(installedOf(name), readFile(newFont(name)));  // already the newer revision
    EXPECT_EQ(runProcess(tool, {installedOf(name), patchOf(name), QStringLiteral("--no-pauses")}).code,
              fr::result::kFontUnusable);
    EXPECT_EQ(readFile(installedOf(name)), readFile(newFont(name)));

    writeFile(installedOf(name), readFile(oldFont(name)));
    EXPECT_EQ(runProcess(tool, {installedOf(name), oldFont(name), QStringLiteral("--no-pauses")}).code,
              fr::result::kPatchLoadFailed);  // no patch
    EXPECT_EQ(readFile(installedOf(name)), readFile(oldFont(name)));
}

// The Linux platform on the real disk, with instant pauses and the given temporary folder.
class RealDisk {
public:
    explicit RealDisk(const QString& temporaryFolder)
        : m_linux(options(temporaryFolder)), m_services(m_linux.services()) {}

    // The source a patch file makes in the source list.
    fr::SourceEntryPtr sourceFor(const QString& patch) const {
        return fr::FontCheckCtrl::sourceEntryFromPatch(*m_services.files, patch);
    }
    // One target revised as the wizard revises it, its revision read by the search's checks.
    std::int32_t revise(const QString& installed, const fr::SourceEntryPtr& source) const {
        std::uint64_t revision = 0;
        const auto font = m_services.files->openForReading(installed);
        if (!font || !fr::OpenTypeManager::checkOpenTypeVersion(*font, *source, revision)) return -1;
        const fr::TargetEntry target{installed, static_cast<std::uint32_t>(revision)};
        fr::OpenTypeManager m(*m_services.files, *m_services.pauses);
        return m.updateOpenTypeDiff(target, nullptr, nullptr, 1, 0,
                                    fr::FixedSourceLookup({source}, *m_services.volumes));
    }

private:
    static platform::LinuxPlatformOptions options(const QString& temporaryFolder) {
        platform::LinuxPlatformOptions o;
        o.temporaryFolder = temporaryFolder;
        o.instantPauses = true;
        return o;
    }
    platform::LinuxPlatform m_linux;
    platform::Platform m_services;
};

TEST_F(RealFonts, TheDriverRevisesEachFontInProcess) {
    const RealDisk disk(temporaryFolder());

    for (const QString& name : kFonts) {
        writeFile(installedOf(name), readFile(oldFont(name)));
        const auto source = disk.sourceFor(patchOf(name));
        ASSERT_TRUE(source);
        EXPECT_EQ(disk.revise(installedOf(name), source), fr::result::kRevised) << name.toStdString();
        expectRevised(name);
    }
}

TEST_F(RealFonts, HostilePatchesLeaveTheInstalledFontAlone) {
    const RealDisk disk(temporaryFolder());

    const QString name = QStringLiteral("Velmora角ゴ StdN W9");
    const Bytes valid = readFile(patchOf(name));
    const Bytes installed = readFile(oldFont(name));
    const auto source = disk.sourceFor(patchOf(name));
    ASSERT_TRUE(source);
    const std::size_t tagNum = valid[44];
    auto record = [](std::size_t k) { return 53 + 18 * k; };
    std::size_t changed = tagNum, unchanged = tagNum;  // a record with a block, one without
    for (std::size_t k = 0; k < tagNum; ++k) (getU32(valid, record(k) + 6) ? changed : unchanged) = k;
    ASSERT_LT(changed, tagNum);
    ASSERT_LT(unchanged, tagNum);
    const std::size_t block = getU32(valid, record(changed) + 6);

    // 7 for what the load refuses (the records, the blocks, a patch other than the one listed),
    // 2 for what does not fit the installed font.
    using Change = std::function<void(Bytes&)>;
    constexpr int kUnusable = fr::result::kFontUnusable, kNotLoaded = fr::result::kPatchLoadFailed;
    struct Case {
        std::string what;
        Change change;
        int code;
    };
    std::vector<Case> cases = {
        {"tagNum 0", [](Bytes& b) { b[44] = 0; }, kUnusable},
        {"tagNum one more", [](Bytes& b) { b[44] += 1; }, kNotLoaded},
        {"tagNum 255", [](Bytes& b) { b[44] = 255; }, kNotLoaded},
        {"font_length 0", [](Bytes& b) { putU32(b, 40, 0); }, kUnusable},
        {"font_length short of the directory", [](Bytes& b) { putU32(b, 40, 20); }, kUnusable},
        {"font_length one short", [](Bytes& b) { putU32(b, 40, getU32(b, 40) - 1); }, kUnusable},
        {"font_length 4 GB", [](Bytes& b) { putU32(b, 40, 0xFFFFFFFF); }, kUnusable},
        {"a table past the end", [&](Bytes& b) { putU32(b, record(0) + 14, 0xFFFFFFF0); }, kUnusable},
        {"a block past the end",
         [&](Bytes& b) { putU32(b, record(changed) + 6, static_cast<std::uint32_t>(b.size())); }, kNotLoaded},
        {"a block shared by two records",
         [&](Bytes& b) { putU32(b, record(unchanged) + 6, getU32(b, record(changed) + 6)); }, kNotLoaded},
        {"two records on one slot", [&](Bytes& b) { b[record(1) + 4] = b[record(0) + 4]; }, kNotLoaded},
        {"a slot out of range", [&](Bytes& b) { b[record(0) + 4] = 200; }, kNotLoaded},
        {"a table the font lacks", [&](Bytes& b) { std::copy_n("DSIG", 4, b.begin() + record(0)); }, kUnusable},
        {"one table named twice",
         [&](Bytes& b) { std::copy(b.begin() + record(1), b.begin() + record(1) + 4, b.begin() + record(0)); },
         kNotLoaded},
        {"an unchanged table one byte longer",
         [&](Bytes& b) { putU32(b, record(unchanged) + 10, getU32(b, record(unchanged) + 10) + 1); }, kUnusable},
        {"a huge old-copy count", [&](Bytes& b) { putU32(b, block, 0x15555556); }, kNotLoaded},
        {"an old copy outside the installed table",
         [&](Bytes& b) {
             if (getU32(b, block) > 0)
                 putU32(b, block + 4, 0x7FFFFFF0);
             else
                 b[44] = 0;
         },
         kUnusable},
        // Swapped after the sources were listed.
        {"another version of the patch", [](Bytes& b) { putU32(b, 36, getU32(b, 36) + 1); }, kNotLoaded},
        {"another face's patch", [&](Bytes& b) { b = readFile(patchOf(QStringLiteral("Velmora丸ゴ StdN W6"))); },
         kNotLoaded},
    };
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{52}, std::size_t{53}, std::size_t{60}, block,
                            block + 3, valid.size() / 2, valid.size() - 1})
        cases.push_back({"cut to " + std::to_string(cut), [cut](Bytes& b) { b.resize(cut); }, kNotLoaded});

    const QString hostile = dir() + QStringLiteral("/patches/hostile/") + name + QStringLiteral(".pa");
    QDir().mkpath(dir() + QStringLiteral("/patches/hostile"));
    auto hostileSource = std::make_shared<fr::SourceEntry>(*source);
    hostileSource->fullpath = hostile;
    for (const auto& [what, change, expected] : cases) {
        Bytes patch = valid;
        change(patch);
        writeFile(hostile, patch, 0644);
        writeFile(installedOf(name), installed);
        const std::int32_t code = disk.revise(installedOf(name), hostileSource);
        EXPECT_EQ(code, expected) << what;
        EXPECT_EQ(readFile(installedOf(name)), installed) << what;
        EXPECT_TRUE(temporaryFolderEmpty()) << what;
    }
}

// The newer revision with its Windows License Description string moved over the 'name'
// table's own records: the storage is made to start at the records (every other string keeps
// its bytes), and that string points at the first record.
Bytes withLicenseStringOverTheRecords(Bytes font) {
    for (std::size_t i = 0; i < u16(font, 4); ++i) {
        const std::size_t rec = 12 + 16 * i;
        if (std::string(font.begin() + rec, font.begin() + rec + 4) != "name") continue;
        const std::size_t at = getU32(font, rec + 8);
        const std::uint16_t storage = u16(font, at + 4), count = u16(font, at + 2);
        const std::uint16_t shift = static_cast<std::uint16_t>(storage - 6);
        putU16(font, at + 4, 6);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t r = at + 6 + 12 * k;
            const bool windowsLicense = u16(font, r) == 3 && u16(font, r + 6) == 13;
            putU16(font, r + 10, windowsLicense ? 0 : static_cast<std::uint16_t>(u16(font, r + 10) + shift));
        }
    }
    return font;
}

TEST_F(RealFonts, ALicenseStringOverTheNameRecordsIsRefusedAndTheFontKept) {
    const RealDisk disk(temporaryFolder());
    const QString name = QStringLiteral("Velmora角ゴ StdN W9");
    const QString evilNew = dir() + QStringLiteral("/evil-new.otf");
    const QString patch = dir() + QStringLiteral("/patches/evil/") + name + QStringLiteral(".pa");
    QDir().mkpath(dir() + QStringLiteral("/patches/evil"));
    writeFile(evilNew, withLicenseStringOverTheRecords(readFile(newFont(name))), 0644);
    const Outcome made =
        runProcess(python(), {QStringLiteral(FR_SOURCE_DIR "/tools/make_patch.py"), oldFont(name), evilNew, patch});
    ASSERT_EQ(made.code, 0) << made.err.toStdString();

    const Bytes installed = readFile(oldFont(name));
    writeFile(installedOf(name), installed);
    const auto source = disk.sourceFor(patch);
    ASSERT_TRUE(source);
    EXPECT_EQ(disk.revise(installedOf(name), source), fr::result::kFontUnusable);
    EXPECT_EQ(readFile(installedOf(name)), installed);
    EXPECT_TRUE(temporaryFolderEmpty());
    EXPECT_EQ(QDir(dir() + QStringLiteral("/inst"))
                  .entryList(QDir::Files | QDir::Hidden)
                  .filter(QStringLiteral("font-reviser")),
              QStringList());
}

// Where a table lies in a font: its offset and length (0, 0 when it has none).
std::pair<std::size_t, std::size_t> tableIn(const Bytes& font, const std::string& tag) {
    for (std::size_t i = 0; i < u16(font, 4); ++i) {
        const std::size_t rec = 12 + 16 * i;
        if (std::string(font.begin() + rec, font.begin() + rec + 4) == tag)
            return {getU32(font, rec + 8), getU32(font, rec + 12)};
    }
    return {0, 0};
}

// Newer revisions whose tables are well placed but hold nonsense, each made into a patch by
// the patch maker: the image is built, found to be no font, and never written.
TEST_F(RealFonts, APatchThatWouldMakeNoFontWritesNothing) {
    const RealDisk disk(temporaryFolder());
    const QString name = QStringLiteral("Velmora角ゴ StdN W9");
    using Change = std::function<void(Bytes&)>;
    const std::vector<std::pair<std::string, Change>> cases = {
        {"a 'head' without its magic number", [](Bytes& f) { putU32(f, tableIn(f, "head").first + 12, 0); }},
        {"a 'CFF ' of garbage",
         [](Bytes& f) {
             const auto [at, length] = tableIn(f, "CFF ");
             for (std::size_t k = 0; k < length; ++k) f[at + k] = static_cast<std::uint8_t>(k * 131 + 7);
         }},
        {"a zeroed 'CFF '",
         [](Bytes& f) {
             const auto [at, length] = tableIn(f, "CFF ");
             std::fill_n(f.begin() + static_cast<std::ptrdiff_t>(at), length, 0);
         }},
        {"'maxp' with no glyphs", [](Bytes& f) { putU16(f, tableIn(f, "maxp").first + 4, 0); }},
        {"'hhea' with 0xFFFF metrics", [](Bytes& f) { putU16(f, tableIn(f, "hhea").first + 34, 0xFFFF); }},
    };
    const QString evilNew = dir() + QStringLiteral("/nonsense-new.otf");
    const QString patch = dir() + QStringLiteral("/patches/nonsense/") + name + QStringLiteral(".pa");
    QDir().mkpath(dir() + QStringLiteral("/patches/nonsense"));
    const Bytes installed = readFile(oldFont(name));
    for (const auto& [what, change] : cases) {
        Bytes font = readFile(newFont(name));
        change(font);
        writeFile(evilNew, font, 0644);
        const Outcome made =
            runProcess(python(), {QStringLiteral(FR_SOURCE_DIR "/tools/make_patch.py"), oldFont(name), evilNew, patch});
        ASSERT_EQ(made.code, 0) << what << made.err.toStdString();
        writeFile(installedOf(name), installed);
        const auto source = disk.sourceFor(patch);
        ASSERT_TRUE(source) << what;
        EXPECT_EQ(disk.revise(installedOf(name), source), fr::result::kNewFileFailed) << what;
        EXPECT_EQ(readFile(installedOf(name)), installed) << what;
        EXPECT_TRUE(temporaryFolderEmpty()) << what;
    }
}

}  // namespace
