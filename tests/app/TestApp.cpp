#include "app/AppDelegate.h"
#include "app/Entry.h"
#include "app/PelamoApp.h"
#include "app/SingleInstance.h"
#include "common/EmptyLibrary.h"
#include "common/LibraryTestKit.h"
#include "library/ShowStore.h"
#include "ui/AboutView.h"
#include "ui/ContentView.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <array>

using namespace Qt::Literals::StringLiterals;

QUrl (*const file)(const QString&) = &QUrl::fromLocalFile;

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
        const QUrl upper = file(u"/m/EPISODE.MP3"_s);
        const QUrl text = file(u"/m/notes.txt"_s);
        QTest::addRow("capitals kept, text dropped") << QList<QUrl> {upper, text} << QList<QUrl> {upper};
        QTest::addRow("folder by its slash") << QList<QUrl> {file(u"/m/Season 2/"_s), file(u"/m/Season 2"_s)}
                                             << QList<QUrl> {file(u"/m/Season 2/"_s)};
        QTest::addRow("mp3 in a folder name only")
            << QList<QUrl> {file(u"/a.mp3/readme"_s)} << QList<QUrl> {};
    }
    void openFilesRule()
    {
        QFETCH(QList<QUrl>, opened);
        QFETCH(QList<QUrl>, kept);
        int activations = 0;
        AppDelegate delegate(*m_store, [&] { ++activations; });
        delegate.openFiles(opened);
        QCOMPARE(m_store->pending(), kept);
        // What can't be tagged is named in the sheet, so the window comes up for it too.
        QList<QUrl> leftOut = opened;
        leftOut.removeIf([&](const QUrl& url) { return kept.contains(url); });
        QCOMPARE(m_store->leftOut(), leftOut);
        QCOMPARE(activations, 1);
        // A second batch waits with the first.
        delegate.openFiles(opened);
        QCOMPARE(m_store->pending(), kept + kept);
        QCOMPARE(m_store->leftOut(), leftOut + leftOut);
    }

    void shellWindowsAndCommands()
    {
        PelamoApp app(*m_store);
        app.showMainWindow();
        QMainWindow* main = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        // The smallest window still gives the content its minimum, below the menu bar; on a
        // screen smaller than that minimum (the offscreen one is 800 × 600), what the screen has.
        main->resize(100, 100);
        const QSize room = main->screen()->availableGeometry().size();
        const QSize minimum = PelamoApp::contentMinimum(main->screen(), main->menuBar()->height());
        QCOMPARE(minimum.boundedTo(PelamoApp::mainMinimum), minimum);
        QVERIFY(
            minimum.width() < room.width() && minimum.height() + main->menuBar()->height() < room.height());
        QTRY_COMPARE(app.contentView()->size(), minimum);
        // Ctrl+N adds and selects, without opening the editor.
        QTest::keyClick(main, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_store->shows().size(), 1);
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().first().id));
        QVERIFY(!app.contentView()->editing());
        // The pane's own layout fits that minimum: nothing is drawn over anything else.
        QTRY_VERIFY(app.contentView()->tagView());
        QVERIFY(app.contentView()->minimumSizeHint().height() <= minimum.height());
        // About opens once; Escape and Ctrl+W close it.
        main->findChild<QAction*>(u"aboutAction"_s)->trigger();
        QWidget* about = app.aboutWindow();
        QVERIFY(about && QTest::qWaitForWindowExposed(about));
        // To a screen reader it is a dialog, and the web address in it a link.
        QCOMPARE(QAccessible::queryAccessibleInterface(about)->role(), QAccessible::Dialog);
        QAccessibleInterface* link
            = QAccessible::queryAccessibleInterface(about->findChild<QLabel*>(u"link"_s));
        QCOMPARE(link->role(), QAccessible::Link);
        QCOMPARE(link->text(QAccessible::Name), AboutView::website().host());
        QCOMPARE(
            link->actionInterface()->actionNames(), QStringList {QAccessibleActionInterface::pressAction()});
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(!app.aboutWindow());
        main->findChild<QAction*>(u"aboutAction"_s)->trigger();
        about = app.aboutWindow();
        QVERIFY(about && QTest::qWaitForWindowExposed(about));
        main->findChild<QAction*>(u"aboutAction"_s)->trigger();
        QCOMPARE(app.aboutWindow(), about);
        about->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(about, Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(!app.aboutWindow());
    }

    void launchWithFilesAsksForAShow()
    {
        m_store->setShows({named(u"Weekly"_s)});
        PelamoApp app(*m_store);
        app.start({file(u"/m/a.mp3"_s), file(u"/m/b.txt"_s)});
        QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
        QCOMPARE(m_store->pending(), QList<QUrl> {file(u"/m/a.mp3"_s)});
        QTRY_VERIFY(app.contentView()->dropSheet() && app.contentView()->dropSheet()->isVisible());
    }

    // Brought forward for a second launch, the window comes back as it was left.
    void activateKeepsTheWindowState_data()
    {
        using States = Qt::WindowStates;
        QTest::addColumn<States>("left");
        QTest::addColumn<States>("back");
        QTest::addRow("maximized") << States(Qt::WindowMaximized) << States(Qt::WindowMaximized);
        QTest::addRow("minimized from maximized")
            << (Qt::WindowMinimized | Qt::WindowMaximized) << States(Qt::WindowMaximized);
        QTest::addRow("minimized") << States(Qt::WindowMinimized) << States(Qt::WindowNoState);
    }
    void activateKeepsTheWindowState()
    {
        QFETCH(Qt::WindowStates, left);
        QFETCH(Qt::WindowStates, back);
        PelamoApp app(*m_store);
        app.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
        app.mainWindow()->setWindowState(left);
        app.activate();
        QTRY_COMPARE(app.mainWindow()->windowState() & ~Qt::WindowActive, back);
    }

    // A second launch hands its files to the running program and quits. A folder goes with a
    // slash; what follows an option is no file, the capture's folder though it exists.
    void secondLaunchHandsOver()
    {
        const QString library = m_case->filePath(u"lib"_s);
        SingleInstance running(library);
        QCOMPARE(running.claim({}), SingleInstance::Claim::Running);
        QSignalSpy received(&running, &SingleInstance::filesReceived);
        const QString folder = m_case->filePath(u"Season 2"_s);
        QDir().mkpath(folder);
        QCOMPARE(Entry::openedFiles(CLI::parse({u"--library"_s, u"/lib"_s, u"/x/a.mp3"_s, folder,
                     u"--capture"_s, m_case->path(), u"--size"_s, u"800x600"_s})),
            (QList<QUrl> {file(u"/x/a.mp3"_s), file(folder + u'/')}));
        QProcess second;
        second.setProcessEnvironment(m_env->processEnvironment());
        second.setWorkingDirectory(m_case->path());
        second.start(
            QStringLiteral(PELAMO_EXECUTABLE), {u"--library"_s, library, u"ep 1.mp3"_s, u"Season 2"_s});
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(received.first().first().value<QList<QUrl>>(),
            (QList<QUrl> {file(m_case->filePath(u"ep 1.mp3"_s)), file(folder + u'/')}));
    }

    // Launches at the same moment: the library's lock lets exactly one of them run, and the
    // other hands over, every other round with a file. Every round but the first also finds
    // the lock and the socket a crash leaves, those of the instance killed in the round
    // before, and takes them over.
    void simultaneousLaunchesLeaveOne()
    {
        const QString library = m_case->filePath(u"shared"_s);
        ShowStore {library}.save();
        QVERIFY(QFileInfo::exists(library + u"/shows.json"_s));
        for (int round = 0; round < 20; ++round) {
            QStringList arguments {u"--library"_s, library};
            if (round % 2)
                arguments.append(m_case->filePath(u"a.mp3"_s));
            std::array<QProcess, 2> launches;
            for (QProcess& launch : launches) {
                launch.setProcessEnvironment(m_env->processEnvironment());
                launch.start(QStringLiteral(PELAMO_EXECUTABLE), arguments);
            }
            const auto running = [&] {
                return int(launches[0].state() != QProcess::NotRunning)
                    + int(launches[1].state() != QProcess::NotRunning);
            };
            QTRY_VERIFY_WITH_TIMEOUT(running() < 2, 30000);
            // The survivor stays: it did not also hand over, or quit.
            QTest::qWait(300);
            QVERIFY2(running() == 1, qPrintable(u"round %1: %2 running"_s.arg(round).arg(running())));
            QProcess& ended = launches[0].state() == QProcess::NotRunning ? launches[0] : launches[1];
            QProcess& survivor = &ended == &launches[0] ? launches[1] : launches[0];
            QCOMPARE(ended.exitStatus(), QProcess::NormalExit);
            QCOMPARE(ended.exitCode(), 0);
            survivor.kill();
            QVERIFY(survivor.waitForFinished(10000));
        }
    }

    // The window opens where it was closed, but wholly on the screen, Edit Show… too: a
    // remembered window larger than the screen (from a session at another scale, or on a
    // larger screen) is made to fit, one off every screen comes back onto it.
    void geometryRemembered_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<QSize>("size");
        // The screen's room for a window is its size less 16 × 64 for the frame and title bar.
        QTest::addRow("as it was left") << 1 << QRect(120, 90, 900, 620) << QSize(900, 620);
        QTest::addRow("larger than the screen") << 1 << QRect(600, 300, 2080, 1400) << QSize(1384, 836);
        QTest::addRow("larger at scale 2") << 2 << QRect(600, 300, 1040, 700) << QSize(684, 386);
        QTest::addRow("partly off the screen") << 1 << QRect(900, 700, 900, 620) << QSize(900, 620);
        QTest::addRow("off every screen") << 1 << QRect(-30000, -30000, 900, 620) << QSize(900, 620);
    }
    void geometryRemembered()
    {
        QFETCH(int, scale);
        QFETCH(QRect, saved);
        QFETCH(QSize, size);
        if (qEnvironmentVariable("QT_SCALE_FACTOR") != QString::number(scale)) {
            // Again in a process of its own, on a 1400 × 900 screen at that scale.
            const QString config = m_case->filePath(u"screen.json"_s);
            QVERIFY(writeFile(
                config, R"({"screens": [{"name": "main", "x": 0, "y": 0, "width": 1400, "height": 900}]})"));
            QProcessEnvironment env = m_env->processEnvironment();
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen:configfile="_s + config);
            env.insert(u"QT_SCALE_FACTOR"_s, QString::number(scale));
            const ProgramRun run = runProgram(QCoreApplication::applicationFilePath(),
                {u"geometryRemembered:"_s + QString::fromLatin1(QTest::currentDataTag())}, env, {}, 60000);
            QVERIFY2(
                run.status == 0 && run.out.contains(u"Totals: 3 passed, 0 failed"_s), qPrintable(run.out));
            return;
        }
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(1400, 900) / scale);
        const Show show = named(u"Weekly"_s);
        m_store->setShows({show});
        m_store->setSelection(show.id);
        QMainWindow before;
        before.setGeometry(saved);
        m_store->setWindowGeometry(before.saveGeometry());
        PelamoApp app(*m_store);
        app.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
        const QRect frame = app.mainWindow()->frameGeometry();
        QCOMPARE(app.mainWindow()->size(), size);
        if (screen.contains(saved))
            QCOMPARE(app.mainWindow()->geometry().topLeft(), saved.topLeft());
        QCOMPARE(frame.intersected(screen), frame);
        const auto* edit = app.mainWindow()->findChild<QWidget*>(u"editShowButton"_s);
        QVERIFY(edit && edit->isVisible());
        QVERIFY(screen.contains(QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size())));
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
};

QTEST_MAIN(TestApp)
#include "TestApp.moc"
