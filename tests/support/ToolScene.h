#pragma once
// A scratch tree laid out as the sample program's root, holding one fixture face installed in
// /Library/Fonts, its patch in the program's "host" folder and an empty /tmp: what the tests
// that run the real tools against a real disk start from, and what they check afterwards.

#include "support/FixtureSet.h"
#include "support/FontBytes.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <sys/types.h>

#include <vector>

namespace testsupport {

class ToolScene {
public:
    explicit ToolScene(const FixtureSet& set, QString face = QStringLiteral("Velmora角ゴ StdN W9"));

    QString root() const { return m_dir.path(); }
    QString fontFolder() const { return root() + QStringLiteral("/Library/Fonts"); }
    QString font() const { return fontFolder() + QLatin1Char('/') + m_face + QStringLiteral(".otf"); }
    QString patch() const {
        return root() + QStringLiteral("/Applications/FontReviser/host/") + m_face + QStringLiteral(".pa");
    }
    QString temporaryFolder() const { return root() + QStringLiteral("/tmp"); }

    // The installed (old) font back in place, mode 0640, and nothing else in the font folder
    // or the temporary folder; the patch as it was made.
    void reset();

    Bytes installedNow() const;
    const Bytes& oldFont() const { return m_old; }
    const Bytes& reference() const { return m_reference; }  // what a revision must write
    // The installed path holds the old font or the new one, byte for byte.
    bool wholeFont() const;
    // Everything in the font folder besides the font, and everything in the temporary folder.
    QStringList stray() const;
    // The system's environment with TMPDIR naming the scene's temporary folder; with `shim`
    // entries ("FR_FAULT_OP=write", ...) the fault shim is loaded too, set by them.
    std::vector<QByteArray> environment(const std::vector<QByteArray>& shim = {}) const;
    // revise-font on the scene's font and patch.
    std::vector<QByteArray> reviseCommand(bool pauses = false) const;

private:
    QTemporaryDir m_dir;
    QString m_face;
    Bytes m_old, m_patch, m_reference;
};

// Starts a program with exactly these argument and environment bytes (as the user `uid`
// when one is given), its output discarded: its process id, or -1.
pid_t startProgram(const std::vector<QByteArray>& args, const std::vector<QByteArray>& env, int uid = -1);
// Waits for it to end: its exit status, or 128 and the signal that ended it.
int waitProgram(pid_t pid);
inline int runProgram(const std::vector<QByteArray>& args, const std::vector<QByteArray>& env, int uid = -1) {
    const pid_t pid = startProgram(args, env, uid);
    return pid > 0 ? waitProgram(pid) : -1;
}

Bytes readBytes(const QString& path);
bool writeBytes(const QString& path, const Bytes& bytes, unsigned mode = 0640);

}  // namespace testsupport
