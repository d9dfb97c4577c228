// The floor of the search: a walk of a rooted tree with the program's folder and file rules
// (depth limits, skip words, no links to folders, the root's /Volumes) on nothing but the
// directory listing and its entry types, printing every candidate font file's path.
//
// Usage: min-walk ROOT

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool contains(std::string_view s, std::string_view word) { return s.find(word) != std::string_view::npos; }

int parts(std::string_view path) {
    int n = 1;
    for (char c : path) n += c == '/';
    return n;
}

// `view` is the folder's path in the rooted view ("/" for the root), `fd` its open folder.
void walk(int fd, const std::string& view) {
    if (parts(view) > (contains(view, "home") ? 7 : 5)) {
        ::close(fd);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), n, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            // Appended in place: GCC 12 warns falsely about `"/" + std::string(n)` at -O3.
            std::string path = view;
            if (path != "/") path += '/';
            path += n;
            // A folder past the depth limit is not opened at all.
            if (path.size() > 300 || parts(path) > (contains(path, "home") ? 7 : 5) ||
                contains(path, "/Volumes") || contains(path, "Backups.backupdb") || contains(path, ".app") ||
                contains(path, "Contents") || contains(path, "framework"))
                continue;
            const int sub = ::openat(::dirfd(dir), n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) walk(sub, path);
            continue;
        }
        // A file's name is looked at as the listing gave it; only a candidate gets a path.
        if (type != DT_REG && type != DT_LNK) continue;
        const std::string_view name(n);
        if (!contains(name, ".otf") || (!contains(name, "Velmora") && !contains(name, "Kestrune"))) continue;
        if (type == DT_LNK) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), n, &st, 0) != 0 || S_ISDIR(st.st_mode)) continue;
        }
        std::printf("%s%s%s\n", view.c_str(), view == "/" ? "" : "/", n);
    }
    ::closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 64;
    const int fd = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 1;
    walk(fd, "/");
    return 0;
}
