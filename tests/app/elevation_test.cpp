// The person at the desktop, end to end: the wizard run as an ordinary user (nobody) on a
// sample root whose system font folder only root may write, the fonts there revised by the
// sample program in its helper mode, started once by the elevation command: a stand-in for
// pkexec (sudo -n with a rule for that user), and where a system bus and polkitd can run,
// pkexec itself with a polkit rule that allows the action.
//
// As root the test makes the scene and the rules and runs this same program again as nobody
// (FR_ELEVATION_CHILD names the scene); that child drives the wizard and prints what it saw.

#include "WizardTestSupport.h"

#include "app/ElevatedRevision.h"
#include "app/Language.h"
#include "app/MainCtrl.h"
#include "platform/DesktopServices.h"
#include "platform/LinuxPlatform.h"
#include "support/FixtureSet.h"
#include "support/TestKey.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <grp.h>

#include <cstdio>

using apptest::contents;
using apptest::put;
using testsupport::FixtureSet;
using testsupport::kFixtureFaces;

namespace {

constexpr int kNobody = 65534;
const QString kSystemFonts = QStringLiteral("/usr/share/fonts/opentype/velmora");
const QString kUserFonts = QStringLiteral("/home/kana/.local/share/fonts");

bool chownTree(const QString& path, int uid) {
    if (::lchown(QFile::encodeName(path).constData(), uid, uid) != 0) return false;
    for (const QFileInfo& entry :
         QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (entry.isDir() && !entry.isSymLink()
                ? !chownTree(entry.filePath(), uid)
                : ::lchown(QFile::encodeName(entry.filePath()).constData(), uid, uid) != 0)
            return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The child: the wizard as nobody, driven from the start window to its end.

int runChild(int argc, char** argv) {
    const QString scene = qEnvironmentVariable("FR_ELEVATION_CHILD");
    const bool cancel = qEnvironmentVariable("FR_ELEVATION_CASE") == QLatin1String("cancel");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    wizard::installLanguage();
    platform::LinuxPlatformOptions options;
    options.root = scene + QStringLiteral("/root");
    options.applicationPath = QStringLiteral("/Applications/FontReviser/font-reviser");
    options.temporaryFolder = QStringLiteral("/tmp");
    options.logRestartOnly = true;
    options.instantPauses = true;
    const platform::LinuxPlatform linux(options);
    platform::DesktopServices desktop(true);
    int ended = 0;
    wizard::MainCtrl::Ends ends;
    ends.terminator = [&ended] { ++ended; };
    wizard::MainCtrl ctrl(desktop.addTo(linux.services()), ends);
    ctrl.setTrustedKey(testsupport::testKey());
    ctrl.setElevation(wizard::Elevation::fromEnvironment(scene + QStringLiteral("/bin/font-reviser-sample"),
                                                         {scene + QStringLiteral("/root")}));
    ctrl.loadWindows();
    apptest::WindowLog log(ctrl);
    QJsonObject result;
    ctrl.awakeFromNib();
    ctrl.r_startWindow->findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
    if (QTest::qWaitFor([&] { return ctrl.r_fontListWindow->isVisible() || ended; }, 60000) && !ended) {
        QJsonArray marked;
        const auto* model = ctrl.r_searchFontList->model();
        for (int r = 0; r < model->rowCount(); ++r)
            if (!model->index(r, 0).data(Qt::ToolTipRole).toString().startsWith(QLatin1Char('/')))
                marked << model->index(r, 0).data().toString();
        result.insert(QStringLiteral("marked"), marked);
        if (cancel) log.yes();  // the cancel's confirmation
        log.ok();               // the message after a refusal or a stop
        ctrl.r_fontListWindow->findChild<QPushButton*>(QStringLiteral("enterButton"))->click();
        // Pressed before the first point: asked there, during the helper's first font.
        if (cancel) ctrl.progressWindowCancelButton();
        (void)QTest::qWaitFor([&] { return ctrl.r_endWindow->isVisible() || ended; }, 120000);
    }
    result.insert(QStringLiteral("endWindow"), ctrl.r_endWindow->isVisible());
    result.insert(QStringLiteral("told"), QJsonArray::fromStringList(log.told));
    result.insert(QStringLiteral("asked"), QJsonArray::fromStringList(log.asked));
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The scene, and the runs of the child.

// A file removed when the test ends (a rule the test installs into the system).
struct Installed {
    QString path;
    ~Installed() {
        if (!path.isEmpty()) QFile::remove(path);
    }
};

struct Scene {
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString real(const QString& view) const { return path() + QStringLiteral("/root") + view; }
    QString system(int k) const { return kSystemFonts + QLatin1Char('/') + kFixtureFaces[k] + QStringLiteral(".otf"); }
    QString user(int k) const { return kUserFonts + QLatin1Char('/') + kFixtureFaces[k] + QStringLiteral(".otf"); }
    int elevations() const { return static_cast<int>(contents(path() + QStringLiteral("/elevations")).count('\n')); }
};

// Faces 0-2 in the system's font folder (root's), 3-5 in the user's; the patches signed.
bool makeScene(Scene& scene, const FixtureSet& set) {
    if (!scene.dir.isValid() || ::chmod(QFile::encodeName(scene.path()).constData(), 0755) != 0) return false;
    const QString host = scene.real(QStringLiteral("/Applications/FontReviser/host/"));
    bool ok = put(scene.real(QStringLiteral("/Applications/FontReviser/font-reviser")), {});
    for (int k = 0; k < kFixtureFaces.size(); ++k) {
        ok = ok && put(host + kFixtureFaces[k] + QStringLiteral(".pa"), contents(set.patchOf(kFixtureFaces[k])));
        ok = ok && put(scene.real(k < 3 ? scene.system(k) : scene.user(k)), contents(set.oldFont(kFixtureFaces[k])));
    }
    ok = ok && put(host + QStringLiteral("patches.manifest"), contents(set.manifest())) &&
         put(host + QStringLiteral("patches.manifest.minisig"), contents(set.manifestSignature()));
    QDir().mkpath(scene.real(QStringLiteral("/tmp")));
    ok = ok && ::chmod(QFile::encodeName(scene.real(QStringLiteral("/tmp"))).constData(), 01777) == 0;
    ok = ok && chownTree(scene.real(QStringLiteral("/home")), kNobody);
    // Each user's runtime folder, as logind makes it: the user's lock lies there.
    QDir().mkpath(scene.real(QStringLiteral("/run/user/%1").arg(kNobody)));
    ok = ok && chownTree(scene.real(QStringLiteral("/run/user/%1").arg(kNobody)), kNobody);
    // The programs, where nobody may run them: the sample (the helper) and this test (the child).
    QDir().mkpath(scene.path() + QStringLiteral("/bin"));
    ok = ok &&
         put(scene.path() + QStringLiteral("/bin/font-reviser-sample"),
             contents(QStringLiteral(FR_BINARY_DIR "/app/font-reviser-sample")), 0755) &&
         put(scene.path() + QStringLiteral("/bin/child"), contents(QCoreApplication::applicationFilePath()), 0755);
    // The stand-ins for the elevation command: one that counts and runs sudo, one that refuses.
    const QByteArray count = "echo \"$@\" >> '" + QFile::encodeName(scene.path()) + "/elevations'\n";
    ok = ok &&
         put(scene.path() + QStringLiteral("/bin/elevate"), "#!/bin/sh\n" + count + "exec sudo -n \"$@\"\n", 0755) &&
         put(scene.path() + QStringLiteral("/bin/refuse"), "#!/bin/sh\n" + count + "exit 126\n", 0755);
    ok = ok && put(scene.path() + QStringLiteral("/elevations"), {}, 0666);
    QDir().mkpath(scene.path() + QStringLiteral("/run"));
    return ok && chownTree(scene.path() + QStringLiteral("/run"), kNobody);
}

struct ChildRun {
    int status = -1;
    QJsonObject result;
    QString err;
};

ChildRun runAsNobody(const Scene& scene, const QString& elevate, const QString& kase) {
    QProcess p;
    p.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(127);
    });
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scene.path() + QStringLiteral("/run"));
    env.insert(QStringLiteral("FR_ELEVATION_CHILD"), scene.path());
    env.insert(QStringLiteral("FR_ELEVATION_CASE"), kase);
    if (!elevate.isEmpty()) env.insert(QStringLiteral("FONT_REVISER_ELEVATE"), elevate);
    p.setProcessEnvironment(env);
    p.start(scene.path() + QStringLiteral("/bin/child"), {});
    ChildRun run;
    if (!p.waitForFinished(300000)) return run;
    run.status = p.exitCode();
    run.result = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QStringList strings(const QJsonValue& value) {
    QStringList out;
    for (const QJsonValue& v : value.toArray()) out << v.toString();
    return out;
}

// Files of ours anywhere in the scene's font folders and its temporary folder.
QStringList stray(const Scene& scene) {
    QStringList found;
    for (const QString& folder : {kSystemFonts, kUserFonts, QStringLiteral("/tmp")})
        found += QDir(scene.real(folder))
                     .entryList(QDir::Files | QDir::Hidden | QDir::System)
                     .filter(QStringLiteral("font-reviser"));
    return found;
}

}  // namespace

class Elevation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("run as root: the test makes root's font folder and lets nobody run the helper with sudo");
        if (QStandardPaths::findExecutable(QStringLiteral("sudo")).isEmpty()) QSKIP("sudo is not installed");
        QString error;
        m_set = FixtureSet::shared(error);
        QVERIFY2(m_set, qPrintable(error));
    }

    // Root's fonts and the user's mixed: one authentication, every font revised; the
    // authentication refused: the user's revised, root's untouched, and said so; a cancel
    // during the helper's revision: it stops at its next point, nothing torn, the user's fonts
    // not reached.
    void theWizardRevisesSystemFontsAfterOneAuthentication_data() {
        QTest::addColumn<QString>("elevate");
        QTest::addColumn<QString>("kase");
        QTest::newRow("root's fonts and the user's") << "elevate"
                                                     << "";
        QTest::newRow("the authentication refused") << "refuse"
                                                    << "";
        QTest::newRow("a cancel during the helper's revision") << "elevate"
                                                               << "cancel";
        QTest::newRow("another run holds root's lock") << "elevate"
                                                       << "busy";
    }
    void theWizardRevisesSystemFontsAfterOneAuthentication() {
        QFETCH(QString, elevate);
        QFETCH(QString, kase);
        const FixtureSet& set = *m_set;
        Scene scene;
        QVERIFY(makeScene(scene, set));
        const QString rule = QStringLiteral("/etc/sudoers.d/font-reviser-elevation-test");
        Installed ruleFile{rule};
        QVERIFY(put(rule,
                    "nobody ALL=(root) NOPASSWD: " + QFile::encodeName(scene.path()) + "/bin/font-reviser-sample\n",
                    0440));
        // Another of root's runs under way: this process holds root's lock, as that run would.
        const QString lockFile = scene.real(QStringLiteral("/run/lock/font-reviser.lock"));
        QDir().mkpath(QFileInfo(lockFile).path());
        QFile lock(lockFile);
        if (kase == QLatin1String("busy"))
            QVERIFY(lock.open(QIODevice::ReadWrite) &&
                    lock.write(QByteArray::number(QCoreApplication::applicationPid())) > 0 && lock.flush() &&
                    ::flock(lock.handle(), LOCK_EX | LOCK_NB) == 0);
        const ChildRun run = runAsNobody(scene, scene.path() + QStringLiteral("/bin/") + elevate, kase);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QStringList marked = strings(run.result.value(QStringLiteral("marked"))),
                    system{scene.system(0), scene.system(1), scene.system(2)};
        marked.sort();
        system.sort();
        QCOMPARE(marked, system);
        QCOMPARE(scene.elevations(), 1);
        const QStringList told = strings(run.result.value(QStringLiteral("told")));
        for (int k = 0; k < kFixtureFaces.size(); ++k) {
            const QString installed = scene.real(k < 3 ? scene.system(k) : scene.user(k));
            const QByteArray now = contents(installed), old = contents(set.oldFont(kFixtureFaces[k])),
                             revised = contents(set.referenceOf(kFixtureFaces[k]));
            if (kase == QLatin1String("cancel"))
                QVERIFY2(k < 3 ? now == old || now == revised : now == old, qPrintable(installed));
            else
                QVERIFY2(
                    now == ((elevate == QLatin1String("refuse") || kase == QLatin1String("busy")) && k < 3 ? old
                                                                                                           : revised),
                    qPrintable(installed));
        }
        if (kase == QLatin1String("cancel")) {
            QVERIFY2(
                told.value(0).startsWith(QStringLiteral("The revision of the OpenType Velmora fonts was stopped.")),
                qPrintable(told.join(u'|')));
        } else if (kase == QLatin1String("busy")) {
            QVERIFY2(
                told.value(0).startsWith(QStringLiteral("Another revision with an administrator's rights is running")),
                qPrintable(told.join(u'|')));
            QVERIFY(run.result.value(QStringLiteral("endWindow")).toBool());
        } else if (elevate == QLatin1String("refuse")) {
            QVERIFY2(told.value(0).contains(QStringLiteral("refused or dismissed")), qPrintable(told.join(u'|')));
            QVERIFY(run.result.value(QStringLiteral("endWindow")).toBool());
        } else {
            QCOMPARE(told, QStringList());
            QVERIFY(run.result.value(QStringLiteral("endWindow")).toBool());
        }
        QCOMPARE(stray(scene), QStringList());
    }

    // pkexec itself: the system bus and polkitd (started here where none runs), the action of
    // the package for this scene's helper, and a rule that allows it to nobody without asking.
    void pkexecItselfStartsTheHelper() {
        const QString pkexec = QStringLiteral("/usr/bin/pkexec"), polkitd = QStringLiteral("/usr/lib/polkit-1/polkitd");
        struct stat st {};
        if (::stat("/usr/bin/pkexec", &st) != 0 || !(st.st_mode & S_ISUID) || !QFile::exists(polkitd) ||
            QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            QSKIP("pkexec (set-user-ID), polkitd or dbus-daemon is missing: run only with the stand-in");
        const FixtureSet& set = *m_set;
        Scene scene;
        QVERIFY(makeScene(scene, set));
        const QString program = scene.path() + QStringLiteral("/bin/font-reviser-sample");
        QString policy =
            QString::fromUtf8(contents(QStringLiteral(FR_SOURCE_DIR "/packaging/org.velmora.FontReviser.policy")));
        policy.replace(QStringLiteral("@FR_PROGRAM_PATH@"), program)
            .replace(QStringLiteral("FontReviser.revise-system-fonts"), QStringLiteral("FontReviser.elevation-test"));
        Installed action{QStringLiteral("/usr/share/polkit-1/actions/org.velmora.FontReviser.elevation-test.policy")};
        Installed rule{QStringLiteral("/etc/polkit-1/rules.d/10-font-reviser-elevation-test.rules")};
        QVERIFY(put(action.path, policy.toUtf8()));
        QVERIFY(put(rule.path,
                    "polkit.addRule(function(action, subject) {\n"
                    "  if (action.id == \"org.velmora.FontReviser.elevation-test\" && subject.user == \"nobody\")\n"
                    "    return polkit.Result.YES;\n});\n"));
        // The daemons, where none runs already: stopped again at the end.
        QProcess bus, authority;
        const bool ownBus = !QFile::exists(QStringLiteral("/run/dbus/system_bus_socket"));
        if (ownBus) {
            QDir().mkpath(QStringLiteral("/run/dbus"));
            bus.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--system"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
            if (!bus.waitForStarted() ||
                !QTest::qWaitFor([] { return QFile::exists(QStringLiteral("/run/dbus/system_bus_socket")); }, 5000))
                QSKIP("the system bus could not be started here");
        }
        const bool ownAuthority =
            QProcess::execute(QStringLiteral("pgrep"), {QStringLiteral("-x"), QStringLiteral("polkitd")}) != 0;
        if (ownAuthority) {
            authority.start(polkitd, {QStringLiteral("--no-debug")});
            if (!authority.waitForStarted() || authority.waitForFinished(1500))
                QSKIP("polkitd could not be started here");
        }
        const auto stop = [](QProcess& p) {
            if (p.state() == QProcess::NotRunning) return;
            p.terminate();
            if (!p.waitForFinished(5000)) p.kill();
            p.waitForFinished(5000);
        };
        const ChildRun run = runAsNobody(scene, QString(), QString());
        stop(authority);
        stop(bus);
        if (ownBus) QFile::remove(QStringLiteral("/run/dbus/system_bus_socket"));
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QVERIFY2(strings(run.result.value(QStringLiteral("told"))).isEmpty(),
                 qPrintable(strings(run.result.value(QStringLiteral("told"))).join(u'|')));
        QVERIFY(run.result.value(QStringLiteral("endWindow")).toBool());
        for (int k = 0; k < kFixtureFaces.size(); ++k)
            QCOMPARE(contents(scene.real(k < 3 ? scene.system(k) : scene.user(k))),
                     contents(set.referenceOf(kFixtureFaces[k])));
        QCOMPARE(stray(scene), QStringList());
    }

private:
    std::optional<FixtureSet> m_set;
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("FR_ELEVATION_CHILD")) return runChild(argc, argv);
    QApplication app(argc, argv);
    Elevation test;
    return QTest::qExec(&test, argc, argv);
}

#include "elevation_test.moc"
