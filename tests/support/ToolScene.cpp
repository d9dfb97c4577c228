#include "support/ToolScene.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace testsupport {

Bytes readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

bool writeBytes(const QString& path, const Bytes& bytes, unsigned mode) {
    QFile::remove(path);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const bool ok = f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
                    static_cast<qint64>(bytes.size());
    f.close();
    return ok && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

ToolScene::ToolScene(const FixtureSet& set, QString face)
    : m_face(std::move(face)),
      m_old(readBytes(set.oldFont(m_face))),
      m_patch(readBytes(set.patchOf(m_face))),
      m_reference(readBytes(set.referenceOf(m_face))) {
    reset();
}

void ToolScene::reset() {
    for (const QString& folder : {fontFolder(), temporaryFolder()}) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }
    QDir().mkpath(QFileInfo(patch()).path());
    writeBytes(font(), m_old);
    writeBytes(patch(), m_patch, 0644);
}

Bytes ToolScene::installedNow() const { return readBytes(font()); }

bool ToolScene::wholeFont() const {
    const Bytes now = installedNow();
    return now == m_old || now == m_reference;
}

QStringList ToolScene::stray() const {
    constexpr auto kAll = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    QStringList found;
    for (const QString& name : QDir(fontFolder()).entryList(kAll))
        if (name != m_face + QStringLiteral(".otf")) found << QStringLiteral("fonts: ") + name;
    for (const QString& name : QDir(temporaryFolder()).entryList(kAll)) found << QStringLiteral("tmp: ") + name;
    return found;
}

std::vector<QByteArray> ToolScene::environment(const std::vector<QByteArray>& shim) const {
    std::vector<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("TMPDIR=") && !entry.startsWith("LD_PRELOAD=") && !entry.startsWith("ASAN_OPTIONS=") &&
            !entry.startsWith("FR_") && !entry.startsWith("FONT_REVISER_"))
            env.push_back(entry);
    }
    env.push_back("TMPDIR=" + QFile::encodeName(temporaryFolder()));
    // The scene's "host" has no manifest: the sample program runs as a build that trusts no key.
    env.push_back("FONT_REVISER_SAMPLE_KEY=none");
    // The shim comes before the sanitizer's runtime in an instrumented build: allowed here.
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    env.push_back("ASAN_OPTIONS=" + asan + (asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0");
    if (!shim.empty()) {
        env.push_back("LD_PRELOAD=" FR_BINARY_DIR "/tests/libfrfaultshim.so");
        env.insert(env.end(), shim.begin(), shim.end());
    }
    return env;
}

std::vector<QByteArray> ToolScene::reviseCommand(bool pauses) const {
    std::vector<QByteArray> args = {FR_BINARY_DIR "/tools/revise-font", QFile::encodeName(font()),
                                    QFile::encodeName(patch())};
    if (!pauses) args.push_back("--no-pauses");
    return args;
}

pid_t startProgram(const std::vector<QByteArray>& args, const std::vector<QByteArray>& env, int uid) {
    std::vector<char*> argv, envp;
    for (const QByteArray& a : args) argv.push_back(const_cast<char*>(a.constData()));
    for (const QByteArray& e : env) envp.push_back(const_cast<char*>(e.constData()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    // The child: only calls that are safe between fork and exec.
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    if (uid >= 0 && (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(uid)) != 0 ||
                     ::setuid(static_cast<uid_t>(uid)) != 0))
        ::_exit(125);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
}

int waitProgram(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testsupport
