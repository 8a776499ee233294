#include "id3/FileIO.h"

#include "id3/FileName.h"
#include "id3/ID3.h"
#include "id3/Recovery.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <fcntl.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ID3::FileIO {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr qsizetype uuidPrefixSize = 8;
// The longest name most Linux file systems take, in bytes (NAME_MAX).
constexpr qsizetype nameLimit = 255;
// What a shortened name keeps of the target's: a prefix of this many bytes at most,
// then "~" and this many hexadecimal digits of the SHA-256 of the whole name.
constexpr qsizetype shortNamePrefix = 100;
constexpr qsizetype shortNameHash = 16;

} // namespace

void FileDescriptor::reset(int fd)
{
    close();
    m_fd = fd;
}

int FileDescriptor::close()
{
    const int result = m_fd >= 0 ? ::close(m_fd) : 0;
    m_fd = -1;
    return result;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

qint64 readUpTo(int fd, char* buffer, qint64 capacity, qint64 offset)
{
    qint64 total = 0;
    while (total < capacity) {
        const ssize_t n = ::pread(fd, buffer + total, std::size_t(capacity - total), off_t(offset + total));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        total += n;
    }
    return total;
}

// The bytes of the new file are written straight from where they already are:
// the tag, the audio as a view of the file read, the ID3v1 tag.
bool writeAll(int fd, std::array<QByteArrayView, 3> parts)
{
    std::array<iovec, 3> vectors {};
    for (std::size_t i = 0; i < parts.size(); ++i)
        vectors[i] = {const_cast<char*>(parts[i].data()), std::size_t(parts[i].size())};
    iovec* next = vectors.data();
    int remaining = int(vectors.size());
    while (remaining > 0) {
        const ssize_t n = ::writev(fd, next, remaining);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        std::size_t written = std::size_t(n);
        while (remaining > 0 && written >= next->iov_len) {
            written -= next->iov_len;
            ++next;
            --remaining;
        }
        if (remaining > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + written;
            next->iov_len -= written;
        }
    }
    return true;
}

int openPath(const QString& path, int flags, mode_t mode)
{
    int fd = -1;
    do
        fd = ::open(FileName::encode(path).constData(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

namespace {

QList<QByteArray> attributeNames(int fd)
{
    QByteArray list;
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size <= 0)
            return {};
        list.resize(size);
        const ssize_t got = ::flistxattr(fd, list.data(), std::size_t(list.size()));
        if (got >= 0) {
            list.truncate(got);
            break;
        }
        if (errno != ERANGE)
            return {};
    }
    QList<QByteArray> names = list.split('\0');
    names.removeAll(QByteArray());
    return names;
}

} // namespace

Attributes readAttributes(int fd)
{
    Attributes attributes;
    for (const QByteArray& name : attributeNames(fd)) {
        // A recovery copy moved back by hand still carries its tie; it is no attribute of the file.
        if (name == Recovery::tieAttribute)
            continue;
        for (;;) {
            const ssize_t size = ::fgetxattr(fd, name.constData(), nullptr, 0);
            if (size < 0)
                break;
            QByteArray value(size, Qt::Uninitialized);
            const ssize_t got = ::fgetxattr(fd, name.constData(), value.data(), std::size_t(value.size()));
            if (got >= 0) {
                value.truncate(got);
                attributes.append({name, value});
                break;
            }
            if (errno != ERANGE)
                break;
        }
    }
    return attributes;
}

void applyAttributes(int fd, const Attributes& attributes)
{
    // A new file may have picked up attributes of its own, such as the
    // folder's default ACL; the target's set is what it must end up with.
    for (const QByteArray& name : attributeNames(fd)) {
        const bool kept = std::any_of(attributes.cbegin(), attributes.cend(),
            [&](const std::pair<QByteArray, QByteArray>& attribute) { return attribute.first == name; });
        if (!kept)
            (void)::fremovexattr(fd, name.constData());
    }
    for (const auto& [name, value] : attributes)
        (void)::fsetxattr(fd, name.constData(), value.constData(), std::size_t(value.size()), 0);
}

QString nameWithin(const QString& name, qsizetype extra)
{
    const QByteArray bytes = FileName::encode(name);
    if (bytes.size() + extra <= nameLimit)
        return name;
    // Cut before a byte that starts a character, so the prefix stays readable.
    qsizetype cut = qMin(shortNamePrefix, bytes.size());
    while (cut > 0 && (quint8(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    return FileName::decode(QByteArrayView(bytes).first(cut)) + u'~' + sha256Hex(bytes).left(shortNameHash);
}

QString temporaryPath(const QString& realPath)
{
    static constexpr QLatin1StringView middle(".tagging-");
    static constexpr QLatin1StringView suffix(".mp3");
    const QFileInfo info(realPath);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(uuidPrefixSize);
    const QString base
        = nameWithin(info.completeBaseName(), 1 + middle.size() + uuidPrefixSize + suffix.size());
    return info.path() + "/."_L1 + base + middle + id + suffix;
}

QString recoveryPath(const QString& realPath)
{
    static constexpr QLatin1StringView suffix(".pelamo-recovery");
    const QFileInfo info(realPath);
    return info.path() + "/."_L1 + nameWithin(info.fileName(), 1 + suffix.size()) + suffix;
}

bool isTemporaryName(const QString& fileName)
{
    static const QRegularExpression pattern(
        u"^\\..*\\.tagging-[0-9A-F]{8}\\.mp3$"_s, QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(fileName).hasMatch();
}

} // namespace ID3::FileIO

namespace ID3 {

void syncFolder(const QString& folder)
{
    const FileIO::FileDescriptor fd(FileIO::openPath(folder, O_RDONLY | O_DIRECTORY));
    if (fd.isOpen())
        (void)::fsync(fd.get());
}

} // namespace ID3
