#include "id3/FileIO.h"
#include "id3/FileName.h"
#include "id3/ID3.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ID3 {

bool isTemporaryName(const QString& fileName)
{
    return FileIO::isTemporaryName(fileName);
}

int removeLeftovers(const QString& folder)
{
    int removed = 0;
    for (const QString& name : FileName::entries(folder)) {
        if (!FileIO::isTemporaryName(name))
            continue;
        const QString path = folder + u'/' + name;
        const FileIO::FileDescriptor fd(FileIO::openPath(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
        struct stat status
        {
        };
        if (!fd.isOpen() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        // A rewrite at work holds its file locked until the file has its final name.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::unlink(FileName::encode(path).constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace ID3
