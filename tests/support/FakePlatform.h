#pragma once
// Test doubles for the platform services that can't be made real in a test: volumes,
// processes, the system version, pauses and the restart request. Files are real, through a
// LinuxFiles rooted at a scratch folder.

#include "platform/LinuxFiles.h"
#include "platform/Platform.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace testsupport {

// No limit on what a readAll reads.
inline constexpr std::uint64_t kAnySize = ~std::uint64_t{0};

class FakeVolumes : public platform::Volumes {
public:
    struct Volume {
        QString path;
        bool removable = false;
        bool unmountable = false;
        bool queryFails = false;
    };
    std::vector<Volume> volumes;
    QSet<QString> otherMountPoints;
    QString homeWord = QStringLiteral("Users");

    QStringList mountedLocalVolumePaths() const override;
    bool volumeInfo(const QString& path, platform::VolumeInfo& info) const override;
    bool isOtherMountPoint(const QString& folder) const override { return otherMountPoints.contains(folder); }
    // The deepest of the volumes and other mount points that holds the path; "/" otherwise.
    QString mountPointOf(const QString& path) const override;
    QString homeFolderWord() const override { return homeWord; }
};

class FakeFontFolders : public platform::FontFolders {
public:
    QStringList folders;
    bool refreshAnswer = true;
    QStringList fontFolders() const override { return folders; }
    // Each call's folders, in order.
    bool refreshCaches(const QStringList& folders) override;
    std::vector<QStringList> refreshed() const;

private:
    mutable std::mutex m_mutex;
    std::vector<QStringList> m_refreshed;
};

class FakeProcesses : public platform::Processes {
public:
    std::vector<platform::RunningProcess> list;
    std::vector<platform::RunningProcess> running() const override { return list; }
    // A process whose bundle has this catalog name.
    static platform::RunningProcess named(const QString& name) { return {true, name}; }
    static platform::RunningProcess withoutLocation() { return {false, std::nullopt}; }
    static platform::RunningProcess withUnreadableName() { return {true, std::nullopt}; }
};

class FakeSystemInfo : public platform::SystemInfo {
public:
    std::int32_t version = 0x1070;
    std::atomic<int> relaunchDisabled{0};
    std::int32_t systemVersion() const override { return version; }
    void disableRelaunchOnLogin() override { ++relaunchDisabled; }
};

// Pauses return at once; the lengths asked for are kept.
class InstantPauses : public platform::Pauses {
public:
    void pause(int milliseconds) override;
    std::vector<int> taken() const;

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_taken;
};

class RecordingRestart : public platform::RestartRequest {
public:
    struct Sent {
        std::uint32_t eventClass, eventId;
    };
    std::int32_t answer = 0;
    // The session manager that takes the request; None: no manager answers.
    platform::SessionManager sessionAnswer = platform::SessionManager::None;
    std::int32_t sendToSystemProcess(std::uint32_t eventClass, std::uint32_t eventId) override;
    platform::SessionManager askSessionToRestart() override;
    std::vector<Sent> sent() const;
    int sessionAsked() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
    int m_sessionAsked = 0;
};

// A scratch folder as the whole file system, with the doubles above.
class TestPlatform {
public:
    // `applicationPath` is the program's own path in the scratch view ("host" lies beside it).
    explicit TestPlatform(const QString& applicationPath = QStringLiteral("/Applications/Reviser/reviser"));
    ~TestPlatform();

    QString root() const;                     // the scratch folder on the real disk
    QString real(const QString& path) const;  // a program-view path on the real disk
    // Writes a file (creating folders) at a program-view path.
    void writeFile(const QString& path, const std::vector<std::uint8_t>& bytes) const;
    void makeFolder(const QString& path) const;
    // A relative symbolic link at `linkPath` pointing to `target` (as written).
    void makeLink(const QString& linkPath, const QString& target) const;

    platform::LinuxFiles& files();
    // Where runs keep their lock, history and kept fonts, inside the scratch folder as in a
    // rooted view; its journal a file there too.
    platform::StateFolder& state();
    // The scratch files and the doubles, as the program is handed its services.
    platform::Platform services();
    FakeVolumes volumes;
    FakeFontFolders fontFolders;
    FakeProcesses processes;
    FakeSystemInfo systemInfo;
    InstantPauses pauses;
    RecordingRestart restart;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace testsupport
