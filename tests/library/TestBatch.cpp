#include "common/EmptyLibrary.h"
#include "common/LibraryTestKit.h"
#include "id3/ID3.h"
#include "library/Journal.h"
#include "library/ShowStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

class TestBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
        m_show = named(u"Weekly"_s);
        m_show.titleFromFileName = true;
        m_show.artist = u"Jo"_s;
        m_show.genre = u"Podcast"_s;
        m_show.autoYear = false;
        m_show.year = u"2024"_s;
    }

    QString mp3(const QString& relative) { return copyFixture(toneFixture(), m_case->filePath(relative)); }

    void foldersExpandOneLevelSorted()
    {
        const QString folder = m_case->filePath(u"F"_s);
        for (const char* name : {"b.mp3", "A.MP3", "a.mp3", "Episode 10.mp3", "Episode 2.mp3", ".intro.mp3",
                 "x.Mp3", "old/c.mp3"})
            mp3(u"F/"_s + QLatin1StringView(name));
        writeFile(folder + u"/notes.txt"_s, "not audio");
        writeFile(folder + u"/mp3"_s, "no extension");
        const QString loose = mp3(u"loose.mp3"_s);
        // A link to a folder counts as a folder.
        mp3(u"real/one.mp3"_s);
        QVERIFY(QFile::link(m_case->filePath(u"real"_s), m_case->filePath(u"link"_s)));
        const QList<QUrl> dropped = fileUrls({folder, loose, m_case->filePath(u"link"_s)});
        QStringList names;
        for (const QString& path : ShowStore::expand(dropped))
            names.append(path.mid(m_case->path().size() + 1));
        QCOMPARE(names,
            (QStringList {"F/.intro.mp3", "F/A.MP3", "F/Episode 10.mp3", "F/Episode 2.mp3", "F/a.mp3",
                "F/b.mp3", "F/x.Mp3", "loose.mp3", "link/one.mp3"}));
        const QList<TagResult> results = m_store->tag(dropped, m_show);
        QCOMPARE(results.size(), 9);
        QVERIFY(std::all_of(results.cbegin(), results.cend(), [](const TagResult& r) { return r.ok; }));
        // What the batch never touches stays as it was.
        QCOMPARE(readFile(folder + u"/old/c.mp3"_s), readFile(toneFixture()));
        QCOMPARE(readFile(folder + u"/notes.txt"_s), QByteArray("not audio"));
    }

    void resultsAndMessages()
    {
        const QString good = mp3(u"Episode 1.mp3"_s);
        const QString wav = m_case->filePath(u"interview.wav"_s);
        writeFile(wav, "RIFF....WAVE");
        const QString missing = m_case->filePath(u"missing.mp3"_s);
        QDir().mkpath(m_case->filePath(u"empty"_s));
        // The same file twice is tagged twice; the empty folder gives nothing.
        QStringList seen;
        for (const TagResult& result :
            m_store->tag(fileUrls({good, wav, missing, m_case->filePath(u"empty"_s), good}), m_show))
            seen.append(u"%1 %2 %3 %4"_s.arg(result.ok).arg(
                QFileInfo(result.file).fileName(), result.show, result.message.section(u':', 0, 0)));
        const QString tagged = QStringLiteral("1 Episode 1.mp3 Weekly Tagged \u00b7 TYER TIT2 TPE1 TCON TDRC "
                                              "PCST ID3v1 \u00b7 audio untouched");
        QCOMPARE(seen,
            (QStringList {tagged, u"0 interview.wav Weekly interview.wav is not an MP3 file"_s,
                u"0 missing.mp3 Weekly Can't read missing.mp3"_s, tagged}));
        QCOMPARE(readFile(wav), QByteArray("RIFF....WAVE"));
    }

    void recentListKeepsTheNewest200()
    {
        QList<TagResult> old(190);
        for (int i = 0; i < old.size(); ++i)
            old[i].file = u"/old/%1.mp3"_s.arg(i);
        m_store->setResults(old);
        QStringList files;
        for (int i = 0; i < 20; ++i)
            files.append(mp3(u"new %1.mp3"_s.arg(i, 2, 10, QLatin1Char('0'))));
        QSignalSpy changed(m_store.get(), &ShowStore::changed);
        m_store->tag(fileUrls(files), m_show);
        QCOMPARE(changed.count(), 1); // the batch appears at once
        const QList<TagResult>& recent = m_store->results();
        QCOMPARE(recent.size(), 200);
        QCOMPARE(recent.first().file, files.last());
        QCOMPARE(recent.at(20).file, u"/old/0.mp3"_s);
    }

    // 5,000 entries, more than a process may hold open at once.
    void largeFolder()
    {
        const QString folder = m_case->filePath(u"big"_s);
        const QByteArray audio = readFile(toneFixture());
        for (int i = 0; i < 5000; ++i)
            QVERIFY(writeFile(folder + u"/%1.mp3"_s.arg(i, 4, 10, QLatin1Char('0')), audio));
        const QList<TagResult> results = m_store->tag(fileUrls({folder}), m_show);
        QCOMPARE(results.size(), 5000);
        QVERIFY(std::all_of(results.cbegin(), results.cend(), [](const TagResult& r) { return r.ok; }));
        QCOMPARE(QFileInfo(results.last().file).fileName(), u"4999.mp3"_s);
        QCOMPARE(QDir(folder).entryList({u"*tagging*"_s}, QDir::Files | QDir::Hidden).size(), 0);
    }

    // A write in place that fails once it began may have changed the file: its undo record
    // stays, and undo then gives back the original bytes.
    void failedWriteInPlaceKeepsItsRecord()
    {
        const QString file = mp3(u"linked.mp3"_s);
        QCOMPARE(
            ::link(QFile::encodeName(file).constData(), QFile::encodeName(file + u"2"_s).constData()), 0);
        const QByteArray original = readFile(file);
        const QString undo = m_store->undoFolder();
        // Past the old size no byte may be written: the new bytes go in up to there, then fail.
        rlimit unlimited {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        ID3::Hooks hooks;
        hooks.beforeReplace = [&](const QString&) {
            const rlimit small {rlim_t(original.size()), unlimited.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &small);
        };
        const QList<TagResult> results
            = ShowStore::tagFiles({file}, m_show, std::nullopt, {}, {undo, {}, {}}, hooks);
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(results.size(), 1);
        QVERIFY2(!results.first().ok && results.first().message.contains(u"in place"_s),
            qPrintable(results.first().message));
        QVERIFY(readFile(file) != original);
        QCOMPARE(Journal::newestBatch(undo).size(), 1);
        const QList<TagResult> undone = ShowStore::undoFiles(ShowStore::undoRecords(undo));
        QVERIFY2(undone.size() == 1 && undone.first().ok, qPrintable(undone.value(0).message));
        QCOMPARE(readFile(file), original);
        QCOMPARE(readFile(file + u"2"_s), original);
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
    Show m_show;
};

QTEST_GUILESS_MAIN(TestBatch)
#include "TestBatch.moc"
