#include "support/FixtureSet.h"

#include <QFile>
#include <QProcess>

namespace testsupport {

const QStringList kFixtureFaces = {
    QStringLiteral("Kestruneゴシック StdN W3"), QStringLiteral("Velmora角ゴ StdN W9"),
    QStringLiteral("Velmora丸ゴ StdN W6"),      QStringLiteral("Velmora行書 StdN W8"),
    QStringLiteral("Velmora角ゴ Std W9"),       QStringLiteral("Velmora丸ゴ Std W6"),
};

QString fixturePython() {
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

ProcessOutcome runProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    ProcessOutcome r;
    if (!p.waitForFinished(180000)) return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

std::optional<FixtureSet> FixtureSet::shared(QString& error) {
    const QString folder = QStringLiteral(FR_FIXTURE_DIR);
    if (!QFile::exists(folder + QStringLiteral("/complete"))) {
        const ProcessOutcome r = runProcess(
            QStringLiteral("bash"), {QStringLiteral(FR_SOURCE_DIR "/tests/fixtures/build_fixture_set.sh"), folder});
        if (r.code != 0) {
            error = QStringLiteral("building the fixture set failed: ") + r.err;
            return std::nullopt;
        }
    }
    return FixtureSet(folder);
}

}  // namespace testsupport
