#include "common/LibraryTestKit.h"
#include "library/ShowStore.h"
#include "screenshots/Capture.h"

#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Where the program runs: without a display, in an X server, or under a Wayland compositor.
enum class Server { None, X11, Wayland };

class TestCapture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_env.emplace();
        if (QStandardPaths::findExecutable(u"xvfb-run"_s).isEmpty())
            QFAIL("xvfb-run is missing: scripts/install-deps.sh test installs it");
    }

    void init()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(u"library"_s);
        writeShows(m_library, {named(u"Weekly"_s)});
        m_out = m_case->filePath(u"out"_s);
    }

    // The real program in a real X server, or under a Wayland compositor. With a colour scheme, a session bus
    // of its own runs there too, with the desktop portal saying that scheme ("prefer-light" or "prefer-dark")
    // as GNOME's does; the portal has answered before the program starts.
    ProgramRun capture(const QStringList& options, Server server = Server::X11, const QString& scheme = {})
    {
        QProcessEnvironment env = m_env->processEnvironment();
        for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1StringView(variable));
        const QStringList arguments
            = QStringList {u"--library"_s, m_library, u"--capture"_s, m_out} + options;
        if (server == Server::None)
            return runProgram(QStringLiteral(PELAMO_EXECUTABLE), arguments, env, {}, 60000);
        if (server == Server::Wayland)
            return runProgram(QStringLiteral(PELAMO_UNDER_WESTON),
                QStringList {QStringLiteral(PELAMO_EXECUTABLE)} + arguments, env, {}, 60000);
        QStringList command {QStringLiteral(PELAMO_EXECUTABLE)};
        if (!scheme.isEmpty()) {
            env.insert(u"XDG_CURRENT_DESKTOP"_s, u"GNOME"_s);
            env.insert(u"GSETTINGS_BACKEND"_s, u"keyfile"_s);
            writeFile(m_env->configHome() + u"/glib-2.0/settings/keyfile"_s,
                "[org/gnome/desktop/interface]\ncolor-scheme='" + scheme.toUtf8() + "'\n");
            const QString portalSays = scheme == u"prefer-dark"_s ? u"1"_s : u"2"_s;
            command
                = QStringList {u"dbus-run-session"_s, u"--"_s, u"sh"_s, u"-c"_s,
                      u"gdbus call --session --dest org.freedesktop.portal.Desktop"
                      " --object-path /org/freedesktop/portal/desktop"
                      " --method org.freedesktop.portal.Settings.Read org.freedesktop.appearance"
                      " color-scheme 2>/dev/null | grep -q 'uint32 %1' || exit 97; exec \"$0\" \"$@\""_s.arg(
                          portalSays)}
                + command;
        }
        // An authority file of the test's own: without one xvfb-run makes a folder for it
        // and, when removing that folder fails under load, exits 5 in place of the program.
        const QStringList xvfb {
            u"-a"_s, u"-f"_s, m_case->filePath(u"Xauthority"_s), u"-s"_s, u"-screen 0 1600x1200x24"_s};
        return runProgram(u"xvfb-run"_s, xvfb + command + arguments, env, {}, 60000);
    }

    // WIDTHxHEIGHT, rounded, with empty pieces dropped; a size that is no use keeps the window's own.
    void sizeOption()
    {
        const auto parsed = [](const QString& value) {
            const auto options = Capture::Options::parse({u"--capture"_s, u"out"_s, u"--size"_s, value});
            return std::pair(options.size, options.sizeRefused);
        };
        QCOMPARE(parsed(u"1x1"_s), std::pair(QSize(1, 1), false));
        QCOMPARE(parsed(u"900.4x650.6"_s), std::pair(QSize(900, 651), false));
        QCOMPARE(parsed(u"x900xx650x"_s), std::pair(QSize(900, 650), false));
        QCOMPARE(parsed(u"800x"_s), std::pair(QSize(1040, 700), true));
        QCOMPARE(parsed(u"100000x1e300"_s), std::pair(QSize(1040, 700), true));
    }

    // Light by default, dark when asked for, under X or Wayland. A desktop portal says light
    // or dark, and View › Appearance may have chosen one in an earlier run: an explicit
    // appearance wins over both for the whole capture, the choice wins over the portal, and
    // with neither the portal decides. The picture is named for what it shows.
    void lightOrDark_data()
    {
        QTest::addColumn<QString>("appearance");
        QTest::addColumn<Server>("server");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("dark");
        QTest::addRow("dark") << u"dark"_s << Server::X11 << QString() << QString() << true;
        QTest::addRow("light by default") << QString() << Server::X11 << QString() << QString() << false;
        // GNOME and KDE start Wayland sessions: the window comes up under weston on Qt's own plugin.
        QTest::addRow("under Wayland") << u"dark"_s << Server::Wayland << QString() << QString() << true;
        QTest::addRow("light desktop, dark asked for")
            << u"dark"_s << Server::X11 << u"prefer-light"_s << u"desktop"_s << true;
        QTest::addRow("dark desktop and choice, light asked for")
            << u"light"_s << Server::X11 << u"prefer-dark"_s << u"dark"_s << false;
        QTest::addRow("dark desktop decides")
            << QString() << Server::X11 << u"prefer-dark"_s << u"desktop"_s << true;
        QTest::addRow("light chosen on a dark desktop")
            << QString() << Server::X11 << u"prefer-dark"_s << u"light"_s << false;
    }
    void lightOrDark()
    {
        QFETCH(QString, appearance);
        QFETCH(Server, server);
        QFETCH(QString, scheme);
        QFETCH(QString, chosen);
        QFETCH(bool, dark);
        if (!chosen.isEmpty())
            ShowStore(m_library).setAppearance(chosen);
        for (const QString& program :
            {u"/usr/libexec/xdg-desktop-portal"_s, u"/usr/libexec/xdg-desktop-portal-gtk"_s})
            if (!scheme.isEmpty() && !QFileInfo(program).isExecutable())
                QSKIP(
                    qPrintable(program + u" is not installed (scripts/install-deps.sh test installs it)"_s));
        const QStringList options
            = appearance.isEmpty() ? QStringList() : QStringList {u"--appearance"_s, appearance};
        const ProgramRun run = capture(options, server, scheme);
        QVERIFY2(run.status != 96, qPrintable(u"weston did not come up: "_s + run.err));
        QVERIFY2(run.status != 97, "the desktop portal did not report the colour scheme");
        QVERIFY2(run.status == 0, qPrintable(run.err));
        const QString file = dark ? u"main-dark.png"_s : u"main-light.png"_s;
        const QString path = m_out + u'/' + file;
        // With a session bus of its own, the bus and its services share the output.
        if (scheme.isEmpty())
            QCOMPARE(run.out, u"captured %1 (1040\u00d7700)\n"_s.arg(path));
        const QImage picture(path);
        QCOMPARE(picture.size(), QSize(1040, 700));
        const int lightness = picture.pixelColor(picture.width() - 3, picture.height() - 3).lightness();
        QVERIFY2(dark ? lightness < 100 : lightness > 180, qPrintable(QString::number(lightness)));
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList {file});
    }

    // A missing sample folder or an unusable size is reported, and the picture still taken.
    void troubleIsReportedAndThePictureStillTaken()
    {
        const std::pair<QStringList, QString> troubles[] {
            {{"--sample-dir", "/no/such/folder"},
                u"pelamo: the sample folder /no/such/folder is not a folder"_s},
            {{"--size", "-5x-5"}, u"pelamo: --size takes WIDTHxHEIGHT"_s}};
        for (const auto& [options, error] : troubles) {
            const ProgramRun run = capture(options);
            QCOMPARE(run.status, 0);
            QVERIFY2(run.err.contains(error), qPrintable(run.err));
            QVERIFY(run.out.endsWith(u" (1040\u00d7700)\n"_s));
        }
    }

    // A picture that can't be saved is a failed capture, never "captured".
    void unwritablePicture()
    {
        QVERIFY(QDir().mkpath(m_out + u"/main-light.png"_s));
        const ProgramRun run = capture({});
        QCOMPARE(run.status, 4);
        QVERIFY2(run.err.endsWith(u"capture failed\n"_s), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void noDisplay()
    {
        const ProgramRun run = capture({}, Server::None);
        QCOMPARE(run.status, 3);
        QCOMPARE(
            run.err, u"pelamo: --capture needs a display; none is set in DISPLAY or WAYLAND_DISPLAY\n"_s);
        QVERIFY(!QFileInfo::exists(m_out));
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;
    QString m_out;
};

QTEST_MAIN(TestCapture)
#include "TestCapture.moc"
