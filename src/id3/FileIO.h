#pragma once

// POSIX file handling shared by the rewrite, its in-place path for files with
// several names and the clean-up of what an interrupted run left behind.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <sys/stat.h>

#include <array>
#include <utility>

namespace ID3::FileIO {

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    { }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    ~FileDescriptor() { close(); }

    void reset(int fd);
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int close();

private:
    int m_fd;
};

QString errorText(int error);

// Fills buffer from `offset` until end of file or until the buffer is full.
// Returns the number of bytes read, or -1 with errno set.
qint64 readUpTo(int fd, char* buffer, qint64 capacity, qint64 offset = 0);
// Writes the parts one after the other from the file's current position.
bool writeAll(int fd, std::array<QByteArrayView, 3> parts);
// Opens a path taken from the file system or the user, whatever its bytes.
int openPath(const QString& path, int flags, mode_t mode = 0);

// Extended attributes (which hold ACLs too), as name and value.
using Attributes = QList<std::pair<QByteArray, QByteArray>>;
Attributes readAttributes(int fd);
// Gives the file exactly these attributes as far as the file system and the
// process's rights allow; what can't be set is left out without an error.
void applyAttributes(int fd, const Attributes& attributes);

// Names Pelamo gives its own files beside a target. Where the full form would be
// longer than a file name may be, a short prefix of the target's name and a hash
// of the whole name stand in for it.
QString temporaryPath(const QString& realPath);
QString recoveryPath(const QString& realPath);
bool isTemporaryName(const QString& fileName);
// `name`, or its shortened stand-in when `extra` more bytes would make it too long.
QString nameWithin(const QString& name, qsizetype extra);

} // namespace ID3::FileIO
