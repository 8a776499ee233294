#pragma once

// Files taken in pieces: a rewrite copies, reads back, compares and hashes a
// file of any size through a few buffers of pieceSize, so its memory doesn't
// grow with the file.
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
// pieces of the files in flight stay within a few tens of MiB.
inline constexpr qint64 pieceSize = qint64(4) << 20;
// Reads that go around the page cache start, end and land on multiples of
// this: the logical block size of every common disk, and the page size.
inline constexpr qint64 blockSize = 4096;
// How many pieces the process has in all: a file's copy takes four (two for a
// file of one piece), so two large files or four small ones go at a time.
inline constexpr int poolPieces = 8;

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

// A file as the strip rules see it: where its audio lies, the tags around it,
// and the audio's first bytes.
struct Seen
{
    Range audio;
    QByteArray head; // every leading tag
    QByteArray tail; // the trailing tags
    QByteArray start;
};
// Nothing (errno set) when reading fails.
std::optional<Seen> look(int fd, qint64 size);

// Writes all of `bytes` at `offset`; false (errno set) when that fails.
bool writeAt(int fd, QByteArrayView bytes, qint64 offset);

// What went wrong in a step: the errno, and whether it was a read of the source
// (rather than a write), or the source ended before the range did.
struct Trouble
{
    int error = 0;
    bool reading = false;
    bool shortened = false;
};

// Drops the file's clean pages from the page cache, so that its next read goes
// to the file system.
void forget(int fd);

// Reads that disagree: the second read of a file gave other bytes than the first.
struct Mismatch
{
};

// Copies a range of one file to another, starting at `at` there, and checks
// it as it goes against a second read of the whole source, taken from the file
// system rather than from the page cache the first read filled: the bytes
// before the range and after it must be those the first read gave, and the
// range what the new file holds, read back. Where the file system can, the
// kernel copies, and no byte of the first read passes through this process.
struct Transfer
{
    int from = -1;
    QByteArrayView before; // the source's bytes from its start up to the range
    Range range;
    QByteArrayView after; // its bytes from the end of the range to its end
    int to = -1;
    qint64 at = 0;
    bool digest = true;
};
// The SHA-256 of the range when asked for it (else an empty text), or a
// Mismatch, or Trouble.
std::variant<QString, Mismatch, Trouble> transfer(const Transfer& transfer);

// The SHA-256 of a range of the file, read in pieces.
std::variant<QString, Trouble> digest(int fd, Range range);

// Replaces the whole content of an existing file in place with the first `size`
// bytes of `source`, so that every name the file has sees them, checked against
// a second read of the source as they go, and flushes it; reads that disagree
// are tried once more, from a source read afresh.
struct Overwrite
{
    int error = 0; // the errno of the step that failed
    bool started = false; // the file may have changed
    bool readsDiffer = false; // twice
    bool readAgain = false; // once, and the second time they agreed
    bool failed() const { return error != 0 || readsDiffer; }
};
Overwrite overwrite(const QString& path, int source, qint64 size);

} // namespace ID3::Stream
