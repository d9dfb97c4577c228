// The program without windows, end to end through the sample executable on a sample-like
// tree of real fixture fonts: what --list and --revise find, write, print and exit with.

#include "app/CommandLine.h"
#include "patch/RevisionCodes.h"
#include "support/FixtureSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <functional>

using testsupport::FixtureSet;
using testsupport::kFixtureFaces;

namespace {

const QString kProgram = QStringLiteral(FR_BINARY_DIR "/app/font-reviser-sample");
const QString kHost = QStringLiteral("/Applications/FontReviser/host");

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void put(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

// The six faces installed where desktops keep fonts (one name stored decomposed), their
// patches in "host", with their signed manifest when asked.
struct SampleTree {
    QTemporaryDir dir;
    QStringList installed;  // program-view paths, face by face

    explicit SampleTree(const FixtureSet& set, bool signedManifest = false) {
        const QStringList folders = {
            QStringLiteral("/Library/Fonts"), QStringLiteral("/usr/share/fonts/opentype/velmora"),
            QStringLiteral("/usr/local/share/fonts/velmora"), QStringLiteral("/home/kana/.local/share/fonts")};
        QDir().mkpath(dir.path() + QStringLiteral("/tmp"));
        for (int k = 0; k < kFixtureFaces.size(); ++k) {
            QString name = kFixtureFaces[k] + QStringLiteral(".otf");
            if (k == 1) name = name.normalized(QString::NormalizationForm_D);
            installed << folders[k % folders.size()] + QLatin1Char('/') + name;
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

Run run(const SampleTree& tree, const QStringList& options) {
    QProcess p;
    p.start(kProgram, QStringList{tree.dir.path()} + options);
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
        for (const QString& path : tree.installed)
            QVERIFY2(listed.contains(path + QStringLiteral("\t8.0")) || listed.contains(path + QStringLiteral("\t7.0")),
                     qPrintable(path));
        for (const QString& path : tree.installed)
            QCOMPARE(contents(tree.real(path)), contents(set.oldFont(kFixtureFaces[tree.installed.indexOf(path)])));

        const Run revise = run(tree, {QStringLiteral("--revise"), QStringLiteral("--json")});
        QCOMPARE(revise.status, fr::result::kRevised);
        const QList<QJsonObject> events = revise.events();
        QVERIFY2(!events.isEmpty(), revise.out.constData());
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

        // Everything is revised now: nothing more to do.
        const Run again = run(tree, {QStringLiteral("--revise")});
        QCOMPARE(again.status, wizard::exitcode::kNoTarget);
        QVERIFY(QString::fromUtf8(again.err).contains(QStringLiteral("該当するフォントがありませんでした。")));
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

        QDir(tree.real(kHost)).removeRecursively();
        const Run none = run(tree, {QStringLiteral("--list"), QStringLiteral("--json")});
        QCOMPARE(none.status, wizard::exitcode::kNoPatchSource);
        QCOMPARE(none.events().size(), 1);
        QCOMPARE(none.events().first().value(QStringLiteral("message")).toString(),
                 QStringLiteral("改訂元のフォントが存在しません。\n改訂を中止します。"));
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
        };
        const std::vector<Case> cases = {
            {"a byte flipped in a patch", [&](SampleTree& t) { flip(t.patch(2), 300); }, fr::result::kPatchLoadFailed,
             true},
            {"a patch cut short", [&](SampleTree& t) { put(t.patch(2), contents(t.patch(2)).chopped(1)); },
             fr::result::kPatchLoadFailed, true},
            {"a manifest signed by another key",
             [&](SampleTree& t) { QVERIFY(sign(t.manifest(), keys.filePath(QStringLiteral("other.key")))); },
             wizard::exitcode::kNoPatchSource, false},
            {"a signature cut short",
             [&](SampleTree& t) {
                 const QString signature = t.manifest() + QStringLiteral(".minisig");
                 put(signature, contents(signature).left(60));
             },
             wizard::exitcode::kNoPatchSource, false},
            {"a byte flipped in the signature",
             [&](SampleTree& t) { flip(t.manifest() + QStringLiteral(".minisig"), -10); },
             wizard::exitcode::kNoPatchSource, false},
            {"a manifest line altered",
             [&](SampleTree& t) {
                 editManifest(t.manifest(), QStringLiteral("old 'CFF '"), QStringLiteral("old 'CFF2'"));
             },
             wizard::exitcode::kNoPatchSource, false},
            {"no signature", [&](SampleTree& t) { QFile::remove(t.manifest() + QStringLiteral(".minisig")); },
             wizard::exitcode::kNoPatchSource, false},
            {"a patch the manifest does not list",
             [&](SampleTree& t) { QFile::rename(t.patch(2), t.patch(2).chopped(3) + QStringLiteral(".pb")); },
             fr::result::kRevised, true},
            {"an installed font of the right name and revision with another byte in a table",
             [&](SampleTree& t) {
                 const QByteArray font = contents(t.real(t.installed[2]));
                 const qsizetype cff = font.indexOf("CFF ");  // its directory record
                 flip(t.real(t.installed[2]), qFromBigEndian<quint32>(font.constData() + cff + 8) + 20);
             },
             fr::result::kFontUnusable, true},
            {"a new font other than the one the manifest lists (re-signed)",
             [&](SampleTree& t) {
                 const QString manifest = QString::fromUtf8(contents(t.manifest()));
                 const qsizetype entry = manifest.indexOf(QStringLiteral("patch ") + third);
                 const qsizetype line = manifest.indexOf(QStringLiteral("new 'hmtx' "), entry) + 11;
                 put(t.manifest(), QString(manifest).replace(line, 1, manifest[line] == u'0' ? u'1' : u'0').toUtf8());
                 QVERIFY(sign(t.manifest()));
             },
             fr::result::kNewFileFailed, true},
        };
        for (const Case& c : cases) {
            SampleTree tree(set, true);
            c.change(tree);
            const QByteArray third = contents(tree.real(tree.installed[2]));
            const Run r = run(tree, {QStringLiteral("--revise"), QStringLiteral("--json")});
            QVERIFY2(r.status == c.status, qPrintable(QStringLiteral("%1: %2").arg(c.what).arg(r.status)));
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
                QVERIFY2(events.first().value(QStringLiteral("verified")).toBool(), c.what);
            QVERIFY2(tree.stray() == QStringList(), c.what);
        }
        // Without a manifest the patches are applied as they are, and said to be unverified.
        SampleTree plain(set, false);
        const Run r = run(plain, {QStringLiteral("--revise"), QStringLiteral("--json")});
        QCOMPARE(r.status, fr::result::kRevised);
        QVERIFY(!r.events().first().value(QStringLiteral("verified")).toBool(true));
    }

    void anInterruptEndsTheRunAsACancel_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void anInterruptEndsTheRunAsACancel() {
        QFETCH(int, signal);
        const FixtureSet& set = *m_set;
        SampleTree tree(set);
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
                 QStringLiteral("OpenType Velmoraフォント の改訂を中止しました。"));
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
