#include "Id3TestSupport.h"
#include "common/TestEnvironment.h"
#include "id3/FileName.h"
#include "id3/ID3.h"
#include "id3/Stream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

using Result = std::variant<ID3::Outcome, ID3::Failure>;
using Kind = ID3::Failure::Kind;

ID3::Tags episodeTags()
{
    ID3::Tags tags;
    tags.title = u"Episode 12"_s;
    tags.artist = u"Host"_s;
    tags.genre = u"Podcast"_s;
    tags.year = u"2024"_s;
    tags.cover = hex("89504e470d0a1a0a0000");
    return tags;
}

ID3::Outcome outcomeOf(const Result& result)
{
    if (const auto* outcome = std::get_if<ID3::Outcome>(&result))
        return *outcome;
    qWarning() << "unexpected failure:" << std::get<ID3::Failure>(result).description;
    return {};
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestRewrite : public QObject
{
    Q_OBJECT

private:
    std::optional<QTemporaryDir> m_dir;
    QString path(const QString& name) const { return m_dir->filePath(name); }

    void verifyRefused(const Result& result, Kind kind, const QString& message, const QString& target,
        const QByteArray& before)
    {
        const auto* failure = std::get_if<ID3::Failure>(&result);
        QVERIFY2(failure, "the write succeeded");
        QCOMPARE(failure->kind, kind);
        QCOMPARE(failure->description, message);
        if (QFileInfo(target).isFile())
            QCOMPARE(readFile(target), before);
        QCOMPARE(leftovers(QFileInfo(target).path()), QStringList());
    }

private Q_SLOTS:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
    }

    void refused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("title");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::addRow("wav name, checked before reading")
            << u"song.wav"_s << QByteArray() << u"T"_s << Kind::NotMP3 << u"song.wav is not an MP3 file"_s;
        QTest::addRow("blank title, checked before reading")
            << u"missing.mp3"_s << QByteArray() << u" \t\u3000"_s << Kind::EmptyTitle
            << u"The show has no Title — fill it in, or turn on “use the file name”"_s;
        QTest::addRow("missing file") << u"missing.mp3"_s << QByteArray() << u"T"_s << Kind::IO
                                      << u"Can't read missing.mp3: No such file or directory"_s;
        QTest::addRow("WAV named mp3")
            << u"wave.mp3"_s << bytes({"RIFF", hex("24080000"), "WAVEfmt ", zeros(400)}) << u"T"_s
            << Kind::NotMP3 << u"wave.mp3 is not an MP3 file"_s;
        QTest::addRow("all tag") << u"tag.mp3"_s << bytes({id3v2Tag(500), id3v1Tag()}) << u"T"_s
                                 << Kind::NotMP3 << u"tag.mp3 is not an MP3 file"_s;
        QTest::addRow("FIFO does not block") << u"fifo.mp3"_s << QByteArray() << u"T"_s << Kind::IO
                                             << u"Can't read fifo.mp3: not a regular file"_s;
        QTest::addRow("folder") << u"folder.mp3"_s << QByteArray() << u"T"_s << Kind::IO
                                << u"Can't read folder.mp3: Is a directory"_s;
        // Behind the new tag the audio would strip differently.
        QTest::addRow("two ID3v1 tags, none written")
            << u"twice.mp3"_s << bytes({fakeAudio(2000), id3v1Tag('a'), id3v1Tag('b')}) << u"no ID3v1"_s
            << Kind::AudioChanged
            << u"Safety check failed: the audio would have changed, so the file was left untouched"_s;
        // Its header could not say how long it is.
        QTest::addRow("a tag too large for an ID3v2 header")
            << u"huge.mp3"_s << fakeAudio(2000) << u"huge cover"_s << Kind::IO
            << u"The new tag of huge.mp3 would be larger than an ID3v2 tag can be (256 MB); "
               u"the file was left as it is"_s;
    }
    void refused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, title);
        QFETCH(Kind, kind);
        QFETCH(QString, message);
        if (name == u"fifo.mp3"_s)
            QCOMPARE(::mkfifo(native(path(name)).constData(), 0644), 0);
        else if (name == u"folder.mp3"_s)
            QVERIFY(QDir().mkpath(path(name)));
        else if (!content.isNull())
            QVERIFY(writeFile(path(name), content));
        ID3::Tags tags = episodeTags();
        tags.title = title;
        tags.writeID3v1 = title != u"no ID3v1"_s;
        if (title == u"huge cover"_s)
            tags.cover = QByteArray(ID3::syncsafeLimit, 'c');
        verifyRefused(ID3::write(tags, path(name)), kind, message, path(name), content);
        QCOMPARE(QFileInfo(path(name)).isFile(), !content.isNull());
    }

    // Each row gives the file a mode of its own, which it keeps, as it keeps its owner and other names.
    // The audio goes through in pieces: its ends may fall anywhere against them.
    void rewrites_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("audio");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("withV1");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("names"); // empty, "hard" or "symbolic"
        const QByteArray audio = fakeAudio(20000);
        QTest::addRow("old tags front and back, no ID3v1")
            << id3v2Tag(4096) << audio << id3v1Tag() << false << 0640 << QString();
        QTest::addRow("bare audio, read-only for everyone")
            << QByteArray() << audio << QByteArray() << true << 0444 << QString();
        QTest::addRow("two ID3v2 tags, APE and ID3v1, executable bit")
            << bytes({id3v2Tag(64, 2), id3v2Tag(300, 4)}) << audio << bytes({apeTag(), id3v1Tag()}) << true
            << 0755 << QString();
        QTest::addRow("two ID3v1 tags, one written, second name")
            << QByteArray() << bytes({audio, id3v1Tag('a')}) << id3v1Tag('b') << true << 0644 << u"hard"_s;
        QTest::addRow("reached through a symbolic link")
            << id3v2Tag(200) << audio << QByteArray() << true << 0664 << u"symbolic"_s;
        const qsizetype piece = ID3::Stream::pieceSize;
        QTest::addRow("a byte short of a piece")
            << id3v2Tag(100) << fakeAudio(piece - 1) << id3v1Tag() << true << 0644 << QString();
        QTest::addRow("exactly a piece")
            << id3v2Tag(100) << fakeAudio(piece) << id3v1Tag() << true << 0644 << QString();
        QTest::addRow("a byte into the second piece, written in place")
            << id3v2Tag(100) << fakeAudio(piece + 1) << id3v1Tag() << true << 0644 << u"hard"_s;
        QTest::addRow("starting where a piece would end")
            << id3v2Tag(piece) << fakeAudio(2 * piece + 3) << id3v1Tag() << true << 0644 << QString();
    }
    void rewrites()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, audio);
        QFETCH(QByteArray, tail);
        QFETCH(bool, withV1);
        QFETCH(int, mode);
        QFETCH(QString, names);
        const QString target = path(u"My Show 1.MP3"_s);
        const QString other = path(u"other"_s);
        QVERIFY(writeFile(names == u"symbolic"_s ? other : target, head + audio + tail));
        if (names == u"symbolic"_s)
            QVERIFY(QFile::link(u"other"_s, target));
        QCOMPARE(::chmod(native(target).constData(), mode_t(mode)), 0);
        if (names == u"hard"_s)
            QCOMPARE(::link(native(target).constData(), native(other).constData()), 0);
        const bool root = ::geteuid() == 0;
        if (root)
            QCOMPARE(::chown(native(target).constData(), 4321, 8765), 0);
        ID3::Tags tags = episodeTags();
        tags.writeID3v1 = withV1;

        const ID3::Outcome outcome = outcomeOf(ID3::write(tags, target));
        const QByteArray expected = taggedFile(tags, audio);
        const QStringList frames = ID3::buildTag(tags).frames;
        QVERIFY(readFile(target) == expected);
        if (!names.isEmpty())
            QVERIFY(readFile(other) == expected);
        QCOMPARE(QFileInfo(target).isSymLink(), names == u"symbolic"_s);
        QCOMPARE(outcome.frames, withV1 ? frames + QStringList {u"ID3v1"_s} : frames);
        QCOMPARE(outcome.audioSHA, sha256Hex(audio));
        QCOMPARE(outcome.bytesWritten, expected.size());
        // Nothing beside it: no temporary file, no copy of one written in place.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), names.isEmpty() ? 1 : 2);
        struct stat after = {};
        QCOMPARE(::stat(native(target).constData(), &after), 0);
        QCOMPARE(int(after.st_mode & 07777), mode);
        if (root)
            QVERIFY(after.st_uid == 4321 && after.st_gid == 8765);
        QCOMPARE(outcomeOf(ID3::write(tags, target)), outcome);
        QVERIFY(readFile(target) == expected);
    }

    // The second read takes the whole source: the bytes around the range must be those the
    // first read gave, and the source must still reach its end. An empty range goes through
    // the same way, nothing copied and the digest of nothing.
    void transferRereadsTheWholeSource_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("outcome"); // a digest's, "mismatch" or "shortened"
        const QByteArray head = "0123";
        const QByteArray tail = "456789";
        QTest::addRow("empty range") << head << tail << sha256Hex({});
        QTest::addRow("a byte before it differs") << "0I23"_ba << tail << u"mismatch"_s;
        QTest::addRow("a byte after it differs") << head << "456788"_ba << u"mismatch"_s;
        QTest::addRow("the source ends early") << head << "4567890"_ba << u"shortened"_s;
    }
    void transferRereadsTheWholeSource()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, outcome);
        QVERIFY(writeFile(path(u"from"_s), "0123456789"));
        QFile from(path(u"from"_s));
        QFile to(path(u"to"_s));
        QVERIFY(from.open(QIODevice::ReadOnly) && to.open(QIODevice::ReadWrite));
        const auto moved
            = ID3::Stream::transfer({from.handle(), before, {4, 4}, after, to.handle(), 0, true});
        if (const auto* digest = std::get_if<QString>(&moved))
            QCOMPARE(*digest, outcome);
        else if (const auto* trouble = std::get_if<ID3::Stream::Trouble>(&moved))
            QVERIFY(outcome == u"shortened"_s && trouble->shortened);
        else
            QCOMPARE(u"mismatch"_s, outcome);
        QCOMPARE(to.size(), 0);
    }

    // A write that fails halfway leaves the target alone and no temporary file behind.
    void cannotWrite()
    {
        const QString target = path(u"song.mp3"_s);
        const QByteArray content = bytes({id3v2Tag(100), fakeAudio(200000)});
        QVERIFY(writeFile(target, content));
        rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = 64 * 1024;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const Result result = ID3::write(episodeTags(), target);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        verifyRefused(result, Kind::IO, u"Can't write next to song.mp3: File too large"_s, target, content);
    }

    // Another program's change between the read and the rename is kept. What the read-back
    // finds is what counts: one byte changed in the new file's tags, or one more, between the
    // write and the read-back, and it is refused, each time it is tried. (The audio is read
    // back piece by piece as it is copied: the faults that spoil a read of it are
    // TestFileSystem's.)
    void changedWhileTagged_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("change");
        QTest::addColumn<qint64>("offset"); // of the byte read back changed, from the end when negative
        QTest::addRow("appended to, two names") << true << u"append"_s << qint64(0);
        QTest::addRow("rewritten at the same size, at once") << false << u"overwrite"_s << qint64(0);
        QTest::addRow("replaced by another file") << false << u"replace"_s << qint64(0);
        QTest::addRow("cut short before its audio is copied") << false << u"cut"_s << qint64(0);
        QTest::addRow("read back: in the new tag") << false << u"read back"_s << qint64(20);
        QTest::addRow("read back: in the ID3v1 tag") << false << u"read back"_s << qint64(-3);
        QTest::addRow("read back: a byte past the end") << false << u"read back"_s << qint64(0);
    }
    void changedWhileTagged()
    {
        QFETCH(bool, linked);
        QFETCH(QString, change);
        QFETCH(qint64, offset);
        const QString target = path(u"download.mp3"_s);
        const QByteArray content = bytes({id3v2Tag(100), fakeAudio(5000)});
        QVERIFY(writeFile(target, content));
        if (linked)
            QCOMPARE(::link(native(target).constData(), native(path(u"other"_s)).constData()), 0);
        const QByteArray later = change == u"replace"_s ? fakeAudio(5000)
            : change == u"append"_s                     ? content + "more bytes"
            : change == u"cut"_s                        ? content.first(3000)
            : change == u"overwrite"_s                  ? QByteArray(content).replace(200, 4, "edit")
                                                        : content;
        ID3::Hooks hooks;
        hooks.beforeCopy = [&](const QString&) {
            if (change == u"cut"_s)
                QVERIFY(QFile::resize(target, later.size()));
        };
        if (change == u"read back"_s)
            hooks.beforeReadBack = [offset](int fd) {
                struct stat written = {};
                ::fstat(fd, &written);
                const qint64 at = offset > 0 ? offset : written.st_size + offset;
                char byte = 0;
                (void)::pread(fd, &byte, 1, at);
                byte = char(byte ^ 0x5A);
                QCOMPARE(::pwrite(fd, &byte, 1, at), 1);
            };
        hooks.beforeReplace = [&](const QString& real) {
            QCOMPARE(real, target);
            if (change == u"replace"_s) {
                QVERIFY(writeFile(path(u"new"_s), later));
                QCOMPARE(::rename(native(path(u"new"_s)).constData(), native(target).constData()), 0);
            } else {
                QFile file(target);
                QVERIFY(file.open(change == u"append"_s ? QIODevice::Append : QIODevice::ReadWrite));
                if (change == u"overwrite"_s)
                    QVERIFY(file.seek(200));
                file.write(change == u"append"_s ? "more bytes" : "edit");
            }
        };
        const Result result = ID3::write(episodeTags(), target, {ID3::FolderSync::Now, {}, hooks});
        if (change == u"read back"_s)
            verifyRefused(result, Kind::ReadsDiffer,
                u"download.mp3 read differently twice: the disk or file system returned different bytes; "
                "it was left as it was"_s,
                target, later);
        else
            verifyRefused(result, Kind::IO,
                u"download.mp3 %1 while it was being tagged; it was left as it is"_s.arg(
                    change == u"cut"_s ? u"got shorter"_s : u"changed"_s),
                target, later);
        QVERIFY(!QFileInfo::exists(path(u".download.mp3.pelamo-recovery"_s)));
        if (linked)
            QCOMPARE(readFile(path(u"other"_s)), later);
    }

    // A name keeps every byte through decoding; the displayed name has U+FFFD for bytes not UTF-8.
    void fileNames()
    {
        const QByteArray native = "/m/caf\xe9 \xf0\x9f\x8e\xb5\xc0\xaf\n.mp3"_ba;
        const QString decoded = FileName::decode(native);
        QCOMPARE(FileName::encode(decoded), native);
        QCOMPARE(FileName::display(decoded), u"/m/caf\ufffd \U0001F3B5\ufffd\ufffd\n.mp3"_s);
        QCOMPARE(FileName::fromUrl(FileName::url(decoded)), decoded);
        QCOMPARE(FileName::singleLine(FileName::decode("/m/a\nb\tc\x7f\xe9.mp3")),
            u"/m/a\\nb\\tc\\x7f\ufffd.mp3"_s);
    }
};

QTEST_GUILESS_MAIN(TestRewrite)
#include "TestRewrite.moc"
