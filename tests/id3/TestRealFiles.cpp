#include "Id3TestSupport.h"
#include "common/TestEnvironment.h"
#include "id3/ID3.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Real audio from lame and ffmpeg, old tags from other taggers, read back by mutagen and ffmpeg.
namespace {

QString python; // a python3 with mutagen

// A command line of words without spaces, then further arguments; "python" runs oldtags.py.
ProgramRun run(const QString& command, const QStringList& more = {})
{
    QStringList arguments = command.split(u' ') + more;
    QString program = arguments.takeFirst();
    if (program == u"python"_s) {
        program = python;
        arguments.prepend(QStringLiteral(PELAMO_OLDTAGS_TOOL));
    }
    return runProgram(program, arguments, QProcessEnvironment::systemEnvironment());
}

// What mutagen reads from the tag of everyField(): each frame's fields, then its encoding. mutagen
// takes WFED for a link frame and reads the text frame Apple's software writes as empty.
QJsonArray expectedFrames(const ID3::Tags& tags)
{
    const auto text = [](const char* id, const QString& value) { return QJsonArray {id, value, 1}; };
    return {text("TYER", tags.year), text("TIT2", tags.title), text("TPE1", tags.artist),
        text("TPE2", tags.albumArtist), text("TALB", tags.album), text("TCOM", tags.composer),
        text("TCON", tags.genre), text("TDRC", tags.year), text("TLAN", u"fra"_s),
        text("TPUB", tags.publisher), text("TCOP", tags.copyright), text("COMM", u"fra||"_s + tags.comment),
        text("TDES", tags.description), text("TCAT", tags.category), text("TKWD", tags.keywords),
        QJsonArray {"WFED", ""}, QJsonArray {"PCST", "0"},
        QJsonArray {"APIC", u"image/png|3||"_s + sha256Hex(*tags.cover), 0}};
}

} // namespace

class TestRealFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QHash<QString, QString> m_decoded; // fixture name: MD5 of its decoded audio

    QString decodedAudio(const QString& file)
    {
        const ProgramRun decode
            = run(u"ffmpeg -v error -i"_s, {file, u"-map"_s, u"0:a"_s, u"-f"_s, u"md5"_s, u"-"_s});
        return decode.status == 0 ? decode.out.trimmed() : QString();
    }

    QString fixture(const QString& name) const { return m_dir.filePath(u"fixtures/"_s + name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& tool : {u"ffmpeg"_s, u"lame"_s, u"id3v2"_s, u"mid3v2"_s})
            QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(),
                qPrintable(tool + u" is missing: run scripts/install-deps.sh test"_s));
        for (const QString& candidate : {u"/usr/bin/python3"_s, u"python3"_s})
            if (python.isEmpty() && run(candidate + u" -c"_s, {u"import mutagen"_s}).status == 0)
                python = candidate;
        QVERIFY2(!python.isEmpty(), "python3 with mutagen is missing: run scripts/install-deps.sh test");
        QVERIFY(QDir().mkpath(m_dir.filePath(u"fixtures"_s)));

        const QString wav = fixture(u"tone.wav"_s);
        QCOMPARE(run(u"ffmpeg -v error -f lavfi -i sine=f=330:d=3 -ac 2"_s, {wav}).status, 0);
        QCOMPARE(run(u"lame --quiet -b 96"_s, {wav, fixture(u"cbr.mp3"_s)}).status, 0);
        QCOMPARE(run(u"lame --quiet -V 5"_s, {wav, fixture(u"vbr.mp3"_s)}).status, 0);
        const QStringList ffmpeg {wav, u"-metadata"_s, u"title=ffmpeg"_s, fixture(u"ffmpeg.mp3"_s)};
        QCOMPARE(run(u"ffmpeg -v error -i"_s, ffmpeg).status, 0);
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
        QTest::addRow("mutagen v2.3 with picture") << u"cbr.mp3"_s << u"python tagger 3"_s << true;
        QTest::addRow("mutagen v2.4 with picture") << u"vbr.mp3"_s << u"python tagger 4"_s << false;
        QTest::addRow("v2.2 then v2.4") << u"ffmpeg.mp3"_s << u"python tagger+v2.2 4"_s << true;
        QTest::addRow("APEv2 between audio and ID3v1") << u"cbr.mp3"_s << u"python tagger+ape 3"_s << true;
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
            const ProgramRun tagged = run(tagger, {file});
            QVERIFY2(tagged.status == 0, qPrintable(tagged.err));
            QVERIFY2(readFile(file) != readFile(fixture(source)), "the tagger left no tag to replace");
        }
        const QByteArray before = readFile(file);

        ID3::Tags tags = everyField();
        tags.writeID3v1 = withV1;
        ID3::Original original;
        const auto result = ID3::write(tags, file, {}, [&](const ID3::Replaced& replaced) {
            original = {replaced.oldHead.toByteArray(), replaced.oldTail.toByteArray(), replaced.audioSHA,
                ID3::sha256Hex(replaced.newHead), ID3::sha256Hex(replaced.newTail)};
        });
        if (const auto* failure = std::get_if<ID3::Failure>(&result))
            QFAIL(qPrintable(failure->description));
        QCOMPARE(original.head.size() + original.tail.size(), before.size() - ID3::stripTags(before).size());

        const QJsonObject after
            = QJsonDocument::fromJson(run(u"python read"_s, {file}).out.toUtf8()).object();
        const QJsonArray expected = expectedFrames(tags);
        QCOMPARE(after.value(u"version"_s).toString(), u"2.3.0"_s);
        QCOMPARE(after.value(u"frames"_s).toArray(), expected); // in file order
        QCOMPARE(after.value(u"ape"_s).toBool(), false);
        QCOMPARE(after.value(u"v1"_s).toBool(), withV1);

        QCOMPARE(decodedAudio(file), m_decoded.value(source));

        // What the rewrite handed over puts the file back exactly, and only once.
        const auto restored = ID3::restore(original, file);
        if (const auto* failure = std::get_if<ID3::Failure>(&restored))
            QFAIL(qPrintable(failure->description));
        QCOMPARE(readFile(file), before);
        QVERIFY(std::holds_alternative<ID3::Failure>(ID3::restore(original, file)));
        QCOMPARE(readFile(file), before);
    }
};

QTEST_GUILESS_MAIN(TestRealFiles)
#include "TestRealFiles.moc"
