// The revise-font tool on a real disk, with faults under it: C library calls made to fail by
// the fault shim, folders and files the user may not write, patches that are not files, files
// far larger than their format allows, and a path that is not UTF-8. Whatever happens, the
// result is the code the fault calls for, the installed font is the old one byte for byte or
// the complete new one, and nothing of ours is left beside it or in the temporary folder.

#include "patch/RevisionCodes.h"
#include "platform/Leftovers.h"
#include "support/ToolScene.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>

using namespace testsupport;
namespace result = fr::result;

namespace {

constexpr int kNobody = 65534;

// Entries in a folder whose name may not be UTF-8.
int entriesIn(const QByteArray& folder) {
    int n = 0;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d))
            n += std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0;
        ::closedir(d);
    }
    return n;
}

// The most memory any run of this test's children held (each test runs in its own process).
long largestRunKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}
constexpr long kFewHundredMegabytes = 512 * 1024;  // a file read whole would be 4 GiB

// Files of ours in the system's temporary folder that no running process holds: what a run
// left. (Tests running beside this one may have a temporary file there for a moment.)
QStringList oursInSystemTemporaryFolder() {
    QStringList left;
    for (const QString& name :
         QDir(QStringLiteral("/tmp")).entryList({QStringLiteral("font-reviser-*")}, QDir::Files | QDir::System)) {
        const auto leftover = platform::parseLeftoverName(name);
        const bool running = leftover && (::kill(static_cast<pid_t>(leftover->pid), 0) == 0 || errno == EPERM);
        if (!running) left << name;
    }
    return left;
}

struct Faults : ::testing::Test {
    std::optional<ToolScene> scene;
    void SetUp() override {
        QString error;
        const auto set = FixtureSet::shared(error);
        ASSERT_TRUE(set) << error.toStdString();
        scene.emplace(*set);
    }
    // The code the run ended with; the font whole and as the code says, nothing stray.
    void expectOutcome(int code, int expected, const std::string& what) const {
        EXPECT_EQ(code, expected) << what;
        EXPECT_EQ(scene->installedNow(), code == result::kRevised ? scene->reference() : scene->oldFont()) << what;
        EXPECT_EQ(scene->stray(), QStringList()) << what;
    }
    QByteArray fontPath() const { return "FR_FAULT_PATH=" + QFile::encodeName(scene->font()); }
};

// Every fault the shim can lay under one step of the revision, and what it must end with.
TEST_F(Faults, EachFailingCallGivesItsCodeAndLeavesAWholeFont) {
    const QByteArray beside = "FR_FAULT_PATH=/Library/Fonts/.", temporary = "FR_FAULT_PATH=/tmp/font-reviser-",
                     host = "FR_FAULT_PATH=/host/";
    struct Case {
        const char* what;
        std::vector<QByteArray> shim;
        int code;
    };
    const std::vector<Case> cases = {
        {"the installed font can't be read", {"FR_FAULT_OP=read", fontPath()}, result::kFontUnusable},
        {"the patch can't be read", {"FR_FAULT_OP=read", host}, result::kPatchLoadFailed},
        {"the temporary file can't be made",
         {"FR_FAULT_OP=create", "FR_FAULT_ERRNO=EDQUOT", temporary},
         result::kNewFileFailed},
        {"the temporary folder is full",
         {"FR_FAULT_OP=write", "FR_FAULT_ERRNO=ENOSPC", temporary},
         result::kNewFileFailed},
        {"the temporary folder fills up midway",
         {"FR_FAULT_OP=write", "FR_FAULT_ERRNO=ENOSPC", "FR_FAULT_AFTER=1000", temporary},
         result::kNewFileFailed},
        {"the installed font's bytes copied into the temporary file stop midway: disk full",
         {"FR_FAULT_OP=copy", "FR_FAULT_ERRNO=ENOSPC", "FR_FAULT_AFTER=100", temporary},
         result::kNewFileFailed},
        {"no copy in the kernel into the temporary file: the pieces through a buffer",
         {"FR_FAULT_OP=copy", "FR_FAULT_ERRNO=EXDEV", temporary},
         result::kRevised},
        {"the pieces through a buffer stop midway",
         {"FR_FAULT_OP=copy,write", "FR_FAULT_ERRNO=EXDEV", "FR_FAULT_AFTER=100", temporary},
         result::kNewFileFailed},
        {"the copy beside the font stops midway: disk full",
         {"FR_FAULT_OP=copy", "FR_FAULT_ERRNO=ENOSPC", "FR_FAULT_AFTER=1000", beside},
         result::kCopyFailed},
        {"the copy beside the font stops midway: I/O error",
         {"FR_FAULT_OP=copy", "FR_FAULT_ERRNO=EIO", "FR_FAULT_AFTER=1000", beside},
         result::kCopyFailed},
        {"no copy in the kernel between these file systems: one through a buffer",
         {"FR_FAULT_OP=copy", "FR_FAULT_ERRNO=EXDEV", beside},
         result::kRevised},
        {"the copy through a buffer stops midway",
         {"FR_FAULT_OP=copy,write", "FR_FAULT_ERRNO=EXDEV", "FR_FAULT_AFTER=1000", beside},
         result::kCopyFailed},
        {"the new copy can't be flushed", {"FR_FAULT_OP=fsync", beside}, result::kCopyFailed},
        {"closing the new copy reports a late write error", {"FR_FAULT_OP=close", beside}, result::kCopyFailed},
        {"the new copy's permissions can't be set",
         {"FR_FAULT_OP=chmod", "FR_FAULT_ERRNO=EPERM", beside},
         result::kNewFileFailed},
        {"the new copy's type and creator can't be stored", {"FR_FAULT_OP=xattr", beside}, result::kNewFileFailed},
        {"no extended attributes on this file system",
         {"FR_FAULT_OP=xattr", "FR_FAULT_ERRNO=ENOTSUP", beside},
         result::kRevised},
        {"the exchange with the installed font fails", {"FR_FAULT_OP=renameat2", beside}, result::kCopyFailed},
        {"no exchange on this file system: a link keeps the old font during the rename",
         {"FR_FAULT_OP=renameat2", "FR_FAULT_ERRNO=EINVAL", beside},
         result::kRevised},
        {"no exchange, and the rename fails",
         {"FR_FAULT_OP=renameat2,rename", "FR_FAULT_ERRNO=EINVAL", beside},
         result::kCopyFailed},
        {"neither the exchange nor hard links: a flushed copy keeps the old font during the rename",
         {"FR_LACKS=renameat2,link", beside},
         result::kRevised},
        {"neither the exchange nor hard links, and the old font's copy fails",
         {"FR_LACKS=renameat2,link", "FR_FAULT_OP=copy,write", "FR_FAULT_PATH=.old"},
         result::kCopyFailed},
    };
    for (const Case& c : cases) {
        scene->reset();
        expectOutcome(runProgram(scene->reviseCommand(), scene->environment(c.shim)), c.code, c.what);
    }
}

// The same calls failing at every point of a run, not only the first: the n-th read of the
// installed font (its identity check, its tables, the check of the file once in place), the
// n-th byte of every file written.
TEST_F(Faults, AFailureAtAnyPointLeavesTheOldFontOrTheVerifiedNewOne) {
    struct Sweep {
        const char* what;
        std::vector<QByteArray> shim;
        std::vector<int> after;
    };
    std::vector<int> reads(40), bytes = {0, 1, 4, 12, 100, 511, 1024, 1500, 2000, 2003, 2004, 2047, 4096};
    for (int k = 0; k < 40; ++k) reads[k] = k;
    const std::vector<Sweep> sweeps = {
        {"reads of the installed font", {"FR_FAULT_OP=read", fontPath()}, reads},
        {"writes of the temporary file", {"FR_FAULT_OP=write", "FR_FAULT_PATH=/tmp/font-reviser-"}, bytes},
        {"copies into the temporary file", {"FR_FAULT_OP=copy", "FR_FAULT_PATH=/tmp/font-reviser-"}, bytes},
        {"the copy beside the font", {"FR_FAULT_OP=copy", "FR_FAULT_PATH=/Library/Fonts/."}, bytes},
        {"flushes and renames", {"FR_FAULT_OP=fsync,renameat2,rename"}, {0, 1, 2, 3}},
        // The check of the file in place failing where only a copy of ours can bring the old
        // font back.
        {"reads of the installed font, without the exchange or hard links",
         {"FR_FAULT_OP=read", fontPath(), "FR_LACKS=renameat2,link"},
         reads},
    };
    for (const Sweep& sweep : sweeps)
        for (const int after : sweep.after) {
            scene->reset();
            std::vector<QByteArray> shim = sweep.shim;
            shim.push_back("FR_FAULT_AFTER=" + QByteArray::number(after));
            const int code = runProgram(scene->reviseCommand(), scene->environment(shim));
            const std::string what = std::string(sweep.what) + " failing after " + std::to_string(after);
            EXPECT_TRUE(code == result::kRevised || code == result::kFontUnusable || code == result::kNewFileFailed ||
                        code == result::kCopyFailed)
                << what << ": " << code;
            EXPECT_EQ(scene->installedNow(), code == result::kRevised ? scene->reference() : scene->oldFont()) << what;
            EXPECT_EQ(scene->stray(), QStringList()) << what;
        }
}

// Permissions hold only for a user other than root: as root, the runs are made as nobody.
TEST_F(Faults, WhatTheUserMayNotWriteIsLeftAndWhatTheyMayIsRevised) {
    const int uid = ::geteuid() == 0 ? kNobody : -1;
    std::vector<QByteArray> command = scene->reviseCommand();
    auto prepare = [&] {
        scene->reset();
        if (uid < 0) return;
        // That user runs a copy of the tool inside the scene (the build folder may be closed
        // to them), and owns the whole scene.
        const QString tool = scene->root() + QStringLiteral("/revise-font");
        if (!QFile::exists(tool)) {
            ASSERT_TRUE(QFile::copy(QFile::decodeName(command[0]), tool));
        }
        command[0] = QFile::encodeName(tool);
        ASSERT_EQ(::lchown(QFile::encodeName(scene->root()).constData(), kNobody, kNobody), 0);
        QDirIterator entries(scene->root(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        while (entries.hasNext())
            ASSERT_EQ(::lchown(QFile::encodeName(entries.next()).constData(), kNobody, kNobody), 0);
    };
    auto mode = [](const QString& path) {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    };

    prepare();
    ::chmod(QFile::encodeName(scene->fontFolder()).constData(), 0555);
    const int readOnlyFolder = runProgram(command, scene->environment(), uid);
    ::chmod(QFile::encodeName(scene->fontFolder()).constData(), 0755);
    expectOutcome(readOnlyFolder, result::kNotReplaceable, "a font folder the user may not write");

    // The file's own mode doesn't guard its name: the folder does. The new font keeps the mode.
    prepare();
    ::chmod(QFile::encodeName(scene->font()).constData(), 0444);
    expectOutcome(runProgram(command, scene->environment(), uid), result::kRevised,
                  "a font the user may read but not write, in a folder they may write");
    EXPECT_EQ(mode(scene->font()), 0444u);

    prepare();
    const QStringList before = oursInSystemTemporaryFolder();
    ::chmod(QFile::encodeName(scene->temporaryFolder()).constData(), 0555);
    const int readOnlyTemporary = runProgram(command, scene->environment(), uid);
    ::chmod(QFile::encodeName(scene->temporaryFolder()).constData(), 0755);
    // The user's temporary folder can't be written: the system's own is used instead.
    expectOutcome(readOnlyTemporary, result::kRevised, "a temporary folder the user may not write");
    EXPECT_EQ(oursInSystemTemporaryFolder(), before);
}

TEST_F(Faults, ATemporaryFolderThatCannotBeUsedGivesWayToTheSystemsOwn) {
    auto oursAtTheRoot = [] { return QDir(QStringLiteral("/")).entryList({QStringLiteral("font-reviser-*")}); };
    const QStringList before = oursInSystemTemporaryFolder();
    for (const QByteArray& tmpdir : {QByteArray("/nonexistent-temporary-folder"), QFile::encodeName(scene->patch()),
                                     QByteArray("relative/tmp"), QByteArray()}) {
        scene->reset();
        std::vector<QByteArray> env = scene->environment();
        for (QByteArray& entry : env)
            if (entry.startsWith("TMPDIR=")) entry = "TMPDIR=" + tmpdir;
        expectOutcome(runProgram(scene->reviseCommand(), env), result::kRevised, "TMPDIR=" + tmpdir.toStdString());
        EXPECT_EQ(oursInSystemTemporaryFolder(), before);
        EXPECT_EQ(oursAtTheRoot(), QStringList());
    }
}

// The valid patch's header, claiming the largest new font, with `records` records of tables
// `length` bytes long, every one naming one block of `instructions` new-data instructions that
// write nothing.
Bytes sharedBlockPatch(const Bytes& valid, std::size_t records, std::uint32_t length, std::uint32_t instructions) {
    Bytes patch(valid.begin(), valid.begin() + 53);
    putU32(patch, 40, 0xFFFFFFFF);
    patch[44] = static_cast<std::uint8_t>(records);
    const auto block = static_cast<std::uint32_t>(53 + 18 * records);
    for (std::size_t k = 0; k < records; ++k) {
        appendTag(patch, {'T', char('A' + k / 26 % 26), char('A' + k % 26), char('0' + k / 676)});
        patch.push_back(static_cast<std::uint8_t>(k)), patch.push_back(0);
        appendU32(patch, block), appendU32(patch, length), appendU32(patch, 0);
    }
    appendU32(patch, 0), appendU32(patch, instructions);
    patch.resize(patch.size() + 8 * std::size_t{instructions}, 0);
    return patch;
}

// The command under an address-space limit, where the build allows one (a sanitizer reserves
// far more address space than it uses).
std::vector<QByteArray> limited(std::vector<QByteArray> command) {
#if !defined(__SANITIZE_ADDRESS__)
    command.insert(command.begin(), {"/usr/bin/prlimit", "--as=1073741824", "--"});
#endif
    return command;
}

TEST_F(Faults, PatchesThatAreNotPatchFilesAreRefusedAtOnce) {
    const QByteArray patch = QFile::encodeName(scene->patch());
    const Bytes valid = readBytes(scene->patch());
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const std::vector<Case> cases = {
        {"an empty file", [&] { writeBytes(scene->patch(), {}, 0644); }},
        {"a fifo", [&] { ::mkfifo(patch.constData(), 0644); }},
        {"a link to /dev/zero", [&] { ::symlink("/dev/zero", patch.constData()); }},
        {"a folder", [&] { ::mkdir(patch.constData(), 0755); }},
        {"the real patch grown to a 4 GiB sparse file",
         [&] {
             writeBytes(scene->patch(), valid, 0644);
             ::truncate(patch.constData(), 1ll << 32);
         }},
        // Each instruction would have been an object of its own, once for every record.
        {"255 records on one block of 250,000 empty instructions (2 MB)",
         [&] { writeBytes(scene->patch(), sharedBlockPatch(valid, 255, 1u << 20, 250000), 0644); }},
        {"one block of a million empty instructions (8 MB)",
         [&] { writeBytes(scene->patch(), sharedBlockPatch(valid, 1, 64, 1000000), 0644); }},
    };
    for (const Case& c : cases) {
        scene->reset();
        QFile::remove(scene->patch());
        c.make();
        expectOutcome(runProgram(limited(scene->reviseCommand()), scene->environment()), result::kPatchLoadFailed,
                      c.what);
        if (QFileInfo(scene->patch()).isDir()) QDir(scene->patch()).removeRecursively();
    }
    // Nor is a 4 GiB file named like the font: it is no font at all.
    scene->reset();
    const QByteArray font = QFile::encodeName(scene->font());
    ASSERT_EQ(::truncate(font.constData(), 0), 0);
    ASSERT_EQ(::truncate(font.constData(), 1ll << 32), 0);
    EXPECT_EQ(runProgram(scene->reviseCommand(), scene->environment()), result::kFontUnusable);
    EXPECT_EQ(QFileInfo(scene->font()).size(), 1ll << 32);
    EXPECT_EQ(scene->stray(), QStringList());
    ::truncate(font.constData(), 0);

    EXPECT_LT(largestRunKilobytes(), kFewHundredMegabytes) << "none of them was read into memory, or held twice";
}

// The search reads a candidate only as far as its identity needs and opens no fifo or device,
// and a patch in "host" is refused by its header and its size, through the program itself.
TEST_F(Faults, TheProgramReadsNoFileFurtherThanItsFormatAllows) {
    const QString face = QStringLiteral("Velmora丸ゴ StdN W6");
    QString error;
    const auto set = FixtureSet::shared(error);
    ASSERT_TRUE(set) << error.toStdString();
    // A second face installed whose patch has grown to 4 GiB behind its real header...
    const QString hugePatch = QFileInfo(scene->patch()).path() + QLatin1Char('/') + face + QStringLiteral(".pa");
    const QString secondFont = scene->fontFolder() + QLatin1Char('/') + face + QStringLiteral(".otf");
    ASSERT_TRUE(writeBytes(hugePatch, readBytes(set->patchOf(face)), 0644));
    ASSERT_EQ(::truncate(QFile::encodeName(hugePatch).constData(), 1ll << 32), 0);
    ASSERT_TRUE(writeBytes(secondFont, readBytes(set->oldFont(face))));
    // ...and a 4 GiB file named like the first face in another font folder.
    const QString hugeCandidate =
        scene->root() + QStringLiteral("/usr/share/fonts/opentype/velmora/") + QFileInfo(scene->font()).fileName();
    QDir().mkpath(QFileInfo(hugeCandidate).path());
    ASSERT_TRUE(writeBytes(hugeCandidate, {'O', 'T', 'T', 'O'}));
    ASSERT_EQ(::truncate(QFile::encodeName(hugeCandidate).constData(), 1ll << 32), 0);
    // A fifo and a link to /dev/zero named like it in two more: neither may hold up the search.
    const QString fifo =
        scene->root() + QStringLiteral("/usr/local/share/fonts/velmora/") + QFileInfo(scene->font()).fileName();
    const QString zero = scene->root() + QStringLiteral("/home/kana/.fonts/") + QFileInfo(scene->font()).fileName();
    QDir().mkpath(QFileInfo(fifo).path());
    QDir().mkpath(QFileInfo(zero).path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(zero).constData()), 0);

    const int code = runProgram(
        {FR_BINARY_DIR "/app/font-reviser-sample", QFile::encodeName(scene->root()), "--revise"}, scene->environment());
    EXPECT_EQ(code, result::kPatchLoadFailed);
    EXPECT_TRUE(scene->wholeFont());
    EXPECT_EQ(readBytes(secondFont), readBytes(set->oldFont(face)));
    EXPECT_EQ(QFileInfo(hugeCandidate).size(), 1ll << 32);
    EXPECT_EQ(scene->stray().filter(QStringLiteral("font-reviser")), QStringList());
    EXPECT_LT(largestRunKilobytes(), kFewHundredMegabytes);
    ::truncate(QFile::encodeName(hugePatch).constData(), 0);
    ::truncate(QFile::encodeName(hugeCandidate).constData(), 0);
}

TEST_F(Faults, APathThatIsNotUtf8IsRevisedWhereItIs) {
    const QByteArray folder = QFile::encodeName(scene->root()) + "/Library/Fonts/\xff\xfe-\x8a";
    const QByteArray font = folder + "/" + QFile::encodeName(QFileInfo(scene->font()).fileName());
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ASSERT_EQ(::rename(QFile::encodeName(scene->font()).constData(), font.constData()), 0);
    std::vector<QByteArray> args = scene->reviseCommand();
    args[1] = font;
    EXPECT_EQ(runProgram(args, scene->environment()), result::kRevised);
    const int fd = ::open(font.constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    Bytes now(scene->reference().size() + 1);
    EXPECT_EQ(::read(fd, now.data(), now.size()), static_cast<ssize_t>(scene->reference().size()));
    ::close(fd);
    now.pop_back();
    EXPECT_EQ(now, scene->reference());
    EXPECT_EQ(entriesIn(folder), 1);
    EXPECT_EQ(entriesIn(QFile::encodeName(scene->temporaryFolder())), 0);
    ::unlink(font.constData());  // Qt's removal of the scratch folder can't spell these names
    ::rmdir(folder.constData());
}

}  // namespace
