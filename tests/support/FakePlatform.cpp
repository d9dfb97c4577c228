#include "support/FakePlatform.h"

#include "platform/LinuxFiles.h"
#include "platform/LinuxStateFolder.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <stdexcept>

namespace testsupport {

QStringList FakeVolumes::mountedLocalVolumePaths() const {
    QStringList out;
    for (const auto& v : volumes) out << v.path;
    return out;
}

bool FakeVolumes::volumeInfo(const QString& path, platform::VolumeInfo& info) const {
    for (const auto& v : volumes) {
        if (v.path != path) continue;
        if (v.queryFails) return false;
        info.removable = v.removable;
        info.unmountable = v.unmountable;
        return true;
    }
    return false;
}

QString FakeVolumes::mountPointOf(const QString& path) const {
    QString best = QStringLiteral("/");
    auto consider = [&](const QString& point) {
        if ((path == point || path.startsWith(point + QLatin1Char('/'))) && point.size() > best.size()) best = point;
    };
    for (const auto& v : volumes) consider(v.path);
    for (const auto& point : otherMountPoints) consider(point);
    return best;
}

bool FakeFontFolders::refreshCaches(const QStringList& folders) {
    std::lock_guard lock(m_mutex);
    m_refreshed.push_back(folders);
    return refreshAnswer;
}
std::vector<QStringList> FakeFontFolders::refreshed() const {
    std::lock_guard lock(m_mutex);
    return m_refreshed;
}

void InstantPauses::pause(int milliseconds) {
    std::lock_guard lock(m_mutex);
    m_taken.push_back(milliseconds);
}
std::vector<int> InstantPauses::taken() const {
    std::lock_guard lock(m_mutex);
    return m_taken;
}

std::int32_t RecordingRestart::sendToSystemProcess(std::uint32_t eventClass, std::uint32_t eventId) {
    std::lock_guard lock(m_mutex);
    m_sent.push_back({eventClass, eventId});
    return answer;
}
platform::SessionManager RecordingRestart::askSessionToRestart() {
    std::lock_guard lock(m_mutex);
    ++m_sessionAsked;
    return sessionAnswer;
}
std::vector<RecordingRestart::Sent> RecordingRestart::sent() const {
    std::lock_guard lock(m_mutex);
    return m_sent;
}
int RecordingRestart::sessionAsked() const {
    std::lock_guard lock(m_mutex);
    return m_sessionAsked;
}

struct TestPlatform::Impl {
    QTemporaryDir dir;
    std::unique_ptr<platform::LinuxFiles> files;
    std::unique_ptr<platform::LinuxStateFolder> state;
    std::unique_ptr<platform::JournalFile> journal;
};

TestPlatform::TestPlatform(const QString& applicationPath) : m_impl(std::make_unique<Impl>()) {
    if (!m_impl->dir.isValid()) throw std::runtime_error("no scratch folder");
    QDir(m_impl->dir.path()).mkpath(QStringLiteral("tmp"));
    m_impl->files = std::make_unique<platform::LinuxFiles>(m_impl->dir.path(), applicationPath, QStringLiteral("/tmp"));
    platform::LinuxFiles* files = m_impl->files.get();
    m_impl->state =
        std::make_unique<platform::LinuxStateFolder>(platform::rootedStatePaths(::geteuid(), QStringLiteral("tester")),
                                                     [files](const QString& path) { return files->hostPath(path); });
    m_impl->journal =
        std::make_unique<platform::JournalFile>(files->hostPath(QStringLiteral("/var/log/journal.jsonl")));
}

platform::StateFolder& TestPlatform::state() { return *m_impl->state; }

platform::Platform TestPlatform::services() {
    platform::Platform p;
    p.files = m_impl->files.get();
    p.volumes = &volumes;
    p.fontFolders = &fontFolders;
    p.processes = &processes;
    p.systemInfo = &systemInfo;
    p.pauses = &pauses;
    p.restart = &restart;
    p.state = m_impl->state.get();
    p.journal = m_impl->journal.get();
    return p;
}

TestPlatform::~TestPlatform() = default;

QString TestPlatform::root() const { return m_impl->dir.path(); }
QString TestPlatform::real(const QString& path) const { return m_impl->dir.path() + path; }
platform::LinuxFiles& TestPlatform::files() { return *m_impl->files; }

void TestPlatform::makeFolder(const QString& path) const {
    if (!QDir().mkpath(real(path))) throw std::runtime_error("mkpath failed");
}

void TestPlatform::writeFile(const QString& path, const std::vector<std::uint8_t>& bytes) const {
    QDir().mkpath(QFileInfo(real(path)).path());
    QFile f(real(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("write failed");
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

void TestPlatform::makeLink(const QString& linkPath, const QString& target) const {
    QDir().mkpath(QFileInfo(real(linkPath)).path());
    if (!QFile::link(target, real(linkPath))) throw std::runtime_error("link failed");
}

}  // namespace testsupport
