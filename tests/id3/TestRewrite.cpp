#include "Id3TestSupport.h"
#include "common/TestEnvironment.h"
#include "id3/FileName.h"
#include "id3/ID3.h"

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

const QString audioChanged
    = u"Safety check failed: the audio would have changed, so the file was left untouched"_s;

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

    // The checks every failure shares: exact text, target as it was, nothing left behind.
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
        const QByteArray mp3 = bytes({id3v2Tag(100), fakeAudio(1000)});
        const QString usual; // the message every failure of its kind has
        QTest::addRow("wav name, checked before reading")
            << u"song.wav"_s << QByteArray() << u"T"_s << Kind::NotMP3 << usual;
        QTest::addRow("backup name") << u"song.mp3.bak"_s << mp3 << u"T"_s << Kind::NotMP3 << usual;
        QTest::addRow("no extension") << u"song"_s << mp3 << u"T"_s << Kind::NotMP3 << usual;
        QTest::addRow("blank title, checked before reading")
            << u"missing.mp3"_s << QByteArray() << u" \t\u3000"_s << Kind::EmptyTitle
            << u"The show has no Title — fill it in, or turn on “use the file name”"_s;
        QTest::addRow("missing file") << u"missing.mp3"_s << QByteArray() << u"T"_s << Kind::IO
                                      << u"Can't read missing.mp3: No such file or directory"_s;
        QTest::addRow("empty file") << u"empty.mp3"_s << QByteArray("") << u"T"_s << Kind::NotMP3 << usual;
        QTest::addRow("WAV named mp3")
            << u"wave.mp3"_s << bytes({"RIFF", hex("24080000"), "WAVEfmt ", zeros(400)}) << u"T"_s
            << Kind::NotMP3 << usual;
        QTest::addRow("text named mp3")
            << u"notes.mp3"_s << "just some text\n"_ba << u"T"_s << Kind::NotMP3 << usual;
        QTest::addRow("all tag") << u"tag.mp3"_s << bytes({id3v2Tag(500), id3v1Tag()}) << u"T"_s
                                 << Kind::NotMP3 << usual;
        QTest::addRow("tag size past the end")
            << u"cut.mp3"_s << bytes({"ID3", hex("03000000007f7f"), fakeAudio(900)}) << u"T"_s << Kind::NotMP3
            << usual;
        QTest::addRow("truncated header")
            << u"short.mp3"_s << QByteArray("ID3\3\0") << u"T"_s << Kind::NotMP3 << usual;
        QTest::addRow("four bytes of sync")
            << u"tiny.mp3"_s << hex("fffb9064") << u"T"_s << Kind::NotMP3 << usual;
        QTest::addRow("huge APE size")
            << u"ape.mp3"_s << bytes({hex("41fb9064"), fakeAudio(100), apeBlock(0xFFFFFFF0u)}) << u"T"_s
            << Kind::NotMP3 << usual;
        // The audio would strip differently behind the new tag: a second ID3v1 tag would be gone.
        QTest::addRow("two ID3v1 tags, none written")
            << u"twice.mp3"_s << bytes({fakeAudio(2000), id3v1Tag('a'), id3v1Tag('b')}) << u"no ID3v1"_s
            << Kind::AudioChanged << usual;
        QTest::addRow("two APE tags") << u"twoape.mp3"_s << bytes({fakeAudio(2000), apeTag(), apeTag()})
                                      << u"T"_s << Kind::AudioChanged << usual;
    }
    void refused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, title);
        QFETCH(Kind, kind);
        QFETCH(QString, message);
        if (message.isEmpty())
            message = kind == Kind::NotMP3 ? name + u" is not an MP3 file"_s : audioChanged;
        if (!content.isNull())
            QVERIFY(writeFile(path(name), content));
        ID3::Tags tags = episodeTags();
        tags.title = title;
        tags.writeID3v1 = title != u"no ID3v1"_s;
        verifyRefused(ID3::write(tags, path(name)), kind, message, path(name), content);
        QCOMPARE(QFileInfo::exists(path(name)), !content.isNull());
    }

    void notRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::addRow("FIFO does not block") << u"fifo"_s << u"Can't read x.mp3: not a regular file"_s;
        QTest::addRow("device behind a link") << u"device"_s << u"Can't read x.mp3: not a regular file"_s;
        QTest::addRow("folder") << u"folder"_s << u"Can't read x.mp3: Is a directory"_s;
        QTest::addRow("dangling link") << u"dangling"_s << u"Can't read x.mp3: No such file or directory"_s;
    }
    void notRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        const QString target = path(u"x.mp3"_s);
        if (kind == u"fifo"_s)
            QCOMPARE(::mkfifo(native(target).constData(), 0644), 0);
        else if (kind == u"device"_s)
            QVERIFY(QFile::link(u"/dev/zero"_s, target));
        else if (kind == u"folder"_s)
            QVERIFY(QDir().mkpath(target));
        else
            QVERIFY(QFile::link(path(u"nowhere.mp3"_s), target));
        verifyRefused(ID3::write(episodeTags(), target), Kind::IO, message, target, {});
    }

    // Each row also gives the file a mode of its own, which it keeps, as it keeps its owner and other names.
    void rewrites_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("withV1");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("linked");
        const QByteArray audio = fakeAudio(20000);
        QTest::addRow("old tags front and back, ID3v1 written")
            << bytes({id3v2Tag(4096), audio, id3v1Tag()}) << true << 0600 << false;
        QTest::addRow("old tags front and back, no ID3v1")
            << bytes({id3v2Tag(4096), audio, id3v1Tag()}) << false << 0640 << false;
        QTest::addRow("bare audio, read-only for everyone") << audio << true << 0444 << false;
        QTest::addRow("two ID3v2 tags, APE and ID3v1, executable bit")
            << bytes({id3v2Tag(64, 2), id3v2Tag(300, 4), audio, apeTag(), id3v1Tag()}) << true << 0755
            << false;
        QTest::addRow("two ID3v1 tags, one written, second name")
            << bytes({audio, id3v1Tag('a'), id3v1Tag('b')}) << true << 0644 << true;
    }
    void rewrites()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, withV1);
        QFETCH(int, mode);
        QFETCH(bool, linked);
        const QString target = path(u"My Show 1.MP3"_s);
        QVERIFY(writeFile(target, content));
        QCOMPARE(::chmod(native(target).constData(), mode_t(mode)), 0);
        if (linked)
            QCOMPARE(::link(native(target).constData(), native(path(u"other"_s)).constData()), 0);
        const bool root = ::geteuid() == 0;
        if (root)
            QCOMPARE(::chown(native(target).constData(), 4321, 8765), 0);
        ID3::Tags tags = episodeTags();
        tags.writeID3v1 = withV1;
        const QByteArray audio = ID3::stripTags(content).toByteArray();

        const ID3::Outcome outcome = outcomeOf(ID3::write(tags, target));
        const QByteArray expected = taggedFile(tags, audio);
        const QStringList frames = ID3::buildTag(tags).frames;
        QCOMPARE(readFile(target), expected);
        if (linked) // written in place, so both names see the new content
            QCOMPARE(readFile(path(u"other"_s)), expected);
        QCOMPARE(outcome.frames, withV1 ? frames + QStringList {u"ID3v1"_s} : frames);
        QCOMPARE(outcome.audioSHA, sha256(audio));
        QCOMPARE(outcome.bytesWritten, expected.size());
        QCOMPARE(leftovers(m_dir->path()), QStringList());
        struct stat after
        {
        };
        QCOMPARE(::stat(native(target).constData(), &after), 0);
        QCOMPARE(int(after.st_mode & 07777), mode);
        if (root)
            QVERIFY(after.st_uid == 4321 && after.st_gid == 8765);
        // A second run with the same record changes nothing.
        QCOMPARE(outcomeOf(ID3::write(tags, target)), outcome);
        QCOMPARE(readFile(target), expected);
    }

    void tagsThroughSymbolicLink()
    {
        QVERIFY(QDir().mkpath(path(u"real"_s)));
        const QString real = path(u"real/episode.mp3"_s);
        const QString link = path(u"link.mp3"_s);
        QVERIFY(writeFile(real, bytes({id3v2Tag(200), fakeAudio(5000)})));
        QVERIFY(QFile::link(u"real/episode.mp3"_s, link));

        const ID3::Outcome outcome = outcomeOf(ID3::write(episodeTags(), link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), real);
        QCOMPARE(readFile(real).size(), outcome.bytesWritten);
        QVERIFY(readFile(real).startsWith(ID3::buildTag(episodeTags()).bytes));
        QCOMPARE(leftovers(m_dir->path()) + leftovers(path(u"real"_s)), QStringList());

        // Messages name the file as the user gave it.
        QVERIFY(writeFile(real, "not audio at all"));
        verifyRefused(ID3::write(episodeTags(), link), Kind::NotMP3, u"link.mp3 is not an MP3 file"_s, link,
            "not audio at all");
    }

    // A write that fails halfway leaves the target alone and no partial temporary file behind.
    void cannotWrite_data()
    {
        QTest::addColumn<bool>("sizeLimit");
        QTest::addColumn<QString>("message");
        QTest::addRow("file size limit") << true << u"Can't write next to song.mp3: File too large"_s;
        QTest::addRow("read-only folder") << false << u"Can't write next to song.mp3: Permission denied"_s;
    }
    void cannotWrite()
    {
        QFETCH(bool, sizeLimit);
        QFETCH(QString, message);
        if (!sizeLimit && ::geteuid() == 0)
            QSKIP("root may write into any folder");
        const QString target = path(u"song.mp3"_s);
        const QByteArray content = bytes({id3v2Tag(100), fakeAudio(200000)});
        QVERIFY(writeFile(target, content));
        rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        if (sizeLimit)
            limit.rlim_cur = 64 * 1024;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (!sizeLimit)
            QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner);
        const Result result = ID3::write(episodeTags(), target);
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        verifyRefused(result, Kind::IO, message, target, content);
    }

    // A tag whose size its header can't hold is refused before anything is written.
    void oversizedTag_data()
    {
        QTest::addColumn<qint64>("padding");
        QTest::addRow("exactly 2^28 after the header") << (qint64(1) << 28);
        QTest::addRow("a terabyte of padding") << (qint64(1) << 40);
    }
    void oversizedTag()
    {
        QFETCH(qint64, padding);
        const QString target = path(u"padded.mp3"_s);
        QVERIFY(writeFile(target, fakeAudio(1000)));
        ID3::Tags tags = episodeTags();
        tags.padding = padding - ID3::buildFrames(tags).bytes.size();
        verifyRefused(ID3::write(tags, target), Kind::AudioChanged, audioChanged, target, fakeAudio(1000));
    }

    // Another program writing the file between the read and the rename keeps
    // its bytes; so does a file that was replaced by a new one meanwhile.
    void changedWhileTagged_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("change");
        QTest::addRow("appended to") << false << u"append"_s;
        QTest::addRow("appended to, two names") << true << u"append"_s;
        QTest::addRow("rewritten at the same size, at once") << false << u"overwrite"_s;
        QTest::addRow("replaced by another file") << false << u"replace"_s;
    }
    void changedWhileTagged()
    {
        QFETCH(bool, linked);
        QFETCH(QString, change);
        const QString target = path(u"download.mp3"_s);
        const QByteArray content = bytes({id3v2Tag(100), fakeAudio(5000)});
        QVERIFY(writeFile(target, content));
        if (linked)
            QCOMPARE(::link(native(target).constData(), native(path(u"other"_s)).constData()), 0);
        const QByteArray later = change == u"replace"_s ? fakeAudio(5000)
            : change == u"append"_s                     ? content + "more bytes"
                                                        : QByteArray(content).replace(200, 4, "edit");
        ID3::setBeforeReplaceHook([&](const QString& real) {
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
        });
        const Result result = ID3::write(episodeTags(), target);
        ID3::setBeforeReplaceHook({});
        verifyRefused(result, Kind::IO,
            u"download.mp3 changed while it was being tagged; it was left as it is"_s, target, later);
        QVERIFY(!QFileInfo::exists(path(u".download.mp3.pelamo-recovery"_s)));
        if (linked)
            QCOMPARE(readFile(path(u"other"_s)), later);
    }

    // A name keeps every byte through decoding, whatever it holds; what a person
    // reads of it has U+FFFD for the bytes that are not UTF-8.
    void fileNames_data()
    {
        QTest::addColumn<QByteArray>("native");
        QTest::addColumn<QString>("display");
        QTest::addRow("UTF-8") << "/m/caf\xc3\xa9 \xf0\x9f\x8e\xb5.mp3"_ba
                               << u"/m/caf\u00e9 \U0001F3B5.mp3"_s;
        QTest::addRow("Latin-1") << "/m/caf\xe9.mp3"_ba << u"/m/caf\ufffd.mp3"_s;
        QTest::addRow("cut sequence at the end") << "/a\xe2\x82"_ba << u"/a\ufffd\ufffd"_s;
        QTest::addRow("overlong slash") << "/a\xc0\xaf"
                                           "b"_ba
                                        << u"/a\ufffd\ufffdb"_s;
        QTest::addRow("encoded surrogate") << "/\xed\xb3\xa9"_ba << u"/\ufffd\ufffd\ufffd"_s;
        QTest::addRow("past U+10FFFF") << "/\xf4\x90\x80\x80"_ba << u"/\ufffd\ufffd\ufffd\ufffd"_s;
    }
    void fileNames()
    {
        QFETCH(QByteArray, native);
        QFETCH(QString, display);
        const QString decoded = FileName::decode(native);
        QCOMPARE(FileName::encode(decoded), native);
        QCOMPARE(FileName::display(decoded), display);
        QCOMPARE(FileName::fromUrl(FileName::url(decoded)), decoded);
    }

    void oneLinePerName()
    {
        QCOMPARE(FileName::singleLine(FileName::decode("/m/a\nb\tc\x7f\xe9.mp3")),
            u"/m/a\\nb\\tc\\x7f\ufffd.mp3"_s);
    }
};

QTEST_GUILESS_MAIN(TestRewrite)
#include "TestRewrite.moc"
