#include "Id3TestSupport.h"
#include "common/TestEnvironment.h"
#include "id3/FileName.h"
#include "id3/ID3.h"

#include <QCryptographicHash>
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

using namespace Qt::Literals::StringLiterals;

namespace {

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

// An independent digest, so the engine's OpenSSL one is checked against another implementation.
QString sha256(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

ID3::Failure failureOf(const std::variant<ID3::Outcome, ID3::Failure>& result)
{
    if (const auto* failure = std::get_if<ID3::Failure>(&result))
        return *failure;
    qWarning() << "unexpected success:" << std::get<ID3::Outcome>(result).frames;
    return {};
}

ID3::Outcome outcomeOf(const std::variant<ID3::Outcome, ID3::Failure>& result)
{
    if (const auto* outcome = std::get_if<ID3::Outcome>(&result))
        return *outcome;
    qWarning() << "unexpected failure:" << std::get<ID3::Failure>(result).description;
    return {};
}

// Limits the size of any file this process writes, for the duration of one test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved {};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class TestRewrite : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The checks every failure shares: exact text, target as it was, nothing left behind.
    void verifyRefused(const std::variant<ID3::Outcome, ID3::Failure>& result, ID3::Failure::Kind kind,
        const QString& message, const QString& target, const QByteArray& before)
    {
        const ID3::Failure failure = failureOf(result);
        QCOMPARE(failure.kind, kind);
        QCOMPARE(failure.description, message);
        if (QFileInfo(target).isFile())
            QCOMPARE(readFile(target), before);
        QCOMPARE(leftovers(QFileInfo(target).path()), QStringList());
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& name :
            QDir(m_dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            QFileInfo info(path(name));
            if (info.isDir() && !info.isSymLink())
                QDir(path(name)).removeRecursively();
            else
                QFile::remove(path(name));
        }
    }

    void refused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        using Kind = ID3::Failure::Kind;
        const QByteArray mp3 = bytes({id3v2Tag(100), fakeAudio(1000)});
        QTest::addRow("wav name, checked before reading")
            << u"song.wav"_s << QByteArray() << u"T"_s << int(Kind::NotMP3)
            << u"song.wav is not an MP3 file"_s;
        QTest::addRow("backup name") << u"song.mp3.bak"_s << mp3 << u"T"_s << int(Kind::NotMP3)
                                     << u"song.mp3.bak is not an MP3 file"_s;
        QTest::addRow("no extension")
            << u"song"_s << mp3 << u"T"_s << int(Kind::NotMP3) << u"song is not an MP3 file"_s;
        QTest::addRow("blank title, checked before reading")
            << u"missing.mp3"_s << QByteArray() << u" \t\u3000"_s << int(Kind::EmptyTitle)
            << u"The show has no Title — fill it in, or turn on “use the file name”"_s;
        QTest::addRow("missing file") << u"missing.mp3"_s << QByteArray() << u"T"_s << int(Kind::IO)
                                      << u"Can't read missing.mp3: No such file or directory"_s;
        QTest::addRow("empty file") << u"empty.mp3"_s << QByteArray("") << u"T"_s << int(Kind::NotMP3)
                                    << u"empty.mp3 is not an MP3 file"_s;
        QTest::addRow("WAV named mp3")
            << u"wave.mp3"_s << bytes({"RIFF", hex("24080000"), "WAVEfmt ", zeros(400)}) << u"T"_s
            << int(Kind::NotMP3) << u"wave.mp3 is not an MP3 file"_s;
        QTest::addRow("text named mp3") << u"notes.mp3"_s << QByteArray("just some text\n") << u"T"_s
                                        << int(Kind::NotMP3) << u"notes.mp3 is not an MP3 file"_s;
        QTest::addRow("all tag") << u"tag.mp3"_s << bytes({id3v2Tag(500), id3v1Tag()}) << u"T"_s
                                 << int(Kind::NotMP3) << u"tag.mp3 is not an MP3 file"_s;
        QTest::addRow("tag size past the end")
            << u"cut.mp3"_s << bytes({"ID3", hex("03000000007f7f"), fakeAudio(900)}) << u"T"_s
            << int(Kind::NotMP3) << u"cut.mp3 is not an MP3 file"_s;
        QTest::addRow("truncated header") << u"short.mp3"_s << QByteArray("ID3\3\0") << u"T"_s
                                          << int(Kind::NotMP3) << u"short.mp3 is not an MP3 file"_s;
        QTest::addRow("four bytes of sync") << u"tiny.mp3"_s << hex("fffb9064") << u"T"_s << int(Kind::NotMP3)
                                            << u"tiny.mp3 is not an MP3 file"_s;
        QTest::addRow("huge APE size")
            << u"ape.mp3"_s << bytes({hex("41fb9064"), fakeAudio(100), apeBlock(0xFFFFFFF0u)}) << u"T"_s
            << int(Kind::NotMP3) << u"ape.mp3 is not an MP3 file"_s;
        // In both, the audio would strip differently behind the new tag.
        // Audio plus two ID3v1 tags: the second one would be gone after the rewrite.
        QTest::addRow("two ID3v1 tags, none written")
            << u"twice.mp3"_s << bytes({fakeAudio(2000), id3v1Tag('a'), id3v1Tag('b')}) << u"no ID3v1"_s
            << int(Kind::AudioChanged)
            << u"Safety check failed: the audio would have changed, so the file was left untouched"_s;
        QTest::addRow("two APE tags")
            << u"twoape.mp3"_s << bytes({fakeAudio(2000), apeTag(), apeTag()}) << u"T"_s
            << int(Kind::AudioChanged)
            << u"Safety check failed: the audio would have changed, so the file was left untouched"_s;
    }
    void refused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, title);
        QFETCH(int, kind);
        QFETCH(QString, message);
        if (!content.isNull())
            QVERIFY(writeFile(path(name), content));
        ID3::Tags tags = episodeTags();
        tags.title = title;
        tags.writeID3v1 = title != u"no ID3v1"_s;
        verifyRefused(ID3::write(tags, path(name)), ID3::Failure::Kind(kind), message, path(name), content);
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
        const QByteArray native = QFile::encodeName(target);
        if (kind == u"fifo"_s)
            QCOMPARE(::mkfifo(native.constData(), 0644), 0);
        else if (kind == u"device"_s)
            QVERIFY(QFile::link(u"/dev/zero"_s, target));
        else if (kind == u"folder"_s)
            QVERIFY(QDir().mkpath(target));
        else
            QVERIFY(QFile::link(path(u"nowhere.mp3"_s), target));
        verifyRefused(ID3::write(episodeTags(), target), ID3::Failure::Kind::IO, message, target, {});
    }

    void rewrites_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("withV1");
        const QByteArray audio = fakeAudio(20000);
        QTest::addRow("old tags front and back, ID3v1 written")
            << bytes({id3v2Tag(4096), audio, id3v1Tag()}) << true;
        QTest::addRow("old tags front and back, no ID3v1")
            << bytes({id3v2Tag(4096), audio, id3v1Tag()}) << false;
        QTest::addRow("bare audio") << audio << true;
        QTest::addRow("two ID3v2 tags, APE and ID3v1")
            << bytes({id3v2Tag(64, 2), id3v2Tag(300, 4), audio, apeTag(), id3v1Tag()}) << true;
        QTest::addRow("two ID3v1 tags, one written") << bytes({audio, id3v1Tag('a'), id3v1Tag('b')}) << true;
    }
    void rewrites()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, withV1);
        const QString target = path(u"My Show 1.MP3"_s);
        QVERIFY(writeFile(target, content));
        ID3::Tags tags = episodeTags();
        tags.writeID3v1 = withV1;
        const QByteArray audio = ID3::stripTags(content).toByteArray();

        const ID3::Outcome outcome = outcomeOf(ID3::write(tags, target));
        const ID3::BuiltTag tag = ID3::buildTag(tags);
        const QByteArray expected = bytes({tag.bytes, audio, withV1 ? ID3::id3v1(tags) : QByteArray()});
        QCOMPARE(readFile(target), expected);
        QCOMPARE(outcome.frames, withV1 ? tag.frames + QStringList {u"ID3v1"_s} : tag.frames);
        QCOMPARE(outcome.audioSHA, sha256(audio));
        QCOMPARE(outcome.bytesWritten, expected.size());
        QCOMPARE(leftovers(m_dir.path()), QStringList());

        // A second run with the same record changes nothing.
        QCOMPARE(outcomeOf(ID3::write(tags, target)), outcome);
        QCOMPARE(readFile(target), expected);
    }

    void keepsPermissionsAndOwner_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addRow("private") << 0600;
        QTest::addRow("group readable") << 0640;
        QTest::addRow("read-only for everyone") << 0444;
        QTest::addRow("executable bit") << 0755;
    }
    void keepsPermissionsAndOwner()
    {
        QFETCH(int, mode);
        const QString target = path(u"private.mp3"_s);
        const QByteArray native = QFile::encodeName(target);
        QVERIFY(writeFile(target, fakeAudio(3000)));
        QCOMPARE(::chmod(native.constData(), mode_t(mode)), 0);
        const bool root = ::geteuid() == 0;
        if (root)
            QCOMPARE(::chown(native.constData(), 4321, 8765), 0);
        QVERIFY(std::holds_alternative<ID3::Outcome>(ID3::write(episodeTags(), target)));
        struct stat after
        {
        };
        QCOMPARE(::stat(native.constData(), &after), 0);
        QCOMPARE(int(after.st_mode & 07777), mode);
        if (root) {
            QCOMPARE(int(after.st_uid), 4321);
            QCOMPARE(int(after.st_gid), 8765);
        }
    }

    void tagsThroughSymbolicLink()
    {
        QVERIFY(QDir().mkpath(path(u"real"_s)));
        const QString real = path(u"real/episode.mp3"_s);
        const QString link = path(u"link.mp3"_s);
        QVERIFY(writeFile(real, bytes({id3v2Tag(200), fakeAudio(5000)})));
        QVERIFY(QFile::link(u"real/episode.mp3"_s, link));

        const ID3::Outcome outcome = outcomeOf(ID3::write(episodeTags(), link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), real);
        QCOMPARE(readFile(real).size(), outcome.bytesWritten);
        QVERIFY(readFile(real).startsWith(ID3::buildTag(episodeTags()).bytes));
        QCOMPARE(leftovers(m_dir.path()), QStringList());
        QCOMPARE(leftovers(path(u"real"_s)), QStringList());

        // Messages name the file as the user gave it.
        QVERIFY(writeFile(real, "not audio at all"));
        verifyRefused(ID3::write(episodeTags(), link), ID3::Failure::Kind::NotMP3,
            u"link.mp3 is not an MP3 file"_s, link, "not audio at all");
    }

    // A write that fails halfway (here: the process may not write files that
    // large) leaves the target alone and no partial temporary file behind.
    void failedWriteLeavesNothing()
    {
        const QString target = path(u"big.mp3"_s);
        const QByteArray content = bytes({id3v2Tag(100), fakeAudio(200000)});
        QVERIFY(writeFile(target, content));
        std::variant<ID3::Outcome, ID3::Failure> result;
        {
            FileSizeLimit limit(64 * 1024);
            result = ID3::write(episodeTags(), target);
        }
        verifyRefused(result, ID3::Failure::Kind::IO, u"Can't write next to big.mp3: File too large"_s,
            target, content);
    }

    void readOnlyFolder()
    {
        if (::geteuid() == 0)
            QSKIP("root may write into any folder");
        QVERIFY(QDir().mkpath(path(u"locked"_s)));
        const QString target = path(u"locked/song.mp3"_s);
        const QByteArray content = fakeAudio(1000);
        QVERIFY(writeFile(target, content));
        QFile::setPermissions(path(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner);
        const auto result = ID3::write(episodeTags(), target);
        QFile::setPermissions(path(u"locked"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        verifyRefused(result, ID3::Failure::Kind::IO, u"Can't write next to song.mp3: Permission denied"_s,
            target, content);
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
        const QByteArray content = fakeAudio(1000);
        QVERIFY(writeFile(target, content));
        ID3::Tags tags = episodeTags();
        tags.padding = padding - ID3::buildFrames(tags).bytes.size();
        verifyRefused(ID3::write(tags, target), ID3::Failure::Kind::AudioChanged,
            u"Safety check failed: the audio would have changed, so the file was left untouched"_s, target,
            content);
    }

    // Another program writing the file between the read and the rename keeps
    // its bytes; so does a file that was replaced by a new one meanwhile.
    void changedWhileTagged_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<bool>("replaced");
        QTest::addRow("appended to") << false << false;
        QTest::addRow("appended to, two names") << true << false;
        QTest::addRow("replaced by another file") << false << true;
    }
    void changedWhileTagged()
    {
        QFETCH(bool, linked);
        QFETCH(bool, replaced);
        const QString target = path(u"download.mp3"_s);
        const QByteArray content = bytes({id3v2Tag(100), fakeAudio(5000)});
        QVERIFY(writeFile(target, content));
        if (linked)
            QCOMPARE(::link(QFile::encodeName(target).constData(),
                         QFile::encodeName(path(u"other"_s)).constData()),
                0);
        const QByteArray later = replaced ? fakeAudio(5000) : content + "more bytes";
        ID3::setBeforeReplaceHook([&](const QString& real) {
            QCOMPARE(real, target);
            if (replaced) {
                QVERIFY(writeFile(path(u"new"_s), later));
                QVERIFY(::rename(QFile::encodeName(path(u"new"_s)).constData(),
                            QFile::encodeName(target).constData())
                    == 0);
            } else {
                QFile file(target);
                QVERIFY(file.open(QIODevice::Append));
                file.write("more bytes");
            }
        });
        const auto result = ID3::write(episodeTags(), target);
        ID3::setBeforeReplaceHook({});
        verifyRefused(result, ID3::Failure::Kind::IO,
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
