#pragma once

// Files taken in pieces: a rewrite reads, writes, hashes and compares a file of
// any size through a few buffers of pieceSize, so its memory doesn't grow with
// the file.
#include "id3/ID3.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <openssl/evp.h>

#include <memory>
#include <optional>
#include <variant>

namespace ID3::Stream {

// Large enough that the cost of a call doesn't show, small enough that the
// pieces of two files in flight, two each, stay within a few MiB.
inline constexpr qint64 pieceSize = qint64(4) << 20;
// How many pieces the process has in all; a step of a rewrite takes two.
inline constexpr int poolPieces = 4;

// SHA-256 taken piece by piece.
class Sha256
{
public:
    Sha256();
    void add(QByteArrayView bytes);
    // The digest as 64 lower-case hexadecimal digits; the digest is finished then.
    QString hex();

private:
    struct Free
    {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> m_context;
};

// `length` bytes of the file from `offset`, fewer at its end; nothing (errno set)
// when reading fails.
std::optional<QByteArray> read(int fd, qint64 offset, qint64 length);
// The file's bytes as audioRange() asks for them; a failed read gives none.
ByteReader reader(int fd);

// Writes all of `bytes` at `offset`; false (errno set) when that fails.
bool writeAt(int fd, QByteArrayView bytes, qint64 offset);

// What went wrong while a range was read: the errno, and whether it was a read
// of the source (rather than a write) or the source ended early.
struct Trouble
{
    int error = 0;
    bool reading = false;
};

// The SHA-256 of a range of the file, read in pieces.
std::variant<QString, Trouble> digest(int fd, Range range);
// Copies a range of one file to another, starting at `at` there, and gives the
// SHA-256 of the bytes as they were read: the digest of one piece is taken on
// another thread while the next is read and written. The new file's pieces are
// handed to the disk as they go, so the flush at the end has little left to wait for.
std::variant<QString, Trouble> copy(int from, Range range, int to, qint64 at);

// Replaces the whole content of an existing file in place with the first `size`
// bytes of `source`, so that every name the file has sees them, then reads it
// back against the source. Returns 0, or the errno of the step that failed; EIO
// when the bytes read back differ. `started` tells whether the file may have changed.
int overwrite(const QString& path, int source, qint64 size, bool& started);

} // namespace ID3::Stream
