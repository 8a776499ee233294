#include "common/LibraryTestKit.h"
#include "library/Arguments.h"
#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

namespace {

const QString seedCoverId = QStringLiteral("11111111-2222-3333-4444-555555555555");

QSettings preferences()
{
    return QSettings(QStringLiteral("Vantorel"), QStringLiteral("Pelamo"));
}

QString lastShow()
{
    return preferences().value(QStringLiteral("lastShow")).toString();
}

QStringList keptCopies(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("shows.json.unreadable-*")}, QDir::Files, QDir::Name);
}

} // namespace

class TestShowStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // QSettings settles on its folder at first use, so one private home serves
    // the whole run and every test gets a fresh folder inside it.
    void initTestCase() { m_env.emplace(); }

    // A seed of two shows, the first with a cover image that exists.
    void init()
    {
        m_case = m_env->newCase();
        QDir(m_env->defaultLibrary()).removeRecursively();
        preferences().remove(QStringLiteral("lastShow"));
        m_seed = m_case->filePath(QStringLiteral("seed"));
        m_noSeed = m_case->filePath(QStringLiteral("no-seed"));
        m_library = m_case->filePath(QStringLiteral("library"));
        Show first = named(QStringLiteral("First"));
        first.id = *Uuid::parse(seedCoverId);
        first.coverFile = QStringLiteral("art.png");
        Show second = named(QStringLiteral("Second"));
        second.coverFile = QStringLiteral("missing.jpg");
        writeFile(m_seed + QStringLiteral("/seed-shows.json"), showsJson({first, second}));
        writeFile(m_seed + QStringLiteral("/art.png"), QByteArray("\x89PNG\r\n\x1a\nseed art"));
    }

    void seedsNewLibrary()
    {
        ShowStore store(m_library, m_seed);
        QCOMPARE(store.folder(), m_library);
        QCOMPARE(store.coversFolder(), m_library + QStringLiteral("/Covers"));
        QCOMPARE(store.shows().size(), 2);
        QCOMPARE(store.selection(), std::optional(store.shows().first().id));

        // The cover is copied under the show's id; a cover the seed lacks keeps its name.
        const QString coverName = seedCoverId + QStringLiteral(".png");
        QCOMPARE(store.shows().at(0).coverFile, std::optional(coverName));
        QCOMPARE(store.shows().at(1).coverFile, std::optional(QStringLiteral("missing.jpg")));
        QCOMPARE(QDir(store.coversFolder()).entryList(QDir::Files), QStringList {coverName});
        QCOMPARE(readFile(store.coversFolder() + u'/' + coverName), QByteArray("\x89PNG\r\n\x1a\nseed art"));
        QVERIFY(QFileInfo(store.coversFolder() + u'/' + coverName).isWritable());

        // What was saved reads back as the same library, and is not seeded twice.
        ShowStore again(m_library, m_seed);
        QCOMPARE(again.shows(), store.shows());
    }

    void noUsableSeedStaysEmpty_data()
    {
        QTest::addColumn<QByteArray>("seed");
        QTest::addRow("no seed") << QByteArray();
        QTest::addRow("broken seed") << QByteArray("[{}, 3]");
    }

    void noUsableSeedStaysEmpty()
    {
        QFETCH(QByteArray, seed);
        if (!seed.isEmpty())
            writeFile(m_noSeed + QStringLiteral("/seed-shows.json"), seed);
        ShowStore store(m_library, m_noSeed);
        QVERIFY(store.shows().isEmpty());
        QCOMPARE(store.selection(), std::nullopt);
        QVERIFY(QFileInfo(store.coversFolder()).isDir());
        QVERIFY(!QFile::exists(store.showsFile()));
    }

    void loadsWhatIsThere()
    {
        const QList<Show> shows {named(QStringLiteral("A")), named(QStringLiteral("B"))};
        writeShows(m_library, shows);
        ShowStore store(m_library, m_seed);
        QCOMPARE(store.shows(), shows);
        QCOMPARE(store.selection(), std::optional(shows.first().id));
        QCOMPARE(readFile(store.showsFile()), showsJson(shows)); // nothing was written
    }

    void reseedsWhenUnusable_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("keepsCopy");
        QTest::addRow("empty array") << QByteArray("[]") << false;
        QTest::addRow("number among objects") << QByteArray(R"([{"name":"A"}, 3, {"name":"B"}])") << true;
        QTest::addRow("not an array") << QByteArray(R"({"name":"A"})") << true;
        QTest::addRow("garbage") << QByteArray("\x00\xff garbage {[", 13) << true;
        QTest::addRow("truncated") << QByteArray(R"([{"name":"A")") << true;
        QTest::addRow("backslash before a raw U+FEFF")
            << QByteArray("[{\"name\":\"\\\xEF\xBB\xBF\"}]") << true;
    }

    void reseedsWhenUnusable()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, keepsCopy);
        writeFile(m_library + QStringLiteral("/shows.json"), content);
        ShowStore store(m_library, m_seed);
        QCOMPARE(store.shows().size(), 2);
        QCOMPARE(store.shows().first().name, QStringLiteral("First"));

        // An undecodable file is set aside before the seed is written over it.
        const QStringList kept = keptCopies(m_library);
        QCOMPARE(kept.size(), keepsCopy ? 1 : 0);
        if (keepsCopy) {
            QVERIFY(kept.first().contains(
                QRegularExpression(QStringLiteral("^shows\\.json\\.unreadable-\\d{8}-\\d{6}$"))));
            QCOMPARE(readFile(m_library + u'/' + kept.first()), content);
        }
    }

    // U+FEFF is ordinary text inside a value, never a byte order mark to skip.
    void keepsLeadingZeroWidthNoBreakSpace_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        const QString library = QStringLiteral("library/shows.json");
        QTest::addRow("raw UTF-8") << library << QByteArray("[{\"album\":\"\xEF\xBB\xBFY\"}]");
        QTest::addRow("file starting with a byte order mark")
            << library << QByteArray("\xEF\xBB\xBF[{\"album\":\"\xEF\xBB\xBFY\"}]");
        QTest::addRow("after a value with an escaped quote")
            << library << QByteArray("[{\"name\":\"a \\\" b\",\"album\":\"\xEF\xBB\xBFY\"}]");
        QTest::addRow("seed") << QStringLiteral("seed/seed-shows.json")
                              << QByteArray("[{\"album\":\"\xEF\xBB\xBFY\"}]");
    }

    void keepsLeadingZeroWidthNoBreakSpace()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(m_case->filePath(file), content));
        {
            ShowStore store(m_library, m_seed);
            QCOMPARE(store.shows().size(), 1);
            QCOMPARE(store.shows().first().album, QStringLiteral("\uFEFFY"));
            // Another change saves the library; the saved file keeps it too.
            Show show = store.shows().first();
            show.notes = QStringLiteral("edited");
            store.update(show);
        }
        ShowStore reopened(m_library, m_noSeed);
        QCOMPARE(reopened.shows().size(), 1);
        QCOMPARE(reopened.shows().first().album, QStringLiteral("\uFEFFY"));
        QCOMPARE(reopened.shows().first().notes, QStringLiteral("edited"));
    }

    void keptCopiesAreNeverOverwritten()
    {
        // Damaged three times within one second: three distinct kept copies.
        for (const QByteArray content : {"one", "two", "three"}) {
            writeFile(m_library + QStringLiteral("/shows.json"), content);
            QCOMPARE(ShowStore(m_library, m_seed).shows().size(), 2);
        }
        QStringList contents;
        for (const QString& name : keptCopies(m_library))
            contents.append(QString::fromLatin1(readFile(m_library + u'/' + name)));
        contents.sort();
        QCOMPARE(contents, (QStringList {"one", "three", "two"}));
    }

    void undecodableFileWithoutSeedIsLeftAlone()
    {
        writeFile(m_library + QStringLiteral("/shows.json"), "garbage");
        {
            ShowStore store(m_library, m_noSeed);
            QVERIFY(store.shows().isEmpty());
            QCOMPARE(readFile(store.showsFile()), QByteArray("garbage"));
            QVERIFY(keptCopies(m_library).isEmpty());
            // The first change keeps it before writing.
            store.setShows({named(QStringLiteral("New"))});
            store.save();
        }
        QCOMPARE(keptCopies(m_library).size(), 1);
        QCOMPARE(ShowStore(m_library, m_noSeed).shows().size(), 1);
    }

    void loadKeepsListOnFailure()
    {
        ShowStore store(m_library, m_seed);
        const QList<Show> before = store.shows();
        QSignalSpy changed(&store, &ShowStore::changed);
        writeFile(store.showsFile(), "[3]");
        store.load();
        QCOMPARE(store.shows(), before);
        QCOMPARE(changed.count(), 0);

        const QList<Show> other {named(QStringLiteral("Other"))};
        writeShows(m_library, other);
        store.load();
        QCOMPARE(store.shows(), other);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(store.selection(), std::optional(before.first().id)); // load leaves the selection alone
    }

    void savesSortedKeysAndNoNullCover()
    {
        ShowStore store(m_library, m_noSeed);
        store.setShows({named(QStringLiteral("A"))});
        store.save();
        const QByteArray text = readFile(store.showsFile());
        QVERIFY(text.contains('\n')); // pretty-printed
        QVERIFY(!text.contains("coverFile"));
        QStringList keys;
        static const QRegularExpression key(QStringLiteral("^\\s*\"(\\w+)\":"));
        for (const QByteArray& line : text.split('\n'))
            if (const auto match = key.match(QString::fromUtf8(line)); match.hasMatch())
                keys.append(match.captured(1));
        QVERIFY(keys.contains(QStringLiteral("albumArtist")) && keys.contains(QStringLiteral("writeID3v1")));
        QStringList sorted = keys;
        sorted.sort();
        QCOMPARE(keys, sorted);

        store.setShows({});
        store.save();
        QCOMPARE(QJsonDocument::fromJson(readFile(store.showsFile())).array().size(), 0);
    }

    void unwritableLibrary()
    {
        // A folder removed while open is made again on saving.
        {
            ShowStore store(m_library, m_seed);
            QVERIFY(QDir(m_library).removeRecursively());
            store.setShows({named(QStringLiteral("Kept"))});
            store.save();
            ShowStore reopened(m_library, m_noSeed);
            QCOMPARE(reopened.shows(), store.shows());
            QVERIFY(QFileInfo(reopened.coversFolder()).isDir());
        }
        // A failed save keeps the old file.
        if (geteuid() != 0) {
            ShowStore store(m_library, m_seed);
            const QByteArray before = readFile(store.showsFile());
            QVERIFY(QFile::setPermissions(m_library, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            store.setShows({});
            store.save();
            QFile::setPermissions(
                m_library, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QCOMPARE(readFile(store.showsFile()), before);
        }
        // A folder that is a file: seeded in memory, the file untouched.
        const QString file = m_case->filePath(QStringLiteral("a-file"));
        writeFile(file, "I am a file");
        QCOMPARE(ShowStore(file, m_seed).shows().size(), 2);
        QCOMPARE(readFile(file), QByteArray("I am a file"));
    }

    void defaultLibraryRemembersSelection()
    {
        ShowStore first(std::nullopt, m_seed);
        QCOMPARE(first.folder(), m_env->defaultLibrary());
        QCOMPARE(first.shows().size(), 2);
        QVERIFY(!preferences().contains(QStringLiteral("lastShow"))); // seeding saved before a selection

        const QUuid second = first.shows().at(1).id;
        first.setSelection(second);
        first.save();
        QCOMPARE(lastShow(), Uuid::text(second));

        ShowStore reopened(std::nullopt, m_seed);
        QCOMPARE(reopened.selection(), std::optional(second));
        // Saving with nothing selected keeps the remembered show.
        reopened.setSelection(std::nullopt);
        reopened.save();
        QCOMPARE(lastShow(), Uuid::text(second));

        // A --library run neither reads nor writes it.
        ShowStore other(m_library, m_seed);
        QCOMPARE(other.selection(), std::optional(other.shows().first().id));
        other.setSelection(other.shows().first().id);
        other.save();
        QCOMPARE(lastShow(), Uuid::text(second));
    }

    void lastShowThatNamesNothing_data()
    {
        QTest::addColumn<QString>("lastShow");
        QTest::addRow("a show no longer there") << QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
        QTest::addRow("not a UUID") << QStringLiteral("yesterday");
        QTest::addRow("empty") << QString();
    }

    void lastShowThatNamesNothing()
    {
        QFETCH(QString, lastShow);
        preferences().setValue(QStringLiteral("lastShow"), lastShow);
        ShowStore store(std::nullopt, m_seed);
        QCOMPARE(store.selection(), std::optional(store.shows().first().id));
    }

    void relativeFolderIsMadeAbsolute()
    {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(m_case->path());
        ShowStore store(QStringLiteral("relative/lib"), m_noSeed);
        QDir::setCurrent(previous);
        QCOMPARE(store.folder(), m_case->filePath(QStringLiteral("relative/lib")));
        QVERIFY(QFileInfo(store.coversFolder()).isDir());
    }

    void signalsAfterChange()
    {
        ShowStore store(m_library, m_noSeed);
        QSignalSpy changed(&store, &ShowStore::changed);
        const Show show = named(QStringLiteral("A"));
        qsizetype seen = 0;
        connect(&store, &ShowStore::changed, this, [&] { seen = store.shows().size(); });
        store.setShows({show});
        QCOMPARE(seen, 1); // listeners read the new value
        store.setShows({show});
        store.setSelection(show.id);
        store.setSelection(show.id);
        store.setPending({QUrl::fromLocalFile(QStringLiteral("/tmp/a.mp3"))});
        QCOMPARE(changed.count(), 3);
    }

    void optionValues_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::addRow("value follows")
            << QStringList {"--tag", "--show", "Weekly", "a.mp3"} << std::optional(QStringLiteral("Weekly"));
        QTest::addRow("first occurrence wins")
            << QStringList {"--show", "A", "--show", "B"} << std::optional(QStringLiteral("A"));
        QTest::addRow("value that looks like an option")
            << QStringList {"--show", "--library", "x"} << std::optional(QStringLiteral("--library"));
        QTest::addRow("option last") << QStringList {"a.mp3", "--show"} << std::optional<QString>();
        QTest::addRow("option absent") << QStringList {"--tag", "a.mp3"} << std::optional<QString>();
        QTest::addRow("no equals form") << QStringList {"--show=Weekly"} << std::optional<QString>();
        QTest::addRow("case matters") << QStringList {"--Show", "A"} << std::optional<QString>();
        QTest::addRow("empty value") << QStringList {"--show", ""} << std::optional(QString());
    }

    void optionValues()
    {
        QFETCH(QStringList, arguments);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(CLI::value(QStringLiteral("--show"), arguments), expected);
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
