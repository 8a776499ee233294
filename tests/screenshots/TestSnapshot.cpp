#include "common/LibraryTestKit.h"
#include "library/ShowStore.h"
#include "screenshots/Snapshot.h"
#include "ui/ShowEditor.h"
#include "ui/Theme.h"

#include <QDir>
#include <QImage>
#include <QTest>

namespace {

const QStringList allPictures {"about-dark.png", "about.png", "drop-sheet.png", "editor-dark.png",
    "editor-music-dark.png", "editor.png", "main-dark.png", "main.png"};

QStringList pictures(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
}

int lightness(const QImage& image)
{
    return image.pixelColor(image.width() - 3, image.height() - 3).lightness();
}

} // namespace

class TestSnapshot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(QStringLiteral("library"));
    }

    ProgramRun pelamo(const QStringList& arguments, const QString& scale = {})
    {
        QProcessEnvironment env = m_env->processEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the mode picks its platform itself
        env.remove(QStringLiteral("DISPLAY"));
        // As in a root shell or a service: Qt must not warn about it.
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        if (!scale.isEmpty())
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        return runProgram(QStringLiteral(PELAMO_EXECUTABLE), arguments, env);
    }

    void writeLibrary(int shows)
    {
        QList<Show> list;
        for (int i = 0; i < shows; ++i)
            list.append(named(QStringLiteral("Show %1").arg(i + 1), QStringLiteral("Title")));
        writeShows(m_library, list);
    }

    void picturesAndSizes_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<int>("factor");
        QTest::addRow("scale 1") << QString() << 1;
        QTest::addRow("scale 2") << QStringLiteral("2") << 2;
    }

    void picturesAndSizes()
    {
        QFETCH(QString, scale);
        QFETCH(int, factor);
        writeLibrary(3);
        // A picture from an earlier run is written over.
        const QString out = m_case->filePath(QStringLiteral("pictures"));
        writeFile(out + QStringLiteral("/main.png"), "stale");
        const ProgramRun run
            = pelamo({QStringLiteral("--library"), m_library, QStringLiteral("--snapshot"), out}, scale);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("snapshots in %1\n").arg(out));
        QCOMPARE(run.err, QString());
        QCOMPARE(pictures(out), allPictures);

        const auto size
            = [&](const char* name) { return QImage(out + u'/' + QLatin1StringView(name)).size(); };
        QCOMPARE(size("main.png"), QSize(1040, 700) * factor);
        QCOMPARE(size("main-dark.png"), QSize(1040, 700) * factor);
        QCOMPARE(size("drop-sheet.png"), QSize(420, 190) * factor);
        QCOMPARE(size("about.png"), QSize(340, 410) * factor);
        QCOMPARE(size("about-dark.png"), QSize(340, 410) * factor);
        QCOMPARE(size("editor.png").width(), 580 * factor);
        QCOMPARE(size("editor-dark.png"), size("editor.png"));
        // The music editor has no podcast section and description, so it is shorter.
        QVERIFY(size("editor-music-dark.png").height() < size("editor.png").height());
        QCOMPARE(size("editor-music-dark.png").width(), 580 * factor);

        // Light pictures are light, dark ones dark.
        QVERIFY(lightness(QImage(out + QStringLiteral("/main.png"))) > 180);
        QVERIFY(lightness(QImage(out + QStringLiteral("/main-dark.png"))) < 100);
        QVERIFY(lightness(QImage(out + QStringLiteral("/editor-music-dark.png"))) < 100);
        QVERIFY(lightness(QImage(out + QStringLiteral("/about.png"))) > 180);

        // Nothing of the sample data reaches the library folder.
        QCOMPARE(
            QJsonDocument::fromJson(readFile(m_library + QStringLiteral("/shows.json"))).array().size(), 3);
    }

    void defaultFolder()
    {
        writeLibrary(1);
        const ProgramRun run = pelamo({QStringLiteral("--library"), m_library, QStringLiteral("--snapshot")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("snapshots in /tmp/pelamo\n"));
        for (const QString& name : allPictures)
            QVERIFY2(QFileInfo(QStringLiteral("/tmp/pelamo/") + name)
                         .lastModified()
                         .secsTo(QDateTime::currentDateTime())
                    < 120,
                qPrintable(name));
    }

    void folderThatCantBeMade()
    {
        writeLibrary(1);
        const QString file = m_case->filePath(QStringLiteral("a-file"));
        writeFile(file, "x");
        const ProgramRun run = pelamo({QStringLiteral("--library"), m_library, QStringLiteral("--snapshot"),
            file + QStringLiteral("/pictures")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.err.startsWith(QStringLiteral("pelamo: can't create the folder ")));
        QVERIFY(run.err.contains(QStringLiteral("can't write ")));
        QCOMPARE(run.out, QStringLiteral("snapshots in %1/pictures\n").arg(file));
        QCOMPARE(readFile(file), QByteArray("x"));
    }

    // In-process: the empty library, and the editor picture's height.

    void emptyLibraryGivesTheAboutPictures()
    {
        ShowStore store(m_library, m_case->filePath(QStringLiteral("no-seed")));
        QVERIFY(store.shows().isEmpty());
        const QString out = m_case->filePath(QStringLiteral("empty"));
        QCOMPARE(Snapshot::run(store, out), 0);
        QCOMPARE(pictures(out), (QStringList {"about-dark.png", "about.png"}));
    }

    void editorPictureIsAsTallAsTheEditor()
    {
        writeLibrary(1);
        ShowStore store(m_library, m_case->filePath(QStringLiteral("no-seed")));
        const QString out = m_case->filePath(QStringLiteral("editor"));
        QCOMPARE(Snapshot::run(store, out), 0);
        Theme::apply(Theme::Appearance::Light);
        ShowEditor editor(store, store.shows().first(), false);
        const QSize wanted = Snapshot::fitting(&editor, 580);
        const QImage picture(out + QStringLiteral("/editor.png"));
        QCOMPARE(picture.size() / picture.devicePixelRatio(), wanted);
        // The sample lives in memory only.
        QCOMPARE(store.results().size(), 2);
        QCOMPARE(store.results().first().message,
            QStringLiteral("Tagged \u00b7 TYER TIT2 TPE1 TCON TDRC TDES APIC ID3v1 \u00b7 audio untouched"));
        QCOMPARE(store.pending(), QList<QUrl> {QUrl::fromLocalFile(QStringLiteral("/x/Episode 13.mp3"))});
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;
};

QTEST_MAIN(TestSnapshot)
#include "TestSnapshot.moc"
