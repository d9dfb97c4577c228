// The durable peer of a revision: what a careful user of xdelta3 would do to replace an
// installed font as safely as the program does. Decodes the new font with `xdelta3 -d` into a
// new file beside the installed one (run as a child, waited for), flushes that file, renames it
// over the installed font, and flushes the folder, so the new font is on the disk under the
// installed name when this process ends. One process, timed whole like the others.
//
// Usage: durable-peer INSTALLED PATCH.xd3
// Exits with xdelta3's status if it fails, 1 if a later step fails, 64 for a wrong command line.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) return 64;
    const std::string installed = argv[1];
    // Beside the installed font, so the rename stays on its file system; it must not exist yet.
    const std::string staged = installed + ".xd3-new";

    const pid_t child = ::fork();
    if (child < 0) return 1;
    if (child == 0) {
        const char* const args[] = {"xdelta3", "-d", "-s", installed.c_str(), argv[2], staged.c_str(), nullptr};
        ::execvp(args[0], const_cast<char* const*>(args));
        std::perror("durable-peer: xdelta3");
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return 1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ::unlink(staged.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) != 0 ? WEXITSTATUS(status) : 1;
    }

    const int out = ::open(staged.c_str(), O_RDONLY | O_CLOEXEC);
    if (out < 0 || ::fsync(out) != 0) return 1;
    ::close(out);
    if (::rename(staged.c_str(), installed.c_str()) != 0) return 1;
    const std::string folder =
        installed.find('/') == std::string::npos ? "." : installed.substr(0, std::max<std::size_t>(installed.rfind('/'), 1));
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) return 1;
    ::close(dir);
    return 0;
}
