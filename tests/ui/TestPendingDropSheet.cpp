#include "common/Accessibility.h"
#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "common/UiTest.h"
#include "library/ShowStore.h"
#include "ui/ElidedLabel.h"
#include "ui/PendingDropSheet.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {

QList<QUrl> files(int count)
{
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i)
        urls.append(QUrl::fromLocalFile(QStringLiteral("/nowhere/file %1.mp3").arg(i + 1)));
    return urls;
}

Show named(const QString& name)
{
    Show show;
    show.name = name;
    show.title = QStringLiteral("Title");
    return show;
}

} // namespace

class TestPendingDropSheet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
        m_a = named(QStringLiteral("A"));
        m_b = named(QStringLiteral("B"));
        m_store->setShows({m_a, m_b});
    }

    // Each file says what the picked show would give it and what it would lose, and says it
    // again when another show is picked; a name with a line break stays on one line.
    void previewFollowsTheShow()
    {
        const QString file
            = copyFixture(toneFixture(), m_case->filePath(QStringLiteral("01 - Intro\nLive.mp3")));
        // A file that carries a comment of its own, which a show without one drops.
        const QByteArray comment
            = QByteArray("COMM", 4) + QByteArray("\0\0\0\x09\0\0", 6) + QByteArray("\0eng\0old!", 9);
        QVERIFY(writeFile(file,
            QByteArray("ID3\x03\0\0\0\0\0", 9) + char(comment.size()) + comment + readFile(toneFixture())));
        Show numbered = named(QStringLiteral("Numbered"));
        numbered.titleFromFileName = true;
        numbered.numberTracks = true;
        numbered.comment = QStringLiteral("ours");
        m_store->setShows({m_a, numbered});
        m_store->setPending({QUrl::fromLocalFile(file)});
        PendingDropSheet sheet(*m_store);
        auto* picker = child<QComboBox>(sheet, "showPicker");
        const auto preview = [&] { return child<QLabel>(sheet, "pendingPreview")->text(); };
        picker->setCurrentIndex(0);
        QTRY_COMPARE(preview(), QStringLiteral("\u201cTitle\u201d \u00b7 drops comment (COMM)"));
        picker->setCurrentIndex(1);
        QTRY_COMPARE(preview(), QStringLiteral("\u201cIntro\\nLive\u201d \u00b7 track 1/1"));
        QCOMPARE(child<ElidedLabel>(sheet, "pendingItem")->text(), QStringLiteral("01 - Intro\\nLive.mp3"));
    }

    // The first eight files are listed, the rest counted; files dropped meanwhile join.
    void countsAndList_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("more");
        QTest::addRow("one") << 1 << QStringLiteral("Tag 1 file as…") << 1 << QString();
        QTest::addRow("eight, no more line") << 8 << QStringLiteral("Tag 8 files as…") << 8 << QString();
        QTest::addRow("nine") << 9 << QStringLiteral("Tag 9 files as…") << 8 << QStringLiteral("+ 1 more");
    }

    void countsAndList()
    {
        QFETCH(int, count);
        QFETCH(QString, title);
        QFETCH(int, listed);
        QFETCH(QString, more);
        m_store->setPending(files(count));
        PendingDropSheet sheet(*m_store);
        auto* heading = child<QLabel>(sheet, "dropSheetTitle");
        QCOMPARE(heading->text(), title);
        const auto items = sheet.findChildren<QLabel*>(QStringLiteral("pendingItem"));
        QCOMPARE(int(items.size()), listed);
        QCOMPARE(items.first()->text(), QStringLiteral("file 1.mp3"));
        auto* moreLine = sheet.findChild<QLabel*>(QStringLiteral("pendingMore"));
        QCOMPARE(moreLine ? moreLine->text() : QString(), more);
        QVERIFY2(unnamedControls(&sheet).isEmpty(), qPrintable(unnamedControls(&sheet).join(u' ')));
        m_store->setPending(m_store->pending() + files(3));
        QCOMPARE(heading->text(), QStringLiteral("Tag %1 files as…").arg(count + 3));
    }

    // What was opened but can't be tagged is named under the files, and goes with the sheet.
    void leftOutNamed_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("tagOn");
        QTest::addRow("beside seven files") << 7 << QStringLiteral("Tag 7 files as…") << true;
        QTest::addRow("alone") << 0 << QStringLiteral("Nothing here to tag") << false;
    }
    void leftOutNamed()
    {
        QFETCH(int, count);
        QFETCH(QString, title);
        QFETCH(bool, tagOn);
        m_store->setLeftOut({QUrl::fromLocalFile(QStringLiteral("/m/readme.txt")),
            QUrl::fromLocalFile(QStringLiteral("/m/take.wav"))});
        m_store->setPending(files(count));
        PendingDropSheet sheet(*m_store);
        QVERIFY(showExposed(sheet));
        QCOMPARE(child<QLabel>(sheet, "dropSheetTitle")->text(), title);
        auto* leftOut = child<QLabel>(sheet, "leftOut");
        QVERIFY(leftOut->isVisible());
        QCOMPARE(leftOut->text(), QStringLiteral("Not MP3: readme.txt, take.wav"));
        QCOMPARE(child<QPushButton>(sheet, "tagButton")->isEnabled(), tagOn);
        child<QPushButton>(sheet, "cancelButton")->click();
        QVERIFY(m_store->leftOut().isEmpty());
        QVERIFY(m_store->pending().isEmpty());
    }

    // A file name too long for the sheet is cut with "…", and told whole in its tooltip.
    void longNamesElided()
    {
        const QString name = QStringLiteral("An Extremely Long Episode Title That Goes On ").repeated(5)
            + QStringLiteral(".mp3");
        m_store->setPending({QUrl::fromLocalFile(QStringLiteral("/m/") + name)});
        PendingDropSheet sheet(*m_store);
        QVERIFY(showExposed(sheet));
        auto* item = sheet.findChild<ElidedLabel*>(QStringLiteral("pendingItem"));
        QVERIFY(item);
        QCOMPARE(item->text(), name);
        QVERIFY(item->isElided());
        QVERIFY(sheet.width() < 800);
        // So is a show's name in the picker, whose list would run across the screen.
        Show wide = named(name.repeated(2));
        m_store->setShows({wide});
        auto* picker = child<QComboBox>(sheet, "showPicker");
        QCOMPARE(picker->itemData(0, Qt::ToolTipRole).toString(), wide.name);
        QVERIFY(picker->itemText(0).endsWith(u'\u2026'));
        QVERIFY(picker->sizeHint().width() < 600);
    }

    // The picker starts at the selected show, else the first; with none chosen, Tag is off.
    void pickerStart()
    {
        m_store->setPending(files(1));
        m_store->setSelection(m_b.id);
        QCOMPARE(PendingDropSheet(*m_store).choice(), std::optional(m_b.id));
        m_store->setSelection(std::nullopt);
        PendingDropSheet sheet(*m_store);
        QCOMPARE(sheet.choice(), std::optional(m_a.id));
        // Deleted meanwhile: Tag can't pick another show behind the user's back.
        m_store->remove(m_a);
        QCOMPARE(sheet.choice(), std::nullopt);
        QVERIFY(!child<QPushButton>(sheet, "tagButton")->isEnabled());
        sheet.tag();
        QCOMPARE(m_store->pending().size(), 1);
        child<QPushButton>(sheet, "cancelButton")->click();
        QVERIFY(m_store->pending().isEmpty());
    }

    void tagSelectsTheChosenShow()
    {
        m_store->setPending(files(2));
        m_store->setSelection(m_a.id);
        PendingDropSheet sheet(*m_store);
        child<QComboBox>(sheet, "showPicker")->setCurrentIndex(1);
        child<QPushButton>(sheet, "tagButton")->click();
        QVERIFY(m_store->pending().isEmpty());
        QCOMPARE(m_store->selection(), std::optional(m_b.id));
        QTRY_COMPARE(m_store->results().size(), 2);
        QCOMPARE(m_store->results().first().show, QStringLiteral("B"));
        QVERIFY(m_store->results().first().message.startsWith(QStringLiteral("Can't read file 2.mp3")));
    }

    void keys()
    {
        m_store->setPending(files(1));
        PendingDropSheet sheet(*m_store);
        QVERIFY(showExposed(sheet));
        QTest::keyClick(&sheet, Qt::Key_Escape);
        QVERIFY(m_store->pending().isEmpty());
        m_store->setPending(files(1));
        // In the picker's open list, Return chooses and Escape closes it; the sheet stays.
        auto* picker = child<QComboBox>(sheet, "showPicker");
        picker->setCurrentIndex(0);
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            picker->showPopup();
            QTRY_VERIFY(picker->view()->isVisible());
            QTest::keyClick(picker->view(), Qt::Key_Down);
            QTest::keyClick(picker->view(), key);
            QTRY_VERIFY(!picker->view()->isVisible());
            QCOMPARE(m_store->pending().size(), 1);
        }
        QCOMPARE(sheet.choice(), std::optional(m_b.id));
        QTest::keyClick(&sheet, Qt::Key_Return);
        QVERIFY(m_store->pending().isEmpty());
        QTRY_COMPARE(m_store->results().size(), 1);
        QCOMPARE(m_store->results().first().show, m_b.name);
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
    Show m_a;
    Show m_b;
};

QTEST_MAIN(TestPendingDropSheet)
#include "TestPendingDropSheet.moc"
