/* Loaded with LD_PRELOAD into the real program, this makes chosen C library calls fail or go
 * slowly, for the paths a test names, so the program's failure paths run on a real disk.
 *
 *   FR_FAULT_OP     which calls fail, comma-separated: read (read, pread), write (write,
 *                   pwrite), copy (copy_file_range), fsync (fsync, fdatasync), rename (rename,
 *                   renameat), renameat2, close, chmod (chmod, fchmod, fchmodat), xattr
 *                   (setxattr, lsetxattr, fsetxattr), create (open and openat with O_CREAT)
 *   FR_FAULT_ERRNO  the error they fail with: a number or one of the names below (EIO default)
 *   FR_FAULT_PATH   only calls on a path containing this (for calls on a file descriptor, the
 *                   file's path; for a rename, either name); every path when unset
 *   FR_FAULT_AFTER  for write and copy, the bytes let through before the failure (a copy that
 *                   stops midway); for the others, the matching calls let through first
 *   FR_SLOW_US      every write, copy and fsync waits this long first and moves at most
 *                   FR_SLOW_CHUNK bytes (default 16384): a slow disk
 *   FR_LACKS        what the file system lacks, besides the faults above: renameat2 (the
 *                   exchange; EINVAL), link (hard links; EPERM), comma-separated
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

enum {
    OP_READ = 1,
    OP_WRITE = 2,
    OP_COPY = 4,
    OP_FSYNC = 8,
    OP_RENAME = 16,
    OP_RENAMEAT2 = 32,
    OP_CLOSE = 64,
    OP_CHMOD = 128,
    OP_XATTR = 256,
    OP_CREATE = 512,
    OP_LINK = 1024
};

static struct {
    int ready;
    unsigned ops;
    unsigned lacks;
    int error;
    const char* path;
    long long after;
    long slowMicroseconds;
    size_t slowChunk;
} config;
static atomic_llong passed; /* bytes or calls let through so far */

static int errorNamed(const char* s) {
    static const struct {
        const char* name;
        int value;
    } names[] = {{"EIO", EIO},     {"ENOSPC", ENOSPC}, {"EDQUOT", EDQUOT},   {"EACCES", EACCES}, {"EPERM", EPERM},
                 {"EROFS", EROFS}, {"EINVAL", EINVAL}, {"ENOTSUP", ENOTSUP}, {"EXDEV", EXDEV},   {"ENOENT", ENOENT}};
    if (!s || !*s) return EIO;
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
        if (strcmp(s, names[i].name) == 0) return names[i].value;
    return atoi(s) > 0 ? atoi(s) : EIO;
}

static void configure(void) {
    if (config.ready) return;
    const char* ops = getenv("FR_FAULT_OP");
    static const struct {
        const char* name;
        unsigned bit;
    } words[] = {{"read", OP_READ},     {"write", OP_WRITE},         {"copy", OP_COPY},   {"fsync", OP_FSYNC},
                 {"rename", OP_RENAME}, {"renameat2", OP_RENAMEAT2}, {"close", OP_CLOSE}, {"chmod", OP_CHMOD},
                 {"xattr", OP_XATTR},   {"create", OP_CREATE},       {"link", OP_LINK}};
    const char* lists[2] = {ops, getenv("FR_LACKS")};
    unsigned* bits[2] = {&config.ops, &config.lacks};
    for (int k = 0; k < 2; ++k) {
        if (!lists[k]) continue;
        char list[256];
        snprintf(list, sizeof list, "%s", lists[k]);
        for (char *save = NULL, *w = strtok_r(list, ",", &save); w; w = strtok_r(NULL, ",", &save))
            for (size_t i = 0; i < sizeof words / sizeof words[0]; ++i)
                if (strcmp(w, words[i].name) == 0) *bits[k] |= words[i].bit;
    }
    config.error = errorNamed(getenv("FR_FAULT_ERRNO"));
    config.path = getenv("FR_FAULT_PATH");
    if (config.path && !*config.path) config.path = NULL;
    config.after = getenv("FR_FAULT_AFTER") ? atoll(getenv("FR_FAULT_AFTER")) : 0;
    config.slowMicroseconds = getenv("FR_SLOW_US") ? atol(getenv("FR_SLOW_US")) : 0;
    config.slowChunk = getenv("FR_SLOW_CHUNK") ? (size_t)atol(getenv("FR_SLOW_CHUNK")) : 16384;
    if (config.slowChunk == 0) config.slowChunk = 16384;
    config.ready = 1;
}

/* Set up before the program's first call, so that every call is counted. */
__attribute__((constructor)) static void loaded(void) { configure(); }

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int pathMatches(const char* path) { return !config.path || (path && strstr(path, config.path)); }

static int fdMatches(int fd) {
    if (!config.path) return 1;
    char link[64], target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) return 0;
    target[n] = '\0';
    return strstr(target, config.path) != NULL;
}

/* Whether this call fails: the op is chosen, the path matches, and the calls to let
 * through first have gone by. */
static int failsCall(unsigned op, int matches) {
    configure();
    if (!(config.ops & op) || !matches) return 0;
    if (atomic_fetch_add(&passed, 1) < config.after) return 0;
    errno = config.error;
    return 1;
}

/* For writes and copies: how many of `size` bytes may go before the failure (0: fail now). */
static size_t bytesAllowed(unsigned op, int fd, size_t size, int* fail) {
    configure();
    *fail = 0;
    if (config.slowMicroseconds > 0) {
        struct timespec pause = {config.slowMicroseconds / 1000000, (config.slowMicroseconds % 1000000) * 1000};
        nanosleep(&pause, NULL);
        if (size > config.slowChunk) size = config.slowChunk;
    }
    if (!(config.ops & op) || !fdMatches(fd)) return size;
    const long long done = atomic_load(&passed);
    if (done >= config.after) {
        *fail = 1;
        errno = config.error;
        return 0;
    }
    if ((long long)size > config.after - done) size = (size_t)(config.after - done);
    atomic_fetch_add(&passed, (long long)size);
    return size;
}

static void slowly(void) {
    configure();
    if (config.slowMicroseconds <= 0) return;
    struct timespec pause = {config.slowMicroseconds / 1000000, (config.slowMicroseconds % 1000000) * 1000};
    nanosleep(&pause, NULL);
}

ssize_t read(int fd, void* buf, size_t count) {
    if (failsCall(OP_READ, config.ops & OP_READ ? fdMatches(fd) : 0)) return -1;
    return NEXT(read)(fd, buf, count);
}
ssize_t pread(int fd, void* buf, size_t count, off_t offset) {
    if (failsCall(OP_READ, config.ops & OP_READ ? fdMatches(fd) : 0)) return -1;
    return NEXT(pread)(fd, buf, count, offset);
}
ssize_t pread64(int fd, void* buf, size_t count, off_t offset) { return pread(fd, buf, count, offset); }

ssize_t write(int fd, const void* buf, size_t count) {
    int fail = 0;
    count = bytesAllowed(OP_WRITE, fd, count, &fail);
    if (fail) return -1;
    return NEXT(write)(fd, buf, count);
}
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    int fail = 0;
    count = bytesAllowed(OP_WRITE, fd, count, &fail);
    if (fail) return -1;
    return NEXT(pwrite)(fd, buf, count, offset);
}
ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) { return pwrite(fd, buf, count, offset); }

ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count, unsigned flags) {
    int fail = 0;
    count = bytesAllowed(OP_COPY, out, count, &fail);
    if (fail) return -1;
    return NEXT(copy_file_range)(in, inOffset, out, outOffset, count, flags);
}

int fsync(int fd) {
    slowly();
    if (failsCall(OP_FSYNC, config.ops & OP_FSYNC ? fdMatches(fd) : 0)) return -1;
    return NEXT(fsync)(fd);
}
int fdatasync(int fd) {
    slowly();
    if (failsCall(OP_FSYNC, config.ops & OP_FSYNC ? fdMatches(fd) : 0)) return -1;
    return NEXT(fdatasync)(fd);
}

int rename(const char* from, const char* to) {
    slowly();
    if (failsCall(OP_RENAME, pathMatches(from) || pathMatches(to))) return -1;
    return NEXT(rename)(from, to);
}
int renameat(int fromDir, const char* from, int toDir, const char* to) {
    slowly();
    if (failsCall(OP_RENAME, pathMatches(from) || pathMatches(to))) return -1;
    return NEXT(renameat)(fromDir, from, toDir, to);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    slowly();
    if (config.lacks & OP_RENAMEAT2) {
        errno = EINVAL;
        return -1;
    }
    if (failsCall(OP_RENAMEAT2, pathMatches(from) || pathMatches(to))) return -1;
    return NEXT(renameat2)(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) {
    configure();
    if (config.lacks & OP_LINK) {
        errno = EPERM;
        return -1;
    }
    if (failsCall(OP_LINK, pathMatches(from) || pathMatches(to))) return -1;
    return NEXT(link)(from, to);
}
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    configure();
    if (config.lacks & OP_LINK) {
        errno = EPERM;
        return -1;
    }
    if (failsCall(OP_LINK, pathMatches(from) || pathMatches(to))) return -1;
    return NEXT(linkat)(fromDir, from, toDir, to, flags);
}

int close(int fd) {
    configure();
    const int fails = (config.ops & OP_CLOSE) && failsCall(OP_CLOSE, fdMatches(fd));
    const int status = NEXT(close)(fd); /* the descriptor is gone either way, as on Linux */
    if (fails) {
        errno = config.error;
        return -1;
    }
    return status;
}

int chmod(const char* path, mode_t mode) {
    if (failsCall(OP_CHMOD, pathMatches(path))) return -1;
    return NEXT(chmod)(path, mode);
}
int fchmod(int fd, mode_t mode) {
    if (failsCall(OP_CHMOD, config.ops & OP_CHMOD ? fdMatches(fd) : 0)) return -1;
    return NEXT(fchmod)(fd, mode);
}
int fchmodat(int dir, const char* path, mode_t mode, int flags) {
    if (failsCall(OP_CHMOD, pathMatches(path))) return -1;
    return NEXT(fchmodat)(dir, path, mode, flags);
}

int setxattr(const char* path, const char* name, const void* value, size_t size, int flags) {
    if (failsCall(OP_XATTR, pathMatches(path))) return -1;
    return NEXT(setxattr)(path, name, value, size, flags);
}
int lsetxattr(const char* path, const char* name, const void* value, size_t size, int flags) {
    if (failsCall(OP_XATTR, pathMatches(path))) return -1;
    return NEXT(lsetxattr)(path, name, value, size, flags);
}
int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    if (failsCall(OP_XATTR, config.ops & OP_XATTR ? fdMatches(fd) : 0)) return -1;
    return NEXT(fsetxattr)(fd, name, value, size, flags);
}

static int creates(int flags) { return (flags & O_CREAT) || (flags & __O_TMPFILE) == __O_TMPFILE; }

/* The mode argument, which the caller passes only when the flags create a file. */
#define TAKE_MODE(flags, mode)            \
    mode_t mode = 0;                      \
    if (creates(flags)) {                 \
        va_list args;                     \
        va_start(args, flags);            \
        mode = (mode_t)va_arg(args, int); \
        va_end(args);                     \
    }

int open(const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    if ((flags & O_CREAT) && failsCall(OP_CREATE, pathMatches(path))) return -1;
    return NEXT(open)(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    if ((flags & O_CREAT) && failsCall(OP_CREATE, pathMatches(path))) return -1;
    return NEXT(open64)(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    if ((flags & O_CREAT) && failsCall(OP_CREATE, pathMatches(path))) return -1;
    return NEXT(openat)(dir, path, flags, mode);
}
int openat64(int dir, const char* path, int flags, ...) {
    TAKE_MODE(flags, mode);
    if ((flags & O_CREAT) && failsCall(OP_CREATE, pathMatches(path))) return -1;
    return NEXT(openat64)(dir, path, flags, mode);
}
