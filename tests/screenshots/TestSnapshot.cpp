#include "common/LibraryTestKit.h"
#include "library/ShowStore.h"
#include "screenshots/Snapshot.h"

#include <QDir>
#include <QImage>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestSnapshot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(u"library"_s);
    }

    void picturesAndSizes()
    {
        for (const int factor : {1, 2}) {
            writeShows(m_library, {named(u"Show 1"_s, u"Title"_s), named(u"Show 2"_s), named(u"Show 3"_s)});
            // A picture from an earlier run is written over.
            const QString out = m_case->filePath(u"pictures"_s);
            writeFile(out + u"/main.png"_s, "stale");
            QProcessEnvironment env = m_env->processEnvironment();
            env.remove(u"QT_QPA_PLATFORM"_s); // the mode picks its platform itself
            env.remove(u"DISPLAY"_s);
            // As in a root shell or a service: Qt must not warn about it.
            env.remove(u"XDG_RUNTIME_DIR"_s);
            if (factor == 2)
                env.insert(u"QT_SCALE_FACTOR"_s, u"2"_s);
            const ProgramRun run = runProgram(
                QStringLiteral(PELAMO_EXECUTABLE), {u"--library"_s, m_library, u"--snapshot"_s, out}, env);
            QCOMPARE(run.status, 0);
            QCOMPARE(run.out, u"snapshots in %1\n"_s.arg(out));
            QCOMPARE(run.err, QString());
            QCOMPARE(QDir(out).entryList({u"*.png"_s}, QDir::Files, QDir::Name),
                (QStringList {"about-dark.png", "about.png", "drop-sheet.png", "editor-dark.png",
                    "editor-music-dark.png", "editor.png", "main-dark.png", "main.png"}));
            const auto image = [&](const char* name) { return QImage(out + u'/' + QLatin1StringView(name)); };
            QCOMPARE(image("main.png").size(), QSize(1040, 700) * factor);
            QCOMPARE(image("drop-sheet.png").size(), QSize(420, 190) * factor);
            QCOMPARE(image("about.png").size(), QSize(340, 410) * factor);
            QCOMPARE(image("editor.png").width(), 580 * factor);
            // The music editor has no podcast section and description, so it is shorter.
            QVERIFY(image("editor-music-dark.png").height() < image("editor.png").height());
            // Light pictures are light, dark ones dark.
            const auto lightness = [&](const char* name) {
                const QImage picture = image(name);
                return picture.pixelColor(picture.width() - 3, picture.height() - 3).lightness();
            };
            QVERIFY(lightness("main.png") > 180);
            QVERIFY(lightness("main-dark.png") < 100);
            // Nothing of the sample data reaches the library folder.
            QCOMPARE(QJsonDocument::fromJson(readFile(m_library + u"/shows.json"_s)).array().size(), 3);
        }
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;
};

QTEST_MAIN(TestSnapshot)
#include "TestSnapshot.moc"
