// The program without windows, end to end through the sample executable on a sample-like
// tree of real fixture fonts: what --list and --revise find, write, print and exit with.

#include "WizardTestSupport.h"

#include "app/CommandLine.h"
#include "app/Console.h"
#include "app/Headless.h"
#include "patch/FontProgress.h"
#include "patch/IdentityChecks.h"
#include "patch/RevisionCodes.h"
#include "support/FakePlatform.h"
#include "support/FixtureSet.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

using testsupport::FixtureSet;
using testsupport::kFixtureFaces;

namespace {

const QString kProgram = QStringLiteral(FR_BINARY_DIR "/app/font-reviser-sample");
const QString kHost = QStringLiteral("/Applications/FontReviser/host");

using apptest::contents;
using apptest::put;
std::vector<std::uint8_t> bytesOf(const QByteArray& b) { return {b.begin(), b.end()}; }

// The six faces installed where desktops keep fonts (one name stored decomposed), their
// patches in "host", with their signed manifest when asked. The sample program trusts the
// test key for a signed tree, as a vendor's build trusts its own; an unsigned tree is
// revised by a program that trusts no key, unless a test says otherwise.
struct SampleTree {
    QTemporaryDir dir;
    QStringList installed;  // program-view paths, face by face
    QByteArray sampleKey;   // FONT_REVISER_SAMPLE_KEY for the runs: empty for the test key

    explicit SampleTree(const FixtureSet& set, bool signedManifest = false)
        : sampleKey(signedManifest ? QByteArray() : QByteArray("none")) {
        QDir().mkpath(dir.path() + QStringLiteral("/tmp"));
        for (int k = 0; k < kFixtureFaces.size(); ++k) {
            installed << installedPath(k);
            put(real(installed.last()), contents(set.oldFont(kFixtureFaces[k])));
            put(real(kHost + QLatin1Char('/') + kFixtureFaces[k] + QStringLiteral(".pa")),
                contents(set.patchOf(kFixtureFaces[k])));
        }
        if (signedManifest) {
            put(manifest(), contents(set.manifest()));
            put(manifest() + QStringLiteral(".minisig"), contents(set.manifestSignature()));
        }
    }
    QString manifest() const { return real(kHost + QStringLiteral("/patches.manifest")); }
    // Where face `k` is installed (program view).
    static QString installedPath(int k) {
        const QStringList folders = {
            QStringLiteral("/Library/Fonts"), QStringLiteral("/usr/share/fonts/opentype/velmora"),
            QStringLiteral("/usr/local/share/fonts/velmora"), QStringLiteral("/home/kana/.local/share/fonts")};
        QString name = kFixtureFaces[k] + QStringLiteral(".otf");
        if (k == 1) name = name.normalized(QString::NormalizationForm_D);
        return folders[k % folders.size()] + QLatin1Char('/') + name;
    }
    QString patch(int k) const { return real(kHost + QLatin1Char('/') + kFixtureFaces[k] + QStringLiteral(".pa")); }
    QString real(const QString& path) const { return dir.path() + path; }
    // Files of ours anywhere in the tree: temporary files, new copies, kept old fonts.
    QStringList stray() const {
        QStringList found = QDir(real(QStringLiteral("/tmp"))).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& path : installed)
            found += QFileInfo(real(path))
                         .dir()
                         .entryList(QDir::Files | QDir::Hidden | QDir::System)
                         .filter(QStringLiteral("font-reviser"));
        return found;
    }
};

struct Run {
    int status = -1;
    QByteArray out, err;
    QList<QJsonObject> events() const {
        QList<QJsonObject> list;
        for (const QByteArray& line : out.split('\n')) {
            if (line.isEmpty()) continue;
            QJsonParseError error{};
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            if (error.error != QJsonParseError::NoError || !doc.isObject()) return {};  // not JSON lines
            list << doc.object();
        }
        return list;
    }
};

// `locale`: the LANG the program runs under (LC_ALL and LC_MESSAGES unset), or "LC_ALL=..."
// over LANG=C.
Run run(const SampleTree& tree, const QStringList& options, const QString& locale = QStringLiteral("C.UTF-8"),
        const QString& program = kProgram, int uid = -1) {
    QProcess p;
    // As another user: that user's ids and no others.
    if (uid >= 0)
        p.setChildProcessModifier([uid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(uid)) != 0 ||
                ::setuid(static_cast<uid_t>(uid)) != 0)
                ::_exit(127);
        });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LC_ALL"));
    environment.remove(QStringLiteral("LC_MESSAGES"));
    if (locale.startsWith(QLatin1String("LC_ALL="))) {
        environment.insert(QStringLiteral("LC_ALL"), locale.mid(7));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    } else {
        environment.insert(QStringLiteral("LANG"), locale);
    }
    environment.remove(QStringLiteral("FONT_REVISER_SAMPLE_KEY"));
    if (!tree.sampleKey.isEmpty())
        environment.insert(QStringLiteral("FONT_REVISER_SAMPLE_KEY"), QString::fromLatin1(tree.sampleKey));
    p.setProcessEnvironment(environment);
    p.start(program, QStringList{tree.dir.path()} + options);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) return r;
    r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Signs the manifest with the secret key at `key` (the test-only one by default), as a vendor
// signs with minisign.
bool sign(const QString& manifest,
          const QString& key = QStringLiteral(FR_SOURCE_DIR "/tests/keys/test-only-signing.key")) {
    QProcess p;
    p.start(QStringLiteral("minisign"),
            {QStringLiteral("-S"), QStringLiteral("-s"), key, QStringLiteral("-m"), manifest});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Every file and folder of the tree with its mode, modification time and bytes.
QMap<QString, QByteArray> snapshot(const SampleTree& tree) {
    QMap<QString, QByteArray> files;
    QDirIterator it(tree.dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        files.insert(path, QByteArray::number(st.st_mode) + ' ' + QByteArray::number(st.st_mtim.tv_sec) + '.' +
                               QByteArray::number(st.st_mtim.tv_nsec) + ' ' + contents(path));
    }
    return files;
}

QStringList field(const QList<QJsonObject>& events, const char* event, const char* key) {
    QStringList values;
    for (const auto& e : events)
        if (e.value(QStringLiteral("event")).toString() == QLatin1String(event))
            values << e.value(QLatin1String(key)).toVariant().toString();
    return values;
}

}  // namespace

class Headless : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QString error;
        m_set = FixtureSet::shared(error);
        QVERIFY2(m_set, qPrintable(error));
    }

    void listsThenRevisesEveryFontAsTheReferenceDoes() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set);

        const Run list = run(tree, {QStringLiteral("--list")});
        QCOMPARE(list.status, fr::result::kRevised);
        QStringList listed = QString::fromUtf8(list.out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(listed.size(), kFixtureFaces.size());
        // Each with its revision now and the one the revision then makes, read off its patch.
        const auto revisionOf = [](const QString& file) {
            const auto bytes = bytesOf(contents(file));
            return fr::revisionText(fr::identity::fontRevisionOf(platform::BytesInMemory(bytes)).value_or(0));
        };
        for (int k = 0; k < kFixtureFaces.size(); ++k) {
            const QString line = tree.installed[k] + u'\t' + revisionOf(set.oldFont(kFixtureFaces[k])) +
                                 QStringLiteral(" -> ") + revisionOf(set.referenceOf(kFixtureFaces[k]));
            QVERIFY2(listed.contains(line), qPrintable(line));
        }
        for (const QString& path : tree.installed)
            QCOMPARE(contents(tree.real(path)), contents(set.oldFont(kFixtureFaces[tree.installed.indexOf(path)])));

        // The progress lines in the locale's language: the product's Japanese byte for byte.
        const Run dryJapanese =
            run(tree, {QStringLiteral("--revise"), QStringLiteral("--dry-run"), QStringLiteral("--json")},
                QStringLiteral("ja_JP.UTF-8"));
        const auto firstProgress = [](const QList<QJsonObject>& events) {
            for (const QJsonObject& e : events)
                if (e.value(QStringLiteral("event")).toString() == QLatin1String("progress")) return e;
            return QJsonObject();
        };
        const QJsonObject firstJa = firstProgress(dryJapanese.events());
        const QString font = firstJa.value(QStringLiteral("path")).toString();
        const QString name = QFileInfo(font).fileName();
        QCOMPARE(firstJa.value(QStringLiteral("line1")).toString(),
                 QString::fromUtf8("%1の改訂をしています。").arg(font));

        const Run revise = run(tree, {QStringLiteral("--revise"), QStringLiteral("--json")});
        QCOMPARE(revise.status, fr::result::kRevised);
        const QList<QJsonObject> events = revise.events();
        QVERIFY2(!events.isEmpty(), revise.out.constData());
        // The events' form: the start first, a time and whether it is a dry run on every one.
        QCOMPARE(events.first().value(QStringLiteral("event")).toString(), QStringLiteral("start"));
        for (const QJsonObject& e : events)
            QVERIFY2(QDateTime::fromString(e.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs).isValid() &&
                         e.value(QStringLiteral("dryRun")) == QJsonValue(false),
                     qPrintable(e.value(QStringLiteral("event")).toString()));
        const QJsonObject first = firstProgress(events);
        QCOMPARE(first.value(QStringLiteral("line1")).toString(), QStringLiteral("Revising %1.").arg(font));
        QCOMPARE(first.value(QStringLiteral("line2")).toString(), QStringLiteral("Opening the file %1.").arg(name));
        QCOMPARE(first.value(QStringLiteral("file")).toString(), name);
        QCOMPARE(field(events, "target", "path").size(), kFixtureFaces.size());
        QCOMPARE(field(events, "progress", "step").size(), 9 * kFixtureFaces.size());
        QCOMPARE(field(events, "revised", "path").size(), kFixtureFaces.size());
        QCOMPARE(events.last().value(QStringLiteral("event")).toString(), QStringLiteral("summary"));
        QCOMPARE(events.last().value(QStringLiteral("status")).toInt(), 0);
        QVERIFY(events.last().value(QStringLiteral("restartNeeded")).toBool());
        QVERIFY(!events.last().value(QStringLiteral("restartRequested")).toBool());
        QVERIFY(revise.err.isEmpty());
        for (int k = 0; k < kFixtureFaces.size(); ++k)
            QVERIFY2(contents(tree.real(tree.installed[k])) == contents(set.referenceOf(kFixtureFaces[k])),
                     qPrintable(tree.installed[k]));
        QCOMPARE(tree.stray(), QStringList());

        // Everything is revised now: nothing more to do, said in the locale's language.
        for (const auto& [locale, text] :
             {std::pair{QStringLiteral("C"), "No installed font is to be revised."},
              std::pair{QStringLiteral("en_GB.UTF-8"), "No installed font is to be revised."},
              std::pair{QStringLiteral("ja_JP.UTF-8"), "該当するフォントがありませんでした。"},
              std::pair{QStringLiteral("LC_ALL=ja_JP.UTF-8"), "該当するフォントがありませんでした。"}}) {
            const Run again = run(tree, {QStringLiteral("--revise")}, locale);
            QCOMPARE(again.status, wizard::exitcode::kNoTarget);
            QVERIFY2(QString::fromUtf8(again.err).contains(QString::fromUtf8(text)), qPrintable(locale));
            QVERIFY2(again.err.contains("  no-target: "), qPrintable(locale));  // the reason, in English
        }
    }

    void withoutPatchesOrOptionsItEndsWithItsCode() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set);
        QCOMPARE(run(tree, {QStringLiteral("--revise"), QStringLiteral("--restart"), QStringLiteral("--list")}).status,
                 wizard::exitcode::kUsage);
        QCOMPARE(run(tree, {QStringLiteral("--frobnicate")}).status, wizard::exitcode::kUsage);
        const Run help = run(tree, {QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("Exit status"));

        // Without an option and without a display: what to do instead, never an abort.
        QProcess bare;
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LC_MESSAGES"})
            headless.remove(QString::fromLatin1(name));
        headless.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        bare.setProcessEnvironment(headless);
        bare.start(kProgram, {tree.dir.path()});
        QVERIFY(bare.waitForFinished(30000));
        QCOMPARE(bare.exitStatus(), QProcess::NormalExit);
        QCOMPARE(bare.exitCode(), wizard::exitcode::kUsage);
        QVERIFY(bare.readAllStandardError().contains("no display: use --list or --revise, see --help"));

        QDir(tree.real(kHost)).removeRecursively();
        for (const QString& locale : {QStringLiteral("C"), QStringLiteral("ja_JP.UTF-8")}) {
            const Run none = run(tree, {QStringLiteral("--list"), QStringLiteral("--json")}, locale);
            QCOMPARE(none.status, wizard::exitcode::kNoPatchSource);
            QCOMPARE(none.events().size(), 2);  // the run's start, and its end
            const QJsonObject summary = none.events().last();
            QCOMPARE(
                summary.value(QStringLiteral("message")).toString(),
                locale == QLatin1String("C")
                    ? QStringLiteral("There is no patch to revise the fonts with in %1: the revision stops.").arg(kHost)
                    : QStringLiteral("改訂元のフォントが存在しません（%1）。\n改訂を中止します。").arg(kHost));
            QCOMPARE(summary.value(QStringLiteral("reason")).toString(), QStringLiteral("no-patch-source"));
            QVERIFY(summary.value(QStringLiteral("detail")).toString().startsWith(kHost));
        }
    }

    void aHostilePatchStopsTheRunThereAndLeavesItsFont() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set);
        // The third face's patch breaks off in its table records.
        const QString patch = tree.real(kHost + QLatin1Char('/') + kFixtureFaces[2] + QStringLiteral(".pa"));
        put(patch, contents(patch).left(100));

        const Run r = run(tree, {QStringLiteral("--revise"), QStringLiteral("--json")});
        const QList<QJsonObject> events = r.events();
        const QStringList order = field(events, "target", "path");
        const int hostile = static_cast<int>(order.indexOf(tree.installed[2]));
        QVERIFY(hostile >= 0);
        QCOMPARE(r.status, fr::result::kPatchLoadFailed);
        QCOMPARE(field(events, "failed", "path"), QStringList{tree.installed[2]});
        QCOMPARE(field(events, "failed", "code"), QStringList{QString::number(fr::result::kPatchLoadFailed)});
        QCOMPARE(field(events, "failed", "reason"), QStringList{QStringLiteral("patch-truncated")});
        QCOMPARE(field(events, "revised", "path"), order.mid(0, hostile));
        for (int i = 0; i < order.size(); ++i) {
            const int k = static_cast<int>(tree.installed.indexOf(order[i]));
            const QByteArray expected =
                contents(i < hostile ? set.referenceOf(kFixtureFaces[k]) : set.oldFont(kFixtureFaces[k]));
            QVERIFY2(contents(tree.real(order[i])) == expected, qPrintable(order[i]));
        }
        QCOMPARE(tree.stray(), QStringList());
    }

    // Hosts a vendor did not make: nothing but what the signed manifest lists, as it lists
    // it, is ever written; the third face's font is the one each case aims at.
    void aHostileHostNeverRevisesWhatTheVendorDidNotMake() {
        const FixtureSet& set = *m_set;
        QTemporaryDir keys;
        QProcess keygen;
        keygen.start(QStringLiteral("minisign"), {QStringLiteral("-G"), QStringLiteral("-W"), QStringLiteral("-p"),
                                                  keys.filePath(QStringLiteral("other.pub")), QStringLiteral("-s"),
                                                  keys.filePath(QStringLiteral("other.key"))});
        QVERIFY(keygen.waitForFinished(30000) && keygen.exitCode() == 0);
        const QString third = kFixtureFaces[2] + QStringLiteral(".pa");
        auto flip = [](const QString& path, qsizetype at) {
            QByteArray bytes = contents(path);
            bytes[at < 0 ? bytes.size() + at : at] = static_cast<char>(bytes[at < 0 ? bytes.size() + at : at] ^ 0x20);
            put(path, bytes);
        };
        auto editManifest = [](const QString& path, const QString& from, const QString& to) {
            put(path, QString::fromUtf8(contents(path)).replace(from, to).toUtf8());
        };
        struct Case {
            const char* what;
            std::function<void(SampleTree&)> change;
            int status;
            bool othersRevised;  // the run revises fonts, or stops before any
            const char* reason;  // of the summary (20) or of the third face's failure
        };
        const std::vector<Case> cases = {
            {"a byte flipped in a patch", [&](SampleTree& t) { flip(t.patch(2), 300); }, fr::result::kPatchLoadFailed,
             true, "patch-sha256"},
            {"a patch cut short", [&](SampleTree& t) { put(t.patch(2), contents(t.patch(2)).chopped(1)); },
             fr::result::kPatchLoadFailed, true, "patch-sha256"},
            {"a manifest signed by another key",
             [&](SampleTree& t) { QVERIFY(sign(t.manifest(), keys.filePath(QStringLiteral("other.key")))); },
             wizard::exitcode::kNoPatchSource, false, "manifest-signature"},
            {"a signature cut short",
             [&](SampleTree& t) {
                 const QString signature = t.manifest() + QStringLiteral(".minisig");
                 put(signature, contents(signature).left(60));
             },
             wizard::exitcode::kNoPatchSource, false, "manifest-signature"},
            {"a byte flipped in the signature",
             [&](SampleTree& t) { flip(t.manifest() + QStringLiteral(".minisig"), -10); },
             wizard::exitcode::kNoPatchSource, false, "manifest-signature"},
            {"a manifest line altered",
             [&](SampleTree& t) {
                 editManifest(t.manifest(), QStringLiteral("old 'CFF '"), QStringLiteral("old 'CFF2'"));
             },
             wizard::exitcode::kNoPatchSource, false, "manifest-signature"},
            {"no signature", [&](SampleTree& t) { QFile::remove(t.manifest() + QStringLiteral(".minisig")); },
             wizard::exitcode::kNoPatchSource, false, "manifest-signature-missing"},
            {"a patch the manifest does not list",
             [&](SampleTree& t) { QFile::rename(t.patch(2), t.patch(2).chopped(3) + QStringLiteral(".pb")); },
             fr::result::kRevised, true, "manifest-unlisted"},
            {"an installed font of the right name and revision with another byte in a table",
             [&](SampleTree& t) {
                 const QByteArray font = contents(t.real(t.installed[2]));
                 const qsizetype cff = font.indexOf("CFF ");  // its directory record
                 flip(t.real(t.installed[2]), qFromBigEndian<quint32>(font.constData() + cff + 8) + 20);
             },
             fr::result::kFontUnusable, true, "installed-digest"},
            {"a new font other than the one the manifest lists (re-signed)",
             [&](SampleTree& t) {
                 const QString manifest = QString::fromUtf8(contents(t.manifest()));
                 const qsizetype entry = manifest.indexOf(QStringLiteral("patch ") + third);
                 const qsizetype line = manifest.indexOf(QStringLiteral("new 'hmtx' "), entry) + 11;
                 put(t.manifest(), QString(manifest).replace(line, 1, manifest[line] == u'0' ? u'1' : u'0').toUtf8());
                 QVERIFY(sign(t.manifest()));
             },
             fr::result::kNewFileFailed, true, "new-digest"},
        };
        for (const Case& c : cases) {
            SampleTree tree(set, true);
            c.change(tree);
            // What an ended run left beside a font stays through a run that only looks.
            if (c.status != wizard::exitcode::kNoPatchSource)
                put(tree.real(QStringLiteral("/Library/Fonts/.x.otf.font-reviser-4194300-0badcafe.new")), "left");
            const QMap<QString, QByteArray> before = snapshot(tree);
            const Run dry =
                run(tree, {QStringLiteral("--revise"), QStringLiteral("--dry-run"), QStringLiteral("--json")});
            QVERIFY2(snapshot(tree) == before, c.what);
            const QByteArray third = contents(tree.real(tree.installed[2]));
            const Run r = run(tree, {QStringLiteral("--revise"), QStringLiteral("--json")});
            QVERIFY2(r.status == c.status, qPrintable(QStringLiteral("%1: %2").arg(c.what).arg(r.status)));
            // The dry run said what the run then did: its status, and each font's end.
            QVERIFY2(dry.status == r.status, c.what);
            for (const char* event : {"revised", "failed"})
                QVERIFY2(field(dry.events(), event, "path") == field(r.events(), event, "path"), c.what);
            const QList<QJsonObject> all = r.events();
            QStringList reasons = field(all, "failed", "reason") + field(all, "source-skipped", "reason");
            if (c.status == wizard::exitcode::kNoPatchSource)
                reasons << all.last().value(QStringLiteral("reason")).toString();
            QVERIFY2(reasons.contains(QString::fromLatin1(c.reason)), qPrintable(reasons.join(u' ')));
            QVERIFY2(contents(tree.real(tree.installed[2])) == third, c.what);
            const QList<QJsonObject> events = r.events();
            QVERIFY2(!events.isEmpty(), c.what);
            // The run stops at the third face's font: those before it are revised.
            const QStringList order = field(events, "target", "path");
            const qsizetype stop = c.status == fr::result::kRevised ? order.size() : order.indexOf(tree.installed[2]);
            for (int k = 0; k < kFixtureFaces.size(); ++k) {
                if (k == 2) continue;
                const bool revised = c.othersRevised && order.indexOf(tree.installed[k]) < stop;
                const QString face = kFixtureFaces[k];
                QVERIFY2(contents(tree.real(tree.installed[k])) ==
                             contents(revised ? set.referenceOf(face) : set.oldFont(face)),
                         qPrintable(QStringLiteral("%1: %2").arg(c.what, tree.installed[k])));
            }
            if (c.status == wizard::exitcode::kNoPatchSource)
                QVERIFY2(!events.last().value(QStringLiteral("detail")).toString().isEmpty(), c.what);
            else
                QVERIFY2(events.last().value(QStringLiteral("verified")).toBool(), c.what);
            QVERIFY2(tree.stray() == QStringList(), c.what);
        }
        // Where a key is built in, a "host" without a manifest is no source, unless the
        // administrator says so; where none is, a signed one is applied unverified, and said to be.
        SampleTree plain(set, false);
        plain.sampleKey.clear();
        const Run strict = run(plain, {QStringLiteral("--revise"), QStringLiteral("--json")});
        QCOMPARE(strict.status, wizard::exitcode::kNoPatchSource);
        QCOMPARE(strict.events().last().value(QStringLiteral("reason")).toString(), QStringLiteral("unsigned-host"));
        for (int k = 0; k < kFixtureFaces.size(); ++k)
            QCOMPARE(contents(plain.real(plain.installed[k])), contents(set.oldFont(kFixtureFaces[k])));
        const Run allowed =
            run(plain, {QStringLiteral("--revise"), QStringLiteral("--allow-unsigned"), QStringLiteral("--json")});
        QCOMPARE(allowed.status, fr::result::kRevised);
        QVERIFY(!allowed.events().last().value(QStringLiteral("verified")).toBool(true));
        SampleTree noKey(set, true);
        noKey.sampleKey = "none";
        const Run unverified = run(noKey, {QStringLiteral("--revise")});
        QCOMPARE(unverified.status, fr::result::kRevised);
        QVERIFY2(unverified.err.contains("trusts no signing key"), unverified.err.constData());
    }

    // --verbose tells what the search passed over and why; a file in "host" named like a patch
    // that is none is told even without it.
    void theSearchSaysWhatItPassedOver() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set);
        put(tree.real(kHost + QStringLiteral("/notes.txt")), "not a patch");
        put(tree.real(kHost + QStringLiteral("/Velmora broken.pa")), "SBDF");
        const QString newer = QStringLiteral("/home/kana/Documents/") + kFixtureFaces[0] + QStringLiteral(".otf");
        put(tree.real(newer), contents(set.referenceOf(kFixtureFaces[0])));
        const QString notCff = QStringLiteral("/Library/Fonts/extra/") + kFixtureFaces[3] + QStringLiteral(".otf");
        put(tree.real(notCff), QByteArray("\0\1\0\0", 4) + QByteArray(60, '\0'));

        const auto noted = [](const QList<QJsonObject>& events) {
            QMap<QString, QString> reasons;  // "event path" -> reason
            for (const QJsonObject& e : events)
                if (e.value(QStringLiteral("event")).toString().contains(QLatin1String("-")))
                    reasons.insert(
                        e.value(QStringLiteral("event")).toString() + u' ' + e.value(QStringLiteral("path")).toString(),
                        e.value(QStringLiteral("reason")).toString());
            return reasons;
        };
        const Run quiet = run(tree, {QStringLiteral("--list"), QStringLiteral("--json")});
        QCOMPARE(noted(quiet.events()).keys(),
                 QStringList{QStringLiteral("source-skipped ") + kHost + QStringLiteral("/Velmora broken.pa")});

        const Run verbose =
            run(tree, {QStringLiteral("--list"), QStringLiteral("--verbose"), QStringLiteral("--json")});
        QCOMPARE(verbose.status, 0);
        const QMap<QString, QString> reasons = noted(verbose.events());
        const QList<std::pair<QString, QString>> expected = {
            {QStringLiteral("source-skipped ") + kHost + QStringLiteral("/Velmora broken.pa"),
             QStringLiteral("patch-truncated")},
            {QStringLiteral("source-skipped ") + kHost + QStringLiteral("/notes.txt"), QStringLiteral("source-name")},
            {QStringLiteral("candidate-skipped ") + newer, QStringLiteral("font-revision")},
            {QStringLiteral("candidate-skipped ") + notCff, QStringLiteral("font-not-cff")},
            {QStringLiteral("volume-walked /"), QString()},
            {QStringLiteral("font-folder-walked /usr/share/fonts"), QString()},
        };
        for (const auto& [key, reason] : expected)
            QVERIFY2(reasons.contains(key) && reasons.value(key) == reason,
                     qPrintable(key + u' ' + reasons.value(key)));
        // In text, each under its line, on standard error.
        const Run text = run(tree, {QStringLiteral("--list"), QStringLiteral("--verbose")});
        QVERIFY(text.err.contains(("Not revised: " + newer + "\n  font-revision: ").toUtf8()));
    }

    // A user who may not write one font folder: --list says which fonts they may not replace,
    // and --keep-going revises every other font and ends with the first failure's status.
    void aUserKeepsGoingPastTheFontsTheyMayNotReplace() {
        const FixtureSet& set = *m_set;
        constexpr int kNobody = 65534;
        const bool root = ::geteuid() == 0;
        const QString closed = QStringLiteral("/usr/share/fonts/opentype/velmora");  // faces 1 and 5
        const auto prepare = [&](SampleTree& tree, QString& program) {
            program = kProgram;
            if (!root) {
                ::chmod(QFile::encodeName(tree.real(closed)).constData(), 0555);
                return;
            }
            // That user runs a copy of the program inside the tree and owns all of it but the folder.
            program = tree.real(QStringLiteral("/font-reviser-sample"));
            QFile::copy(kProgram, program);
            QDirIterator it(tree.dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            ::lchown(QFile::encodeName(tree.dir.path()).constData(), kNobody, kNobody);
            while (it.hasNext()) ::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNobody);
            ::lchown(QFile::encodeName(tree.real(closed)).constData(), 0, 0);
        };
        const int uid = root ? kNobody : -1;
        const QStringList refused = {SampleTree::installedPath(1), SampleTree::installedPath(5)};

        SampleTree listed(set);
        QString program;
        prepare(listed, program);
        const Run list =
            run(listed, {QStringLiteral("--list"), QStringLiteral("--json")}, QStringLiteral("C"), program, uid);
        QCOMPARE(list.status, 0);
        QStringList notReplaceable;
        for (const QJsonObject& e : list.events())
            if (e.value(QStringLiteral("event")) == QLatin1String("target") &&
                !e.value(QStringLiteral("replaceable")).toBool()) {
                QCOMPARE(e.value(QStringLiteral("reason")).toString(), QStringLiteral("folder-not-writable"));
                notReplaceable << e.value(QStringLiteral("path")).toString();
            }
        QCOMPARE(notReplaceable, refused);

        for (const bool dryRun : {true, false}) {
            SampleTree tree(set);
            prepare(tree, program);
            QStringList options = {QStringLiteral("--revise"), QStringLiteral("--keep-going"),
                                   QStringLiteral("--json")};
            if (dryRun) options << QStringLiteral("--dry-run");
            const Run r = run(tree, options, QStringLiteral("C"), program, uid);
            QCOMPARE(r.status, fr::result::kNotReplaceable);
            const QList<QJsonObject> events = r.events();
            QCOMPARE(field(events, "failed", "path"), refused);
            QCOMPARE(field(events, "failed", "reason"), QStringList(2, QStringLiteral("folder-not-writable")));
            QVERIFY(events.last().value(QStringLiteral("message")).toString().contains(QLatin1String("as root")));
            for (int k = 0; k < kFixtureFaces.size(); ++k) {
                const bool revised = !dryRun && !refused.contains(tree.installed[k]);
                QVERIFY2(contents(tree.real(tree.installed[k])) ==
                             contents(revised ? set.referenceOf(kFixtureFaces[k]) : set.oldFont(kFixtureFaces[k])),
                         qPrintable(tree.installed[k]));
            }
            QCOMPARE(field(events, "revised", "path").size(), kFixtureFaces.size() - 2);
            QCOMPARE(tree.stray(), QStringList());
        }
    }

    // The fonts are revised either way; the status tells whether the restart was asked for.
    // A run that failed twice left the old font beside a file in place that is not the new
    // one; a later run whose "host" has no patch for that font can't tell which is good, and
    // leaves both, with 12 naming them. The other fonts are revised.
    void aCopyThatMayBeTheOnlyGoodOneStays() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set, true);
        QByteArray changed = contents(set.referenceOf(kFixtureFaces[0]));
        changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x55);
        put(tree.real(tree.installed[0]), changed);
        const QString kept = QFileInfo(tree.installed[0]).path() + QStringLiteral("/.") +
                             QFileInfo(tree.installed[0]).fileName() +
                             QStringLiteral(".font-reviser-4194300-0badcafe.old");
        put(tree.real(kept), contents(set.oldFont(kFixtureFaces[0])));
        QVERIFY(QFile::remove(tree.patch(0)));
        const Run r = run(tree, {QStringLiteral("--revise"), QStringLiteral("--json")});
        QCOMPARE(r.status, fr::result::kTempNotRemovable);
        const QJsonObject summary = r.events().last();
        QCOMPARE(summary.value(QStringLiteral("reason")).toString(), QStringLiteral("kept-copy"));
        const QString detail = summary.value(QStringLiteral("detail")).toString();
        QVERIFY2(detail.contains(kept) && detail.contains(tree.installed[0] + u':'), qPrintable(detail));
        QCOMPARE(contents(tree.real(kept)), contents(set.oldFont(kFixtureFaces[0])));
        QCOMPARE(contents(tree.real(tree.installed[0])), changed);
        QCOMPARE(field(r.events(), "revised", "path").size(), kFixtureFaces.size() - 1);
    }

    // A stop asked for after a font ended and before the next began ends the run as a cancel.
    void anInterruptBetweenTwoFontsIsACancel() {
        const FixtureSet& set = *m_set;
        // Pauses come only after a font's last progress point: the stop falls between fonts.
        struct StopAtPause : platform::Pauses {
            std::atomic<bool>* stop = nullptr;
            void pause(int) override { stop->store(true); }
        };
        testsupport::TestPlatform tp;
        tp.volumes.volumes = {{QStringLiteral("/")}};
        for (int k : {0, 1})
            tp.writeFile(QStringLiteral("/Library/Fonts/") + kFixtureFaces[k] + QStringLiteral(".otf"),
                         bytesOf(contents(set.oldFont(kFixtureFaces[k]))));
        for (int k : {0, 1})
            tp.writeFile(QStringLiteral("/Applications/Reviser/host/") + kFixtureFaces[k] + QStringLiteral(".pa"),
                         bytesOf(contents(set.patchOf(kFixtureFaces[k]))));
        std::atomic<bool> stop{false};
        StopAtPause pauses;
        pauses.stop = &stop;
        platform::Platform services = tp.services();
        services.pauses = &pauses;
        const wizard::CommandLine line = wizard::CommandLine::parse({QStringLiteral("--revise")});
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
        wizard::Console console(false, out.get(), out.get(), false);
        QCOMPARE(wizard::runHeadless(line, console, stop, services, QString()), fr::result::kCancelled);
        int revised = 0;
        for (int k : {0, 1})
            revised +=
                tp.files().readAll(QStringLiteral("/Library/Fonts/") + kFixtureFaces[k] + QStringLiteral(".otf"),
                                   testsupport::kAnySize) == bytesOf(contents(set.referenceOf(kFixtureFaces[k])));
        QCOMPARE(revised, 1);
    }

    // The helper an administrator's authentication starts revises only what the search would
    // have found: a copy of a font past the depth limit, in a folder the search skips, under
    // another name, through a folder that is a link, or not a plain path, is refused with its
    // reason and left as it is; a listed font is revised; nothing but the list is read.
    void theHelperRevisesOnlyWhatTheSearchWouldFind() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set, true);
        const QByteArray old = contents(set.oldFont(kFixtureFaces[0]));
        const QString otf = kFixtureFaces[0] + QStringLiteral(".otf");
        const QStringList refused = {
            QStringLiteral("/Library/Fonts/a/b/c/d/") + otf,  QStringLiteral("/Library/Fonts/Reviser.app/") + otf,
            QStringLiteral("/Library/Fonts/font-0001.bin"),   QStringLiteral("/Library/Linked/") + otf,
            QStringLiteral("/Library/Fonts/../Fonts/") + otf,
        };
        for (const QString& path : refused.mid(0, 3)) put(tree.real(path), old);
        QVERIFY(QFile::link(QStringLiteral("Fonts"), tree.real(QStringLiteral("/Library/Linked"))));
        QProcess p;
        p.start(kProgram, {tree.dir.path(), QStringLiteral("--helper")});
        QVERIFY(p.waitForStarted());
        QByteArray list;
        for (const QString& path : refused + QStringList{tree.installed[0]}) list += path.toUtf8() + '\n';
        p.write(list + '\n');
        QVERIFY(p.waitForFinished(60000));
        Run r;
        r.status = p.exitCode();
        r.out = p.readAllStandardOutput();
        const QList<QJsonObject> events = r.events();
        QCOMPARE(r.status, fr::result::kRevised);
        QCOMPARE(field(events, "candidate-skipped", "path"), refused);
        for (const QString& reason : field(events, "candidate-skipped", "reason"))
            QVERIFY2(reason == QLatin1String("not-searched") || reason == QLatin1String("path-not-plain"),
                     qPrintable(reason));
        QCOMPARE(field(events, "revised", "path"), QStringList{tree.installed[0]});
        for (const QString& path : refused.mid(0, 3)) QCOMPARE(contents(tree.real(path)), old);
        QCOMPARE(contents(tree.real(tree.installed[0])), contents(set.referenceOf(kFixtureFaces[0])));
        // A list that is not one: nothing read further, nothing revised.
        QProcess bad;
        bad.start(kProgram, {tree.dir.path(), QStringLiteral("--helper")});
        bad.write("relative/path.otf\n\n");
        bad.closeWriteChannel();
        QVERIFY(bad.waitForFinished(60000));
        QCOMPARE(bad.exitCode(), wizard::exitcode::kUsage);
        QProcess withOption;
        withOption.start(kProgram, {tree.dir.path(), QStringLiteral("--helper"), QStringLiteral("--dry-run")});
        QVERIFY(withOption.waitForFinished(60000));
        QCOMPARE(withOption.exitCode(), wizard::exitcode::kUsage);
    }

    // Command lines that are none end with 64 before anything is looked at; the good ones
    // say what they ask for.
    void commandLinesAreCheckedFirst_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("good");
        const auto row = [](const char* name, const char* line, bool good) {
            QTest::newRow(name) << QString::fromLatin1(line).split(u' ') << good;
        };
        row("two modes", "--undo --history", false);
        row("--under without a folder", "--list --under", false);
        row("--under a relative folder", "--list --under fonts", false);
        row("--under and --font-folders-only", "--list --under /a --font-folders-only", false);
        row("--wait not a number", "--revise --wait soon", false);
        row("--keep-backups below zero", "--revise --keep-backups -1", false);
        row("--wait with --list", "--list --wait 3", false);
        row("--dry-run with --history", "--history --dry-run", false);
        row("--host with --undo", "--undo --host /srv/patches", false);
        row("--json alone", "--json", false);
        row("an undo of a run, dry", "--undo 20261208T101010Z-42 --dry-run --wait 5", true);
        row("a bounded revision", "--revise --under /usr/share/fonts --under /home --keep-backups 0 --json", true);
        row("the history", "--history --json", true);
    }
    void commandLinesAreCheckedFirst() {
        QFETCH(QStringList, options);
        QFETCH(bool, good);
        const wizard::CommandLine line = wizard::CommandLine::parse(options);
        QVERIFY2(line.error.isEmpty() == good, qPrintable(line.error));
        if (good && options.contains(QStringLiteral("--undo"))) {
            QCOMPARE(line.undoRun, QStringLiteral("20261208T101010Z-42"));
            QVERIFY(!line.writes() && line.waitSeconds == 5);
        }
        if (options.contains(QStringLiteral("--under")) && good)
            QCOMPARE(line.under, (QStringList{QStringLiteral("/usr/share/fonts"), QStringLiteral("/home")}));
    }

    // --under and --font-folders-only: the fonts found are those inside the bounds, the rules
    // of the whole search still applying; the start event says what was searched.
    void theSearchStaysWithinItsBounds_data() {
        QTest::addColumn<QStringList>("bounds");
        QTest::addColumn<QList<int>>("faces");  // found, by their place in SampleTree::installed
        QTest::addColumn<QString>("searched");
        QTest::newRow("one font folder") << QStringList{QStringLiteral("--under"), QStringLiteral("/usr/share/fonts")}
                                         << QList<int>{1, 5} << "under";
        QTest::newRow("two folders, one inside the other")
            << QStringList{QStringLiteral("--under"),        QStringLiteral("/Library"), QStringLiteral("--under"),
                           QStringLiteral("/Library/Fonts"), QStringLiteral("--under"),  QStringLiteral("/home/kana")}
            << QList<int>{0, 3, 4} << "under";
        QTest::newRow("a folder below a font folder")
            << QStringList{QStringLiteral("--under"), QStringLiteral("/usr/local/share/fonts/velmora")} << QList<int>{2}
            << "under";
        QTest::newRow("a folder the whole search never enters")
            << QStringList{QStringLiteral("--under"), QStringLiteral("/Library/Fonts/Reviser.app")} << QList<int>{}
            << "under";
        QTest::newRow("the font folders only")
            << QStringList{QStringLiteral("--font-folders-only")} << QList<int>{1, 2, 3, 5} << "font-folders";
    }
    void theSearchStaysWithinItsBounds() {
        QFETCH(QStringList, bounds);
        QFETCH(QList<int>, faces);
        QFETCH(QString, searched);
        const FixtureSet& set = *m_set;
        SampleTree tree(set);
        // A copy inside a folder the search skips, even when bounded to it.
        put(tree.real(QStringLiteral("/Library/Fonts/Reviser.app/") + kFixtureFaces[0] + QStringLiteral(".otf")),
            contents(set.oldFont(kFixtureFaces[0])));
        const Run list = run(tree, QStringList{QStringLiteral("--list"), QStringLiteral("--json")} + bounds);
        QCOMPARE(list.status, faces.isEmpty() ? wizard::exitcode::kNoTarget : 0);
        QCOMPARE(list.events().first().value(QStringLiteral("searched")).toString(), searched);
        QStringList expected;
        for (int k : faces) expected << tree.installed[k];
        QStringList found = field(list.events(), "target", "path");
        found.sort();
        expected.sort();
        QCOMPARE(found, expected);
        if (faces.isEmpty()) {  // the bound is told, with why it was not searched
            QCOMPARE(field(list.events(), "volume-skipped", "path"), QStringList{bounds.last()});
            QCOMPARE(field(list.events(), "volume-skipped", "reason"), QStringList{QStringLiteral("out-of-rules")});
            return;
        }
        // A revision so bounded changes nothing outside.
        const Run revise = run(tree, QStringList{QStringLiteral("--revise"), QStringLiteral("--json")} + bounds);
        QCOMPARE(revise.status, 0);
        for (int k = 0; k < kFixtureFaces.size(); ++k)
            QVERIFY2(
                contents(tree.real(tree.installed[k])) ==
                    contents(faces.contains(k) ? set.referenceOf(kFixtureFaces[k]) : set.oldFont(kFixtureFaces[k])),
                qPrintable(tree.installed[k]));
    }

    // The patches come from --host where it is given, else "host" beside the program, else the
    // folder a package of patches fills; the signature rules are the same for each.
    void thePatchesComeFromWhereTheAdministratorPutThem() {
        const FixtureSet& set = *m_set;
        for (const QString& where : {QStringLiteral("/srv/patches"), QStringLiteral("/usr/share/font-reviser/host")}) {
            SampleTree tree(set, true);
            QDir().mkpath(QFileInfo(tree.real(where)).path());
            QVERIFY(QDir().rename(tree.real(kHost), tree.real(where)));
            const QStringList host =
                where.startsWith(QLatin1String("/srv")) ? QStringList{QStringLiteral("--host"), where} : QStringList{};
            const Run r = run(tree, QStringList{QStringLiteral("--list"), QStringLiteral("--json")} + host);
            QVERIFY2(r.status == 0, qPrintable(where));
            QCOMPARE(field(r.events(), "target", "path").size(), kFixtureFaces.size());
            QVERIFY(r.events().last().value(QStringLiteral("verified")).toBool());
            // Beside the program again, "host" is the one taken: it has no patch, so none is.
            QDir().mkpath(tree.real(kHost));
            QCOMPARE(run(tree, QStringList{QStringLiteral("--list")} + host).status,
                     host.isEmpty() ? wizard::exitcode::kNoPatchSource : 0);
        }
    }

    void aBoundThatIsNoFolderIsABadCommandLine() {
        SampleTree tree(*m_set);
        const Run r = run(tree, {QStringLiteral("--list"), QStringLiteral("--under"), QStringLiteral("/nowhere"),
                                 QStringLiteral("--json")});
        QCOMPARE(r.status, wizard::exitcode::kUsage);
        QCOMPARE(r.events().last().value(QStringLiteral("reason")).toString(), QStringLiteral("no-folder"));
    }

    // While one run writes, another that would write ends at once with 24, naming the
    // process; one that only looks goes on; once the lock is free, the run goes ahead.
    void aSecondRunEndsBusyWhileOneWrites() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set);
        const QString lockFile =
            tree.real(::geteuid() == 0 ? QStringLiteral("/run/lock/font-reviser.lock")
                                       : QStringLiteral("/run/user/%1/font-reviser.lock").arg(::geteuid()));
        QDir().mkpath(QFileInfo(lockFile).path());
        auto lock = std::make_unique<QFile>(lockFile);
        QVERIFY(lock->open(QIODevice::ReadWrite) &&
                lock->write(QByteArray::number(QCoreApplication::applicationPid())) > 0 && lock->flush() &&
                ::flock(lock->handle(), LOCK_EX | LOCK_NB) == 0);
        for (const QStringList& options :
             {QStringList{QStringLiteral("--revise")},
              QStringList{QStringLiteral("--revise"), QStringLiteral("--wait"), QStringLiteral("1")},
              QStringList{QStringLiteral("--undo")}}) {
            const Run busy = run(tree, options + QStringList{QStringLiteral("--json")});
            QCOMPARE(busy.status, wizard::exitcode::kBusy);
            const QJsonObject summary = busy.events().last();
            QCOMPARE(summary.value(QStringLiteral("reason")).toString(), QStringLiteral("busy"));
            QVERIFY2(summary.value(QStringLiteral("detail"))
                         .toString()
                         .endsWith(QStringLiteral("process %1").arg(QCoreApplication::applicationPid())),
                     qPrintable(summary.value(QStringLiteral("detail")).toString()));
        }
        QCOMPARE(run(tree, {QStringLiteral("--revise"), QStringLiteral("--dry-run")}).status, 0);
        for (int k = 0; k < kFixtureFaces.size(); ++k)
            QCOMPARE(contents(tree.real(tree.installed[k])), contents(set.oldFont(kFixtureFaces[k])));
        lock.reset();
        QCOMPARE(run(tree, {QStringLiteral("--revise")}).status, 0);
    }

    // Each run that writes is one line of the history, failures included, each font revised
    // one entry of the journal; an undo puts back byte for byte what the run replaced, skips
    // a font changed since, and is itself a run that can be undone.
    void eachRunIsRecordedAndCanBeUndone() {
        const FixtureSet& set = *m_set;
        SampleTree tree(set, true);
        const QString patch = tree.patch(2);
        const QByteArray goodPatch = contents(patch);
        put(patch, goodPatch.left(100));  // the third face's patch breaks off
        const QString state =
            tree.real(::geteuid() == 0 ? QStringLiteral("/var/lib/font-reviser")
                                       : QStringLiteral("/home/%1/.local/state/font-reviser")
                                             .arg(QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name)));
        const Run revise =
            run(tree, {QStringLiteral("--revise"), QStringLiteral("--keep-going"), QStringLiteral("--json")});
        QCOMPARE(revise.status, fr::result::kPatchLoadFailed);
        const QString firstRun = revise.events().last().value(QStringLiteral("run")).toString();
        QVERIFY(!firstRun.isEmpty());

        const auto history = [&] {
            QList<QJsonObject> runs;
            for (const QJsonObject& e : run(tree, {QStringLiteral("--history"), QStringLiteral("--json")}).events())
                if (e.value(QStringLiteral("event")) == QLatin1String("run"))
                    runs << e.value(QStringLiteral("record")).toObject();
            return runs;
        };
        const auto sha256 = [](const QByteArray& bytes) {
            return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        };
        QList<QJsonObject> runs = history();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0].value(QStringLiteral("run")).toString(), firstRun);
        QCOMPARE(runs[0].value(QStringLiteral("status")).toInt(), fr::result::kPatchLoadFailed);
        QCOMPARE(runs[0].value(QStringLiteral("patchSet")).toString(), sha256(contents(tree.manifest())));
        const QJsonArray fonts = runs[0].value(QStringLiteral("fonts")).toArray();
        QCOMPARE(fonts.size(), kFixtureFaces.size());
        for (const QJsonValue& value : fonts) {
            const QJsonObject font = value.toObject();
            const int k = static_cast<int>(tree.installed.indexOf(font.value(QStringLiteral("path")).toString()));
            QVERIFY(k >= 0);
            const QString old = sha256(contents(set.oldFont(kFixtureFaces[k])));
            QCOMPARE(font.value(QStringLiteral("oldSha256")).toString(), old);
            if (k == 2) {
                QCOMPARE(font.value(QStringLiteral("status")).toInt(), fr::result::kPatchLoadFailed);
                QCOMPARE(font.value(QStringLiteral("reason")).toString(), QStringLiteral("patch-sha256"));
                QVERIFY(font.value(QStringLiteral("backup")).toString().isEmpty());
                continue;
            }
            QCOMPARE(font.value(QStringLiteral("newSha256")).toString(),
                     sha256(contents(set.referenceOf(kFixtureFaces[k]))));
            QCOMPARE(font.value(QStringLiteral("newRevision")).toString().section(u'.', 0, 0),
                     font.value(QStringLiteral("oldRevision")).toString().section(u'.', 0, 0));
        }
        QCOMPARE(contents(tree.real(QStringLiteral("/var/log/font-reviser/journal.jsonl"))).count('\n'),
                 kFixtureFaces.size() - 1);

        // One font changed since: skipped with its reason, left as it is; the others back.
        put(patch, goodPatch);
        const QByteArray changed = contents(set.referenceOf(kFixtureFaces[3])) + "x";
        put(tree.real(tree.installed[3]), changed);
        // A line of the history that is no record of ours is passed over, and removes nothing.
        {
            QFile file(state + QStringLiteral("/history.jsonl"));
            QVERIFY(file.open(QIODevice::Append));
            file.write(R"({"run":"../../../../Library","fonts":[{"status":0,"backup":"x"}]})"
                       "\n{torn\n"
                       R"({"run":"20991230T000000Z-1","fonts":[{"path":"/x","status":0,"backup":"../../x"}]})"
                       "\n");
        }
        const QMap<QString, QByteArray> before = snapshot(tree);
        const Run dry = run(tree, {QStringLiteral("--undo"), QStringLiteral("--dry-run"), QStringLiteral("--json")});
        QCOMPARE(snapshot(tree), before);
        const Run undo = run(tree, {QStringLiteral("--undo"), QStringLiteral("--json")});
        QCOMPARE(undo.status, fr::result::kFontUnusable);
        QCOMPARE(dry.status, undo.status);
        QCOMPARE(field(undo.events(), "failed", "reason"), QStringList{QStringLiteral("font-changed-since")});
        QVERIFY(field(undo.events(), "failed", "message").value(0).startsWith(QStringLiteral("Not put back: ")));
        QCOMPARE(field(undo.events(), "restored", "path").size(), kFixtureFaces.size() - 2);
        QCOMPARE(field(dry.events(), "restored", "path"), field(undo.events(), "restored", "path"));
        for (int k = 0; k < kFixtureFaces.size(); ++k)
            QVERIFY2(
                contents(tree.real(tree.installed[k])) == (k == 3 ? changed : contents(set.oldFont(kFixtureFaces[k]))),
                qPrintable(tree.installed[k]));
        runs = history();
        QCOMPARE(runs.size(), 3);  // the run, the line whose kept copy is none of ours, the undo
        QCOMPARE(runs[2].value(QStringLiteral("kind")).toString(), QStringLiteral("undo"));
        QCOMPARE(runs[2].value(QStringLiteral("undoes")).toString(), firstRun);

        // The undo undone: the fonts it put back are revised again; one run's kept fonts stay.
        const Run redo = run(tree, {QStringLiteral("--undo"), QStringLiteral("--keep-backups"), QStringLiteral("1")});
        QCOMPARE(redo.status, 0);
        for (int k : {0, 1, 4, 5})
            QCOMPARE(contents(tree.real(tree.installed[k])), contents(set.referenceOf(kFixtureFaces[k])));
        QCOMPARE(QDir(state + QStringLiteral("/backup")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
        QCOMPARE(run(tree, {QStringLiteral("--undo"), QStringLiteral("20991231T000000Z-1")}).status,
                 wizard::exitcode::kNoTarget);
    }

    void aRestartRequestNotSentHasItsOwnStatus() {
        const FixtureSet& set = *m_set;
        for (const std::int32_t answer : {0, -1}) {
            testsupport::TestPlatform tp;
            tp.volumes.volumes = {{QStringLiteral("/")}};
            tp.writeFile(QStringLiteral("/Library/Fonts/") + kFixtureFaces[0] + QStringLiteral(".otf"),
                         bytesOf(contents(set.oldFont(kFixtureFaces[0]))));
            tp.writeFile(QStringLiteral("/Applications/Reviser/host/") + kFixtureFaces[0] + QStringLiteral(".pa"),
                         bytesOf(contents(set.patchOf(kFixtureFaces[0]))));
            tp.restart.answer = answer;
            wizard::CommandLine line = wizard::CommandLine::parse(
                {QStringLiteral("--revise"), QStringLiteral("--restart"), QStringLiteral("--json")});
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
            wizard::Console console(true, out.get(), out.get(), false);
            const std::atomic<bool> stop{false};
            const int status = wizard::runHeadless(line, console, stop, tp.services(), QString());
            QCOMPARE(status, answer == 0 ? 0 : wizard::exitcode::kRestartNotSent);
            QCOMPARE(tp.restart.sent().size(), 1u);
            std::rewind(out.get());
            QByteArray text;
            for (int c; (c = std::fgetc(out.get())) != EOF;) text.append(static_cast<char>(c));
            Run r;
            r.out = text;
            const QJsonObject summary = r.events().last();
            QCOMPARE(summary.value(QStringLiteral("revised")).toArray().size(), 1);
            QCOMPARE(summary.value(QStringLiteral("restartRequested")).toBool(), answer == 0);
            QCOMPARE(summary.value(QStringLiteral("reason")).toString(),
                     answer == 0 ? QString() : QStringLiteral("restart-request"));
        }
    }

    void anInterruptEndsTheRunAsACancel_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void anInterruptEndsTheRunAsACancel() {
        QFETCH(int, signal);
        const FixtureSet& set = *m_set;
        SampleTree tree(set, true);
        QProcess p;
        p.start(kProgram, {tree.dir.path(), QStringLiteral("--revise"), QStringLiteral("--json")});
        QVERIFY(p.waitForStarted());
        // Interrupted in the middle of the second font.
        QByteArray out;
        bool sent = false;
        while (!sent && p.waitForReadyRead(30000)) {
            out += p.readAllStandardOutput();
            if (out.contains("\"index\":1,") && out.contains("\"step\":55")) {
                ::kill(static_cast<pid_t>(p.processId()), signal);
                sent = true;
            }
        }
        QVERIFY(sent);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), fr::result::kCancelled);
        Run r;
        r.out = out + p.readAllStandardOutput();
        const QList<QJsonObject> events = r.events();
        QCOMPARE(events.last().value(QStringLiteral("message")).toString(),
                 QStringLiteral("The revision of the OpenType Velmora fonts was stopped."));
        QCOMPARE(events.last().value(QStringLiteral("reason")).toString(), QStringLiteral("cancelled"));
        // Each font is either the old one or completely revised, and nothing is left over.
        const QStringList revised = field(events, "revised", "path");
        QVERIFY(revised.size() >= 1 && revised.size() <= 2);
        for (int k = 0; k < kFixtureFaces.size(); ++k) {
            const QByteArray now = contents(tree.real(tree.installed[k]));
            const bool done = revised.contains(tree.installed[k]);
            QVERIFY2(now == contents(done ? set.referenceOf(kFixtureFaces[k]) : set.oldFont(kFixtureFaces[k])),
                     qPrintable(tree.installed[k]));
        }
        QCOMPARE(tree.stray(), QStringList());
    }

private:
    std::optional<FixtureSet> m_set;
};

QTEST_GUILESS_MAIN(Headless)
#include "headless_test.moc"
