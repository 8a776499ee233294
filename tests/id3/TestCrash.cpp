#include "Id3TestSupport.h"
#include "common/TestEnvironment.h"
#include "id3/ID3.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

// Kills a rewrite of a large file at random moments; whenever it dies, the
// target must hold exactly the old bytes or exactly one of the new versions.
class TestCrash : public QObject
{
    Q_OBJECT

private:
    static QByteArray image(const QString& title, const QByteArray& audio)
    {
        ID3::Tags tags;
        tags.title = title;
        tags.cover = QByteArray(200000, 'c');
        return bytes({ID3::buildTag(tags).bytes, audio, ID3::id3v1(tags)});
    }

private Q_SLOTS:
    // A file with a second name is rewritten in place; a run killed then
    // leaves a verified copy that the next run puts back.
    void killedRewriteLeavesOldOrNew_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addRow("one name") << false;
        QTest::addRow("two names") << true;
    }
    void killedRewriteLeavesOldOrNew()
    {
        QFETCH(bool, linked);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(u"long episode.mp3"_s);
        const QString other = dir.filePath(u"other name"_s);
        const QString recovery = dir.filePath(u".long episode.mp3.pelamo-recovery"_s);
        const QByteArray audio = fakeAudio(40 * 1024 * 1024);
        const QByteArray original = bytes({id3v2Tag(4096), audio, id3v1Tag()});
        QVERIFY(writeFile(target, original));
        if (linked)
            QVERIFY(::link(QFile::encodeName(target).constData(), QFile::encodeName(other).constData()) == 0);
        const QList<QByteArray> valid {original, image(u"A"_s, audio), image(u"B"_s, audio)};
        const auto rewrite = [&](qsizetype version) {
            return QProcess::execute(
                QStringLiteral(PELAMO_REWRITE_CHILD), {target, version == 2 ? u"B"_s : u"A"_s});
        };

        // One undisturbed run tells how long a rewrite takes here.
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rewrite(2), 0);
        const qint64 duration = qMax<qint64>(clock.elapsed(), 20);
        QCOMPARE(readFile(target), valid.at(2));

        // Counts the killed runs that left the previous content and those that got as far as the rename.
        int keptOld = 0;
        int gotNew = 0;
        int recovered = 0;
        qsizetype previous = 2;
        const int rounds = 30;
        for (int round = 0; round < rounds; ++round) {
            const qsizetype wanted = round % 2 ? 2 : 1;
            QProcess child;
            child.start(QStringLiteral(PELAMO_REWRITE_CHILD), {target, wanted == 2 ? u"B"_s : u"A"_s});
            QVERIFY(child.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(quint32(duration * 12 / 10) + 1));
            const bool wasRunning = child.state() == QProcess::Running;
            child.kill();
            QVERIFY(child.waitForFinished());

            qsizetype now = valid.indexOf(readFile(target));
            if (QFileInfo::exists(recovery)) {
                // Killed while the file was written in place: whatever the
                // file holds now, its tagged copy is complete.
                QVERIFY(linked);
                QCOMPARE(valid.indexOf(readFile(recovery)), wanted);
                QCOMPARE(rewrite(wanted), 0);
                QVERIFY(!QFileInfo::exists(recovery));
                now = valid.indexOf(readFile(target));
                QCOMPARE(now, wanted);
                ++recovered;
            } else {
                QVERIFY2(now == previous || now == wanted,
                    qPrintable(u"round %1: the target is neither the old nor the new content"_s.arg(round)));
                if (wasRunning)
                    ++(now == previous ? keptOld : gotNew);
            }
            if (linked)
                QCOMPARE(readFile(other), readFile(target));
            previous = now;
            // A killed run may leave its temporary file; that is all it may leave.
            for (const QString& name : leftovers(dir.path()))
                QVERIFY(QFile::remove(dir.filePath(name)));
        }
        qInfo() << "killed runs that kept the old content:" << keptOld << "that got the new:" << gotNew
                << "that were put right by the next run:" << recovered;
        QVERIFY2(keptOld > 0, "no run was interrupted before its rename");
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "TestCrash.moc"
