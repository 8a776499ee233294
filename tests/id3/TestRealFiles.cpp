#include "common/TestEnvironment.h"
#include "id3/ID3.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Real MPEG audio made by lame and ffmpeg, old tags put on by other taggers,
// and the result read back by mutagen and decoded by ffmpeg: nothing here
// trusts the engine's own idea of the format.
namespace {

const QString tagTool = QStringLiteral(PELAMO_ID3_TAGTOOL);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The Debian python3 carries mutagen; a python3 earlier on PATH may not.
QString pythonWithMutagen()
{
    for (const QString& candidate : {u"/usr/bin/python3"_s, u"python3"_s}) {
        if (run(candidate, {u"-c"_s, u"import mutagen"_s}).exitCode == 0)
            return candidate;
    }
    return {};
}

ID3::Tags showTags()
{
    ID3::Tags tags;
    tags.title = u"Épisode 12 — naïve 😀"_s;
    tags.artist = u"Host"_s;
    tags.albumArtist = u"Network"_s;
    tags.album = u"The Show"_s;
    tags.genre = u"Podcast"_s;
    tags.year = u"2024"_s;
    tags.language = u"French"_s;
    tags.publisher = u"Publisher"_s;
    tags.copyright = u"© 2024"_s;
    tags.comment = u"Line one\nLine two"_s;
    tags.description = u"What this episode is about"_s;
    tags.composer = u"Composer"_s;
    tags.category = u"Arts"_s;
    tags.keywords = u"one, two"_s;
    tags.feedURL = u"https://example.com/feed.xml"_s;
    tags.podcastFlag = true;
    tags.cover = QByteArray::fromHex("89504e470d0a1a0a") + QByteArray(5000, 'p');
    return tags;
}

QJsonArray expectedFrames(const ID3::Tags& tags)
{
    const auto text = [](const char* id, const QString& value) { return QJsonArray {id, value + u"|1"_s}; };
    const QString coverSHA
        = QString::fromLatin1(QCryptographicHash::hash(*tags.cover, QCryptographicHash::Sha256).toHex());
    return {
        text("TYER", tags.year),
        text("TIT2", tags.title),
        text("TPE1", tags.artist),
        text("TPE2", tags.albumArtist),
        text("TALB", tags.album),
        text("TCOM", tags.composer),
        text("TCON", tags.genre),
        text("TDRC", tags.year),
        text("TLAN", u"fra"_s),
        text("TPUB", tags.publisher),
        text("TCOP", tags.copyright),
        QJsonArray {"COMM", u"fra||"_s + tags.comment + u"|1"_s},
        text("TDES", tags.description),
        text("TCAT", tags.category),
        text("TKWD", tags.keywords),
        QJsonArray {"WFED", tags.feedURL},
        QJsonArray {"PCST", "0"},
        QJsonArray {"APIC", u"image/png|3||"_s + coverSHA},
    };
}

QJsonArray ids(const QJsonArray& frames)
{
    QJsonArray out;
    for (const QJsonValue& frame : frames)
        out.append(frame.toArray().at(0));
    return out;
}

} // namespace

class TestRealFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_python;

    QJsonObject readTags(const QString& file)
    {
        const Run read = run(m_python, {tagTool, u"read"_s, file});
        if (read.exitCode != 0)
            qWarning() << "mutagen could not read" << file << read.err;
        return QJsonDocument::fromJson(read.out).object();
    }

    // MD5 of the decoded audio: the same before and after when no sample changed.
    QByteArray decodedAudio(const QString& file)
    {
        const Run decode = run(u"ffmpeg"_s,
            {u"-v"_s, u"error"_s, u"-i"_s, file, u"-map"_s, u"0:a"_s, u"-f"_s, u"md5"_s, u"-"_s});
        return decode.exitCode == 0 ? decode.out.trimmed() : QByteArray();
    }

    QString fixture(const QString& name) const { return m_dir.filePath(u"fixtures/"_s + name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& tool : {u"ffmpeg"_s, u"lame"_s, u"id3v2"_s, u"mid3v2"_s}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QFAIL(qPrintable(tool + u" is missing: run scripts/install-deps.sh test"_s));
        }
        m_python = pythonWithMutagen();
        QVERIFY2(!m_python.isEmpty(), "python3 with mutagen is missing: run scripts/install-deps.sh test");
        QVERIFY(QDir().mkpath(m_dir.filePath(u"fixtures"_s)));

        const QString wav = fixture(u"tone.wav"_s);
        QCOMPARE(run(u"ffmpeg"_s,
                     {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                         u"sine=frequency=330:duration=3,volume=0.5"_s, u"-ac"_s, u"2"_s, u"-ar"_s,
                         u"44100"_s, wav})
                     .exitCode,
            0);
        QCOMPARE(run(u"lame"_s, {u"--quiet"_s, u"-b"_s, u"96"_s, wav, fixture(u"cbr.mp3"_s)}).exitCode, 0);
        QCOMPARE(run(u"lame"_s, {u"--quiet"_s, u"-V"_s, u"5"_s, wav, fixture(u"vbr.mp3"_s)}).exitCode, 0);
        QCOMPARE(run(u"ffmpeg"_s,
                     {u"-v"_s, u"error"_s, u"-i"_s, wav, u"-c:a"_s, u"libmp3lame"_s, u"-b:a"_s, u"64k"_s,
                         u"-metadata"_s, u"title=From ffmpeg"_s, fixture(u"ffmpeg.mp3"_s)})
                     .exitCode,
            0);
    }

    void retag_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("tagger"); // program and arguments before the file; empty: none
        QTest::addColumn<bool>("withV1");
        const QString py = u"python"_s;
        QTest::addRow("lame CBR, no tag") << u"cbr.mp3"_s << QStringList() << true;
        QTest::addRow("lame VBR with its Xing frame") << u"vbr.mp3"_s << QStringList() << false;
        QTest::addRow("ffmpeg's ID3v2.4 tag") << u"ffmpeg.mp3"_s << QStringList() << true;
        QTest::addRow("id3v2 tool: v2.3 and ID3v1") << u"cbr.mp3"_s
                                                    << QStringList {u"id3v2"_s, u"-t"_s, u"Old"_s, u"-a"_s,
                                                           u"Someone"_s, u"-y"_s, u"1999"_s, u"-g"_s, u"17"_s}
                                                    << true;
        QTest::addRow("id3v2 tool: ID3v1 only, none written")
            << u"cbr.mp3"_s << QStringList {u"id3v2"_s, u"-1"_s, u"-t"_s, u"Old"_s} << false;
        QTest::addRow("mid3v2: v2.4")
            << u"vbr.mp3"_s << QStringList {u"mid3v2"_s, u"-t"_s, u"Old"_s, u"-c"_s, u"Old comment"_s}
            << true;
        QTest::addRow("mutagen v2.3 with picture") << u"cbr.mp3"_s << QStringList {py, u"v23"_s} << true;
        QTest::addRow("mutagen v2.4 with picture") << u"vbr.mp3"_s << QStringList {py, u"v24"_s} << false;
        QTest::addRow("mutagen v2.3 and ID3v1") << u"cbr.mp3"_s << QStringList {py, u"v23+v1"_s} << false;
        QTest::addRow("hand-made v2.2") << u"cbr.mp3"_s << QStringList {py, u"v22"_s} << true;
        QTest::addRow("v2.2 then v2.4") << u"ffmpeg.mp3"_s << QStringList {py, u"two-v2"_s} << true;
        QTest::addRow("APEv2 between audio and ID3v1")
            << u"cbr.mp3"_s << QStringList {py, u"ape+v1"_s} << true;
        QTest::addRow("APEv2 alone") << u"vbr.mp3"_s << QStringList {py, u"ape"_s} << false;
    }
    void retag()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, tagger);
        QFETCH(bool, withV1);
        const QString file = m_dir.filePath(u"Episode 12.mp3"_s);
        QFile::remove(file);
        QVERIFY(QFile::copy(fixture(source), file));
        if (!tagger.isEmpty()) {
            const QString program = tagger.takeFirst();
            const Run tagged = program == u"python"_s
                ? run(m_python, QStringList {tagTool, u"tag"_s} + tagger + QStringList {file})
                : run(program, tagger + QStringList {file});
            QVERIFY2(tagged.exitCode == 0, tagged.err.constData());
            const QJsonObject old = readTags(file);
            QVERIFY2(!old.value(u"frames"_s).toArray().isEmpty() || old.value(u"ape"_s).toBool()
                    || old.value(u"v1"_s).toBool(),
                "the tagger left no tag to replace");
        }
        const QByteArray before = readFile(file);
        const QByteArray audioBefore = decodedAudio(file);
        QVERIFY(!audioBefore.isEmpty());

        ID3::Tags tags = showTags();
        tags.writeID3v1 = withV1;
        ID3::Original original;
        const auto result = ID3::write(tags, file, ID3::FolderSync::Now, [&](const ID3::Replaced& replaced) {
            original = {replaced.oldHead.toByteArray(), replaced.oldTail.toByteArray(), replaced.audioSHA,
                ID3::sha256Hex(replaced.newHead), ID3::sha256Hex(replaced.newTail)};
        });
        if (const auto* failure = std::get_if<ID3::Failure>(&result))
            QFAIL(qPrintable(failure->description));
        const ID3::Outcome outcome = std::get<ID3::Outcome>(result);
        QCOMPARE(original.head.size() + original.tail.size(), before.size() - ID3::stripTags(before).size());

        const QJsonObject after = readTags(file);
        QCOMPARE(after.value(u"version"_s).toString(), u"2.3.0"_s);
        QCOMPARE(after.value(u"order"_s).toArray(), ids(expectedFrames(tags)));
        QJsonArray frames = after.value(u"frames"_s).toArray();
        for (const QJsonValue& expected : expectedFrames(tags))
            QVERIFY2(frames.contains(expected),
                qPrintable(QJsonDocument(expected.toArray()).toJson(QJsonDocument::Compact)));
        QCOMPARE(frames.size(), expectedFrames(tags).size());
        QCOMPARE(after.value(u"ape"_s).toBool(), false);
        QCOMPARE(after.value(u"v1"_s).toBool(), withV1);

        QCOMPARE(decodedAudio(file), audioBefore);
        const QByteArray audio = ID3::stripTags(before).toByteArray();
        QCOMPARE(outcome.audioSHA,
            QString::fromLatin1(QCryptographicHash::hash(audio, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(QFileInfo(file).size(), outcome.bytesWritten);

        // What the rewrite handed over puts the file back exactly, once.
        const auto restored = ID3::restore(original, file);
        if (const auto* failure = std::get_if<ID3::Failure>(&restored))
            QFAIL(qPrintable(failure->description));
        QCOMPARE(readFile(file), before);
        // A file that no longer holds the tag written is left alone.
        QVERIFY(std::holds_alternative<ID3::Failure>(ID3::restore(original, file)));
        QCOMPARE(readFile(file), before);
    }
};

QTEST_GUILESS_MAIN(TestRealFiles)
#include "TestRealFiles.moc"
