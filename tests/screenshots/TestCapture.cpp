#include "common/LibraryTestKit.h"
#include "screenshots/Capture.h"

#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QTest>

class TestCapture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_env.emplace();
        if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
            QFAIL("xvfb-run is missing: scripts/install-deps.sh test installs it");
    }

    void init()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(QStringLiteral("library"));
        Show show = named(QStringLiteral("Weekly"));
        show.titleFromFileName = true;
        show.artist = QStringLiteral("Jo");
        writeShows(m_library, {show});
        m_out = m_case->filePath(QStringLiteral("out"));
    }

    // The real program in a real X server.
    ProgramRun capture(const QStringList& options, bool display = true)
    {
        QProcessEnvironment env = m_env->processEnvironment();
        for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1StringView(variable));
        const QStringList arguments
            = QStringList {QStringLiteral("--library"), m_library, QStringLiteral("--capture"), m_out}
            + options;
        if (!display)
            return runProgram(QStringLiteral(PELAMO_EXECUTABLE), arguments, env, {}, 60000);
        const QStringList xvfb {QStringLiteral("-a"), QStringLiteral("-s"),
            QStringLiteral("-screen 0 1600x1200x24"), QStringLiteral(PELAMO_EXECUTABLE)};
        return runProgram(QStringLiteral("xvfb-run"), xvfb + arguments, env, {}, 60000);
    }

    void sizeOption_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("refused");
        QTest::addRow("two numbers") << QStringLiteral("900x650") << QSize(900, 650) << false;
        QTest::addRow("smallest") << QStringLiteral("1x1") << QSize(1, 1) << false;
        QTest::addRow("decimals") << QStringLiteral("900.4x650.6") << QSize(900, 651) << false;
        QTest::addRow("empty pieces dropped") << QStringLiteral("x900xx650x") << QSize(900, 650) << false;
        QTest::addRow("x alone") << QStringLiteral("x") << QSize(1040, 700) << true;
        QTest::addRow("one number") << QStringLiteral("800x") << QSize(1040, 700) << true;
        QTest::addRow("three numbers") << QStringLiteral("1x2x3") << QSize(1040, 700) << true;
        QTest::addRow("negative") << QStringLiteral("-5x-5") << QSize(1040, 700) << true;
        QTest::addRow("zero") << QStringLiteral("0x0") << QSize(1040, 700) << true;
        QTest::addRow("huge") << QStringLiteral("100000x1e300") << QSize(1040, 700) << true;
        QTest::addRow("not a number") << QStringLiteral("wide") << QSize(1040, 700) << true;
    }

    void sizeOption()
    {
        QFETCH(QString, value);
        QFETCH(QSize, size);
        QFETCH(bool, refused);
        const auto options = Capture::Options::parse(
            {QStringLiteral("--capture"), QStringLiteral("out"), QStringLiteral("--size"), value});
        QCOMPARE(options.size, size);
        QCOMPARE(options.sizeRefused, refused);
    }

    void otherOptions()
    {
        auto options = Capture::Options::parse({QStringLiteral("--capture")});
        QVERIFY(!options.outDir); // last argument: capture is off
        QCOMPARE(options.size, QSize(1040, 700));
        QVERIFY(!options.sizeRefused);
        options = Capture::Options::parse({"--capture", "o", "--appearance", "Dark"});
        QVERIFY(!options.dark);
        options = Capture::Options::parse({"--appearance", "dark", "--capture", "o", "--sample-dir", "s"});
        QVERIFY(options.dark);
        QCOMPARE(options.outDir, std::optional(QStringLiteral("o")));
        QCOMPARE(options.sampleDir, std::optional(QStringLiteral("s")));
        QVERIFY(!Capture::requested({QStringLiteral("--library"), QStringLiteral("x")}));
    }

    void lightAndDark_data()
    {
        QTest::addColumn<QString>("appearance");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("dark");
        QTest::addRow("dark") << QStringLiteral("dark") << QStringLiteral("main-dark.png") << true;
        QTest::addRow("light by default") << QString() << QStringLiteral("main-light.png") << false;
    }

    void lightAndDark()
    {
        QFETCH(QString, appearance);
        QFETCH(QString, file);
        QFETCH(bool, dark);
        const QStringList options
            = appearance.isEmpty() ? QStringList() : QStringList {QStringLiteral("--appearance"), appearance};
        const ProgramRun run = capture(options);
        QCOMPARE(run.status, 0);
        const QString path = m_out + u'/' + file;
        QCOMPARE(run.out, QStringLiteral("captured %1 (1040\u00d7700)\n").arg(path));
        const QImage picture(path);
        QCOMPARE(picture.size(), QSize(1040, 700));
        const int lightness = picture.pixelColor(picture.width() - 3, picture.height() - 3).lightness();
        QVERIFY2(dark ? lightness < 100 : lightness > 180, qPrintable(QString::number(lightness)));
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList {file});
    }

    void sampleFolderIsTaggedFirst()
    {
        const QString samples = m_case->filePath(QStringLiteral("samples"));
        QDir().mkpath(samples);
        QVERIFY(!copyFixture(toneFixture(), samples + QStringLiteral("/Episode 1.mp3")).isEmpty());
        writeFile(samples + QStringLiteral("/notes.txt"), "left alone");
        const ProgramRun run = capture(
            {QStringLiteral("--sample-dir"), samples, QStringLiteral("--size"), QStringLiteral("900x650")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.endsWith(QStringLiteral(" (900\u00d7650)\n")));
        QCOMPARE(mutagenText(readWithMutagen(samples + QStringLiteral("/Episode 1.mp3")), "TIT2"),
            QStringLiteral("Episode 1"));
        QCOMPARE(readFile(samples + QStringLiteral("/notes.txt")), QByteArray("left alone"));
    }

    void troubleIsReportedAndThePictureStillTaken_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("error");
        QTest::addRow("missing sample folder") << QStringList {"--sample-dir",
            "/no/such/folder"} << QStringLiteral("pelamo: the sample folder /no/such/folder is not a folder");
        QTest::addRow("unusable size")
            << QStringList {"--size", "-5x-5"} << QStringLiteral("pelamo: --size takes WIDTHxHEIGHT");
    }

    void troubleIsReportedAndThePictureStillTaken()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, error);
        const ProgramRun run = capture(options);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QVERIFY(run.out.endsWith(QStringLiteral(" (1040\u00d7700)\n")));
    }

    // A picture that can't be saved is a failed capture, never "captured".
    void unwritablePicture()
    {
        QVERIFY(QDir().mkpath(m_out + QStringLiteral("/main-light.png")));
        const ProgramRun run = capture({});
        QCOMPARE(run.status, 4);
        QVERIFY2(run.err.endsWith(QStringLiteral("capture failed\n")), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void noDisplay()
    {
        const ProgramRun run = capture({}, false);
        QCOMPARE(run.status, 3);
        QCOMPARE(run.err,
            QStringLiteral("pelamo: --capture needs a display; none is set in DISPLAY or WAYLAND_DISPLAY\n"));
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
