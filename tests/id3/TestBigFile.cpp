// Files larger than memory should be asked to hold: a rewrite reads, writes and
// checks them in pieces. Its own executable, so that its memory readings start
// from a process that has done nothing else.
#include "Id3TestSupport.h"
#include "common/TestEnvironment.h"
#include "id3/ID3.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 mebibyte = qint64(1) << 20;
// What makeFile() writes at a time, and all it writes of a sparse file's audio.
constexpr qint64 firstFrames = 8 * mebibyte;

qint64 peakResident()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// A file of `audioSize` bytes of audio behind an old tag and before an ID3v1 tag,
// written a piece at a time; with `sparse`, the audio past its first frames is a
// hole the file system keeps no blocks for.
bool makeFile(const QString& path, const QByteArray& head, qint64 audioSize, bool sparse)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(head) != head.size())
        return false;
    const QByteArray piece = fakeAudio(firstFrames);
    qint64 written = 0;
    for (; written < audioSize && (!sparse || written == 0); written += piece.size())
        if (file.write(piece.first(qMin(piece.size(), audioSize - written))) < 0)
            return false;
    if (sparse && !file.seek(head.size() + audioSize))
        return false;
    return file.write(id3v1Tag()) == ID3::v1Size;
}

} // namespace

class TestBigFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Memory that doesn't grow with the file: a 300 MB file takes a few pieces' worth.
    void memoryStaysFlat()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"long mix.mp3"_s);
        QVERIFY(makeFile(target, id3v2Tag(4096), 300 * mebibyte, false));
        ID3::Tags tags;
        tags.title = u"Long mix"_s;
        const qint64 before = peakResident();
        const auto result = ID3::write(tags, target);
        if (const auto* failure = std::get_if<ID3::Failure>(&result))
            QFAIL(qPrintable(failure->description));
        const qint64 grown = peakResident() - before;
        QVERIFY2(grown < 48 * mebibyte, qPrintable(u"the rewrite took %1 MiB more"_s.arg(grown / mebibyte)));
    }

    // Past 4 GiB, where a 32-bit size or offset would wrap: every byte of the audio arrives.
    void largerThanFourGiB()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"audiobook.mp3"_s);
        const qint64 audioSize = (qint64(4) << 30) + 3 * mebibyte + 5;
        const QByteArray oldTag = id3v2Tag(2000);
        struct statvfs space = {};
        if (::statvfs(QFile::encodeName(dir.path()).constData(), &space) != 0
            || qint64(space.f_bavail) * qint64(space.f_frsize) < audioSize + (qint64(1) << 30))
            QSKIP("not enough free space for the new file beside a 4 GiB one");
        QVERIFY(makeFile(target, oldTag, audioSize, true));
        struct stat status = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
        if (qint64(status.st_blocks) * 512 > audioSize / 2)
            QSKIP("this file system keeps no sparse files");

        ID3::Tags tags;
        tags.title = u"Audiobook"_s;
        tags.writeID3v1 = false;
        const auto result = ID3::write(tags, target);
        if (const auto* failure = std::get_if<ID3::Failure>(&result))
            QFAIL(qPrintable(failure->description));
        const ID3::Outcome& outcome = std::get<ID3::Outcome>(result);
        const QByteArray newTag = ID3::buildTag(tags).bytes;
        QCOMPARE(outcome.bytesWritten, newTag.size() + audioSize);
        QCOMPARE(QFileInfo(target).size(), outcome.bytesWritten);
        // The audio: the frames written first, then the hole, read as zeros; cmp(1) compares
        // that without holding either file.
        QFile written(target);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.read(newTag.size()), newTag);
        const QByteArray frames = fakeAudio(firstFrames);
        QVERIFY(written.read(frames.size()) == frames);
        const QString rest = QString::number(audioSize - frames.size());
        const QString skip = u"%1:0"_s.arg(newTag.size() + frames.size());
        QCOMPARE(
            QProcess::execute(u"cmp"_s, {u"-s"_s, u"-n"_s, rest, u"-i"_s, skip, target, u"/dev/zero"_s}), 0);
    }
};

QTEST_GUILESS_MAIN(TestBigFile)
#include "TestBigFile.moc"
