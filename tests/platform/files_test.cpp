#include "QtPrint.h"
#include "platform/DesktopServices.h"
#include "platform/LinuxFiles.h"
#include "platform/LinuxFontFolders.h"
#include "platform/LinuxPlatform.h"
#include "platform/LinuxStateFolder.h"
#include "platform/NativePath.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <limits>
#include <map>

namespace {

using platform::EntryKind;
using platform::LinuxFiles;

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

// Runs as the unprivileged user "nobody" for its lifetime, where the tests run as root, so
// that permission checks really apply.
class AsNobody {
public:
    AsNobody() : m_active(::geteuid() == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0) {}
    ~AsNobody() {
        if (m_active) {
            (void)::seteuid(0);
            (void)::setegid(0);
        }
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;
    bool active() const { return m_active; }

private:
    bool m_active;
};

class RootedFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString real(const QString& path) const { return dir.path() + path; }
    void put(const QString& path, std::string_view content) const {
        QDir().mkpath(QFileInfo(real(path)).path());
        QFile f(real(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content.data(), static_cast<qint64>(content.size()));
    }
    QByteArray contents(const QString& path) const {
        QFile f(real(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    // Every name in a folder on the real disk, hidden ones included.
    QStringList namesIn(const QString& folder) const {
        QStringList names =
            QDir(real(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }
    void link(const QString& at, const QString& target) const { ASSERT_TRUE(QFile::link(target, real(at))); }

    QTemporaryDir dir;
    LinuxFiles files{dir.path()};
};

TEST_F(RootedFiles, EveryPathResolvesInsideTheRoot) {
    put("/a/f", "abc");
    EXPECT_EQ(files.readAll("/a/f", testsupport::kAnySize), bytesOf("abc"));
    EXPECT_EQ(files.readAll("/x/../a/f", testsupport::kAnySize), bytesOf("abc"));
    // Climbing above the top stays at the top, as on a real disk.
    EXPECT_EQ(files.hostPath("/../../a/f"), real("/a/f"));
    EXPECT_EQ(files.hostPath("/"), dir.path());

    put("/a/empty", "");
    const auto empty = files.readAll("/a/empty", testsupport::kAnySize);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    EXPECT_FALSE(files.readAll("/a/missing", testsupport::kAnySize).has_value());
    EXPECT_FALSE(files.readAll("/a", testsupport::kAnySize).has_value());  // a folder is no file
}

TEST_F(RootedFiles, ListingKeepsHiddenNamesAndReportsKinds) {
    put("/d/file", "x");
    put("/d/.hidden", "x");
    put("/d/sub/inner", "x");
    link("/d/toFile", "file");
    link("/d/toSub", "sub");
    link("/d/dangling", "nothing");

    std::map<QString, EntryKind> kinds;
    for (const auto& e : files.listEntries("/d")) kinds[e.name] = e.kind;
    EXPECT_EQ(kinds.size(), 6u);
    EXPECT_EQ(kinds.count(".hidden"), 1u);
    EXPECT_EQ(kinds.count("dangling"), 1u);
    EXPECT_EQ(kinds["file"], EntryKind::File);
    EXPECT_EQ(kinds["sub"], EntryKind::Folder);
    EXPECT_EQ(kinds["toFile"], EntryKind::SymbolicLink);
    EXPECT_EQ(kinds["toSub"], EntryKind::SymbolicLink);

    EXPECT_TRUE(files.listEntries("/d/file").empty());
    EXPECT_TRUE(files.listEntries("/missing").empty());
}

TEST_F(RootedFiles, ExistenceFollowsLinksButTheLinkTestDoesNot) {
    put("/d/file", "x");
    put("/d/sub/inner", "x");
    link("/d/toFile", "file");
    link("/d/toSub", "sub");
    link("/d/dangling", "nothing");

    EXPECT_TRUE(files.exists("/d/toFile"));
    EXPECT_FALSE(files.isFolder("/d/toFile"));
    EXPECT_TRUE(files.isFolder("/d/toSub"));
    EXPECT_TRUE(files.isSymbolicLink("/d/toSub"));
    EXPECT_FALSE(files.isSymbolicLink("/d/sub"));
    EXPECT_FALSE(files.exists("/d/dangling"));
    EXPECT_FALSE(files.isFolder("/d/dangling"));
    EXPECT_TRUE(files.isSymbolicLink("/d/dangling"));

    // Two names of one file tell themselves apart in the program's view.
    EXPECT_EQ(files.canonicalPath("/d/toFile"), "/d/file");
    EXPECT_EQ(files.canonicalPath("/d/toSub/inner"), "/d/sub/inner");
    EXPECT_EQ(files.canonicalPath("/"), "/");
    EXPECT_TRUE(files.canonicalPath("/d/dangling").isEmpty());
}

TEST_F(RootedFiles, CreateExclusiveNeverTakesAnExistingNameOrFollowsALink) {
    ASSERT_TRUE(QDir().mkpath(real("/t")));
    ASSERT_TRUE(files.createExclusive("/t/new", bytesOf("data")));
    EXPECT_EQ(contents("/t/new"), "data");
    EXPECT_EQ(*files.permissions("/t/new"), 0600u);

    EXPECT_FALSE(files.createExclusive("/t/new", bytesOf("other")));
    EXPECT_EQ(contents("/t/new"), "data");

    std::vector<std::uint8_t> big(700 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    ASSERT_TRUE(files.createExclusive("/t/big", big));
    EXPECT_EQ(contents("/t/big"),
              QByteArray(reinterpret_cast<const char*>(big.data()), static_cast<qsizetype>(big.size())));

    put("/t/victim", "keep");
    link("/t/planted", "victim");
    link("/t/planted2", "absent");
    EXPECT_FALSE(files.createExclusive("/t/planted", bytesOf("evil")));
    EXPECT_FALSE(files.createExclusive("/t/planted2", bytesOf("evil")));
    EXPECT_FALSE(files.createNew("/t/planted", 4));
    EXPECT_FALSE(files.createNew("/t/planted2", 4));
    EXPECT_FALSE(files.createNew("/t/big", 4));
    EXPECT_EQ(contents("/t/victim"), "keep");
    EXPECT_FALSE(QFileInfo::exists(real("/t/absent")));

    // Made a piece at a time: ranges of a file copied (in the kernel), of bytes in memory
    // (through a buffer), bytes written, the rest zeros; it reads back and views what it holds.
    const auto made = files.createNew("/t/made", 700 * 1024 + 10);
    ASSERT_TRUE(made);
    EXPECT_EQ(*files.permissions("/t/made"), 0600u);
    const auto source = files.openForReading("/t/big");
    ASSERT_TRUE(source && source->descriptor() >= 0);
    EXPECT_TRUE(made->copy(*source, 5, 600 * 1024, 2));
    const platform::BytesInMemory memory(bytesOf("0123456789"));
    EXPECT_TRUE(made->copy(memory, 3, 4, 700 * 1024 + 4));
    EXPECT_TRUE(made->write(0, bytesOf("AB")));
    EXPECT_FALSE(made->write(700 * 1024 + 9, bytesOf("xy")));
    EXPECT_FALSE(made->copy(*source, 700 * 1024 - 1, 2, 0));
    std::vector<std::uint8_t> expected(700 * 1024 + 10, 0);
    expected[0] = 'A';
    expected[1] = 'B';
    std::copy(big.begin() + 5, big.begin() + 5 + 600 * 1024, expected.begin() + 2);
    std::copy_n(bytesOf("3456").begin(), 4, expected.begin() + 700 * 1024 + 4);
    const auto view = made->view();
    EXPECT_TRUE(std::equal(view.begin(), view.end(), expected.begin(), expected.end()));
    std::vector<std::uint8_t> back(16);
    EXPECT_TRUE(made->readAt(600 * 1024 - 6, back));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), expected.begin() + 600 * 1024 - 6));
    EXPECT_TRUE(made->close());
    EXPECT_EQ(contents("/t/made"),
              QByteArray(reinterpret_cast<const char*>(expected.data()), static_cast<qsizetype>(expected.size())));
}

TEST_F(RootedFiles, ReplacementStepsKeepTheOldFontUntilTheCallerIsDone) {
    put("/tmp/new", "revised font");
    put("/fonts/A.otf", "installed font");
    const auto staged = files.copyBeside("/tmp/new", "/fonts/A.otf");
    ASSERT_TRUE(staged);
    EXPECT_TRUE(staged->startsWith("/fonts/.A.otf.font-reviser-")) << staged->toStdString();
    EXPECT_EQ(contents(*staged), "revised font");
    EXPECT_EQ(contents("/fonts/A.otf"), "installed font");  // untouched until the rename

    const auto kept = files.replaceKeepingOld(*staged, "/fonts/A.otf");
    ASSERT_TRUE(kept);
    EXPECT_EQ(contents("/fonts/A.otf"), "revised font");
    EXPECT_EQ(contents(*kept), "installed font");
    EXPECT_EQ(namesIn("/fonts").size(), 2);
    // A failed check puts the old font back in one step.
    ASSERT_TRUE(files.rename(*kept, "/fonts/A.otf"));
    EXPECT_EQ(contents("/fonts/A.otf"), "installed font");
    EXPECT_EQ(namesIn("/fonts"), QStringList{"A.otf"});
    EXPECT_EQ(contents("/tmp/new"), "revised font");
}

TEST_F(RootedFiles, TheCopyBesideTakesTheOwnerWhereItMay) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    put("/tmp/new", "revised");
    put("/fonts/A.otf", "installed");
    ASSERT_EQ(::chown(QFile::encodeName(real("/fonts/A.otf")).constData(), 65534, 65534), 0);
    const auto staged = files.copyBeside("/tmp/new", "/fonts/A.otf");
    ASSERT_TRUE(staged);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real(*staged)).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
}

TEST_F(RootedFiles, FailedReplacementStepsLeaveTheTargetAndNothingStray) {
    put("/tmp/new", "revised");
    put("/fonts/A.otf", "installed");
    put("/fonts/Folder/inner", "x");

    EXPECT_FALSE(files.copyBeside("/tmp/missing", "/fonts/A.otf"));
    EXPECT_FALSE(files.copyBeside("/tmp/new", "/fonts/Folder"));
    EXPECT_FALSE(files.copyBeside("/tmp/new", "/nofolder/A.otf"));
    EXPECT_FALSE(files.replaceKeepingOld("/fonts/.A.otf.font-reviser-1-00000000.new", "/fonts/A.otf"));
    EXPECT_EQ(contents("/fonts/A.otf"), "installed");
    EXPECT_EQ(namesIn("/fonts"), (QStringList{"A.otf", "Folder"}));
    EXPECT_EQ(namesIn("/fonts/Folder"), QStringList{"inner"});
}

TEST_F(RootedFiles, ReplaceInAFolderThatMayNotBeWrittenFails) {
    put("/tmp/new", "revised");
    put("/locked/A.otf", "installed");
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ExeOther |
                                                      QFileDevice::ExeGroup));
    ASSERT_EQ(::chmod(QFile::encodeName(real("/tmp")).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(real("/tmp/new")).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(real("/locked")).constData(), 0555), 0);
    {
        AsNobody nobody;
        if (::geteuid() == 0) GTEST_SKIP() << "could not drop root for the check";
        EXPECT_FALSE(files.isDeletable("/locked/A.otf"));
        EXPECT_FALSE(files.copyBeside("/tmp/new", "/locked/A.otf"));
    }
    EXPECT_EQ(contents("/locked/A.otf"), "installed");
    EXPECT_EQ(namesIn("/locked"), QStringList{"A.otf"});
    ::chmod(QFile::encodeName(real("/locked")).constData(), 0755);
}

TEST_F(RootedFiles, LeftoversAreKnownByTheirNameAndTheirEndedRun) {
    // A process id that no process has: the run that made these has ended.
    const QString ended = QStringLiteral("/fonts/.A.otf.font-reviser-%1-0000abcd").arg(std::numeric_limits<int>::max());
    put(ended + ".new", "partial");
    put(ended + ".old", "old font");
    const QString running = QStringLiteral("/fonts/.A.otf.font-reviser-%1-0000abcd.new").arg(::getpid());
    put(running, "in the making");
    put("/fonts/.A.otf.font-reviser-x.new", "someone else's");
    put("/fonts/A.otf", "font");

    using platform::LeftoverKind;
    ASSERT_TRUE(files.endedLeftover(ended + ".new"));
    EXPECT_EQ(files.endedLeftover(ended + ".new")->kind, LeftoverKind::NewCopy);
    EXPECT_EQ(files.endedLeftover(ended + ".old")->installedName, QStringLiteral("A.otf"));
    EXPECT_FALSE(files.endedLeftover(running));
    EXPECT_FALSE(files.endedLeftover("/fonts/.A.otf.font-reviser-x.new"));
    EXPECT_FALSE(files.endedLeftover("/fonts/A.otf"));
    EXPECT_FALSE(files.endedLeftover(ended + ".gone.new"));
}

TEST_F(RootedFiles, NamesThatAreNotUtf8OpenTheSameFile) {
    ASSERT_TRUE(QDir().mkpath(real("/n")));
    const QByteArray native = QFile::encodeName(real("/n")) + "/caf\xE9 \xFF\xC3.otf";
    {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "bytes", 5), 5);
        ::close(fd);
    }
    const auto entries = files.listEntries("/n");
    ASSERT_EQ(entries.size(), 1u);
    const QString path = "/n/" + entries[0].name;
    EXPECT_EQ(files.readAll(path, testsupport::kAnySize), bytesOf("bytes"));
    EXPECT_EQ(platform::encodeNativePath(entries[0].name), QByteArray("caf\xE9 \xFF\xC3.otf"));
    EXPECT_EQ(platform::decodeNativePath(QByteArray("Velmora\xE8\xA7\x92")), QStringLiteral(u"Velmora角"));
    EXPECT_TRUE(files.setPermissions(path, 0600));
    EXPECT_EQ(files.permissions(path), 0600u);
    ::unlink(native.constData());  // Qt's removal of the scratch folder can't spell this name
}

TEST_F(RootedFiles, DeletableFollowsTheFolderAndTheStickyRule) {
    put("/w/file", "x");
    EXPECT_TRUE(files.isDeletable("/w/file"));
    EXPECT_TRUE(files.isDeletable("/w/never-written"));  // a temporary file the assembly didn't make
    EXPECT_FALSE(files.isDeletable("/missing-folder/file"));
    EXPECT_FALSE(files.isDeletable("/"));

    if (::geteuid() != 0) GTEST_SKIP() << "the sticky folder case needs a second user";
    // A shared sticky folder (like /tmp): only one's own files may go.
    put("/sticky/roots", "x");
    ASSERT_TRUE(QDir().mkpath(real("/open")));
    put("/open/roots", "x");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(real("/sticky")).constData(), 01777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(real("/open")).constData(), 0777), 0);
    AsNobody nobody;
    ASSERT_TRUE(nobody.active());
    EXPECT_FALSE(files.isDeletable("/sticky/roots"));
    EXPECT_TRUE(files.isDeletable("/sticky/own"));
    EXPECT_TRUE(files.isDeletable("/open/roots"));
}

TEST_F(RootedFiles, PermissionsRoundTripThroughLinks) {
    put("/p/file", "x");
    link("/p/link", "file");
    ASSERT_TRUE(files.setPermissions("/p/file", 02751));
    EXPECT_EQ(files.permissions("/p/file"), 02751u);
    EXPECT_EQ(files.permissions("/p/link"), 02751u);
    ASSERT_TRUE(files.setPermissions("/p/link", 0604));
    EXPECT_EQ(files.permissions("/p/file"), 0604u);
    EXPECT_FALSE(files.permissions("/p/missing").has_value());
    EXPECT_FALSE(files.setPermissions("/p/missing", 0644));
}

TEST_F(RootedFiles, TypeAndCreatorGoIntoTheFinderInformation) {
    put("/f/A.otf", "x");
    const QByteArray host = QFile::encodeName(real("/f/A.otf"));
    std::array<std::uint8_t, 32> before{};
    before.fill(0xAB);
    const bool xattrs = ::setxattr(host.constData(), "user.com.apple.FinderInfo", before.data(), before.size(), 0) == 0;

    ASSERT_TRUE(files.setTypeAndCreator("/f/A.otf", 0x73666E74, 0x41544D43));  // 'sfnt', 'ATMC'
    EXPECT_FALSE(files.setTypeAndCreator("/f/missing", 0x73666E74, 0x41544D43));
    if (!xattrs) GTEST_SKIP() << "the scratch file system keeps no extended attributes";

    std::array<std::uint8_t, 40> after{};
    ASSERT_EQ(::getxattr(host.constData(), "user.com.apple.FinderInfo", after.data(), after.size()), 32);
    EXPECT_EQ(std::string(after.begin(), after.begin() + 8), "sfntATMC");
    for (std::size_t i = 8; i < 32; ++i) EXPECT_EQ(after[i], 0xAB) << "byte " << i << " of the old value";

    put("/f/B.otf", "x");
    ASSERT_TRUE(files.setTypeAndCreator("/f/B.otf", 0x73666E74, 0x41544D43));
    ASSERT_EQ(::getxattr(QFile::encodeName(real("/f/B.otf")).constData(), "user.com.apple.FinderInfo", after.data(),
                         after.size()),
              32);
    for (std::size_t i = 8; i < 32; ++i) EXPECT_EQ(after[i], 0) << "byte " << i;
}

std::optional<QString> decode(std::initializer_list<std::uint8_t> b) {
    const std::vector<std::uint8_t> v(b);
    return platform::decodeUtf8Strict(v);
}

TEST(TextInFiles, Utf8IsDecodedStrictly) {
    EXPECT_EQ(decode({'A', 0xE8, 0xA7, 0x92}), QStringLiteral(u"A角"));
    EXPECT_EQ(decode({0xF0, 0x9F, 0x98, 0x80}), QStringLiteral(u"\U0001F600"));
    EXPECT_EQ(decode({0xEF, 0xBB, 0xBF, 'A'}), QStringLiteral(u"\uFEFFA")) << "a leading BOM is kept";
    EXPECT_FALSE(decode({0xC0, 0x80}));              // overlong zero
    EXPECT_FALSE(decode({0xE0, 0x80, 0xAF}));        // overlong slash
    EXPECT_FALSE(decode({0xED, 0xA0, 0x80}));        // surrogate
    EXPECT_FALSE(decode({0xF4, 0x90, 0x80, 0x80}));  // above U+10FFFF
    EXPECT_FALSE(decode({0xE8, 0xA7}));              // cut short
    EXPECT_FALSE(decode({0x80}));                    // stray continuation
    EXPECT_FALSE(decode({0xFF}));

    const std::vector<std::uint8_t> withZero{'a', 'b', 0, 0xFF};
    EXPECT_EQ(platform::decodeZeroTerminatedUtf8(withZero), QStringLiteral("ab"));
}

TEST(LinuxFilesPaths, GivenFoldersComeBackWithoutATrailingSlash) {
    LinuxFiles files({}, "/opt/reviser/reviser", "/var/tmp/");
    EXPECT_EQ(files.temporaryFolder(), "/var/tmp");
    EXPECT_EQ(files.applicationPath(), "/opt/reviser/reviser");
    EXPECT_FALSE(LinuxFiles().temporaryFolder().endsWith('/'));
    EXPECT_TRUE(LinuxFiles().applicationPath().endsWith("platform_tests"));
}

// TMPDIR when it names a folder that may be written; else /tmp, else /var/tmp; else nothing
// (and the revision then makes no file): never the root or the working folder.
TEST(LinuxFilesPaths, TheTemporaryFolderIsAWritableFolderOrNone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray previous = qgetenv("TMPDIR");
    const bool had = qEnvironmentVariableIsSet("TMPDIR");
    struct Case {
        const char* what;
        QStringList folders;  // inside the root
        const char* tmpdir;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"TMPDIR names a folder", {"/t", "/tmp"}, "/t", "/t"}, {"TMPDIR names no folder", {"/tmp"}, "/missing", "/tmp"},
        {"TMPDIR names a file", {"/tmp"}, "/file", "/tmp"},    {"TMPDIR is relative", {"/t", "/tmp"}, "t", "/tmp"},
        {"no /tmp", {"/var/tmp"}, "/missing", "/var/tmp"},     {"no temporary folder at all", {}, "/missing", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        for (const QString& folder : c.folders) ASSERT_TRUE(QDir().mkpath(root.path() + folder));
        QFile(root.path() + "/file").open(QIODevice::WriteOnly);
        qputenv("TMPDIR", c.tmpdir);
        EXPECT_EQ(LinuxFiles(root.path()).temporaryFolder(), c.expected);
    }
    if (had)
        qputenv("TMPDIR", previous);
    else
        qunsetenv("TMPDIR");
}

TEST(LinuxPlatformRooted, ServesOneFixedDiskInsideTheRoot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile f(dir.path() + "/x");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("abc");
    f.close();

    platform::LinuxPlatform lp({dir.path(), "/Applications/R/r", "/tmp"});
    const platform::Platform p = lp.services();
    ASSERT_TRUE(p.files && p.volumes && p.fontFolders && p.processes && p.pauses);
    // The services that need the desktop's session come apart.
    EXPECT_FALSE(p.systemInfo || p.restart);
    platform::DesktopServices desktop(true);
    const platform::Platform withDesktop = desktop.addTo(p);
    ASSERT_TRUE(withDesktop.systemInfo && withDesktop.restart);
    EXPECT_EQ(p.files->readAll("/x", testsupport::kAnySize), bytesOf("abc"));
    EXPECT_EQ(p.volumes->mountedLocalVolumePaths(), QStringList{"/"});
    platform::VolumeInfo info{true, true};
    EXPECT_TRUE(p.volumes->volumeInfo("/", info));
    EXPECT_FALSE(info.removable || info.unmountable);
    EXPECT_FALSE(p.volumes->volumeInfo("/proc", info));
    EXPECT_FALSE(p.volumes->isOtherMountPoint("/proc"));

    // The standard font folders inside the root, each home's included.
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/home/kana"));
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/Users/ken"));
    EXPECT_EQ(p.fontFolders->fontFolders(),
              (QStringList{"/usr/share/fonts", "/usr/local/share/fonts", "/root/.local/share/fonts", "/root/.fonts",
                           "/home/kana/.local/share/fonts", "/home/kana/.fonts", "/Users/ken/.local/share/fonts",
                           "/Users/ken/.fonts"}));
}

TEST(FontconfigFolders, AreTheFoldersTheConfigurationNames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile conf(dir.path() + "/fonts.conf");
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(("<?xml version=\"1.0\"?>\n<fontconfig>\n<dir>" + dir.path() + "/system</dir>\n<dir>" + dir.path() +
                "/local</dir>\n<cachedir>" + dir.path() + "/cache</cachedir>\n</fontconfig>\n")
                   .toUtf8());
    conf.close();
    const QByteArray previous = qgetenv("FONTCONFIG_FILE");
    qputenv("FONTCONFIG_FILE", QFile::encodeName(conf.fileName()));
    const QStringList folders = platform::FontconfigFolders().fontFolders();
    if (previous.isEmpty())
        qunsetenv("FONTCONFIG_FILE");
    else
        qputenv("FONTCONFIG_FILE", previous);
    EXPECT_EQ(folders, (QStringList{dir.path() + "/system", dir.path() + "/local"}));
}

}  // namespace

namespace {
// The state folder of root in a rooted view, as the sample has it.
struct RootedState : RootedFiles {
    platform::LinuxStateFolder state{platform::rootedStatePaths(0, QString()),
                                     [this](const QString& path) { return files.hostPath(path); }};
};
}  // namespace

// The lock is never taken through a link or from a file another user planted; a second
// holder learns the first one's process; the kept copy of a font is a new file, never one
// that stood there.
TEST_F(RootedState, TheLockAndTheKeptFontsTakeNothingTheyDidNotMake) {
    std::int64_t holder = 0;
    put("/secret", "keep");
    QDir().mkpath(real("/run/lock"));
    link("/run/lock/font-reviser.lock", real("/secret"));
    EXPECT_EQ(state.tryLock(holder), nullptr);
    EXPECT_EQ(holder, -1);
    EXPECT_EQ(contents("/secret"), "keep");
    QFile::remove(real("/run/lock/font-reviser.lock"));
    if (::geteuid() == 0) {
        put("/run/lock/font-reviser.lock", "");
        ASSERT_EQ(::chown(QFile::encodeName(real("/run/lock/font-reviser.lock")).constData(), 65534, 65534), 0);
        EXPECT_EQ(state.tryLock(holder), nullptr);
        EXPECT_EQ(holder, -1);
        QFile::remove(real("/run/lock/font-reviser.lock"));
    }
    const auto held = state.tryLock(holder);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(state.tryLock(holder), nullptr);
    EXPECT_EQ(holder, ::getpid());

    put("/fonts/a.otf", "font");
    ASSERT_TRUE(state.makeFolder("/var/lib/font-reviser/backup/r"));
    EXPECT_TRUE(state.linkOrCopy("/fonts/a.otf", "/var/lib/font-reviser/backup/r/1.old"));
    EXPECT_FALSE(state.linkOrCopy("/fonts/a.otf", "/var/lib/font-reviser/backup/r/1.old"));
    link("/var/lib/font-reviser/backup/r/2.old", real("/secret"));
    EXPECT_FALSE(state.linkOrCopy("/fonts/a.otf", "/var/lib/font-reviser/backup/r/2.old"));
    EXPECT_EQ(contents("/secret"), "keep");
    EXPECT_EQ(contents("/var/lib/font-reviser/backup/r/1.old"), "font");
    // From another file system, copied: a font, but never a fifo, which would hold the run.
    QTemporaryDir other(QStringLiteral("/dev/shm/font-reviser-test-XXXXXX"));
    if (other.isValid()) {
        link("/other", other.path());
        put("/other/b.otf", "font b");
        ASSERT_EQ(::mkfifo(QFile::encodeName(other.path() + "/c.otf").constData(), 0600), 0);
        EXPECT_TRUE(state.linkOrCopy("/other/b.otf", "/var/lib/font-reviser/backup/r/3.old"));
        EXPECT_EQ(contents("/var/lib/font-reviser/backup/r/3.old"), "font b");
        EXPECT_FALSE(state.linkOrCopy("/other/c.otf", "/var/lib/font-reviser/backup/r/4.old"));
    }
    EXPECT_GT(state.spaceTaken("/var/lib/font-reviser/backup"), 0u);
    EXPECT_TRUE(state.removeTree("/var/lib/font-reviser/backup/r"));
    EXPECT_EQ(contents("/secret"), "keep");
}
