// Times ID3::write against a bare verified copy of the same file, in one process,
// rounds interleaved. Also measures the time Pelamo spends in fsync.
//
//   pelamo_bench compare FILE ROUNDS   prints medians as JSON
//   pelamo_bench once FILE             one rewrite of FILE, for /usr/bin/time -v
//   pelamo_bench copy PATH...          the verified copy of every file a batch
//                                      of `pelamo --tag` would tag, in order
#include "id3/ID3.h"
#include "library/ShowStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double flushSeconds = 0;

double now()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

// Every fsync of the process comes through here, so the flush's share of a
// rewrite is measured, not estimated.
extern "C" int fsync(int fd)
{
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    const double start = now();
    const int result = real(fd);
    flushSeconds += now() - start;
    return result;
}

namespace {

ID3::Tags benchTags()
{
    ID3::Tags tags;
    tags.title = QStringLiteral("Benchmark episode");
    tags.artist = QStringLiteral("Host");
    tags.album = QStringLiteral("The Show");
    tags.genre = QStringLiteral("Podcast");
    tags.year = QStringLiteral("2024");
    tags.comment = QStringLiteral("Timed run");
    return tags;
}

QByteArray readWhole(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat status
    {
    };
    if (fd < 0 || ::fstat(fd, &status) != 0)
        return {};
    QByteArray bytes(qsizetype(status.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, std::size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    bytes.truncate(done);
    return bytes;
}

bool writeWhole(const char* path, QByteArrayView bytes, bool flush)
{
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, std::size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    const bool flushed = !flush || fsync(fd) == 0;
    return ::close(fd) == 0 && flushed && done == bytes.size();
}

// What any careful tool must do at least: read, write a temporary file, flush
// it, read it back, digest the audio before and after, rename, flush the folder.
bool verifiedCopy(const QString& target)
{
    const QByteArray path = QFile::encodeName(target);
    const QByteArray temporary
        = QFile::encodeName(QFileInfo(target).path() + QStringLiteral("/.bench-copy.mp3"));
    const QByteArray bytes = readWhole(path.constData());
    const QByteArrayView audio = ID3::stripTags(bytes);
    const QString before = ID3::sha256Hex(audio);
    if (!writeWhole(temporary.constData(), bytes, true))
        return false;
    const QByteArray back = readWhole(temporary.constData());
    if (ID3::sha256Hex(ID3::stripTags(back)) != before
        || ::rename(temporary.constData(), path.constData()) != 0)
        return false;
    const int folder
        = ::open(QFile::encodeName(QFileInfo(target).path()).constData(), O_RDONLY | O_DIRECTORY);
    fsync(folder);
    ::close(folder);
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int compare(const QString& file, int rounds)
{
    const QByteArray original = readWhole(QFile::encodeName(file).constData());
    const QString work = file + QStringLiteral(".work.mp3");
    const QByteArray workPath = QFile::encodeName(work);
    std::vector<double> pelamo, copy, flush, flushCopy;
    // One warm-up round of each, not counted.
    for (int round = -1; round < rounds; ++round) {
        writeWhole(workPath.constData(), original, false);
        flushSeconds = 0;
        double start = now();
        if (!std::holds_alternative<ID3::Outcome>(ID3::write(benchTags(), work)))
            return 1;
        const double pelamoTime = now() - start;
        const double pelamoFlush = flushSeconds;

        writeWhole(workPath.constData(), original, false);
        flushSeconds = 0;
        start = now();
        if (!verifiedCopy(work))
            return 1;
        if (round >= 0) {
            pelamo.push_back(pelamoTime);
            flush.push_back(pelamoFlush);
            copy.push_back(now() - start);
            flushCopy.push_back(flushSeconds);
        }
    }
    QFile::remove(work);
    const QJsonObject result {
        {QStringLiteral("bytes"), double(original.size())},
        {QStringLiteral("rounds"), rounds},
        {QStringLiteral("pelamo_ms"), median(pelamo) * 1000},
        {QStringLiteral("pelamo_flush_ms"), median(flush) * 1000},
        {QStringLiteral("copy_ms"), median(copy) * 1000},
        {QStringLiteral("copy_flush_ms"), median(flushCopy) * 1000},
    };
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return 0;
}

// The floor for a batch: one process that does the verified copy of exactly
// the files, and in the order, that the same arguments to `pelamo --tag` tag.
int copyAll(const QStringList& paths)
{
    QList<QUrl> locations;
    for (const QString& path : paths)
        locations.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    for (const QString& file : ShowStore::expand(locations)) {
        if (!verifiedCopy(file)) {
            std::fprintf(stderr, "verified copy failed: %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments.at(1) == QStringLiteral("compare"))
        return compare(arguments.at(2), arguments.at(3).toInt());
    if (arguments.size() == 3 && arguments.at(1) == QStringLiteral("once"))
        return std::holds_alternative<ID3::Outcome>(ID3::write(benchTags(), arguments.at(2))) ? 0 : 1;
    if (arguments.size() >= 3 && arguments.at(1) == QStringLiteral("copy"))
        return copyAll(arguments.mid(2));
    std::fprintf(stderr, "usage: pelamo_bench compare FILE ROUNDS | once FILE | copy PATH...\n");
    return 2;
}
