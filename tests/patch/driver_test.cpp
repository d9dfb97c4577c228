// One target revised end to end on a scratch disk: the progress points, every way the
// revision can end, and that the installed font is never lost.

#include "discovery/SourceLookups.h"
#include "patch/OpenTypeManager.h"
#include "patch/RevisionDriver.h"
#include "platform/Leftovers.h"
#include "support/FakePlatform.h"
#include "support/FaultyFiles.h"
#include "support/FontBytes.h"
#include "support/ProgressSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <new>

using namespace testsupport;
using fr::OpenTypeManager;

namespace {

const QString kName = QStringLiteral("Velmora角ゴ StdN W9");
const QString kFont = QStringLiteral("/Fonts/") + kName + QStringLiteral(".otf");
const QString kPatch = QStringLiteral("/Applications/Reviser/host/") + kName + QStringLiteral(".pa");
constexpr std::uint32_t kRevision = 0x00080000;

// While set, every allocation through operator new fails, as when memory can't be had.
std::atomic<bool> g_allocationsFail{false};

struct Recorder {
    std::vector<int> steps, overall;
    std::vector<QString> lines1, lines2;
    int cancelAtStep = -1;
    int memoryRunsOutAtStep = -1;  // from this progress point on, allocations fail
    static bool call(std::int32_t o, std::int32_t step, const QString& l1, const QString& l2, void* ctx) {
        auto* self = static_cast<Recorder*>(ctx);
        if (g_allocationsFail) throw std::bad_alloc();
        self->overall.push_back(o);
        self->steps.push_back(step);
        self->lines1.push_back(l1);
        self->lines2.push_back(l2);
        if (step == self->memoryRunsOutAtStep) g_allocationsFail = true;
        return step == self->cancelAtStep;
    }
};

// FaultyFiles with the faults this driver needs besides: permissions that can't be read,
// and a file in place that changed after the replacement.
class DriverFiles : public FaultyFiles {
public:
    using FaultyFiles::FaultyFiles;
    bool permissionsUnknown = false;
    std::size_t cutAfterReplace = 0;  // bytes lost from the end
    std::optional<std::size_t> flipAfterReplace;
    bool swapAfterReplace = false;  // two unlike bytes of one lane, a word apart, past the directory: the sum stays

    std::optional<std::uint32_t> permissions(const QString& path) const override {
        if (permissionsUnknown) return std::nullopt;
        return FaultyFiles::permissions(path);
    }
    std::optional<QString> replaceKeepingOld(const QString& staged, const QString& to) override {
        auto kept = FaultyFiles::replaceKeepingOld(staged, to);
        if (!kept || (cutAfterReplace == 0 && !flipAfterReplace && !swapAfterReplace)) return kept;
        auto bytes = readAll(to, testsupport::kAnySize);
        if (flipAfterReplace) (*bytes)[*flipAfterReplace] ^= 0x01;
        for (std::size_t at = 12 + 16 * 7; swapAfterReplace && at + 4 < bytes->size(); ++at)
            if ((*bytes)[at] != (*bytes)[at + 4]) {
                std::swap((*bytes)[at], (*bytes)[at + 4]);
                break;
            }
        bytes->resize(bytes->size() - cutAfterReplace);
        overwrite(to, *bytes);
        return kept;
    }
};

Bytes installedFont(const std::string& fullName = "Velmora角ゴ StdN W9", bool windowsSerial = true) {
    std::vector<NameRecord> names = {{1, 0, 0, 4, bytesOf(fullName)}, {1, 0, 0, 13, bytesOf("MAC-SERIAL-0042")}};
    if (windowsSerial) names.push_back({3, 1, 0x0409, 13, utf16be("WIN-SERIAL-0042")});
    std::vector<Table> tables = {{"head", headTable(kRevision)}, {"name", nameTable(names)}};
    for (const Table& t : outlineTables()) tables.push_back(t);
    tables.push_back({"post", Bytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5}});
    return buildSfnt(tables);
}

constexpr std::uint32_t kDirectoryEnd = 12 + 16 * 7;

// The directory reversed and the tables laid out in its order from its end on: 'post'
// rewritten to 8 bytes (A2..A5 copied, then EE EF F0 F1) first, the file ending `zeroTail`
// bytes after 'head', whose fontRevision becomes 8.1.
PatchLayout patchFor(const Bytes& font, std::uint32_t zeroTail = 0) {
    PatchLayout layout;
    layout.fontName = "Velmora角ゴ StdN W9";
    layout.fontVersion = 1;
    PatchTable post = placed("post", 0, 8, kDirectoryEnd);
    post.changed = true;
    post.olds = {{1, 4, 0}};
    post.news = {{4, {0xEE, 0xEF, 0xF0, 0xF1}}};
    layout.tables = {post};
    std::uint32_t at = kDirectoryEnd + 8;
    std::uint8_t slot = 1;
    for (const char* tag : {"maxp", "hmtx", "hhea", "CFF ", "name", "head"}) {
        std::uint32_t length = 0;
        for (std::size_t i = 0; i < 7; ++i)
            if (std::string(font.begin() + 12 + 16 * i, font.begin() + 16 + 16 * i) == tag)
                length = getU32(font, 12 + 16 * i + 12);
        layout.tables.push_back(placed(tag, slot++, length, at));
        if (std::string(tag) == "head") {
            layout.tables.back().changed = true;
            layout.tables.back().olds = {{0, 4, 0}, {8, length - 8, 8}};
            layout.tables.back().news = {{4, {0x00, 0x08, 0x01, 0x00}}};
        }
        layout.fontLength = at + length + zeroTail;
        at = (at + length + 3) & ~3u;
    }
    return layout;
}

fr::SourceEntryPtr source() {
    auto s = std::make_shared<fr::SourceEntry>();
    s->fullpath = kPatch;
    s->fontfile = kName + QStringLiteral(".otf");
    s->fontname = kName;
    s->version = 1;
    return s;
}

struct Fixture {
    TestPlatform tp;
    DriverFiles files{tp.files()};
    Recorder progress;
    Bytes installed = installedFont();
    fr::TargetEntry target{kFont, kRevision};
    std::vector<fr::SourceEntryPtr> sources{source()};

    Fixture() {
        tp.writeFile(kFont, installed);
        ::chmod(QFile::encodeName(tp.real(kFont)).constData(), 0640);
        tp.writeFile(kPatch, buildPatch(patchFor(installed)));
    }
    std::string reason;  // of the last run
    std::int32_t run(int count = 1, int index = 0, bool dryRun = false) {
        const std::int32_t code = [&] {
            OpenTypeManager m(files, tp.pauses);
            m.setDryRun(dryRun);
            const std::int32_t ended = m.updateOpenTypeDiff(target, Recorder::call, &progress, count, index,
                                                            fr::FixedSourceLookup(sources, tp.volumes));
            reason = m.reason().id.toStdString();
            return ended;
        }();
        g_allocationsFail = false;
        return code;
    }
    Bytes onDisk(const QString& path = kFont) const {
        QFile f(tp.real(path));
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray b = f.readAll();
        return Bytes(b.begin(), b.end());
    }
    QStringList fontFolder() const {
        return QDir(tp.real(QStringLiteral("/Fonts")))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    }
    // The installed font as it was, and nothing of ours beside it or in the temporary folder.
    void expectUntouched() const {
        EXPECT_EQ(onDisk(), installed);
        EXPECT_EQ(mode(), 0640u);
        EXPECT_EQ(fontFolder(), QStringList{kName + QStringLiteral(".otf")});
        EXPECT_TRUE(temporaryFiles().isEmpty());
    }
    QStringList temporaryFiles() const {
        return QDir(tp.real(QStringLiteral("/tmp")))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    }
    unsigned mode() const {
        struct stat st {};
        ::stat(QFile::encodeName(tp.real(kFont)).constData(), &st);
        return st.st_mode & 07777;
    }
};

const std::vector<int> kAllSteps(testsupport::kAllSteps.begin(), testsupport::kAllSteps.end());

TEST(RevisionDriver, RevisesOneFontInPlaceKeepingItsPermissions) {
    Fixture f;
    ASSERT_EQ(f.run(), fr::result::kRevised);
    EXPECT_EQ(f.progress.steps, kAllSteps);
    EXPECT_EQ(f.progress.overall, kAllSteps);
    // Each point names the font and the file its step is about: the installed font's, the
    // patch's, none once the tables are read.
    EXPECT_EQ(f.progress.lines1, std::vector<QString>(kAllSteps.size(), kFont));
    const QString font = kName + QStringLiteral(".otf"), patch = kName + QStringLiteral(".pa");
    EXPECT_EQ(f.progress.lines2, (std::vector<QString>{font, font, QString(), patch, patch, font, font, patch, patch}));

    const Bytes out = f.onDisk();
    ASSERT_EQ(out.size(), patchFor(f.installed).fontLength);
    EXPECT_EQ(Bytes(out.begin() + kDirectoryEnd, out.begin() + kDirectoryEnd + 8),
              (Bytes{0xA2, 0xA3, 0xA4, 0xA5, 0xEE, 0xEF, 0xF0, 0xF1}));
    EXPECT_EQ(paddedSum(out), 0xB1B0AFBAu);
    EXPECT_EQ(f.mode(), 0640u);
    EXPECT_TRUE(f.temporaryFiles().isEmpty());
    EXPECT_EQ(f.tp.pauses.taken(), (std::vector<int>{200, 100, 100, 100}));
}

TEST(RevisionDriver, RevisesTheFileBehindALinkWhereTheSearchLooksAndTheLinkElsewhere) {
    // Where the file behind the link lies, and whether it is revised there (the link kept) or
    // the link itself is replaced by the revised font (the file behind it untouched).
    struct Case {
        const char* what;
        QString behind;
        bool removable;
        bool inPlace;
    };
    const QString font = kName + QStringLiteral(".otf");
    const std::vector<Case> cases = {
        {"on the fixed disk, where the search looks", QStringLiteral("/Fonts/") + font, false, true},
        {"on a removable volume", QStringLiteral("/Fonts/") + font, true, false},
        {"in a folder past the depth limit", QStringLiteral("/Fonts/a/b/c/d/") + font, false, false},
        {"in a folder the search skips by name", QStringLiteral("/Fonts/Reviser.app/") + font, false, false},
        {"under a name the search does not examine", QStringLiteral("/Fonts/font-0001.bin"), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        f.tp.volumes.volumes = {{QStringLiteral("/")}, {QStringLiteral("/Fonts"), c.removable}};
        if (c.behind != kFont) {
            f.tp.makeFolder(QFileInfo(c.behind).path());
            ASSERT_TRUE(f.files.rename(kFont, c.behind));
        }
        const QString link = QStringLiteral("/Users/a/Library/Fonts/") + font;
        f.tp.makeLink(link, QStringLiteral("../../../..") + c.behind);
        f.target.fullpath = link;
        ASSERT_EQ(f.run(), fr::result::kRevised);
        EXPECT_EQ(f.tp.files().isSymbolicLink(link), c.inPlace);
        EXPECT_EQ(f.onDisk(link).size(), patchFor(f.installed).fontLength);
        EXPECT_EQ(f.onDisk(c.behind) == f.installed, !c.inPlace);  // the file behind the link
        EXPECT_EQ(f.progress.lines1.front(), link);
    }
}

TEST(RevisionDriver, ReportsOnTheRunsScale) {
    Fixture f;
    ASSERT_EQ(f.run(4, 3), fr::result::kRevised);
    EXPECT_EQ(f.progress.overall.front(), 77);
    EXPECT_EQ(f.progress.overall.back(), 100);
}

TEST(RevisionDriver, RefusesFontsThatAreNotUsable) {
    {
        SCOPED_TRACE("the installed file can't be read");
        Fixture f;
        f.target.fullpath = QStringLiteral("/Fonts/missing.otf");
        EXPECT_EQ(f.run(), fr::result::kFontUnusable);
        EXPECT_EQ(f.progress.steps,
                  (std::vector<int>{fr::step::kOpenFont, fr::step::kReadFont, fr::step::kTablesRead}));
    }
    for (const Bytes& bad : {buildSfnt({{"head", headTable(kRevision)}}, std::string("true")),
                             buildSfnt({{"head", headTable(kRevision)}, {"DSIG", Bytes(8, 0)}})}) {
        SCOPED_TRACE("not CFF OpenType, or a table outside the accepted list");
        Fixture f;
        f.tp.writeFile(kFont, bad);
        EXPECT_EQ(f.run(), fr::result::kFontUnusable);
        EXPECT_EQ(f.progress.steps, (std::vector<int>{fr::step::kOpenFont, fr::step::kReadFont}));
    }
    {
        SCOPED_TRACE("no Windows License Description");
        Fixture f;
        f.tp.writeFile(kFont, installedFont("Velmora角ゴ StdN W9", false));
        EXPECT_EQ(f.run(), fr::result::kFontUnusable);
        EXPECT_EQ(f.progress.steps,
                  (std::vector<int>{fr::step::kOpenFont, fr::step::kReadFont, fr::step::kTablesRead}));
    }
}

TEST(RevisionDriver, RefusesAFileThatIsNoLongerWhatTheSearchAdmitted) {
    auto expectRefused = [](Fixture& f) {
        const Bytes before = f.onDisk();
        EXPECT_EQ(f.run(), fr::result::kFontUnusable);
        EXPECT_EQ(f.progress.steps,
                  (std::vector<int>{fr::step::kOpenFont, fr::step::kReadFont, fr::step::kTablesRead}));
        EXPECT_TRUE(f.temporaryFiles().isEmpty());
        EXPECT_EQ(f.onDisk(), before);
    };
    {
        SCOPED_TRACE("another revision than the one listed");
        Fixture f;
        f.target.version = kRevision + 1;
        expectRefused(f);
    }
    {
        SCOPED_TRACE("another font under the same name");
        Fixture f;
        f.tp.writeFile(kFont, installedFont("Velmora角ゴ StdN W8"));
        expectRefused(f);
    }
    {
        SCOPED_TRACE("a revision the patch was not made for");
        Fixture f;
        Bytes font = f.installed;
        putU32(font, getU32(font, 12 + 8) + 4, 0x00080100);
        f.tp.writeFile(kFont, font);
        f.target.version = 0x00080100;
        expectRefused(f);
    }
}

TEST(RevisionDriver, AFileChangedUnderItsNameSinceTheSearchIsLeftAsItIs) {
    struct Case {
        const char* what;
        std::function<void(Fixture&)> change;
        std::int32_t code;
    };
    const std::vector<Case> cases = {
        {"it is gone", [](Fixture& f) { f.files.remove(kFont); }, fr::result::kFontUnusable},
        {"it was cut short",
         [](Fixture& f) { f.tp.writeFile(kFont, Bytes(f.installed.begin(), f.installed.begin() + 100)); },
         fr::result::kFontUnusable},
        {"a fifo stands there",
         [](Fixture& f) {
             f.files.remove(kFont);
             ::mkfifo(QFile::encodeName(f.tp.real(kFont)).constData(), 0644);
         },
         fr::result::kFontUnusable},
        {"a folder stands there",
         [](Fixture& f) {
             f.files.remove(kFont);
             QDir().mkpath(f.tp.real(kFont));
         },
         fr::result::kFontUnusable},
        // Still the same font and revision, with bytes after its tables: revised from its tables.
        {"it grew",
         [](Fixture& f) {
             Bytes grown = f.installed;
             grown.resize(grown.size() + 4096, 0xEE);
             f.tp.writeFile(kFont, grown);
         },
         fr::result::kRevised},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        c.change(f);
        const bool wasFile = QFileInfo(f.tp.real(kFont)).isFile();
        const Bytes before = wasFile ? f.onDisk() : Bytes();  // a fifo is never opened here
        EXPECT_EQ(f.run(), c.code);
        if (c.code == fr::result::kRevised) {
            EXPECT_EQ(paddedSum(f.onDisk()), 0xB1B0AFBAu);
        } else if (wasFile) {
            EXPECT_EQ(f.onDisk(), before);
        }
        EXPECT_EQ(QFileInfo(f.tp.real(kFont)).isFile(), wasFile || c.code == fr::result::kRevised);
        EXPECT_TRUE(f.temporaryFiles().isEmpty());
        EXPECT_LE(f.fontFolder().size(), 1);
    }
}

TEST(RevisionDriver, WithoutAUsableTemporaryFolderNothingIsWrittenAnywhere) {
    {
        SCOPED_TRACE("the temporary folder is missing");
        Fixture f;
        QDir(f.tp.real(QStringLiteral("/tmp"))).removeRecursively();
        EXPECT_EQ(f.run(), fr::result::kNewFileFailed);
        EXPECT_EQ(f.onDisk(), f.installed);
        EXPECT_EQ(f.fontFolder(), QStringList{kName + QStringLiteral(".otf")});
        EXPECT_TRUE(QDir(f.tp.real(QStringLiteral("/"))).entryList({QStringLiteral("font-reviser-*")}).isEmpty());
    }
    {
        SCOPED_TRACE("a link planted at every name it could draw");
        Fixture f;
        f.tp.writeFile(QStringLiteral("/victim"), Bytes{7, 7, 7});
        const std::time_t now = std::time(nullptr);
        for (std::time_t t = now; t < now + 3; ++t)
            for (int n = 0; n < 255; ++n)
                f.tp.makeLink(QStringLiteral("/tmp/") + platform::temporaryName(::getpid(), t, n),
                              QStringLiteral("../victim"));
        EXPECT_EQ(f.run(), fr::result::kNewFileFailed);
        EXPECT_EQ(f.onDisk(), f.installed);
        EXPECT_EQ(f.onDisk(QStringLiteral("/victim")), (Bytes{7, 7, 7}));
        EXPECT_EQ(f.temporaryFiles().size(), 3 * 255);
        EXPECT_EQ(f.fontFolder(), QStringList{kName + QStringLiteral(".otf")});
    }
}

TEST(RevisionDriver, WithoutAPatchSourceMakesNoTemporaryFile) {
    struct NoPatch : fr::SourceLookup {
        bool stillTarget(const platform::ReadableBytes&, const QString&, std::uint32_t) const override { return true; }
        fr::SourceEntryPtr sourceForTarget(const QString&, std::uint64_t) const override { return nullptr; }
        fr::SourceEntryPtr sourceForInstalledName(const QString&) const override { return nullptr; }
        bool searchFinds(const QString&) const override { return true; }
    };
    Fixture f;
    OpenTypeManager m(f.files, f.tp.pauses);
    EXPECT_EQ(m.updateOpenTypeDiff(f.target, Recorder::call, &f.progress, 1, 0, NoPatch()), fr::result::kFontUnusable);
    EXPECT_EQ(f.progress.steps, (std::vector<int>{fr::step::kOpenFont, fr::step::kReadFont, fr::step::kTablesRead}));
    EXPECT_TRUE(f.temporaryFiles().isEmpty());

    Fixture g;
    auto pathless = std::make_shared<fr::SourceEntry>(*source());
    pathless->fullpath.clear();
    g.sources = {pathless};
    EXPECT_EQ(g.run(), fr::result::kFontUnusable);
    EXPECT_TRUE(g.temporaryFiles().isEmpty());
}

TEST(RevisionDriver, ACancelAnywhereLeavesTheInstalledFontAndNoTemporaryFile) {
    for (int step : kAllSteps) {
        Fixture f;
        f.progress.cancelAtStep = step;
        EXPECT_EQ(f.run(), fr::result::kCancelled) << step;
        EXPECT_EQ(f.progress.steps.back(), step);
        EXPECT_EQ(f.onDisk(), f.installed) << step;
        EXPECT_TRUE(f.temporaryFiles().isEmpty()) << step;
    }
}

TEST(RevisionDriver, EveryFailureLeavesTheOldFontByteIdenticalAndNothingStray) {
    struct Case {
        const char* what;
        std::int32_t code;
        std::function<void(Fixture&)> arrange;
        const char* reason;
        bool dryRunSees = false;  // a dry run ends the same (what it checks goes wrong before any write)
    };
    const std::vector<Case> cases = {
        {"not deletable", fr::result::kNotReplaceable,
         [](Fixture& f) { f.files.notDeletable.on(QStringLiteral("/Fonts/")); }, "folder-not-writable", true},
        {"permissions that can't be read", fr::result::kNewFileFailed,
         [](Fixture& f) { f.files.permissionsUnknown = true; }, "permissions-unknown", true},
        {"the copy beside it fails", fr::result::kCopyFailed, [](Fixture& f) { f.files.failCopyBeside.on(); },
         "copy-beside"},
        {"the copy is not the image (checked before the rename)", fr::result::kNewFileFailed,
         [](Fixture& f) { f.files.corruptCopy.on(QStringLiteral("/Fonts/")); }, "copy-check"},
        {"type and creator can't be set", fr::result::kNewFileFailed,
         [](Fixture& f) { f.files.failSetTypeAndCreator.on(); }, "attributes"},
        {"permissions can't be set", fr::result::kNewFileFailed, [](Fixture& f) { f.files.failSetPermissions.on(); },
         "attributes"},
        {"the rename fails", fr::result::kCopyFailed, [](Fixture& f) { f.files.failReplace.on(); }, "exchange"},
        {"the file in place is not the image (checked after the rename)", fr::result::kNewFileFailed,
         [](Fixture& f) { f.files.corruptAfterReplace.on(QStringLiteral("/Fonts/")); }, "in-place-check"},
        {"one whole word differs after the rename", fr::result::kNewFileFailed,
         [](Fixture& f) { f.files.flipAfterReplace = kDirectoryEnd + 2; }, "in-place-check"},
        {"two words changed, their sum the same, after the rename", fr::result::kNewFileFailed,
         [](Fixture& f) { f.files.swapAfterReplace = true; }, "in-place-check"},
        {"a lost tail of zero words after the rename", fr::result::kNewFileFailed,
         [](Fixture& f) {
             f.tp.writeFile(kPatch, buildPatch(patchFor(f.installed, 10)));
             f.files.cutAfterReplace = 8;
         },
         "in-place-check"},
        {"no memory for the installed font", fr::result::kFontUnusable,
         [](Fixture& f) { f.progress.memoryRunsOutAtStep = fr::step::kOpenFont; }, "font-memory", true},
        {"no memory for the patch", fr::result::kPatchLoadFailed,
         [](Fixture& f) { f.progress.memoryRunsOutAtStep = fr::step::kOpenPatch; }, "patch-memory", true},
        {"no memory for the new image", fr::result::kNewFileFailed,
         [](Fixture& f) { f.progress.memoryRunsOutAtStep = fr::step::kPatchLoaded; }, "image-memory", true},
        {"no memory for the replacement", fr::result::kNewFileFailed,
         [](Fixture& f) { f.progress.memoryRunsOutAtStep = fr::step::kCopyIntoPlace; }, "memory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.dryRunSees) {
            Fixture f;
            c.arrange(f);
            EXPECT_EQ(f.run(1, 0, true), c.code);
            EXPECT_EQ(f.reason, c.reason);
            f.expectUntouched();
        }
        Fixture f;
        c.arrange(f);
        EXPECT_EQ(f.run(), c.code);
        EXPECT_EQ(f.reason, c.reason);
        f.expectUntouched();
    }
}

TEST(RevisionDriver, TheNewFileIsCheckedAndGivenItsAttributesBeforeItIsRenamedIntoPlace) {
    Fixture f;
    ASSERT_EQ(f.run(), fr::result::kRevised);
    QStringList steps;
    for (const QString& call : f.files.calls())
        for (const char* op :
             {"copyBeside", "openForReading", "setTypeAndCreator", "setPermissions", "replaceKeepingOld", "remove"})
            if (call.startsWith(QLatin1String(op) + QLatin1Char(' ')) && !call.contains(kPatch)) steps << op;
    // Reading the installed font; the staged copy checked, typed, given the permissions,
    // renamed; the file in place checked; the kept old font and the temporary file removed.
    EXPECT_EQ(steps, (QStringList{"openForReading", "copyBeside", "openForReading", "setTypeAndCreator",
                                  "setPermissions", "replaceKeepingOld", "openForReading", "remove", "remove"}));
    EXPECT_EQ(f.fontFolder(), QStringList{kName + QStringLiteral(".otf")});
}

// The name a run that has ended would have given a file of ours beside the font.
QString endedRunsName(const char* suffix) {
    return QStringLiteral("/Fonts/.") + kName + QStringLiteral(".otf.font-reviser-%1-0000abcd").arg(INT_MAX) +
           QLatin1String(suffix);
}

TEST(RevisionDriver, AFileOfOursThatCannotBeRemovedIsNeverASuccessNorMultiplied) {
    {
        SCOPED_TRACE("the temporary folder lets nothing go, or its removal fails");
        for (const bool unlinkFails : {false, true}) {
            Fixture f;
            (unlinkFails ? f.files.failRemove : f.files.notDeletable).on(QStringLiteral("/tmp/"));
            EXPECT_EQ(f.run(), fr::result::kTempNotRemovable);
            EXPECT_EQ(paddedSum(f.onDisk()), 0xB1B0AFBAu);  // the font itself was revised
        }
    }
    SCOPED_TRACE("the copy beside the font can't be removed after a failure");
    Fixture f;
    f.files.failSetPermissions.on();
    f.files.failRemove.on(QStringLiteral("/Fonts/."));
    EXPECT_EQ(f.run(), fr::result::kTempNotRemovable);
    EXPECT_EQ(f.onDisk(), f.installed);
    ASSERT_EQ(f.fontFolder().size(), 2);
    // As a later run finds it, its own run ended: it is not made again beside it.
    ASSERT_TRUE(
        f.files.rename(QStringLiteral("/Fonts/") + f.fontFolder().filter(QStringLiteral("font-reviser")).first(),
                       endedRunsName(".new")));
    f.files.failSetPermissions = {};
    EXPECT_EQ(f.run(), fr::result::kTempNotRemovable);
    EXPECT_EQ(f.fontFolder().size(), 2);
    EXPECT_EQ(f.progress.steps.size(), kAllSteps.size());  // the second run made no step
    f.files.failRemove = {};
    EXPECT_EQ(f.run(), fr::result::kRevised);
    EXPECT_EQ(f.fontFolder(), QStringList{kName + QStringLiteral(".otf")});
}

// The revised font with a byte of its Macintosh License Description changed, and the 'name'
// record's checksum made right again: every table checksum holds, every digest too ('name' is
// not digested), only the whole-font sum does not.
Bytes withOtherLicense(Bytes font) {
    for (std::size_t i = 0; i < 7; ++i) {
        const std::size_t record = 12 + 16 * i;
        if (std::string(font.begin() + record, font.begin() + record + 4) != "name") continue;
        const std::uint32_t at = getU32(font, record + 8), length = getU32(font, record + 12);
        const auto serial = std::search(font.begin() + at, font.begin() + at + length, "MAC", "MAC" + 3);
        *serial ^= 0x20;
        putU32(font, record + 4, paddedSum(font, at, length));
    }
    return font;
}

TEST(RevisionDriver, WhatAnInterruptedRunLeftBesideTheFontIsJudgedByTheFontInPlace) {
    Bytes revised;
    {
        Fixture f;
        ASSERT_EQ(f.run(), fr::result::kRevised);
        revised = f.onDisk();
    }
    Bytes corrupt = revised;
    corrupt[corrupt.size() / 2] ^= 0x55;
    const Bytes old = installedFont();
    const Bytes otherLicense = withOtherLicense(revised);
    ASSERT_EQ(paddedSum(otherLicense) == 0xB1B0AFBAu, false);
    struct Case {
        const char* what;
        std::optional<Bytes> inPlace, leftover;
        std::int32_t code;
        Bytes after;
        bool patch = true;      // the run has the font's patch
        bool manifest = false;  // and its entry in a signed manifest
        bool keptAfter = false;
    };
    const std::vector<Case> cases = {
        {"the old font kept beside a new one that is not whole: put back, then revised", corrupt, old,
         fr::result::kRevised, revised},
        {"the old font kept, nothing in place: put back, then revised", std::nullopt, old, fr::result::kRevised,
         revised},
        {"the old font kept beside the whole new one: removed", revised, old, fr::result::kFontUnusable, revised},
        {"a part of a new copy beside the old font: removed", old, Bytes(revised.begin(), revised.begin() + 300),
         fr::result::kRevised, revised},
        // Only the whole-font sum tells these from the complete new font.
        {"beside a new font whose License Description changed: the old font put back", otherLicense, old,
         fr::result::kRevised, revised},
        {"the same under a manifest, whose digests leave 'name' out", otherLicense, old, fr::result::kRevised, revised,
         true, true},
        // A run without the font's patch proves nothing: what may be the only good copy stays.
        {"no patch: the old font kept beside a new one that is not whole stays", corrupt, old,
         fr::result::kTempNotRemovable, corrupt, false, false, true},
        {"no patch: the old font kept beside the whole new one stays too", revised, old, fr::result::kTempNotRemovable,
         revised, false, false, true},
        {"no patch: a copy with the very bytes in place is removed", old, old, fr::result::kFontUnusable, old, false},
        {"no patch: a part of a new copy, no font at all, is removed", old,
         Bytes(revised.begin(), revised.begin() + 300), fr::result::kFontUnusable, old, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        if (c.manifest) {
            const Bytes patch = f.onDisk(kPatch);
            auto listed = std::make_shared<fr::ManifestEntry>();
            listed->patch = kName + QStringLiteral(".pa");
            listed->sha256 = fr::sha256Of(patch);
            listed->oldTables = fr::imageTableDigests(old, 7);
            listed->newTables = fr::imageTableDigests(revised, 7);
            auto withEntry = std::make_shared<fr::SourceEntry>(*f.sources.front());
            withEntry->manifest = listed;
            f.sources = {withEntry};
        }
        if (!c.patch) f.sources.clear();
        if (c.inPlace)
            f.tp.writeFile(kFont, *c.inPlace);
        else
            f.files.remove(kFont);
        f.tp.writeFile(endedRunsName(".new"), *c.leftover);
        EXPECT_EQ(f.run(), c.code);
        EXPECT_EQ(f.onDisk(), c.after);
        if (c.keptAfter) {
            EXPECT_EQ(f.onDisk(endedRunsName(".new")), *c.leftover);
            EXPECT_EQ(f.reason, "kept-copy");
        } else {
            EXPECT_EQ(f.fontFolder(), QStringList{kName + QStringLiteral(".otf")});
        }
    }
}

TEST(RevisionDriver, NeverWritesThroughALinkPlantedAtTheTemporaryName) {
    Fixture f;
    f.tp.writeFile(QStringLiteral("/victim"), Bytes{7, 7, 7});
    std::srand(7);
    const int first = std::rand() % 255;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now; t < now + 3; ++t)
        f.tp.makeLink(QStringLiteral("/tmp/") + platform::temporaryName(::getpid(), t, first),
                      QStringLiteral("../victim"));
    std::srand(7);
    EXPECT_EQ(f.run(), fr::result::kRevised);
    EXPECT_EQ(f.onDisk(QStringLiteral("/victim")), (Bytes{7, 7, 7}));
    EXPECT_EQ(f.temporaryFiles().size(), 3);  // the planted links, nothing of ours
}

TEST(RevisionDriver, FindsThePatchThroughFontDiscovery) {
    Fixture f;
    platform::Platform services = f.tp.services();
    services.files = &f.files;
    fr::FontCheckCtrl discovery(services);
    discovery.checkUpdateFontFile();
    OpenTypeManager m(f.files, f.tp.pauses);
    EXPECT_EQ(m.updateOpenTypeDiff(f.target, Recorder::call, &f.progress, 1, 0, fr::DiscoverySourceLookup(discovery)),
              fr::result::kRevised);
    EXPECT_EQ(paddedSum(f.onDisk()), 0xB1B0AFBAu);
}

TEST(RevisionIdentity, OneFileReachedThroughALinkHasOneIdentity) {
    TestPlatform tp;
    tp.writeFile(QStringLiteral("/Fonts/a.otf"), Bytes{1});
    tp.makeLink(QStringLiteral("/Other/b.otf"), QStringLiteral("../Fonts/a.otf"));
    EXPECT_EQ(fr::revisionIdentity(tp.files(), QStringLiteral("/Other/b.otf")),
              fr::revisionIdentity(tp.files(), QStringLiteral("/Fonts/a.otf")));
    EXPECT_EQ(fr::revisionIdentity(tp.files(), QStringLiteral("/Fonts/a.otf")), QStringLiteral("/Fonts/a.otf"));
    EXPECT_EQ(fr::revisionIdentity(tp.files(), QStringLiteral("/Fonts/none.otf")), QStringLiteral("/Fonts/none.otf"));
}

}  // namespace

// This test program's allocations, which fail while g_allocationsFail is set.
void* operator new(std::size_t size) {
    if (g_allocationsFail.load(std::memory_order_relaxed)) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {
// The proof of a written file reads the directory and 'head', written last, last: a byte
// changed there fails it as much as one anywhere else, and so does a range the file lacks.
TEST(RevisionDriver, TheProofOfAWrittenFileCoversWhatWasWrittenLast) {
    testsupport::TestPlatform tp;
    Bytes bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    tp.writeFile(QStringLiteral("/f"), bytes);
    // Written last: bytes 200..254 ('head'), then 0..43 (the directory).
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> late = {{200, 54}, {0, 44}};
    Bytes order(bytes.begin() + 44, bytes.begin() + 200);
    order.insert(order.end(), bytes.begin() + 254, bytes.end());
    order.insert(order.end(), bytes.begin() + 200, bytes.begin() + 254);
    order.insert(order.end(), bytes.begin(), bytes.begin() + 44);
    const fr::WrittenImage image{bytes.size(), fr::digestOf(order), late};
    EXPECT_TRUE(fr::fileHoldsImage(tp.files(), QStringLiteral("/f"), image));
    // The same digest read in the file's own order is another one.
    EXPECT_FALSE(
        fr::fileHoldsImage(tp.files(), QStringLiteral("/f"), fr::WrittenImage{bytes.size(), image.digest, {}}));
    for (const std::size_t at : {std::size_t{3}, std::size_t{120}, std::size_t{230}, std::size_t{299}}) {
        Bytes changed = bytes;
        changed[at] ^= 0x40;
        tp.writeFile(QStringLiteral("/f"), changed);
        EXPECT_FALSE(fr::fileHoldsImage(tp.files(), QStringLiteral("/f"), image)) << at;
    }
    tp.writeFile(QStringLiteral("/f"), Bytes(bytes.begin(), bytes.begin() + 250));
    EXPECT_FALSE(fr::fileHoldsImage(tp.files(), QStringLiteral("/f"), image));
}
}  // namespace
