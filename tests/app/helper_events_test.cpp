// The helper's events as the wizard meets them, from a stand-in that prints them: each font
// gets its own end, whenever the helper sends it; a cancel is asked once.

#include "app/ElevatedRevision.h"

#include <QTest>

namespace {

const QString kA = QStringLiteral("/f/a.otf"), kB = QStringLiteral("/f/b.otf"), kC = QStringLiteral("/f/c.otf");

int g_asked = 0;
bool cancelAtFirst(std::int32_t, std::int32_t, const QString&, const QString&, void*) { return ++g_asked == 1; }

// A helper that prints these lines (after the start event), waiting for its input to close
// where a line is "wait".
wizard::Elevation standIn(const QStringList& lines) {
    QString script = QStringLiteral("echo '{\"event\":\"start\"}'\n");
    for (const QString& line : lines)
        script += line == QLatin1String("wait") ? QStringLiteral("cat >/dev/null\n")
                                                : QStringLiteral("echo '%1'\n").arg(line);
    return {{QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QStringLiteral("stand-in")}, {}, {}};
}

QString ended(const QString& kind, const QString& path, const char* more = "") {
    return QStringLiteral("{\"event\":\"%1\",\"path\":\"%2\"%3}").arg(kind, path, QLatin1String(more));
}

}  // namespace

class HelperEvents : public QObject {
    Q_OBJECT

private slots:
    void eachFontGetsItsOwnEnd_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QStringList>("reasons");
        const QString skipped = ended("candidate-skipped", kB, ",\"reason\":\"candidate-name\"");
        QTest::newRow("a later font refused before the first is revised")
            << QStringList{skipped, ended("revised", kA), ended("revised", kC), "{\"event\":\"summary\"}"}
            << QList<int>{0, 2, 0} << QStringList{"", "candidate-name", ""};
        QTest::newRow("it ended before any font, saying why")
            << QStringList{"{\"event\":\"summary\",\"status\":20,\"reason\":\"no-patch-source\"}"}
            << QList<int>{8, 8, 8} << QStringList{"no-patch-source", "no-patch-source", "no-patch-source"};
        QTest::newRow("it ended without a word")
            << QStringList{} << QList<int>{8, 8, 8} << QStringList{"helper-ended", "helper-ended", "helper-ended"};
    }
    void eachFontGetsItsOwnEnd() {
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, reasons);
        wizard::ElevatedRevision helper(standIn(lines), {});
        fr::Reason why;
        QVERIFY(helper.start({kA, kB, kC}, why));
        const QStringList paths{kA, kB, kC};
        for (int k = 0; k < paths.size(); ++k) {
            fr::Reason reason;
            QCOMPARE(helper.revise({paths[k], 0}, nullptr, nullptr, 3, k, reason), codes[k]);
            QCOMPARE(reason.id, reasons[k]);
        }
    }

    // The cancel confirmed at the first point: the points the helper sends until it hears are
    // not asked about again.
    void aCancelIsAskedOnce() {
        const QString progress = QStringLiteral("{\"event\":\"progress\",\"path\":\"%1\",\"step\":40}").arg(kA);
        wizard::ElevatedRevision helper(
            standIn({progress, "wait", progress, ended("revised", kA), "{\"event\":\"summary\"}"}), {});
        fr::Reason why;
        QVERIFY(helper.start({kA}, why));
        g_asked = 0;
        fr::Reason reason;
        QCOMPARE(helper.revise({kA, 0}, cancelAtFirst, nullptr, 1, 0, reason), 0);
        QCOMPARE(g_asked, 1);
        QVERIFY(helper.cancelled());
    }
};

QTEST_GUILESS_MAIN(HelperEvents)
#include "helper_events_test.moc"
