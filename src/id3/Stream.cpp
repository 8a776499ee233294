#include "id3/Stream.h"

#include "id3/FileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

namespace ID3::Stream {
namespace {

using FileIO::readUpTo;

// A piece read around the page cache may start up to a block before the bytes
// asked for and end up to a block after them.
constexpr qint64 bufferSize = pieceSize + 2 * blockSize;

// Handing each piece to the disk as soon as it is in the page cache keeps the
// flush at the end short, and keeps a large file from filling the cache with
// dirty pages that all wait for that flush.
constexpr bool handPiecesToDisk = true;

// The buffers every rewrite of the process reads through: a fixed set, each
// made once and used again and again, aligned for reads around the page cache.
// The memory doesn't grow with the files or with how many are in flight, and no
// piece pays for fresh pages the system must find and clear first.
class Pool
{
public:
    static Pool& instance()
    {
        static Pool pool;
        return pool;
    }

    void take(std::span<char*> taken)
    {
        std::unique_lock lock(m_mutex);
        m_freed.wait(lock, [&] { return std::popcount(m_free) >= int(taken.size()); });
        for (char*& buffer : taken) {
            const int slot = std::countr_zero(m_free);
            m_free &= ~(1u << slot);
            auto& made = m_buffers[std::size_t(slot)];
            if (!made)
                made.reset(
                    static_cast<char*>(std::aligned_alloc(std::size_t(blockSize), std::size_t(bufferSize))));
            buffer = made.get();
        }
    }

    void give(std::span<char* const> buffers)
    {
        {
            const std::lock_guard lock(m_mutex);
            for (char* buffer : buffers)
                for (std::size_t slot = 0; slot < m_buffers.size(); ++slot)
                    if (m_buffers[slot].get() == buffer)
                        m_free |= 1u << slot;
        }
        m_freed.notify_all();
    }

private:
    struct Free
    {
        void operator()(char* buffer) const { std::free(buffer); }
    };
    std::mutex m_mutex;
    std::condition_variable m_freed;
    std::array<std::unique_ptr<char, Free>, poolPieces> m_buffers;
    unsigned m_free = (1u << poolPieces) - 1;
};

// `count` buffers of the pool for as long as it lives.
template <std::size_t count> class Lease
{
public:
    Lease() { Pool::instance().take(m_buffers); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() { Pool::instance().give(m_buffers); }

    char* operator[](std::size_t index) const { return m_buffers[index]; }

private:
    std::array<char*, count> m_buffers {};
};

// Adds pieces to a SHA-256 on a thread of its own, one at a time, while the
// caller reads the next; one thread for the whole range, and none for a range
// of a single piece, which is hashed on the caller's thread.
class Hasher
{
public:
    explicit Hasher(Range range)
    {
        if (range.size() > pieceSize)
            m_thread = std::thread([this] { run(); });
    }
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;
    ~Hasher() { stop(); }

    // Hands the piece over once the piece before is in the digest; its bytes
    // must stay as they are until the next add() or finish() returns.
    void add(QByteArrayView piece)
    {
        if (!m_thread.joinable()) {
            m_sha.add(piece);
            return;
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_piece; });
        m_piece = piece;
        m_changed.notify_all();
    }

    QString finish()
    {
        stop();
        return m_sha.hex();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_piece || m_stopping; });
            if (!m_piece)
                return;
            const QByteArrayView piece = *m_piece;
            lock.unlock();
            m_sha.add(piece);
            lock.lock();
            m_piece.reset();
            m_changed.notify_all();
        }
    }

    // The piece handed over last is finished first.
    void stop()
    {
        if (!m_thread.joinable())
            return;
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    Sha256 m_sha;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<QByteArrayView> m_piece;
    bool m_stopping = false;
    std::thread m_thread;
};

// A file read from the file system rather than from the page cache: with
// O_DIRECT where the file system takes it, else after its clean pages are
// dropped. A page the first read spoiled is then not what the second one sees.
class SecondRead
{
public:
    explicit SecondRead(int fd)
        : m_fd(fd)
        , m_flags(::fcntl(fd, F_GETFL))
    {
        m_direct = m_flags >= 0 && ::fcntl(fd, F_SETFL, m_flags | O_DIRECT) == 0;
        if (!m_direct)
            forget(fd);
    }
    SecondRead(const SecondRead&) = delete;
    SecondRead& operator=(const SecondRead&) = delete;
    ~SecondRead() { endDirect(); }

    // Up to `length` bytes (at most a piece) from `offset`, fewer at the end of
    // the file, read into `buffer`, a buffer of the pool; nothing (errno set)
    // when reading fails.
    std::optional<QByteArrayView> read(char* buffer, qint64 offset, qint64 length)
    {
        if (m_direct) {
            const qint64 start = offset / blockSize * blockSize;
            const qint64 skew = offset - start;
            const qint64 span = (skew + length + blockSize - 1) / blockSize * blockSize;
            const qint64 got = readUpTo(m_fd, buffer, span, start);
            if (got >= 0)
                return QByteArrayView(buffer + skew, qBound<qint64>(0, got - skew, length));
            if (errno != EINVAL)
                return std::nullopt;
            // The device wants larger blocks than ours: on through the page cache.
            endDirect();
            forget(m_fd);
        }
        const qint64 got = readUpTo(m_fd, buffer, length, offset);
        if (got < 0)
            return std::nullopt;
        return QByteArrayView(buffer, got);
    }

private:
    void endDirect()
    {
        if (m_direct)
            (void)::fcntl(m_fd, F_SETFL, m_flags);
        m_direct = false;
    }

    int m_fd;
    int m_flags;
    bool m_direct = false;
};

// Whether the second read of `length` bytes from `offset` gives `expected`,
// compared a piece at a time in `buffer`.
std::variant<QString, Mismatch, Trouble> compare(
    SecondRead& second, char* buffer, qint64 offset, QByteArrayView expected)
{
    for (qint64 done = 0; done < expected.size();) {
        const qint64 length = qMin(pieceSize, expected.size() - done);
        const auto got = second.read(buffer, offset + done, length);
        if (!got)
            return Trouble {errno, true};
        if (got->size() < length)
            return Trouble {0, true, true};
        if (*got != expected.sliced(done, length))
            return Mismatch {};
        done += length;
    }
    return QString();
}

// Copies through a buffer of this process, for file systems where the kernel can't.
std::optional<Trouble> copyThrough(int from, Range range, int to, qint64 at, qint64 done)
{
    const Lease<1> buffer;
    while (done < range.size()) {
        const qint64 length = qMin(pieceSize, range.size() - done);
        const qint64 got = readUpTo(from, buffer[0], length, range.begin + done);
        if (got < 0)
            return Trouble {errno, true};
        if (got < length)
            return Trouble {0, true, true};
        if (!writeAt(to, QByteArrayView(buffer[0], length), at + done))
            return Trouble {errno, false};
        if (handPiecesToDisk)
            (void)::sync_file_range(to, off_t(at + done), off_t(length), SYNC_FILE_RANGE_WRITE);
        done += length;
    }
    return std::nullopt;
}

} // namespace

Sha256::Sha256()
    : m_context(EVP_MD_CTX_new())
{
    if (m_context)
        EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr);
}

void Sha256::add(QByteArrayView bytes)
{
    if (m_context && EVP_DigestUpdate(m_context.get(), bytes.data(), std::size_t(bytes.size())) != 1)
        m_context.reset();
}

QString Sha256::hex()
{
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest {};
    unsigned int length = 0;
    // A digest that failed on the way is no digest: it never equals another.
    if (!m_context || EVP_DigestFinal_ex(m_context.get(), digest.data(), &length) != 1)
        return {};
    m_context.reset();
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest.data()), qsizetype(length)).toHex());
}

std::optional<QByteArray> read(int fd, qint64 offset, qint64 length)
{
    QByteArray bytes(qMax<qint64>(length, 0), Qt::Uninitialized);
    const qint64 got = readUpTo(fd, bytes.data(), bytes.size(), offset);
    if (got < 0)
        return std::nullopt;
    bytes.truncate(got);
    return bytes;
}

ByteReader reader(int fd)
{
    return [fd](qint64 offset, qint64 length) { return read(fd, offset, length).value_or(QByteArray()); };
}

std::optional<Seen> look(int fd, qint64 size)
{
    Seen seen;
    seen.audio = audioRange(size, reader(fd));
    auto head = read(fd, 0, seen.audio.begin);
    auto tail = read(fd, seen.audio.end, size - seen.audio.end);
    auto start = read(fd, seen.audio.begin, qMin<qint64>(mpegMinimumSize, seen.audio.size()));
    if (!head || !tail || !start)
        return std::nullopt;
    seen.head = std::move(*head);
    seen.tail = std::move(*tail);
    seen.start = std::move(*start);
    return seen;
}

bool writeAt(int fd, QByteArrayView bytes, qint64 offset)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n
            = ::pwrite(fd, bytes.data() + done, std::size_t(bytes.size() - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

std::optional<Trouble> copy(int from, Range range, int to, qint64 at)
{
    for (qint64 done = 0; done < range.size();) {
        loff_t in = range.begin + done;
        loff_t out = at + done;
        const ssize_t moved
            = ::copy_file_range(from, &in, to, &out, std::size_t(qMin(pieceSize, range.size() - done)), 0);
        if (moved < 0 && errno == EINTR)
            continue;
        // Not across these file systems, or nothing more to take, or trouble:
        // the rest goes through this process, where a read and a write fail
        // apart and say which of the two it was.
        if (moved <= 0)
            return copyThrough(from, range, to, at, done);
        if (handPiecesToDisk)
            (void)::sync_file_range(to, off_t(at + done), off_t(moved), SYNC_FILE_RANGE_WRITE);
        done += moved;
    }
    return std::nullopt;
}

void forget(int fd)
{
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

std::variant<QString, Mismatch, Trouble> recheck(const Recheck& recheck)
{
    // One buffer for the copy's bytes, two that take turns for the source's
    // while the digest of the one before is taken.
    const Lease<3> buffers;
    SecondRead second(recheck.source);
    if (auto before = compare(second, buffers[0], 0, recheck.before);
        !std::holds_alternative<QString>(before))
        return before;
    const Range range = recheck.range;
    Hasher hasher(recheck.digest ? range : Range());
    for (qint64 done = 0, piece = 0; done < range.size(); ++piece) {
        const qint64 length = qMin(pieceSize, range.size() - done);
        const qint64 back = readUpTo(recheck.copy, buffers[0], length, recheck.at + done);
        if (back < 0)
            return Trouble {errno, false};
        const auto again = second.read(buffers[1 + std::size_t(piece % 2)], range.begin + done, length);
        if (!again)
            return Trouble {errno, true};
        if (again->size() < length)
            return Trouble {0, true, true};
        if (back != length || std::memcmp(buffers[0], again->data(), std::size_t(length)) != 0)
            return Mismatch {};
        if (recheck.digest)
            hasher.add(*again);
        done += length;
    }
    if (auto after = compare(second, buffers[0], range.end, recheck.after);
        !std::holds_alternative<QString>(after))
        return after;
    return recheck.digest ? hasher.finish() : QString();
}

std::variant<QString, Trouble> digest(int fd, Range range)
{
    const Lease<2> buffers;
    Hasher hasher(range);
    for (qint64 done = 0, piece = 0; done < range.size(); ++piece) {
        char* buffer = buffers[std::size_t(piece % 2)];
        const qint64 length = qMin(pieceSize, range.size() - done);
        const qint64 got = readUpTo(fd, buffer, length, range.begin + done);
        if (got < 0)
            return Trouble {errno, true};
        // A file that ends early lost its audio's end.
        if (got < length)
            return Trouble {0, true, true};
        hasher.add(QByteArrayView(buffer, length));
        done += length;
    }
    return hasher.finish();
}

Overwrite overwrite(const QString& path, int source, qint64 size)
{
    const FileIO::FileDescriptor fd(FileIO::openPath(path, O_RDWR | O_NOFOLLOW));
    if (!fd.isOpen())
        return {errno, false, false};
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            forget(source);
        if (const auto trouble = copy(source, {0, size}, fd.get(), 0))
            return {trouble->error != 0 ? trouble->error : EIO, true, false};
        int result = 0;
        do
            result = ::ftruncate(fd.get(), off_t(size));
        while (result != 0 && errno == EINTR);
        if (result != 0 || ::fsync(fd.get()) != 0)
            return {errno, true, false};
        const auto checked = recheck({source, {}, {0, size}, {}, fd.get(), 0, false});
        if (const auto* trouble = std::get_if<Trouble>(&checked))
            return {trouble->error != 0 ? trouble->error : EIO, true, false};
        if (std::holds_alternative<Mismatch>(checked))
            continue;
        // Nothing may follow what was written.
        char extra = 0;
        return {readUpTo(fd.get(), &extra, 1, size) == 0 ? 0 : EIO, true, false};
    }
    return {0, true, true};
}

} // namespace ID3::Stream
