// Faults of the file system, preloaded (LD_PRELOAD) into the real program by
// tests that must see how it takes them. Each is asked for in the environment:
//
//   PELAMO_FAULT_SPOIL=NAME:COUNT   the first COUNT reads of 64 KiB or more from
//                                   the file named NAME give one wrong byte, in
//                                   the middle of what they return, each read
//                                   another; a copy in the kernel from it lands
//                                   with one
//   PELAMO_FAULT_CACHED_BYTE=NAME   the page cache holds one wrong byte of the
//                                   file named NAME, in the middle of it: every
//                                   read through the cache sees it (a copy in
//                                   the kernel too), one with O_DIRECT doesn't,
//                                   and dropping the cached pages that hold it
//                                   puts it right
//   PELAMO_FAULT_NO_DIRECT=1        no file opens with O_DIRECT, as on tmpfs
//                                   before Linux 6.6 and many FUSE mounts
//   PELAMO_FAULT_NO_ATTRIBUTES=1    no user.* extended attribute can be set, as
//                                   on NFSv3, most FUSE mounts and older tmpfs
//   PELAMO_FAULT_DIE_WRITING=NAME   the process is killed right after its first
//                                   write into the file named NAME, as by a
//                                   power cut in the middle of it
//
// NAME is a pattern (fnmatch) for the last part of the file's path as
// /proc/self/fd shows it: a file whose name was removed since it was opened
// ends in " (deleted)".
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// The C library's own `symbol`, which the one here stands in front of.
#define REAL(symbol) reinterpret_cast<decltype(&::symbol)>(::dlsym(RTLD_NEXT, #symbol))

namespace {

constexpr size_t smallestSpoiled = 64 * 1024;

std::string setting(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string nameOf(int fd)
{
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length <= 0)
        return {};
    const std::string whole(path, size_t(length));
    return whole.substr(whole.rfind('/') + 1);
}

bool named(int fd, const std::string& pattern)
{
    return !pattern.empty() && ::fnmatch(pattern.c_str(), nameOf(fd).c_str(), 0) == 0;
}

struct Spoil
{
    std::string name;
    std::atomic<int> left {0};

    Spoil()
    {
        const std::string value = setting("PELAMO_FAULT_SPOIL");
        const size_t colon = value.rfind(':');
        if (colon == std::string::npos)
            return;
        name = value.substr(0, colon);
        left = std::atoi(value.c_str() + colon + 1);
    }

    // The bits to turn in the byte this read of `length` bytes from `fd` spoils:
    // none for a read that is not spoiled, other ones for each read, so that no
    // two spoiled reads agree.
    unsigned char takes(int fd, size_t length)
    {
        if (length < smallestSpoiled || left.load() <= 0 || !named(fd, name))
            return 0;
        const int count = left.fetch_sub(1);
        return count > 0 ? static_cast<unsigned char>(1u << (count % 8)) : 0;
    }
};

// One wrong byte in the page cache, until the pages that hold it are dropped.
struct CachedByte
{
    std::string name = setting("PELAMO_FAULT_CACHED_BYTE");
    std::atomic<bool> healed {false};

    // Where the wrong byte lies in the file `fd` (-1: not in this file, or not
    // in the cache any more).
    off_t offset(int fd) const
    {
        struct stat status;
        if (healed.load() || !named(fd, name) || ::fstat(fd, &status) != 0)
            return -1;
        return status.st_size / 2;
    }
};

// Each fault is made on first use, which may come before this library's own
// constructors have run.
template <typename Fault> Fault& fault()
{
    static Fault instance;
    return instance;
}

void killedIfWritten(int fd)
{
    static const std::string name = setting("PELAMO_FAULT_DIE_WRITING");
    if (named(fd, name))
        ::kill(::getpid(), SIGKILL);
}

int opened(int (*next)(const char*, int, ...), const char* path, int flags, va_list arguments)
{
    static const bool noDirect = !setting("PELAMO_FAULT_NO_DIRECT").empty();
    // O_TMPFILE holds O_DIRECTORY's bit, which alone takes no mode.
    const bool takesMode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = takesMode ? mode_t(va_arg(arguments, int)) : 0;
    if (noDirect && (flags & O_DIRECT)) {
        errno = EINVAL;
        return -1;
    }
    return next(path, flags, mode);
}

} // namespace

// open and open64 differ only in their names.
#define OPEN(symbol)                                                                                         \
    int symbol(const char* path, int flags, ...)                                                             \
    {                                                                                                        \
        va_list arguments;                                                                                   \
        va_start(arguments, flags);                                                                          \
        const int fd = opened(REAL(symbol), path, flags, arguments);                                         \
        va_end(arguments);                                                                                   \
        return fd;                                                                                           \
    }

extern "C" {

OPEN(open)
OPEN(open64)

ssize_t pread64(int fd, void* buffer, size_t length, off_t offset)
{
    static const auto next = REAL(pread64);
    const ssize_t got = next(fd, buffer, length, offset);
    if (got <= 0)
        return got;
    auto* bytes = static_cast<unsigned char*>(buffer);
    bytes[got / 2] ^= fault<Spoil>().takes(fd, size_t(got));
    // A read with O_DIRECT goes around the cache, and so around the wrong byte.
    if (const off_t wrong = fault<CachedByte>().offset(fd);
        wrong >= offset && wrong < offset + got && (::fcntl(fd, F_GETFL) & O_DIRECT) == 0)
        bytes[wrong - offset] ^= 0x10;
    return got;
}

ssize_t pread(int fd, void* buffer, size_t length, off_t offset)
{
    return pread64(fd, buffer, length, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t length, off_t offset)
{
    static const auto next = REAL(pwrite64);
    const ssize_t written = next(fd, buffer, length, offset);
    killedIfWritten(fd);
    return written;
}

ssize_t pwrite(int fd, const void* buffer, size_t length, off_t offset)
{
    return pwrite64(fd, buffer, length, offset);
}

ssize_t copy_file_range(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t length, unsigned flags)
{
    static const auto next = REAL(copy_file_range);
    static const auto read = REAL(pread64);
    static const auto write = REAL(pwrite64);
    const loff_t from = inOffset ? *inOffset : ::lseek(in, 0, SEEK_CUR);
    const loff_t at = outOffset ? *outOffset : ::lseek(out, 0, SEEK_CUR);
    const off_t wrong = fault<CachedByte>().offset(in);
    const ssize_t moved = next(in, inOffset, out, outOffset, length, flags);
    // The bytes landed where the kernel put them; turn the spoiled one there.
    const auto turn = [&](loff_t position, unsigned char bits) {
        unsigned char byte = 0;
        if (bits != 0 && read(out, &byte, 1, position) == 1) {
            byte ^= bits;
            (void)write(out, &byte, 1, position);
        }
    };
    if (moved > 0) {
        turn(at + moved / 2, fault<Spoil>().takes(in, size_t(moved)));
        if (wrong >= from && wrong < from + moved)
            turn(at + (wrong - from), 0x10);
    }
    killedIfWritten(out);
    return moved;
}

int posix_fadvise64(int fd, off_t offset, off_t length, int advice)
{
    static const auto next = REAL(posix_fadvise64);
    const off_t wrong = fault<CachedByte>().offset(fd);
    if (advice == POSIX_FADV_DONTNEED && wrong >= offset && (length == 0 || wrong < offset + length))
        fault<CachedByte>().healed = true;
    return next(fd, offset, length, advice);
}

int posix_fadvise(int fd, off_t offset, off_t length, int advice)
{
    return posix_fadvise64(fd, offset, length, advice);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags)
{
    static const auto next = REAL(fsetxattr);
    static const bool none = !setting("PELAMO_FAULT_NO_ATTRIBUTES").empty();
    if (none && std::strncmp(name, "user.", 5) == 0) {
        errno = ENOTSUP;
        return -1;
    }
    return next(fd, name, value, size, flags);
}

} // extern "C"
