#include "Id3TestSupport.h"
#include "common/TestEnvironment.h"
#include "id3/ID3.h"

#include <QFile>
#include <QHash>
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

QString python; // a python3 with mutagen

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A command line of words without spaces, then further arguments; "python" runs the tag tool.
Run run(const QString& command, const QStringList& more = {})
{
    QStringList arguments = command.split(u' ') + more;
    QString program = arguments.takeFirst();
    if (program == u"python"_s) {
        program = python;
        arguments.prepend(tagTool);
    }
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

// What mutagen reads from the tag of everyField(): text values carry their encoding.
QJsonArray expectedFrames(const ID3::Tags& tags)
{
    const auto text = [](const char* id, const QString& value) { return QJsonArray {id, value + u"|1"_s}; };
    return {text("TYER", tags.year), text("TIT2", tags.title), text("TPE1", tags.artist),
        text("TPE2", tags.albumArtist), text("TALB", tags.album), text("TCOM", tags.composer),
        text("TCON", tags.genre), text("TDRC", tags.year), text("TLAN", u"fra"_s),
        text("TPUB", tags.publisher), text("TCOP", tags.copyright),
        QJsonArray {"COMM", u"fra||"_s + tags.comment + u"|1"_s}, text("TDES", tags.description),
        text("TCAT", tags.category), text("TKWD", tags.keywords), QJsonArray {"WFED", tags.feedURL},
        QJsonArray {"PCST", "0"}, QJsonArray {"APIC", u"image/png|3||"_s + sha256(*tags.cover)}};
}

} // namespace

class TestRealFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QHash<QString, QByteArray> m_decoded; // fixture name: MD5 of its decoded audio

    QJsonObject readTags(const QString& file)
    {
        const Run read = run(u"python read"_s, {file});
        if (read.exitCode != 0)
            qWarning() << "mutagen could not read" << file << read.err;
        return QJsonDocument::fromJson(read.out).object();
    }

    // MD5 of the decoded audio: the same before and after when no sample changed.
    QByteArray decodedAudio(const QString& file)
    {
        const Run decode
            = run(u"ffmpeg -v error -i"_s, {file, u"-map"_s, u"0:a"_s, u"-f"_s, u"md5"_s, u"-"_s});
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
        // The Debian python3 carries mutagen; a python3 earlier on PATH may not.
        for (const QString& candidate : {u"/usr/bin/python3"_s, u"python3"_s}) {
            if (python.isEmpty() && run(candidate + u" -c"_s, {u"import mutagen"_s}).exitCode == 0)
                python = candidate;
        }
        QVERIFY2(!python.isEmpty(), "python3 with mutagen is missing: run scripts/install-deps.sh test");
        QVERIFY(QDir().mkpath(m_dir.filePath(u"fixtures"_s)));

        const QString wav = fixture(u"tone.wav"_s);
        QCOMPARE(
            run(u"ffmpeg -v error -f lavfi -i sine=frequency=330:duration=3,volume=0.5 -ac 2 -ar 44100"_s,
                {wav})
                .exitCode,
            0);
        QCOMPARE(run(u"lame --quiet -b 96"_s, {wav, fixture(u"cbr.mp3"_s)}).exitCode, 0);
        QCOMPARE(run(u"lame --quiet -V 5"_s, {wav, fixture(u"vbr.mp3"_s)}).exitCode, 0);
        const QStringList encode = u"-c:a libmp3lame -b:a 64k -metadata title=ffmpeg"_s.split(u' ');
        QCOMPARE(
            run(u"ffmpeg -v error -i"_s, QStringList {wav} << encode << fixture(u"ffmpeg.mp3"_s)).exitCode,
            0);
        for (const QString& name : {u"cbr.mp3"_s, u"vbr.mp3"_s, u"ffmpeg.mp3"_s}) {
            m_decoded[name] = decodedAudio(fixture(name));
            QVERIFY(!m_decoded[name].isEmpty());
        }
    }

    void retag_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("tagger"); // command line before the file; empty: none
        QTest::addColumn<bool>("withV1");
        QTest::addRow("lame CBR, no tag") << u"cbr.mp3"_s << QString() << true;
        QTest::addRow("lame VBR with its Xing frame") << u"vbr.mp3"_s << QString() << false;
        QTest::addRow("ffmpeg's ID3v2.4 tag") << u"ffmpeg.mp3"_s << QString() << true;
        QTest::addRow("id3v2 tool: v2.3 and ID3v1")
            << u"cbr.mp3"_s << u"id3v2 -t Old -a Someone -y 1999 -g 17"_s << true;
        QTest::addRow("id3v2 tool: ID3v1 only, none written")
            << u"cbr.mp3"_s << u"id3v2 -1 -t Old"_s << false;
        QTest::addRow("mid3v2: v2.4") << u"vbr.mp3"_s << u"mid3v2 -t Old -c Remark"_s << true;
        QTest::addRow("mutagen v2.3 with picture") << u"cbr.mp3"_s << u"python tag v23"_s << true;
        QTest::addRow("mutagen v2.4 with picture") << u"vbr.mp3"_s << u"python tag v24"_s << false;
        QTest::addRow("mutagen v2.3 and ID3v1") << u"cbr.mp3"_s << u"python tag v23+v1"_s << false;
        QTest::addRow("hand-made v2.2") << u"cbr.mp3"_s << u"python tag v22"_s << true;
        QTest::addRow("v2.2 then v2.4") << u"ffmpeg.mp3"_s << u"python tag two-v2"_s << true;
        QTest::addRow("APEv2 between audio and ID3v1") << u"cbr.mp3"_s << u"python tag ape+v1"_s << true;
        QTest::addRow("APEv2 alone") << u"vbr.mp3"_s << u"python tag ape"_s << false;
    }
    void retag()
    {
        QFETCH(QString, source);
        QFETCH(QString, tagger);
        QFETCH(bool, withV1);
        const QString file = m_dir.filePath(u"Episode 12.mp3"_s);
        QFile::remove(file);
        QVERIFY(QFile::copy(fixture(source), file));
        if (!tagger.isEmpty()) {
            const Run tagged = run(tagger, {file});
            QVERIFY2(tagged.exitCode == 0, tagged.err.constData());
            QVERIFY2(readFile(file) != readFile(fixture(source)), "the tagger left no tag to replace");
        }
        const QByteArray before = readFile(file);

        ID3::Tags tags = everyField();
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
        const QJsonArray expected = expectedFrames(tags);
        QCOMPARE(after.value(u"version"_s).toString(), u"2.3.0"_s);
        QJsonArray order;
        for (const QJsonValue& frame : expected)
            order.append(frame.toArray().at(0));
        QCOMPARE(after.value(u"order"_s).toArray(), order);
        const QJsonArray frames = after.value(u"frames"_s).toArray();
        for (const QJsonValue& frame : expected)
            QVERIFY2(frames.contains(frame), QJsonDocument(frame.toArray()).toJson(QJsonDocument::Compact));
        QCOMPARE(frames.size(), expected.size());
        QCOMPARE(after.value(u"ape"_s).toBool(), false);
        QCOMPARE(after.value(u"v1"_s).toBool(), withV1);

        // Every sample as the encoder made it, and the digest is of the audio bytes alone.
        QCOMPARE(decodedAudio(file), m_decoded.value(source));
        QCOMPARE(outcome.audioSHA, sha256(ID3::stripTags(before).toByteArray()));
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
