#include "common/EmptyLibrary.h"
#include "common/LibraryTestKit.h"
#include "library/ShowStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class TestBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_env.emplace();
        QVERIFY(QFile::exists(toneFixture()));
    }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
        m_show = named(QStringLiteral("Weekly"));
        m_show.titleFromFileName = true;
        m_show.artist = QStringLiteral("Jo");
        m_show.genre = QStringLiteral("Podcast");
        m_show.autoYear = false;
        m_show.year = QStringLiteral("2024");
    }

    // A copy of the real MP3 at `relative` inside the case folder.
    QString mp3(const QString& relative)
    {
        const QString path = copyFixture(toneFixture(), m_case->filePath(relative));
        if (path.isEmpty())
            qFatal("can't copy the fixture");
        return path;
    }

    void foldersExpandOneLevelSorted()
    {
        const QString folder = m_case->filePath(QStringLiteral("F"));
        for (const char* name : {"b.mp3", "A.MP3", "a.mp3", "Episode 10.mp3", "Episode 2.mp3", ".intro.mp3",
                 "x.Mp3", "old/c.mp3"})
            mp3(QStringLiteral("F/") + QLatin1StringView(name));
        writeFile(folder + QStringLiteral("/notes.txt"), "not audio");
        writeFile(folder + QStringLiteral("/mp3"), "no extension");
        const QString loose = mp3(QStringLiteral("loose.mp3"));
        // A link to a folder counts as a folder.
        mp3(QStringLiteral("real/one.mp3"));
        QVERIFY(
            QFile::link(m_case->filePath(QStringLiteral("real")), m_case->filePath(QStringLiteral("link"))));
        const QList<QUrl> dropped = fileUrls({folder, loose, m_case->filePath(QStringLiteral("link"))});

        QStringList names;
        for (const QString& path : ShowStore::expand(dropped))
            names.append(path.mid(m_case->path().size() + 1));
        QCOMPARE(names,
            (QStringList {"F/.intro.mp3", "F/A.MP3", "F/Episode 10.mp3", "F/Episode 2.mp3", "F/a.mp3",
                "F/b.mp3", "F/x.Mp3", "loose.mp3", "link/one.mp3"}));

        const QList<TagResult> results = m_store->tag(dropped, m_show);
        QCOMPARE(results.size(), 9);
        for (const TagResult& result : results)
            QVERIFY2(result.ok, qPrintable(result.message));
        // What the batch never touches stays as it was.
        QCOMPARE(readFile(folder + QStringLiteral("/old/c.mp3")), readFile(toneFixture()));
        QCOMPARE(readFile(folder + QStringLiteral("/notes.txt")), QByteArray("not audio"));
    }

    void resultsAndMessages()
    {
        const QString good = mp3(QStringLiteral("Episode 1.mp3"));
        const QString wav = m_case->filePath(QStringLiteral("interview.wav"));
        writeFile(wav, "RIFF....WAVE");
        const QString missing = m_case->filePath(QStringLiteral("missing.mp3"));
        const QString emptyFolder = m_case->filePath(QStringLiteral("empty"));
        QDir().mkpath(emptyFolder);

        const QList<TagResult> results
            = m_store->tag(fileUrls({good, wav, missing, emptyFolder, good}), m_show);
        QCOMPARE(results.size(), 4);
        QCOMPARE(results.at(0).file, good);
        QVERIFY(results.at(0).ok);
        QCOMPARE(results.at(0).show, QStringLiteral("Weekly"));
        QCOMPARE(results.at(0).message,
            QStringLiteral("Tagged \u00b7 TYER TIT2 TPE1 TCON TDRC PCST ID3v1 \u00b7 audio untouched"));
        QVERIFY(!results.at(1).ok);
        QCOMPARE(results.at(1).message, QStringLiteral("interview.wav is not an MP3 file"));
        QVERIFY(!results.at(2).ok);
        QVERIFY(results.at(2).message.startsWith(QStringLiteral("Can't read missing.mp3: ")));
        // The same file twice: tagged twice.
        QVERIFY(results.at(3).ok);
        QCOMPARE(results.at(3).file, good);
        QCOMPARE(readFile(wav), QByteArray("RIFF....WAVE"));
        QVERIFY(!QFile::exists(missing));

        // Newest first in the Recent list.
        QCOMPARE(m_store->results().size(), 4);
        QCOMPARE(m_store->results().first().id, results.last().id);
        QCOMPARE(m_store->results().last().id, results.first().id);

        // A blank title fails every file and leaves it alone.
        m_show.titleFromFileName = false;
        m_show.title = QStringLiteral("  ");
        const QString other = mp3(QStringLiteral("b.mp3"));
        const QList<TagResult> blank = m_store->tag(fileUrls({other, other}), m_show);
        QCOMPARE(blank.size(), 2);
        for (const TagResult& result : blank) {
            QVERIFY(!result.ok);
            QCOMPARE(result.message,
                QStringLiteral(
                    "The show has no Title \u2014 fill it in, or turn on \u201cuse the file name\u201d"));
            QCOMPARE(readFile(result.file), readFile(toneFixture()));
        }
    }

    void coverReadOnceAndEmbedded()
    {
        const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(300, 'p');
        m_show.coverFile = QStringLiteral("cover.png");
        writeFile(m_store->coversFolder() + QStringLiteral("/cover.png"), png);
        const QString file = mp3(QStringLiteral("with cover.mp3"));
        QVERIFY(
            m_store->tag(fileUrls({file}), m_show).first().message.contains(QStringLiteral(" APIC ID3v1 ")));

        const auto tags = readWithMutagen(file);
        QVERIFY2(tags, "mutagen could not read the file");
        QCOMPARE(tags->value(QLatin1StringView("version")).toString(), QStringLiteral("2.3"));
        const QJsonObject picture = mutagenPicture(tags);
        QCOMPARE(picture.value(QLatin1StringView("mime")).toString(), QStringLiteral("image/png"));
        QCOMPARE(picture.value(QLatin1StringView("type")).toInt(), 3);
        QCOMPARE(picture.value(QLatin1StringView("sha256")).toString(), sha256Hex(png));
        QCOMPARE(mutagenText(tags, "TIT2"), QStringLiteral("with cover"));
        QCOMPARE(mutagenText(tags, "TPE1"), QStringLiteral("Jo"));

        // Once the cover file is gone, files are tagged without a picture.
        QFile::remove(m_store->coversFolder() + QStringLiteral("/cover.png"));
        const QList<TagResult> again = m_store->tag(fileUrls({file}), m_show);
        QVERIFY(again.first().ok);
        QVERIFY(!again.first().message.contains(QStringLiteral("APIC")));
    }

    void recentListKeepsTheNewest200()
    {
        QList<TagResult> old(190);
        for (int i = 0; i < old.size(); ++i)
            old[i].file = QStringLiteral("/old/%1.mp3").arg(i);
        m_store->setResults(old);
        QStringList files;
        for (int i = 0; i < 20; ++i)
            files.append(mp3(QStringLiteral("new %1.mp3").arg(i, 2, 10, QLatin1Char('0'))));

        QSignalSpy changed(m_store.get(), &ShowStore::changed);
        m_store->tag(fileUrls(files), m_show);
        QCOMPARE(changed.count(), 1); // the batch appears at once
        const QList<TagResult>& recent = m_store->results();
        QCOMPARE(recent.size(), 200);
        QCOMPARE(recent.first().file, files.last());
        QCOMPARE(recent.at(19).file, files.first());
        QCOMPARE(recent.at(20).file, QStringLiteral("/old/0.mp3"));
        QCOMPARE(recent.last().file, QStringLiteral("/old/179.mp3"));

        // An empty batch leaves the list alone.
        QVERIFY(m_store->tag({}, m_show).isEmpty());
        QCOMPARE(m_store->results().size(), 200);
        QCOMPARE(changed.count(), 1);
    }

    void awkwardPaths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addRow("spaces") << QStringLiteral("my episode 1.mp3");
        QTest::addRow("quotes") << QStringLiteral("it's \"live\".mp3");
        QTest::addRow("leading dash") << QStringLiteral("-rf.mp3");
        QTest::addRow("non-Latin") << QStringLiteral("Эпизод 日本 🎙.mp3");
        QTest::addRow("backslash and star") << QStringLiteral("a\\b*c?.mp3");
    }

    void awkwardPaths()
    {
        QFETCH(QString, name);
        const QString file = mp3(QStringLiteral("odd/") + name);
        const QList<TagResult> results
            = m_store->tag(fileUrls({m_case->filePath(QStringLiteral("odd"))}), m_show);
        QCOMPARE(results.size(), 1);
        QVERIFY2(results.first().ok, qPrintable(results.first().message));
        QCOMPARE(results.first().file, file);
        QCOMPARE(mutagenText(readWithMutagen(file), "TIT2"), QFileInfo(name).completeBaseName());
    }

    // 5,000 entries, more than a process may hold open at once.
    void largeFolderWithStrays()
    {
        const QString folder = m_case->filePath(QStringLiteral("big"));
        const QByteArray audio = readFile(toneFixture());
        int mp3s = 0;
        for (int i = 0; i < 5000; ++i) {
            const QString stem = folder + QStringLiteral("/%1").arg(i, 4, 10, QLatin1Char('0'));
            if (i % 500 == 7)
                writeFile(stem + QStringLiteral(".txt"), "text");
            else if (i % 500 == 8)
                writeFile(stem + QStringLiteral(".d/inner.mp3"), audio);
            else
                mp3s += writeFile(stem + QStringLiteral(".mp3"), audio);
        }
        QElapsedTimer timer;
        timer.start();
        const QList<TagResult> results = m_store->tag(fileUrls({folder}), m_show);
        qInfo("tagged %d files in %lld ms", int(results.size()), timer.elapsed());
        QCOMPARE(results.size(), mp3s);
        QVERIFY(std::all_of(results.cbegin(), results.cend(), [](const TagResult& r) { return r.ok; }));
        QCOMPARE(QFileInfo(results.first().file).fileName(), QStringLiteral("0000.mp3"));
        QCOMPARE(QFileInfo(results.last().file).fileName(), QStringLiteral("4999.mp3"));
        QCOMPARE(QDir(folder).entryList({QStringLiteral("*tagging*")}, QDir::Files | QDir::Hidden).size(), 0);
        QCOMPARE(readFile(folder + QStringLiteral("/0008.d/inner.mp3")), audio);
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
    Show m_show;
};

QTEST_GUILESS_MAIN(TestBatch)
#include "TestBatch.moc"
