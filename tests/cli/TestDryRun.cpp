// Looking before writing, through the real executable: dry runs, a file's tags as they
// are, and the JSON lines a script reads.
#include "CliCase.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <sys/stat.h>

#include <fstream>

using namespace Qt::Literals::StringLiterals;

namespace {

// Every entry under a folder, hidden ones too: its name, size, modification time to the
// nanosecond, and its bytes' digest.
QStringList snapshot(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat status
        {
        };
        ::lstat(QFile::encodeName(path).constData(), &status);
        entries.append(u"%1 %2 %3.%4 %5"_s.arg(path.sliced(folder.size()))
                           .arg(status.st_size)
                           .arg(status.st_mtim.tv_sec)
                           .arg(status.st_mtim.tv_nsec)
                           .arg(S_ISREG(status.st_mode) ? sha256Hex(readFile(path)) : QString()));
    }
    entries.sort();
    return entries;
}

// The lines of a run, each parsed as JSON; an empty object for a line that isn't.
QList<QJsonObject> jsonLines(const QString& out)
{
    QList<QJsonObject> objects;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
        objects.append(QJsonDocument::fromJson(line.toUtf8()).object());
    return objects;
}

} // namespace

class TestDryRun : public QObject, public CliCase
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        newCase();
        // A show that keeps chapters but not the frames of each recording.
        Show show = named(u"Release"_s);
        show.titleFromFileName = true;
        show.artist = u"Jo"_s;
        show.keepChapters = true;
        show.keepTrackInfo = false;
        show.numberTracks = true;
        writeShows(m_library, {show});
    }

    // A dry run writes nothing, anywhere: not the files, not their folder, not the library;
    // each line says what the real run that follows then does, with what each file loses.
    void dryRunChangesNothing()
    {
        QStringList files;
        for (const QString& name : {u"01 - Intro"_s, u"02 - Song"_s}) {
            files.append(tone(u"album/"_s + name + u".mp3"_s));
            QCOMPARE(oldTags({u"chapters"_s, u"4"_s, files.constLast()}).status, 0);
        }
        // What a killed run left: a real run clears it away, a dry run leaves it too.
        QVERIFY(writeFile(m_case->filePath(u"album/.01 - Intro.tagging-0A1B2C3D.mp3"_s), "left over"));
        const QByteArray original = readFile(files.constFirst());
        const QStringList before = snapshot(m_case->path());
        const QStringList arguments {u"--tag"_s, u"--show"_s, u"Release"_s, m_case->filePath(u"album"_s)};
        const ProgramRun dry = pelamo(arguments + QStringList {u"--dry-run"_s});
        QCOMPARE(dry.status, 0);
        QCOMPARE(snapshot(m_case->path()), before);
        const ProgramRun real = pelamo(arguments);
        QCOMPARE(real.status, 0);
        const QStringList dryLines = dry.out.split(u'\n', Qt::SkipEmptyParts);
        const QStringList realLines = real.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(dryLines.size(), 2);
        for (qsizetype i = 0; i < dryLines.size(); ++i) {
            const QString frames
                = realLines.at(i).section(u" \u2014 Tagged \u00b7 "_s, 1).section(u" \u00b7 "_s, 0, 0);
            QCOMPARE(dryLines.at(i),
                u"OK   "_s + files.at(i) + u" \u2014 Would tag \u00b7 "_s + frames
                    + u" \u00b7 drops TPOS PCNT TKEY TBPM RVA2 TSRC POPM TXXX\u00d76 USLT SYLT UFID"_s);
        }
        // Undo looks the same way: the journal is still whole for the real undo.
        const QStringList tagged = snapshot(m_case->path());
        const ProgramRun undoDry = pelamo({u"--undo"_s, u"--dry-run"_s});
        QCOMPARE(undoDry.status, 0);
        QCOMPARE(undoDry.out.count(u" \u2014 Would put back as it was before tagging\n"_s), 2);
        QCOMPARE(snapshot(m_case->path()), tagged);
        QCOMPARE(pelamo({u"--undo"_s}).status, 0);
        QCOMPARE(readFile(files.constFirst()), original);
    }

    // What can be known before writing is told as the real run would tell it; a library
    // that isn't there is only looked for.
    void dryRunRefuses()
    {
        const QString notes = m_case->filePath(u"notes.mp3"_s);
        writeFile(notes, "not audio at all");
        const QStringList dryRun {u"--tag"_s, u"--dry-run"_s, u"--show"_s, u"Release"_s, notes};
        const ProgramRun notMP3 = pelamo(dryRun);
        QCOMPARE(notMP3.status, 1);
        QCOMPARE(notMP3.out, u"FAIL %1 \u2014 notes.mp3 is not an MP3 file\n"_s.arg(notes));
        const QString nowhere = m_case->filePath(u"nowhere"_s);
        QCOMPARE(runPelamo(*m_env, dryRun + QStringList {u"--library"_s, nowhere}).status, 2);
        QVERIFY(!QFileInfo::exists(nowhere));
    }

    // A file's tags as they are: both tags, lyrics, chapters, a cover; a file that isn't MP3.
    void inspect()
    {
        const QString file = tone(u"Episode 7.mp3"_s);
        QCOMPARE(oldTags({u"chapters"_s, u"3"_s, file}).status, 0);
        // A second tag in front, as some taggers leave behind.
        const QByteArray older
            = QByteArray("ID3\x04\0\0\0\0\0\x14", 10) + QByteArray("TIT2\0\0\0\x0a\0\0\x03Older\0\0\0\0", 20);
        QVERIFY(writeFile(file, older + readFile(file)));
        const QString text = pelamo({u"--inspect"_s, file}).out;
        for (const QString& line :
            {u"  ID3v2.4.0 tag, 30 bytes"_s, u"    TIT2 Older"_s, u"    TIT2 Episode 7"_s,
                u"    USLT language eng \u00b7 description \u201c\u201d \u00b7 text First line \u00e9t\u00e9\\nSecond line \u6771\u4eac"_s,
                u"    CHAP element ch1 \u00b7 start 300 \u00b7 end 650 \u00b7 title Interview \u6771\u4eac"_s,
                u"    CTOC element toc \u00b7 children ch0 ch1 ch2 \u00b7 topLevel yes \u00b7 ordered yes"_s,
                u"  No ID3v1 tag"_s, u"  APE tag: none"_s,
                u"  Audio: %1 bytes, SHA-256 %2"_s.arg(readFile(toneFixture()).size())
                    .arg(sha256Hex(readFile(toneFixture())))})
            QVERIFY2(text.split(u'\n').contains(line), qPrintable(line + u"\n in:\n"_s + text));
        // Both tags, as JSON too.
        const QJsonObject inspected = jsonLines(pelamo({u"--inspect"_s, u"--json"_s, file}).out).value(0);
        QCOMPARE(inspected.value(u"tags"_s).toArray().size(), 2);
        const ProgramRun wrong = pelamo({u"--inspect"_s, m_case->filePath(u"notes.txt"_s)});
        QCOMPARE(wrong.status, 1);
        QVERIFY(wrong.out.endsWith(u"  notes.txt is not an MP3 file\n"_s));
    }

    // One JSON object a line, with its documented fields, in every mode; a name that isn't
    // UTF-8 comes with its bytes.
    void jsonLinesInEveryMode()
    {
        const QByteArray latin1 = QFile::encodeName(m_case->path()) + "/caf\xe9.mp3";
        const QByteArray tone = readFile(toneFixture());
        QVERIFY(std::ofstream(latin1.constData(), std::ios::binary).write(tone.constData(), tone.size()));
        // Named by its folder: an argument carries only what the locale encodes.
        const QString file = m_case->path();
        const QStringList fileFields {u"path"_s, u"ok"_s, u"message"_s, u"frames"_s, u"dropped"_s, u"title"_s,
            u"artist"_s, u"track"_s, u"disc"_s};
        const QList<std::pair<QStringList, QStringList>> modes {
            {{u"--list"_s},
                {u"name"_s, u"kind"_s, u"title"_s, u"titleFromFileName"_s, u"artist"_s, u"album"_s,
                    u"genre"_s, u"cover"_s}},
            {{u"--inspect"_s, file},
                {u"path"_s, u"ok"_s, u"tags"_s, u"id3v1"_s, u"ape"_s, u"audioSize"_s, u"audioSHA256"_s}},
            {{u"--tag"_s, u"--dry-run"_s, u"--show"_s, u"Release"_s, file}, fileFields},
            {{u"--tag"_s, u"--show"_s, u"Release"_s, file}, fileFields},
            {{u"--undo"_s, u"--dry-run"_s}, fileFields},
            {{u"--undo"_s}, fileFields},
        };
        for (const auto& [arguments, fields] : modes) {
            const ProgramRun run = pelamo(arguments + QStringList {u"--json"_s});
            QVERIFY2(run.status == 0, qPrintable(arguments.join(u' ') + u": "_s + run.out + run.err));
            const QList<QJsonObject> lines = jsonLines(run.out);
            QVERIFY(!lines.isEmpty());
            for (const QJsonObject& line : lines)
                for (const QString& field : fields)
                    QVERIFY2(line.contains(field),
                        qPrintable(field + u" in "_s + arguments.join(u' ') + u": "_s + run.out));
            if (arguments.first() != u"--list"_s)
                QCOMPARE(QByteArray::fromBase64(lines.first().value(u"pathBase64"_s).toString().toLatin1()),
                    latin1);
        }
    }
};

QTEST_GUILESS_MAIN(TestDryRun)
#include "TestDryRun.moc"
