#include "CliCase.h"
#include "id3/Id3TestSupport.h"
#include "library/Journal.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

// Undo through the real executable, as a script or the window's button runs it.
class TestUndo : public QObject, public CliCase
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        newCase();
        writeShows(
            m_library, {named(u"Weekly"_s, u"Weekly episode"_s), named(u"Daily"_s, u"Daily episode"_s)});
    }

    // Old tags of every kind the engine cuts, each put back byte for byte.
    void putsBackEveryKindOfOldTag()
    {
        const QString folder = m_case->filePath(u"season"_s);
        const QStringList kinds {u"none"_s, u"v1"_s, u"mid3v2"_s, u"v22-and-v24"_s, u"ape+v1"_s};
        QHash<QString, QString> before;
        for (const QString& kind : kinds) {
            const QString file = tone(u"season/"_s + kind + u".mp3"_s);
            if (kind == u"v1"_s)
                QCOMPARE(QProcess::execute(u"id3v2"_s, {u"-1"_s, u"-t"_s, u"Old"_s, file}), 0);
            else if (kind == u"mid3v2"_s)
                QCOMPARE(
                    QProcess::execute(u"mid3v2"_s, {u"-t"_s, u"Old"_s, u"-c"_s, u"A comment"_s, file}), 0);
            else if (kind == u"v22-and-v24"_s) {
                QCOMPARE(QProcess::execute(u"mid3v2"_s, {u"-t"_s, u"Old"_s, file}), 0);
                // ID3v2.2, which no tool here still writes: a TT2 frame and padding.
                const QByteArray v22
                    = bytes({id3v2Header(56, 2), "TT2", hex("00000a00"), "Old v2.2!", zeros(40)});
                writeFile(file, v22 + readFile(file));
            } else if (kind == u"ape+v1"_s) {
                // An APEv2 tag without its header, as it stands before an ID3v1 tag.
                writeFile(file, readFile(file) + apeTag().sliced(32) + id3v1Tag(' '));
            }
            before.insert(file, sha256Hex(readFile(file)));
        }
        const ProgramRun tagged = pelamo({u"--tag"_s, u"--show"_s, u"Weekly"_s, folder});
        QCOMPARE(tagged.status, 0);
        for (auto file = before.cbegin(); file != before.cend(); ++file)
            QVERIFY2(sha256Hex(readFile(file.key())) != file.value(), qPrintable(file.key()));
        const ProgramRun undone = pelamo({u"--undo"_s});
        QCOMPARE(undone.err, QString());
        QCOMPARE(undone.status, 0);
        QCOMPARE(undone.out.count(u"OK   "_s), kinds.size());
        for (auto file = before.cbegin(); file != before.cend(); ++file)
            QVERIFY2(sha256Hex(readFile(file.key())) == file.value(), qPrintable(file.key()));
    }

    // One batch at a time; a file edited since, or a damaged record, leaves that file alone.
    void batchByBatch()
    {
        const QString edited = tone(u"a.mp3"_s);
        const QString damaged = tone(u"b.mp3"_s);
        const QString plain = tone(u"c.mp3"_s);
        QCOMPARE(QProcess::execute(u"mid3v2"_s, {u"-t"_s, u"Mine"_s, plain}), 0);
        const QString original = sha256Hex(readFile(plain));
        QCOMPARE(pelamo({u"--tag"_s, u"--show"_s, u"Daily"_s, plain}).status, 0);
        const QString daily = sha256Hex(readFile(plain));
        QCOMPARE(pelamo({u"--tag"_s, u"--show"_s, u"Weekly"_s, edited, damaged, plain}).status, 0);
        QCOMPARE(QProcess::execute(u"mid3v2"_s, {u"-t"_s, u"Edited since"_s, edited}), 0);
        const QByteArray editedBytes = readFile(edited);
        const QByteArray damagedBytes = readFile(damaged);
        const QStringList records = Journal::newestBatch(m_library + u"/Undo"_s);
        QCOMPARE(records.size(), 3);
        QVERIFY(writeFile(records.at(1), readFile(records.at(1)) + "x"));
        const ProgramRun undone = pelamo({u"--undo"_s});
        QCOMPARE(undone.status, 1);
        const QStringList lines = undone.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), u"OK   %1 \u2014 Put back as it was before tagging"_s.arg(plain));
        QVERIFY2(lines.at(1).startsWith(u"FAIL %1 \u2014 The undo record "_s.arg(damaged))
                && lines.at(1).endsWith(u" is damaged; no file was touched"_s),
            qPrintable(lines.at(1)));
        QCOMPARE(lines.at(2),
            u"FAIL %1 \u2014 a.mp3 was changed after it was tagged; it was left as it is"_s.arg(edited));
        QCOMPARE(readFile(edited), editedBytes);
        QCOMPARE(readFile(damaged), damagedBytes);
        QCOMPARE(sha256Hex(readFile(plain)), daily);
        // The batch is spent: the next undo reaches the one before.
        QCOMPARE(pelamo({u"--undo"_s}).status, 0);
        QCOMPARE(sha256Hex(readFile(plain)), original);
        QCOMPARE(pelamo({u"--undo"_s}).status, 2);
    }

    // Names near the longest the file system takes: the hidden names beside them are shortened.
    void longNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("linked");
        const QString bytes250 = QString(246, u'a') + u".mp3"_s;
        QTest::addRow("250 bytes") << bytes250 << false;
        QTest::addRow("250 bytes, two names") << bytes250 << true;
        QTest::addRow("80 CJK characters") << u"\u591c\u306e\u97f3\u697d"_s.repeated(20) + u".mp3"_s << false;
    }
    void longNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, linked);
        const QString folder = m_case->filePath(u"long"_s);
        const QString file = tone(u"long/"_s + name);
        QVERIFY(!file.isEmpty());
        if (linked)
            QCOMPARE(::link(QFile::encodeName(file).constData(),
                         QFile::encodeName(m_case->filePath(u"other.mp3"_s)).constData()),
                0);
        const QString before = sha256Hex(readFile(file));
        const ProgramRun tagged = pelamo({u"--tag"_s, u"--show"_s, u"Weekly"_s, folder});
        QCOMPARE(tagged.err, QString());
        QCOMPARE(tagged.status, 0);
        QVERIFY(sha256Hex(readFile(file)) != before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList {name});
        const ProgramRun undone = pelamo({u"--undo"_s});
        QCOMPARE(undone.status, 0);
        QCOMPARE(sha256Hex(readFile(file)), before);
        if (linked)
            QCOMPARE(sha256Hex(readFile(m_case->filePath(u"other.mp3"_s))), before);
    }

    void keepsTheNewestBatchesOnly()
    {
        const QString file = tone(u"a.mp3"_s);
        for (int i = 0; i <= Journal::batchLimit; ++i)
            QCOMPARE(pelamo({u"--tag"_s, u"--show"_s, u"Weekly"_s, file}).status, 0);
        const QDir undo(m_library + u"/Undo"_s);
        QCOMPARE(undo.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), Journal::batchLimit);
        // The byte limit drops the oldest first, however many there are.
        const QStringList batches = undo.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        const qint64 oneBatch = QFileInfo(Journal::newestBatch(undo.path()).first()).size();
        Journal::prune(undo.path(), Journal::batchLimit, 3 * oneBatch);
        QCOMPARE(
            undo.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name), batches.mid(batches.size() - 3));
    }

    // A library where no journal can be kept still tags, and says so.
    void tagsWithoutUndoWhenNoJournalCanBeKept()
    {
        writeFile(m_library + u"/Undo"_s, "not a folder");
        const QString file = tone(u"a.mp3"_s);
        const QByteArray before = readFile(file);
        const ProgramRun tagged = pelamo({u"--tag"_s, u"--show"_s, u"Weekly"_s, file});
        QCOMPARE(tagged.status, 0);
        QVERIFY(tagged.out.startsWith(u"OK   "_s));
        QCOMPARE(tagged.err,
            u"pelamo: Can't keep an undo record in %1/Undo; this batch runs without undo\n"_s.arg(m_library));
        QVERIFY(readFile(file) != before);
        QCOMPARE(pelamo({u"--undo"_s}).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestUndo)
#include "TestUndo.moc"
