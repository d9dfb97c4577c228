#include "MemoryFiles.h"

namespace fuzzing {

std::unique_ptr<platform::ReadableBytes> MemoryFiles::openForReading(const QString& path) const {
    const auto it = files.find(path);
    if (it == files.end()) return nullptr;
    return std::make_unique<platform::BytesInMemory>(it->second);
}

std::optional<std::vector<std::uint8_t>> MemoryFiles::readAll(const QString& path, std::uint64_t limit) const {
    const auto it = files.find(path);
    if (it == files.end() || it->second.size() > limit) return std::nullopt;
    return it->second;
}

std::vector<platform::DirEntry> MemoryFiles::listEntries(const QString& folder) const {
    std::vector<platform::DirEntry> out;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const auto& [path, bytes] : files)
        if (path.startsWith(prefix) && !path.mid(prefix.size()).contains(u'/'))
            out.push_back({path.mid(prefix.size()), platform::EntryKind::File});
    return out;
}

bool MemoryFiles::isFolder(const QString& path) const {
    const QString prefix = path.endsWith(u'/') ? path : path + u'/';
    for (const auto& [file, bytes] : files)
        if (file.startsWith(prefix)) return true;
    return path == QStringLiteral("/tmp");
}

std::optional<std::uint32_t> MemoryFiles::permissions(const QString& path) const {
    if (files.count(path) == 0) return std::nullopt;
    const auto it = modes.find(path);
    return it == modes.end() ? 0644u : it->second;
}

bool MemoryFiles::setPermissions(const QString& path, std::uint32_t mode) {
    if (files.count(path) == 0) return false;
    modes[path] = mode;
    return true;
}

bool MemoryFiles::createExclusive(const QString& path, std::span<const std::uint8_t> bytes) {
    if (exists(path)) return false;
    files[path].assign(bytes.begin(), bytes.end());
    return true;
}

std::optional<QString> MemoryFiles::copyBeside(const QString& from, const QString& to) {
    const auto it = files.find(from);
    if (it == files.end()) return std::nullopt;
    const QString staged = to.left(to.lastIndexOf(u'/') + 1) + QStringLiteral(".staged-%1").arg(++m_made);
    files[staged] = it->second;
    return staged;
}

std::optional<QString> MemoryFiles::replaceKeepingOld(const QString& staged, const QString& to) {
    if (files.count(staged) == 0 || files.count(to) == 0) return std::nullopt;
    std::swap(files[staged], files[to]);  // the two trade places
    std::swap(modes[staged], modes[to]);
    return staged;
}

bool MemoryFiles::rename(const QString& from, const QString& to) {
    const auto it = files.find(from);
    if (it == files.end()) return false;
    files[to] = std::move(it->second);
    files.erase(from);
    return true;
}

}  // namespace fuzzing
