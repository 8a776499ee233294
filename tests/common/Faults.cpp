// Faults of the file system, preloaded (LD_PRELOAD) into the real program by
// tests that must see how it takes them. Each is asked for in the environment:
//
//   PELAMO_FAULT_SPOIL=NAME:COUNT   the first COUNT reads of 64 KiB or more from
//                                   the file named NAME give one wrong byte, in
//                                   the middle of what they return; a copy in
//                                   the kernel from it lands with one
//   PELAMO_FAULT_NO_ATTRIBUTES=1    no user.* extended attribute can be set, as
//                                   on NFSv3, most FUSE mounts and older tmpfs
//   PELAMO_FAULT_DIE_WRITING=NAME   the process is killed right after its first
//                                   write into the file named NAME, as by a
//                                   power cut in the middle of it
//
// NAME is the last part of the path the file was opened by.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename Function> Function real(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

using Pread = ssize_t (*)(int, void*, size_t, off_t);
using Pwrite = ssize_t (*)(int, const void*, size_t, off_t);
using CopyRange = ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned);
using SetAttribute = int (*)(int, const char*, const void*, size_t, int);

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
        if (length < smallestSpoiled || left.load() <= 0 || nameOf(fd) != name)
            return 0;
        const int count = left.fetch_sub(1);
        return count > 0 ? static_cast<unsigned char>(1u << (count % 8)) : 0;
    }
};

Spoil& spoil()
{
    static Spoil instance;
    return instance;
}

bool writingKills(int fd)
{
    static const std::string name = setting("PELAMO_FAULT_DIE_WRITING");
    return !name.empty() && nameOf(fd) == name;
}

void killedIfWritten(int fd)
{
    if (writingKills(fd))
        ::kill(::getpid(), SIGKILL);
}

} // namespace

extern "C" {

ssize_t pread64(int fd, void* buffer, size_t length, off_t offset)
{
    static const auto next = real<Pread>("pread64");
    const ssize_t got = next(fd, buffer, length, offset);
    if (got > 0)
        static_cast<unsigned char*>(buffer)[got / 2] ^= spoil().takes(fd, size_t(got));
    return got;
}

ssize_t pread(int fd, void* buffer, size_t length, off_t offset)
{
    return pread64(fd, buffer, length, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t length, off_t offset)
{
    static const auto next = real<Pwrite>("pwrite64");
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
    static const auto next = real<CopyRange>("copy_file_range");
    static const auto read = real<Pread>("pread64");
    static const auto write = real<Pwrite>("pwrite64");
    const loff_t at = outOffset ? *outOffset : ::lseek(out, 0, SEEK_CUR);
    const ssize_t moved = next(in, inOffset, out, outOffset, length, flags);
    const unsigned char bits = moved > 0 ? spoil().takes(in, size_t(moved)) : 0;
    unsigned char byte = 0;
    if (bits != 0 && read(out, &byte, 1, at + moved / 2) == 1) {
        byte ^= bits;
        (void)write(out, &byte, 1, at + moved / 2);
    }
    killedIfWritten(out);
    return moved;
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags)
{
    static const auto next = real<SetAttribute>("fsetxattr");
    static const bool none = !setting("PELAMO_FAULT_NO_ATTRIBUTES").empty();
    if (none && std::strncmp(name, "user.", 5) == 0) {
        errno = ENOTSUP;
        return -1;
    }
    return next(fd, name, value, size, flags);
}

} // extern "C"
