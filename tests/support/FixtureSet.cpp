#include "support/FixtureSet.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace testsupport {

const QStringList kFixtureFaces = {
    QStringLiteral("Kestruneゴシック StdN W3"), QStringLiteral("Velmora角ゴ StdN W9"), QStringLiteral("Velmora丸ゴ StdN W6"),
    QStringLiteral("Velmora行書 StdN W8"),     QStringLiteral("Velmora角ゴ Std W9"),  QStringLiteral("Velmora丸ゴ Std W6"),
};

QString fixturePython() {
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3");
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

bool FixtureSet::build(const QString& folder, QString& error) {
    const FixtureSet set(folder);
    QDir(folder).mkpath(QStringLiteral("patches"));
    QDir(folder).mkpath(QStringLiteral("ref"));
    auto run = [&](const QStringList& args) {
        const ProcessOutcome r = runProcess(fixturePython(), args);
        if (r.code != 0) error = args.join(u' ') + QStringLiteral(": ") + r.err;
        return r.code == 0;
    };
    if (!run({QStringLiteral(FR_SOURCE_DIR "/tests/fixtures/make_fonts.py"), folder + QStringLiteral("/fonts")}))
        return false;
    for (const QString& face : kFixtureFaces) {
        if (!run({QStringLiteral(FR_SOURCE_DIR "/tools/make_patch.py"), set.oldFont(face), set.newFont(face),
                  set.patchOf(face)}))
            return false;
        if (!run({QStringLiteral(FR_SOURCE_DIR "/tests/fixtures/apply_patch_reference.py"), set.oldFont(face),
                  set.patchOf(face), set.referenceOf(face)}))
            return false;
    }
    return true;
}

}  // namespace testsupport
