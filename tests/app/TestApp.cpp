#include "app/AppDelegate.h"
#include "app/Entry.h"
#include "app/PelamoApp.h"
#include "app/SingleInstance.h"
#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "library/ShowStore.h"
#include "ui/ContentView.h"

#include <QAction>
#include <QDir>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

QUrl file(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
    }

    void openFilesRule_data()
    {
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::addColumn<QList<QUrl>>("kept");
        const QUrl upper = file(QStringLiteral("/m/EPISODE.MP3"));
        const QUrl text = file(QStringLiteral("/m/notes.txt"));
        const QUrl folder = file(QStringLiteral("/m/Season 2/"));
        const QUrl folderWithoutSlash = file(QStringLiteral("/m/Season 2"));
        const QUrl mixed = file(QStringLiteral("/m/a.Mp3"));
        QTest::addRow("capitals kept, text dropped") << QList<QUrl> {upper, text} << QList<QUrl> {upper};
        QTest::addRow("only non-MP3") << QList<QUrl> {text} << QList<QUrl> {};
        QTest::addRow("folder by its slash")
            << QList<QUrl> {folder, folderWithoutSlash} << QList<QUrl> {folder};
        QTest::addRow("order kept") << QList<QUrl> {mixed, text, upper} << QList<QUrl> {mixed, upper};
        QTest::addRow("mp3 in a folder name only")
            << QList<QUrl> {file(QStringLiteral("/a.mp3/readme"))} << QList<QUrl> {};
    }

    void openFilesRule()
    {
        QFETCH(QList<QUrl>, opened);
        QFETCH(QList<QUrl>, kept);
        int activations = 0;
        AppDelegate delegate(*m_store, [&] { ++activations; });
        delegate.openFiles(opened);
        QCOMPARE(m_store->pending(), kept);
        QCOMPARE(activations, kept.isEmpty() ? 0 : 1);
        // A second batch waits with the first.
        delegate.openFiles(opened);
        QCOMPARE(m_store->pending(), kept + kept);
    }

    void launchArguments()
    {
        const QString folder = m_case->filePath(QStringLiteral("Season"));
        QDir().mkpath(folder);
        // The capture's folder exists, and is still not a file to tag.
        const QList<QUrl> files = Entry::openedFiles({QStringLiteral("--library"), QStringLiteral("/lib"),
            QStringLiteral("/x/a.mp3"), folder, QStringLiteral("--capture"), m_case->path(),
            QStringLiteral("--size"), QStringLiteral("800x600")});
        QCOMPARE(files, (QList<QUrl> {file(QStringLiteral("/x/a.mp3")), file(folder + u'/')}));
    }

    void shellWindowsAndCommands()
    {
        PelamoApp app(*m_store);
        app.showMainWindow();
        QMainWindow* main = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QCOMPARE(main->windowTitle(), QStringLiteral("Pelamo"));
        QCOMPARE(main->size(), PelamoApp::mainSize);
        // The smallest window still gives the content its minimum, below the menu bar.
        main->resize(100, 100);
        QTRY_COMPARE(app.contentView()->size(), PelamoApp::mainMinimum);

        // Ctrl+N adds and selects, without opening the editor.
        QTest::keyClick(main, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_store->shows().size(), 1);
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().first().id));
        QVERIFY(!app.contentView()->editing());

        // About opens once and comes forward when asked again.
        QVERIFY(!app.aboutWindow());
        main->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
        QWidget* about = app.aboutWindow();
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Pelamo"));
        QVERIFY(QTest::qWaitForWindowExposed(about));
        const QSize size = about->size();
        QCOMPARE(about->minimumSize(), about->maximumSize()); // not resizable
        main->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
        QCOMPARE(app.aboutWindow(), about);
        QCOMPARE(about->size(), size);
        // Escape and Ctrl+W close it.
        about->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(!app.aboutWindow());
        main->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
        app.aboutWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.aboutWindow()));
        QTest::keyClick(app.aboutWindow(), Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(!app.aboutWindow());
    }

    void launchWithFilesAsksForAShow()
    {
        Show show;
        show.name = QStringLiteral("Weekly");
        m_store->setShows({show});
        PelamoApp app(*m_store);
        app.start({file(QStringLiteral("/m/a.mp3")), file(QStringLiteral("/m/b.txt"))});
        QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
        QCOMPARE(m_store->pending(), QList<QUrl> {file(QStringLiteral("/m/a.mp3"))});
        QTRY_VERIFY(app.contentView()->dropSheet() && app.contentView()->dropSheet()->isVisible());
    }

    // A second launch hands its files to the running program and quits.
    void secondLaunchHandsOver()
    {
        const QString library = m_case->filePath(QStringLiteral("lib"));
        SingleInstance running(library);
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::filesReceived);

        const QString folder = m_case->filePath(QStringLiteral("Season 2"));
        QDir().mkpath(folder);
        QProcess second;
        second.setProcessEnvironment(m_env->processEnvironment());
        second.setWorkingDirectory(m_case->path());
        second.start(QStringLiteral(PELAMO_EXECUTABLE),
            {QStringLiteral("--library"), library, QStringLiteral("ep 1.mp3"), QStringLiteral("Season 2")});
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(received.first().first().value<QList<QUrl>>(),
            (QList<QUrl> {file(m_case->filePath(QStringLiteral("ep 1.mp3"))), file(folder + u'/')}));

        // Another library is another program.
        SingleInstance other(m_case->filePath(QStringLiteral("other")));
        QVERIFY(!other.forward({}));
    }

    // Two real programs on one library: the second hands over its file and ends.
    void secondRealLaunchEndsAtOnce()
    {
        const QString library = m_case->filePath(QStringLiteral("shared"));
        QProcess first;
        first.setProcessEnvironment(m_env->processEnvironment());
        first.start(QStringLiteral(PELAMO_EXECUTABLE), {QStringLiteral("--library"), library});
        QVERIFY(first.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SingleInstance::socketPath(library)), 20000);

        const ProgramRun second = runProgram(QStringLiteral(PELAMO_EXECUTABLE),
            {QStringLiteral("--library"), library, m_case->filePath(QStringLiteral("a.mp3"))},
            m_env->processEnvironment(), {}, 20000);
        QCOMPARE(second.status, 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished(10000);
    }

    void staleSocketIsTakenOver()
    {
        // What a crash leaves: a socket path nobody answers on.
        const QString library = m_case->filePath(QStringLiteral("stale"));
        QVERIFY(writeFile(SingleInstance::socketPath(library), QByteArray()));
        QVERIFY(SingleInstance(library).claim({}));
    }

    // The window opens where it was closed, but never off every screen.
    void geometryRemembered()
    {
        const QRect placed(120, 90, 900, 620);
        {
            PelamoApp app(*m_store);
            app.showMainWindow();
            QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
            app.mainWindow()->setGeometry(placed);
            QTRY_COMPARE(app.mainWindow()->geometry(), placed);
        }
        {
            PelamoApp app(*m_store);
            QCOMPARE(app.mainWindow()->geometry(), placed);
            app.showMainWindow();
            QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
            app.mainWindow()->move(-30000, -30000);
            QTRY_COMPARE(app.mainWindow()->pos(), QPoint(-30000, -30000));
        }
        PelamoApp app(*m_store);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.intersects(app.mainWindow()->frameGeometry()));
        m_store->setWindowGeometry({});
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
};

QTEST_MAIN(TestApp)
#include "TestApp.moc"
