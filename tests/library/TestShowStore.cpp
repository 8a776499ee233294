#include "common/LibraryTestKit.h"
#include "library/Arguments.h"
#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString seedCoverId = u"11111111-2222-3333-4444-555555555555"_s;

QSettings preferences()
{
    return QSettings(u"Vantorel"_s, u"Pelamo"_s);
}

QStringList keptCopies(const QString& folder)
{
    return QDir(folder).entryList({u"shows.json.unreadable-*"_s}, QDir::Files, QDir::Name);
}

} // namespace

class TestShowStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // QSettings settles on its folder at first use: one private home for the whole run.
    void initTestCase() { m_env.emplace(); }

    // A seed of two shows, the first with a cover image that exists.
    void init()
    {
        m_case = m_env->newCase();
        QDir(m_env->defaultLibrary()).removeRecursively();
        preferences().remove(u"lastShow"_s);
        m_seed = m_case->filePath(u"seed"_s);
        m_noSeed = m_case->filePath(u"no-seed"_s);
        m_library = m_case->filePath(u"library"_s);
        Show first = named(u"First"_s);
        first.id = *Uuid::parse(seedCoverId);
        first.coverFile = u"art.png"_s;
        Show second = named(u"Second"_s);
        second.coverFile = u"missing.jpg"_s;
        writeFile(m_seed + u"/seed-shows.json"_s, showsJson({first, second}));
        writeFile(m_seed + u"/art.png"_s, QByteArray("\x89PNG\r\n\x1a\nseed art"));
    }

    void seedsNewLibraryAndReloads()
    {
        ShowStore store(m_library, m_seed);
        QCOMPARE(store.shows().size(), 2);
        // The cover is copied under the show's id; a cover the seed lacks keeps its name.
        const QString coverName = seedCoverId + u".png"_s;
        QCOMPARE(store.shows().at(0).coverFile, std::optional(coverName));
        QCOMPARE(store.shows().at(1).coverFile, std::optional(u"missing.jpg"_s));
        QCOMPARE(QDir(store.coversFolder()).entryList(QDir::Files), QStringList {coverName});
        QCOMPARE(readFile(store.coversFolder() + u'/' + coverName), QByteArray("\x89PNG\r\n\x1a\nseed art"));
        QCOMPARE(ShowStore(m_library, m_seed).shows(), store.shows()); // not seeded twice
        // A reload that can't read the file keeps the list; one that can replaces it.
        const QList<Show> before = store.shows();
        QSignalSpy changed(&store, &ShowStore::changed);
        writeFile(store.showsFile(), "[3]");
        store.load();
        QCOMPARE(store.shows(), before);
        QCOMPARE(changed.count(), 0);
        writeShows(m_library, {named(u"Other"_s)});
        store.load();
        QCOMPARE(store.shows().first().name, u"Other"_s);
        QCOMPARE(changed.count(), 1);
    }

    // An unusable file is reseeded; one that doesn't decode is set aside first, each time under a new name.
    void unusableFile()
    {
        QList<QByteArray> damaged {
            R"([{"name":"A"}, 3])", QByteArray("\x00\xff garbage {[", 13), "[{\"name\":\"\\\xEF\xBB\xBF\"}]"};
        for (const QByteArray& content : damaged + QList<QByteArray> {"[]"}) {
            writeFile(m_library + u"/shows.json"_s, content);
            QCOMPARE(ShowStore(m_library, m_seed).shows().first().name, u"First"_s);
        }
        const QStringList kept = keptCopies(m_library);
        QVERIFY(kept.first().contains(QRegularExpression(u"^shows\\.json\\.unreadable-\\d{8}-\\d{6}"_s)));
        QList<QByteArray> contents;
        for (const QString& name : kept)
            contents.append(readFile(m_library + u'/' + name));
        std::sort(contents.begin(), contents.end());
        std::sort(damaged.begin(), damaged.end());
        QCOMPARE(contents, damaged);
        // Without a seed it is left alone until the first change, which sets it aside first.
        const QString alone = m_case->filePath(u"alone"_s);
        writeFile(alone + u"/shows.json"_s, "garbage");
        {
            ShowStore store(alone, m_noSeed);
            QCOMPARE(readFile(store.showsFile()), QByteArray("garbage"));
            QVERIFY(keptCopies(alone).isEmpty());
            store.setShows({named(u"New"_s)});
            store.save();
        }
        QCOMPARE(keptCopies(alone).size(), 1);
        QCOMPARE(ShowStore(alone, m_noSeed).shows().size(), 1);
    }

    // U+FEFF is ordinary text inside a value, never a byte order mark to skip.
    void keepsLeadingZeroWidthNoBreakSpace()
    {
        QVERIFY(writeFile(m_library + u"/shows.json"_s,
            "\xEF\xBB\xBF[{\"name\":\"a \\\" b\",\"album\":\"\xEF\xBB\xBFY\"}]"));
        {
            ShowStore store(m_library, m_seed);
            QCOMPARE(store.shows().first().album, u"\uFEFFY"_s);
            Show show = store.shows().first();
            show.notes = u"edited"_s;
            store.update(show);
        }
        // Saved again, the file keeps it too.
        const Show saved = ShowStore(m_library, m_noSeed).shows().first();
        QCOMPARE(saved.album, u"\uFEFFY"_s);
        QCOMPARE(saved.notes, u"edited"_s);
    }

    // A failed save keeps the old file.
    void unwritableLibrary()
    {
        if (geteuid() == 0)
            QSKIP("root writes into a read-only folder");
        ShowStore store(m_library, m_seed);
        const QByteArray before = readFile(store.showsFile());
        QVERIFY(QFile::setPermissions(m_library, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        store.setShows({});
        store.save();
        QFile::setPermissions(
            m_library, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(readFile(store.showsFile()), before);
    }

    void defaultLibraryRemembersSelection()
    {
        ShowStore first(std::nullopt, m_seed);
        QCOMPARE(first.folder(), m_env->defaultLibrary());
        QVERIFY(!preferences().contains(u"lastShow"_s)); // seeding saved before a selection
        const QUuid second = first.shows().at(1).id;
        first.setSelection(second);
        first.save();
        QCOMPARE(preferences().value(u"lastShow"_s).toString(), Uuid::text(second));
        ShowStore reopened(std::nullopt, m_seed);
        QCOMPARE(reopened.selection(), std::optional(second));
        // A remembered show that is gone selects the first.
        preferences().setValue(u"lastShow"_s, u"yesterday"_s);
        QCOMPARE(ShowStore(std::nullopt, m_seed).selection(), std::optional(reopened.shows().first().id));
        preferences().setValue(u"lastShow"_s, Uuid::text(second));
        // A --library run neither reads nor writes it.
        ShowStore other(m_library, m_seed);
        QCOMPARE(other.selection(), std::optional(other.shows().first().id));
        other.setSelection(other.shows().first().id);
        other.save();
        QCOMPARE(preferences().value(u"lastShow"_s).toString(), Uuid::text(second));
    }

    // --show takes the argument after it, whatever it looks like, the first time it is given.
    void optionValues()
    {
        const auto show = [](const QStringList& arguments) { return CLI::value(u"--show"_s, arguments); };
        QCOMPARE(show({"--show", "A", "--show", "B"}), std::optional(u"A"_s));
        QCOMPARE(show({"--show", "--library", "x"}), std::optional(u"--library"_s));
        QCOMPARE(show({"a.mp3", "--show"}), std::nullopt);
        QCOMPARE(show({"--show=Weekly"}), std::nullopt);
        QCOMPARE(show({"--show", ""}), std::optional(QString()));
    }

    // Quitting while a folder is still being listed (a network folder that hangs) ends
    // within its bound; the listing thread, left behind, finds no store to report to.
    void quitLeavesAHangingListingBehind()
    {
        auto store = std::make_unique<ShowStore>(m_library, m_seed);
        ShowStore::Seams seams;
        seams.beforeListing = [](const QString&) { QThread::msleep(1500); };
        store->setSeams(seams);
        QVERIFY(QDir().mkpath(m_case->filePath(u"hanging"_s)));
        store->enqueue({QUrl::fromLocalFile(m_case->filePath(u"hanging"_s))}, store->shows().first());
        QElapsedTimer clock;
        clock.start();
        store->finishTagging(std::chrono::milliseconds(200));
        store.reset();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        // A report to the store that is gone would be caught by the sanitizers here.
        QTest::qWait(2000);
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_seed;
    QString m_noSeed;
    QString m_library;
};

QTEST_GUILESS_MAIN(TestShowStore)
#include "TestShowStore.moc"
