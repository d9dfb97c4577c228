#pragma once
// The real fixture fonts of the six revisable faces, built at test time with fontTools:
// each face's installed (old) and newer revision, the patch between them, and what the
// reference applier makes of the installed font and the patch.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace testsupport {

// The six faces, by installed file name without ".otf".
extern const QStringList kFixtureFaces;

// Debian's interpreter: the one that carries python3-fonttools, whatever else is on PATH.
QString fixturePython();

struct ProcessOutcome {
    int code = -1;  // -1: did not start, crashed or timed out
    QString out, err;
};
ProcessOutcome runProcess(const QString& program, const QStringList& args,
                          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

class FixtureSet {
public:
    // The set the tests share, built once per test run (tests/fixtures/build_fixture_set.sh,
    // which the test run starts before any test; a test started alone builds it here).
    // Nothing, with `error` set, when it can't be built.
    static std::optional<FixtureSet> shared(QString& error);

    explicit FixtureSet(QString folder) : m_folder(std::move(folder)) {}
    QString oldFont(const QString& face) const {
        return m_folder + QStringLiteral("/fonts/old/") + face + QStringLiteral(".otf");
    }
    QString newFont(const QString& face) const {
        return m_folder + QStringLiteral("/fonts/new/") + face + QStringLiteral(".otf");
    }
    QString patchOf(const QString& face) const {
        return m_folder + QStringLiteral("/patches/") + face + QStringLiteral(".pa");
    }
    // The manifest of the patches, and its signature with the test-only key.
    QString manifest() const { return m_folder + QStringLiteral("/patches/patches.manifest"); }
    QString manifestSignature() const { return manifest() + QStringLiteral(".minisig"); }
    QString referenceOf(const QString& face) const {
        return m_folder + QStringLiteral("/ref/") + face + QStringLiteral(".otf");
    }

private:
    QString m_folder;
};

}  // namespace testsupport
