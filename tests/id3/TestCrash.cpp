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

// A rewrite killed at any moment leaves the old bytes or the new ones; a file
// with two names is rewritten in place, and the next run puts back its copy.
class TestCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        const QByteArray audio = fakeAudio(16 * 1024 * 1024);
        const QByteArray original = bytes({id3v2Tag(4096), audio, id3v1Tag()});
        QVERIFY(writeFile(target, original));
        if (linked)
            QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(other).constData()), 0);
        // The versions the target may hold: the original, then as the child tags it with title A or B.
        const QStringList titles {QString(), u"A"_s, u"B"_s};
        QList<QByteArray> valid {original};
        for (const QString& title : titles.sliced(1)) {
            ID3::Tags tags;
            tags.title = title;
            tags.cover = QByteArray(200000, 'c');
            valid.append(taggedFile(tags, audio));
        }
        const auto arguments = [&](qsizetype version) { return QStringList {target, titles.at(version)}; };

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(QProcess::execute(QStringLiteral(PELAMO_REWRITE_CHILD), arguments(2)), 0);
        const qint64 duration = qMax<qint64>(clock.elapsed(), 20);
        QCOMPARE(readFile(target), valid.at(2));

        int keptOld = 0;
        qsizetype previous = 2;
        for (int round = 0; round < 30; ++round) {
            const qsizetype wanted = round % 2 ? 2 : 1;
            QProcess child;
            child.start(QStringLiteral(PELAMO_REWRITE_CHILD), arguments(wanted));
            QVERIFY(child.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(quint32(duration * 12 / 10) + 1));
            const bool wasRunning = child.state() == QProcess::Running;
            child.kill();
            QVERIFY(child.waitForFinished());

            qsizetype now = valid.indexOf(readFile(target));
            if (QFileInfo::exists(recovery)) {
                // Killed while written in place: whatever the file holds, its copy is complete.
                QVERIFY(linked);
                QCOMPARE(valid.indexOf(readFile(recovery)), wanted);
                QCOMPARE(QProcess::execute(QStringLiteral(PELAMO_REWRITE_CHILD), arguments(wanted)), 0);
                QVERIFY(!QFileInfo::exists(recovery));
                now = valid.indexOf(readFile(target));
                QCOMPARE(now, wanted);
            } else {
                QVERIFY2(now == previous || now == wanted,
                    qPrintable(u"round %1: the target is neither the old nor the new content"_s.arg(round)));
                if (wasRunning && now == previous)
                    ++keptOld;
            }
            if (linked)
                QCOMPARE(readFile(other), readFile(target));
            previous = now;
            for (const QString& name : leftovers(dir.path()))
                QVERIFY(QFile::remove(dir.filePath(name)));
        }
        QVERIFY2(keptOld > 0, "no run was interrupted before its rename");
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "TestCrash.moc"
