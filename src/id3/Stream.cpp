#include "id3/Stream.h"

#include "id3/FileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

namespace ID3::Stream {
namespace {

using FileIO::readUpTo;

// The buffers every rewrite of the process reads and writes through: a fixed
// set, each made once and used again and again, handed out two at a time. The
// memory doesn't grow with the files or with how many are in flight, and no
// piece pays for fresh pages the system must find and clear first.
class Pool
{
public:
    static Pool& instance()
    {
        static Pool pool;
        return pool;
    }

    std::array<char*, 2> take()
    {
        std::unique_lock lock(m_mutex);
        m_freed.wait(lock, [this] { return std::popcount(m_free) >= 2; });
        std::array<char*, 2> taken {};
        for (char*& buffer : taken) {
            const int slot = std::countr_zero(m_free);
            m_free &= ~(1u << slot);
            if (!m_buffers[std::size_t(slot)])
                m_buffers[std::size_t(slot)] = std::make_unique_for_overwrite<char[]>(std::size_t(pieceSize));
            buffer = m_buffers[std::size_t(slot)].get();
        }
        return taken;
    }

    void give(const std::array<char*, 2>& buffers)
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
    std::mutex m_mutex;
    std::condition_variable m_freed;
    std::array<std::unique_ptr<char[]>, poolPieces> m_buffers;
    unsigned m_free = (1u << poolPieces) - 1;
};

// Two buffers of the pool for as long as it lives.
class Lease
{
public:
    Lease()
        : m_buffers(Pool::instance().take())
    { }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() { Pool::instance().give(m_buffers); }

    char* operator[](std::size_t index) const { return m_buffers[index]; }

private:
    std::array<char*, 2> m_buffers;
};

// Reads the range piece by piece and hands each to `use` on this thread, while
// the piece before is added to the digest on another. Two buffers take turns: a
// piece's buffer is read into again only once its digest is taken.
std::variant<QString, Trouble> hashPieces(
    int fd, Range range, const std::function<bool(QByteArrayView piece, qint64 done)>& use)
{
    Sha256 sha;
    const Lease buffers;
    std::future<void> hashing;
    const auto settle = [&] {
        if (hashing.valid())
            hashing.get();
    };
    for (qint64 done = 0, piece = 0; done < range.size(); ++piece) {
        char* buffer = buffers[std::size_t(piece % 2)];
        const qint64 length = qMin(pieceSize, range.size() - done);
        const qint64 got = readUpTo(fd, buffer, length, range.begin + done);
        if (got != length) {
            const int error = got < 0 ? errno : EIO; // a file that ends early lost its audio's end
            settle();
            return Trouble {error, true};
        }
        const QByteArrayView bytes(buffer, length);
        settle();
        hashing = std::async(std::launch::async, [&sha, bytes] { sha.add(bytes); });
        if (use && !use(bytes, done)) {
            const int error = errno;
            settle();
            return Trouble {error, false};
        }
        done += length;
    }
    settle();
    return sha.hex();
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

std::variant<QString, Trouble> digest(int fd, Range range)
{
    return hashPieces(fd, range, {});
}

std::variant<QString, Trouble> copy(int from, Range range, int to, qint64 at)
{
    return hashPieces(from, range, [to, at](QByteArrayView piece, qint64 done) {
        if (!writeAt(to, piece, at + done))
            return false;
        // Only a hint to start writing back; a file system that takes none loses nothing.
        (void)::sync_file_range(to, off_t(at + done), off_t(piece.size()), SYNC_FILE_RANGE_WRITE);
        return true;
    });
}

int overwrite(const QString& path, int source, qint64 size, bool& started)
{
    started = false;
    const FileIO::FileDescriptor fd(FileIO::openPath(path, O_RDWR | O_NOFOLLOW));
    if (!fd.isOpen())
        return errno;
    started = true;
    const Lease buffers;
    char* piece = buffers[0];
    char* back = buffers[1];
    for (qint64 done = 0; done < size;) {
        const qint64 length = qMin(pieceSize, size - done);
        const qint64 got = readUpTo(source, piece, length, done);
        if (got != length)
            return got < 0 ? errno : EIO;
        if (!writeAt(fd.get(), QByteArrayView(piece, length), done))
            return errno;
        done += length;
    }
    int result = 0;
    do
        result = ::ftruncate(fd.get(), off_t(size));
    while (result != 0 && errno == EINTR);
    if (result != 0 || ::fsync(fd.get()) != 0)
        return errno;

    for (qint64 done = 0; done < size;) {
        const qint64 length = qMin(pieceSize, size - done);
        if (readUpTo(source, piece, length, done) != length)
            return EIO;
        const qint64 got = readUpTo(fd.get(), back, length, done);
        if (got < 0)
            return errno;
        if (got != length || std::memcmp(piece, back, std::size_t(length)) != 0)
            return EIO;
        done += length;
    }
    // Nothing may follow what was written.
    char extra = 0;
    return readUpTo(fd.get(), &extra, 1, size) == 0 ? 0 : EIO;
}

} // namespace ID3::Stream
