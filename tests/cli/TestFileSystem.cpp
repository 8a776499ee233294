// What the file system keeps about a file, through the real executable.
#include "CliCase.h"
#include "id3/ID3.h"
#include "id3/Recovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

using namespace Qt::Literals::StringLiterals;

namespace {

bool writeNative(const QByteArray& path, const QByteArray& content)
{
    return bool(std::ofstream(path.constData(), std::ios::binary).write(content.constData(), content.size()));
}

QByteArray readNative(const QByteArray& path)
{
    std::ifstream in(path.constData(), std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

// A shell word that prints exactly these bytes, so names that are not UTF-8 reach the program as they are.
QString shellBytes(const QByteArray& bytes)
{
    QString escaped;
    for (const char c : bytes)
        escaped += u"\\%1"_s.arg(uint(quint8(c)), 3, 8, QLatin1Char('0'));
    return u"\"$(printf '%1')\""_s.arg(escaped);
}

struct stat statOf(const QByteArray& path)
{
    struct stat info = {};
    ::stat(path.constData(), &info);
    return info;
}

// A tagged file holds the original audio whole behind its new tag.
bool isTagged(const QByteArray& now, const QByteArray& original)
{
    return now.startsWith("ID3") && now.indexOf(original) > 0;
}

} // namespace

class TestFileSystem : public QObject, public CliCase
{
    Q_OBJECT

private:
    QByteArray m_tone;

    QString path(const QString& name) const { return m_case->filePath(name); }
    QByteArray native(const QString& name) const { return QFile::encodeName(path(name)); }
    QByteArray native(const QByteArray& name) const { return QFile::encodeName(m_case->path()) + '/' + name; }

    QStringList arguments(const QStringList& paths) const
    {
        return QStringList {u"--tag"_s, u"--show"_s, u"Weekly Dispatch"_s, u"--library"_s, m_library} + paths;
    }

    // Tags the paths given as raw bytes, relative to the case folder.
    ProgramRun tagNative(const QList<QByteArray>& paths)
    {
        QString command = u"exec \"$0\" \"$@\""_s;
        for (const QByteArray& p : paths)
            command += u' ' + shellBytes(p);
        return runProgram(u"/bin/sh"_s,
            QStringList {u"-c"_s, command, QStringLiteral(PELAMO_EXECUTABLE)} + arguments({}),
            m_env->processEnvironment(), m_case->path());
    }

    ProgramRun tag(const QStringList& paths) { return runPelamo(*m_env, arguments(paths), m_case->path()); }

    // The program with faults of the file system put in its way (see tests/common/Faults.cpp).
    ProgramRun runWithFaults(const QStringList& arguments, const QStringList& faults)
    {
        QProcessEnvironment environment = m_env->processEnvironment();
        environment.insert(u"LD_PRELOAD"_s, QStringLiteral(PELAMO_FAULTS));
        // Under the sanitizers, whose runtime would rather come first.
        environment.insert(
            u"ASAN_OPTIONS"_s, environment.value(u"ASAN_OPTIONS"_s) + u":verify_asan_link_order=0"_s);
        for (const QString& fault : faults)
            environment.insert(fault.section(u'=', 0, 0), fault.section(u'=', 1));
        return runProgram(QStringLiteral(PELAMO_EXECUTABLE), arguments, environment, m_case->path());
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_env.emplace();
        m_tone = readFile(toneFixture());
        QVERIFY(!m_tone.isEmpty());
    }
    void init() { newCase(); }

    void attributesAclAndLinksKept_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addRow("one name, replaced") << false;
        QTest::addRow("two names, rewritten in place") << true;
    }
    void attributesAclAndLinksKept()
    {
        QFETCH(bool, linked);
        const QString file = tone(u"x.mp3"_s);
        QVERIFY(QDir().mkpath(path(u"elsewhere"_s)));
        if (linked)
            QCOMPARE(::link(native(u"x.mp3"_s).constData(), native(u"elsewhere/same.mp3"_s).constData()), 0);
        if (QProcess::execute(u"setfattr"_s, {u"-n"_s, u"user.comment"_s, u"-v"_s, u"keep"_s, file}) != 0)
            QSKIP("this file system keeps no user attributes");
        QCOMPARE(QProcess::execute(u"setfacl"_s, {u"-m"_s, u"u:nobody:r"_s, file}), 0);
        // Dumped without the file's name, so the two dumps compare as they are.
        const auto dump = [&](const QString& tool, QStringList options) {
            return runProgram(tool, options << file, QProcessEnvironment::systemEnvironment()).out;
        };
        const QStringList getfattr {u"-d"_s, u"-m"_s, u"-"_s, u"-e"_s, u"hex"_s, u"--absolute-names"_s};
        const QString attributes = dump(u"getfattr"_s, getfattr);
        const QString acl = dump(u"getfacl"_s, {u"-c"_s, u"-p"_s});
        QVERIFY(attributes.contains(u"user.comment"_s) && acl.contains(u"user:nobody:r--"_s));
        const ino_t inode = statOf(native(u"x.mp3"_s)).st_ino;
        const ProgramRun run = tag({u"x.mp3"_s});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QString());
        QCOMPARE(dump(u"getfattr"_s, getfattr), attributes);
        QCOMPARE(dump(u"getfacl"_s, {u"-c"_s, u"-p"_s}), acl);
        QVERIFY(isTagged(readFile(file), m_tone));
        if (linked) {
            QCOMPARE(statOf(native(u"x.mp3"_s)).st_ino, inode);
            QCOMPARE(readFile(path(u"elsewhere/same.mp3"_s)), readFile(file));
        }
    }

    // The file system gives wrong bytes now and then (a failing disk, a network share under
    // load, a FUSE folder with a race). One bad read is caught by the second read and the
    // file is read and written again, right; reads that go on disagreeing leave the file as it
    // was, and the line says why. The same holds for the tagged copy a file with two names is
    // written from, and for an undo's put-back.
    void flakyReads_data()
    {
        QTest::addColumn<QStringList>("faults"); // see tests/common/Faults.cpp
        QTest::addColumn<bool>("linked");
        QTest::addColumn<bool>("undo");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // how the line ends
        const QString again
            = u" \u00b7 read again: the disk or file system returned different bytes the first time"_s;
        const QString tagged = u"audio untouched"_s + again;
        const QString twice = u"x.mp3 read differently twice: the disk or file system returned different "
                              "bytes; it was left as it was"_s;
        const auto spoiled
            = [](const QString& reads) { return QStringList {u"PELAMO_FAULT_SPOIL="_s + reads}; };
        QTest::addRow("one bad read") << spoiled(u"x.mp3:1"_s) << false << false << 0 << tagged;
        QTest::addRow("every read bad") << spoiled(u"x.mp3:99"_s) << false << false << 1 << twice;
        QTest::addRow("one bad read of the new file")
            << spoiled(u".x.tagging-*.mp3:1"_s) << false << false << 0 << tagged;
        // A page the first read spoiled stays spoiled in the cache: the second read must go
        // around it, and the file read again from the start must not take it from there.
        const QStringList cached {u"PELAMO_FAULT_CACHED_BYTE=x.mp3"_s};
        QTest::addRow("a wrong byte in the page cache") << cached << false << false << 0 << tagged;
        QTest::addRow("a wrong byte in the page cache, no O_DIRECT")
            << cached + QStringList {u"PELAMO_FAULT_NO_DIRECT=1"_s} << false << false << 0 << tagged;
        QTest::addRow("one bad read, two names") << spoiled(u"x.mp3:1"_s) << true << false << 0 << tagged;
        QTest::addRow("every read bad, two names") << spoiled(u"x.mp3:99"_s) << true << false << 1 << twice;
        // The tagged copy a file with two names is written from is the new file, under the
        // recovery copy's name by then.
        const QString copy = u".x.tagging-*.mp3 (deleted)"_s;
        QTest::addRow("the tagged copy read badly once")
            << spoiled(copy + u":1"_s) << true << false << 0 << tagged;
        QTest::addRow("the tagged copy read badly every time")
            << spoiled(copy + u":99"_s) << true << false << 1
            << u"Can't write x.mp3 in place: its tagged copy read differently twice: the disk or file system "
               "returned different bytes; its tagged copy .x.mp3.pelamo-recovery puts it right the next "
               "time it is tagged"_s;
        QTest::addRow("undo, one bad read")
            << spoiled(u"x.mp3:1"_s) << false << true << 0 << u"Put back as it was before tagging"_s + again;
        QTest::addRow("undo, every read bad") << spoiled(u"x.mp3:99"_s) << false << true << 1 << twice;
    }
    void flakyReads()
    {
        QFETCH(QStringList, faults);
        QFETCH(bool, linked);
        QFETCH(bool, undo);
        QFETCH(int, status);
        QFETCH(QString, says);
        // Large enough that its audio is read in reads the faults spoil.
        const QByteArray original = m_tone.repeated(250);
        const QString file = path(u"x.mp3"_s);
        QVERIFY(writeFile(file, original));
        if (linked)
            QCOMPARE(::link(native(u"x.mp3"_s).constData(), native(u"other.mp3"_s).constData()), 0);
        if (undo)
            QCOMPARE(tag({file}).status, 0);
        const QByteArray before = readFile(file);
        const QStringList undoArguments {u"--undo"_s, u"--library"_s, m_library};
        const ProgramRun run = runWithFaults(undo ? undoArguments : arguments({file}), faults);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out.count(u'\n'), 1);
        QVERIFY2(run.out.trimmed().endsWith(says), qPrintable(run.out));
        const QByteArray after = readFile(file);
        if (says.endsWith(u"it was left as it was"_s))
            QCOMPARE(after, before);
        else if (undo)
            QCOMPARE(after, original);
        else if (status == 0)
            QVERIFY(isTagged(after, original));
        if (linked)
            QCOMPARE(readFile(path(u"other.mp3"_s)), after);
        // A write in place that went wrong is put right by the next run.
        if (status != 0 && !says.endsWith(u"it was left as it was"_s)) {
            QCOMPARE(tag({file}).status, 0);
            QVERIFY(isTagged(readFile(file), original));
        }
        QStringList expected {u"x.mp3"_s};
        if (linked)
            expected.prepend(u"other.mp3"_s);
        QCOMPARE(QDir(m_case->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    // Where no extended attribute can be set, the tie of a recovery copy is kept in the
    // library, and a write in place cut short by a power cut is put right by the next run.
    void recoveryTieInTheLibrary()
    {
        // Two pieces and more, so that the cut falls inside the file.
        const QByteArray original = m_tone.repeated(2200);
        const QString file = path(u"x.mp3"_s);
        QVERIFY(writeFile(file, original));
        QCOMPARE(::link(native(u"x.mp3"_s).constData(), native(u"other.mp3"_s).constData()), 0);
        const QString noAttributes = u"PELAMO_FAULT_NO_ATTRIBUTES=1"_s;
        const ProgramRun cut
            = runWithFaults(arguments({file}), {noAttributes, u"PELAMO_FAULT_DIE_WRITING=x.mp3"_s});
        QCOMPARE(cut.status, -1);
        QVERIFY(QFileInfo::exists(path(u".x.mp3.pelamo-recovery"_s)));
        const QByteArray halfway = readFile(file);
        QVERIFY(halfway != original && !isTagged(halfway, original));
        const QDir ties(path(u"library/Recovery"_s));
        QCOMPARE(ties.entryList(QDir::Files).size(), 1);

        const ProgramRun next = runWithFaults(arguments({file}), {noAttributes});
        QCOMPARE(next.status, 0);
        QCOMPARE(next.out.count(u'\n'), 1);
        QVERIFY2(next.out.trimmed().endsWith(u" \u00b7 audio untouched"_s), qPrintable(next.out));
        QVERIFY(isTagged(readFile(file), original));
        QCOMPARE(readFile(path(u"other.mp3"_s)), readFile(file));
        QVERIFY(!QFileInfo::exists(path(u".x.mp3.pelamo-recovery"_s)));
        QCOMPARE(ties.entryList(QDir::Files), QStringList());
    }

    // Every name a folder lists is tagged and reported, on one line each.
    void anyFileName()
    {
        QVERIFY(QDir().mkpath(path(u"old"_s)));
        const QByteArray latin1 = "old/caf\xe9.mp3";
        QVERIFY(writeNative(native(latin1), m_tone));
        QVERIFY(writeNative(native(u"old/a\nb.mp3"_s), m_tone));
        tone(u"old/ok.mp3"_s);
        const QByteArray direct = "caf\xe9 direct.mp3";
        QVERIFY(writeNative(native(direct), m_tone));
        const ProgramRun run = tagNative({"old", direct});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        QStringList names;
        for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts))
            names.append(line.section(u" \u2014 Tagged \u00b7 "_s, 0, 0));
        QCOMPARE(names,
            (QStringList {
                u"old/a\\nb.mp3"_s, u"old/caf\ufffd.mp3"_s, u"old/ok.mp3"_s, u"caf\ufffd direct.mp3"_s}
                    .replaceInStrings(QRegularExpression(u"^"_s), u"OK   %1/"_s.arg(m_case->path()))));
        QVERIFY(isTagged(readNative(native(latin1)), m_tone));
        QCOMPARE(mutagenText(readWithMutagen(native(direct)), "TIT2"), u"caf\ufffd direct"_s);
    }

    // Stopped from outside, the batch ends after the file in progress and prints the files changed.
    void interrupted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addRow("SIGTERM") << int(SIGTERM);
        QTest::addRow("SIGINT") << int(SIGINT);
        QTest::addRow("SIGHUP") << int(SIGHUP);
    }
    void interrupted()
    {
        QFETCH(int, signal);
        const QByteArray episode = m_tone.repeated(400);
        const int count = 30;
        for (int i = 0; i < count; ++i)
            QVERIFY(writeFile(path(u"season/e%1.mp3"_s.arg(i, 2, 10, QLatin1Char('0'))), episode));
        QProcess process;
        process.setProcessEnvironment(m_env->processEnvironment());
        process.setWorkingDirectory(m_case->path());
        process.start(QStringLiteral(PELAMO_EXECUTABLE), arguments({u"season"_s}));
        // The first line is out as soon as its file is done, long before the batch is.
        QVERIFY(process.waitForReadyRead(60000));
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QCOMPARE(process.readAllStandardError(), QByteArray());
        QStringList printed;
        for (const QString& line :
            QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
            printed.append(line.section(u" \u2014 "_s, 0, 0));
        QStringList changed;
        for (const QString& name : QDir(path(u"season"_s)).entryList(QDir::Files | QDir::Hidden)) {
            const QByteArray now = readFile(path(u"season/"_s + name));
            QVERIFY2(now == episode || isTagged(now, episode), qPrintable(name));
            if (now != episode)
                changed.append(u"OK   "_s + path(u"season/"_s + name));
        }
        QVERIFY2(!changed.isEmpty() && changed.size() < count, "the batch ended before the signal");
        QCOMPARE(printed, changed);
    }

    // Leftovers of killed runs go before the next batch; look-alikes and a file still written stay.
    void leftoversCleaned()
    {
        tone(u"show/ep.mp3"_s);
        const QByteArray junk = "not audio";
        const QStringList gone {u".ep.tagging-0A1B2C3D.mp3"_s, u".other.tagging-FFFFFFFF.mp3"_s};
        const QStringList kept {u".ep.tagging-0a1b2c3d.mp3"_s, u".ep.tagging-0A1B2C3D.mp3.part"_s,
            u"ep.tagging-0A1B2C3D.txt"_s, u".ep.tagging-0A1B2C3.mp3"_s, u".busy.tagging-12345678.mp3"_s};
        for (const QString& name : gone + kept)
            QVERIFY(writeFile(path(u"show/"_s + name), junk));
        QFile busy(path(u"show/.busy.tagging-12345678.mp3"_s));
        QVERIFY(busy.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(busy.handle(), LOCK_EX), 0);
        const ProgramRun run = tag({u"show"_s});
        busy.close();
        QCOMPARE(run.status, 1); // the look-alikes ending in .mp3 are tried, and are no MP3 files
        QStringList names = QDir(path(u"show"_s)).entryList(QDir::Files | QDir::Hidden);
        QStringList expected = kept + QStringList {u"ep.mp3"_s};
        names.sort();
        expected.sort();
        QCOMPARE(names, expected);
        QVERIFY(run.out.contains(u"OK   %1 "_s.arg(path(u"show/ep.mp3"_s))));
    }

    // A run that died writing a file in place left its verified copy, tied to that file: the
    // next run puts it back. A file of that name that is not the file's own copy is never put
    // back nor removed, and the result line names it.
    void recoveryCopy_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("copy");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QString putBack;
        const QString stray
            = u" \u00b7 .ep.mp3.pelamo-recovery left alone: it is not this file's recovery copy"_s;
        QTest::addRow("cut short, one name") << false << u"tied"_s << 0 << putBack;
        QTest::addRow("cut short, two names") << true << u"tied"_s << 0 << putBack;
        QTest::addRow("untied, as made by hand") << false << u"untied"_s << 0 << stray;
        QTest::addRow("tied to another file") << false << u"other file"_s << 0 << stray;
        QTest::addRow("file exported again since") << false << u"stale"_s << 0 << stray;
        QTest::addRow("another user's copy") << false << u"foreign"_s << 0 << stray;
        QTest::addRow("stray in the way of a write in place")
            << true << u"untied"_s << 1
            << u"Can't write ep.mp3 in place: .ep.mp3.pelamo-recovery is in the way, and it was left alone. "
               "A file of that name holds the checked new bytes of a write in place that was cut short: "
               "move it over ep.mp3 to finish that write, or delete it, then tag again"_s;
    }
    void recoveryCopy()
    {
        QFETCH(bool, linked);
        QFETCH(QString, copy);
        QFETCH(int, status);
        QFETCH(QString, says);
        if (copy == u"foreign"_s && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        // What the cut-short run was writing, made the same way elsewhere.
        const QString elsewhere = tone(u"copy/ep.mp3"_s);
        QCOMPARE(tag({elsewhere}).status, 0);
        const QByteArray taggedCopy = readFile(elsewhere);
        QVERIFY(isTagged(taggedCopy, m_tone));
        const QString target = tone(u"show/ep.mp3"_s);
        if (linked)
            QCOMPARE(::link(native(u"show/ep.mp3"_s).constData(), native(u"other.mp3"_s).constData()), 0);
        const QString recovery = path(u"show/.ep.mp3.pelamo-recovery"_s);
        const QString partial = path(u"show/partial"_s);
        QVERIFY(writeFile(partial, taggedCopy));
        const struct stat tiedTo = statOf(QFile::encodeName(copy == u"other file"_s ? elsewhere : target));
        if (copy == u"untied"_s) {
            QVERIFY(QFile::rename(partial, recovery));
        } else {
            QFile made(partial);
            QVERIFY(made.open(QIODevice::ReadWrite));
            // The tie a write in place gives its copy: this file, this audio between these tags.
            const QByteArrayView audio = ID3::stripTags(taggedCopy);
            const qsizetype start = audio.data() - taggedCopy.constData();
            const auto tie = ID3::Recovery::Tie::of(tiedTo, ID3::sha256Hex(audio), taggedCopy.first(start),
                taggedCopy.sliced(start + audio.size()));
            QCOMPARE(ID3::Recovery::keep(made.handle(), partial, recovery, tie, {}), 0);
        }
        if (copy == u"foreign"_s)
            QCOMPARE(::chown(QFile::encodeName(recovery).constData(), 65534, 65534), 0);

        // What the file holds when the next run starts: where the copy is its own, the start of
        // the new bytes over the rest of the old, as a write in place leaves it when killed.
        QByteArray before = m_tone;
        if (says.isEmpty())
            before = taggedCopy.first(m_tone.size() / 2) + m_tone.sliced(m_tone.size() / 2);
        if (copy == u"stale"_s)
            before[m_tone.size() - 200] = char(before.at(m_tone.size() - 200) ^ 0x55);
        QVERIFY(writeFile(target, before));

        const ProgramRun run = tag({u"show"_s});
        QCOMPARE(run.status, status);
        QCOMPARE(run.out.count(u'\n'), 1);
        const QByteArray after = readFile(target);
        if (says.isEmpty()) {
            QCOMPARE(after, taggedCopy);
            QCOMPARE(QDir(path(u"show"_s)).entryList(QDir::Files | QDir::Hidden), QStringList {u"ep.mp3"_s});
        } else {
            QVERIFY2(run.out.contains(says), qPrintable(run.out));
            QVERIFY(status == 0 ? isTagged(after, before) : after == before);
            QCOMPARE(readFile(recovery), taggedCopy);
        }
        if (linked)
            QCOMPARE(readFile(path(u"other.mp3"_s)), after);
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "TestFileSystem.moc"
