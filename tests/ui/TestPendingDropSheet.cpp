#include "common/Accessibility.h"
#include "common/EmptyLibrary.h"
#include "common/LibraryTestKit.h"
#include "common/UiTest.h"
#include "library/ShowStore.h"
#include "ui/ElidedLabel.h"
#include "ui/PendingDropSheet.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace {

QList<QUrl> files(int count)
{
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i)
        urls.append(QUrl::fromLocalFile(u"/nowhere/file %1.mp3"_s.arg(i + 1)));
    return urls;
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
        m_a = named(u"A"_s, u"Title"_s);
        m_b = named(u"B"_s, u"Title"_s);
        m_store->setShows({m_a, m_b});
    }

    // Each file says what the picked show would give it and what it would lose, and says it
    // again when another show is picked; a name with a line break stays on one line.
    void previewFollowsTheShow()
    {
        const QString file = copyFixture(toneFixture(), m_case->filePath(u"01 - Intro\nLive.mp3"_s));
        // A file that carries a comment of its own, which a show without one drops.
        const QByteArray oldTag("ID3\x03\0\0\0\0\0\023COMM\0\0\0\x09\0\0\0eng\0old!", 29);
        QVERIFY(writeFile(file, oldTag + readFile(toneFixture())));
        Show numbered = named(u"Numbered"_s, u"Title"_s);
        numbered.titleFromFileName = true;
        numbered.numberTracks = true;
        numbered.comment = u"ours"_s;
        m_store->setShows({m_a, numbered});
        m_store->setPending({QUrl::fromLocalFile(file)});
        PendingDropSheet sheet(*m_store);
        auto* picker = child<QComboBox>(sheet, "showPicker");
        const auto preview = [&] { return child<QLabel>(sheet, "pendingPreview")->text(); };
        picker->setCurrentIndex(0);
        QTRY_COMPARE(preview(), u"\u201cTitle\u201d \u00b7 drops comment (COMM)"_s);
        picker->setCurrentIndex(1);
        QTRY_COMPARE(preview(), u"\u201cIntro\\nLive\u201d \u00b7 track 1/1"_s);
        QCOMPARE(child<ElidedLabel>(sheet, "pendingItem")->text(), u"01 - Intro\\nLive.mp3"_s);
    }

    // The first eight files are listed, the rest counted; what was opened but can't be tagged
    // is named under them. Files dropped meanwhile join, and all go with the sheet.
    void countsAndList_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("leftOut");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("more");
        QTest::addRow("one") << 1 << false << u"Tag 1 file as…"_s << QString();
        QTest::addRow("eight, no more line") << 8 << false << u"Tag 8 files as…"_s << QString();
        QTest::addRow("nine") << 9 << false << u"Tag 9 files as…"_s << u"+ 1 more"_s;
        QTest::addRow("left out beside seven files") << 7 << true << u"Tag 7 files as…"_s << QString();
        QTest::addRow("left out alone") << 0 << true << u"Nothing here to tag"_s << QString();
    }
    void countsAndList()
    {
        QFETCH(int, count);
        QFETCH(bool, leftOut);
        QFETCH(QString, title);
        QFETCH(QString, more);
        if (leftOut)
            m_store->setLeftOut(
                {QUrl::fromLocalFile(u"/m/readme.txt"_s), QUrl::fromLocalFile(u"/m/take.wav"_s)});
        m_store->setPending(files(count));
        PendingDropSheet sheet(*m_store);
        QVERIFY(showExposed(sheet));
        auto* heading = child<QLabel>(sheet, "dropSheetTitle");
        QCOMPARE(heading->text(), title);
        const auto items = sheet.findChildren<QLabel*>(u"pendingItem"_s);
        QCOMPARE(int(items.size()), qMin(count, 8));
        QCOMPARE(items.isEmpty() ? QString() : items.first()->text(), count ? u"file 1.mp3"_s : QString());
        auto* moreLine = sheet.findChild<QLabel*>(u"pendingMore"_s);
        QCOMPARE(moreLine ? moreLine->text() : QString(), more);
        auto* leftOutLine = child<QLabel>(sheet, "leftOut");
        QCOMPARE(leftOutLine->isVisible(), leftOut);
        if (leftOut)
            QCOMPARE(leftOutLine->text(), u"Not MP3: readme.txt, take.wav"_s);
        QCOMPARE(child<QPushButton>(sheet, "tagButton")->isEnabled(), count > 0);
        QCOMPARE(unnamedControls(&sheet), QStringList());
        m_store->setPending(m_store->pending() + files(3));
        QCOMPARE(heading->text(), u"Tag %1 files as…"_s.arg(count + 3));
        child<QPushButton>(sheet, "cancelButton")->click();
        QVERIFY(m_store->leftOut().isEmpty());
        QVERIFY(m_store->pending().isEmpty());
    }

    // A file name too long for the sheet is cut with "…", and told whole in its tooltip.
    void longNamesElided()
    {
        const QString name = u"An Extremely Long Episode Title That Goes On "_s.repeated(5) + u".mp3"_s;
        m_store->setPending({QUrl::fromLocalFile(u"/m/"_s + name)});
        PendingDropSheet sheet(*m_store);
        QVERIFY(showExposed(sheet));
        auto* item = child<ElidedLabel>(sheet, "pendingItem");
        QCOMPARE(item->text(), name);
        QVERIFY(item->isElided());
        QVERIFY(sheet.width() < 800);
        // So is a show's name in the picker, whose list would run across the screen.
        Show wide = named(name.repeated(2), u"Title"_s);
        m_store->setShows({wide});
        auto* picker = child<QComboBox>(sheet, "showPicker");
        QCOMPARE(picker->itemData(0, Qt::ToolTipRole).toString(), wide.name);
        QVERIFY(picker->itemText(0).endsWith(u'\u2026'));
        QVERIFY(picker->sizeHint().width() < 600);
    }

    // The picker starts at the selected show, else the first. In its open list Return chooses and
    // Escape closes it, the sheet staying. Return or Tag tags with the show picked and selects it;
    // with none picked, as when it was deleted meanwhile, Tag is off. Escape lets the files go.
    void pickerAndKeys()
    {
        m_store->setPending(files(2));
        m_store->setSelection(m_b.id);
        QCOMPARE(PendingDropSheet(*m_store).choice(), std::optional(m_b.id));
        m_store->setSelection(std::nullopt);
        PendingDropSheet sheet(*m_store);
        QVERIFY(showExposed(sheet));
        QCOMPARE(sheet.choice(), std::optional(m_a.id));
        auto* picker = child<QComboBox>(sheet, "showPicker");
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            picker->showPopup();
            QTRY_VERIFY(picker->view()->isVisible());
            QTest::keyClick(picker->view(), Qt::Key_Down);
            QTest::keyClick(picker->view(), key);
            QTRY_VERIFY(!picker->view()->isVisible());
            QCOMPARE(m_store->pending().size(), 2);
        }
        QCOMPARE(sheet.choice(), std::optional(m_b.id));
        QTest::keyClick(&sheet, Qt::Key_Return);
        QVERIFY(m_store->pending().isEmpty());
        QCOMPARE(m_store->selection(), std::optional(m_b.id));
        QTRY_COMPARE(m_store->results().size(), 2);
        QCOMPARE(m_store->results().first().show, u"B"_s);
        QVERIFY(m_store->results().first().message.startsWith(u"Can't read file 2.mp3"_s));
        m_store->setPending(files(1));
        child<QPushButton>(sheet, "tagButton")->click();
        QVERIFY(m_store->pending().isEmpty());
        QTRY_COMPARE(m_store->results().size(), 3);
        m_store->setPending(files(1));
        m_store->remove(m_b);
        QCOMPARE(sheet.choice(), std::nullopt);
        QVERIFY(!child<QPushButton>(sheet, "tagButton")->isEnabled());
        sheet.tag();
        QCOMPARE(m_store->pending().size(), 1);
        QTest::keyClick(&sheet, Qt::Key_Escape);
        QVERIFY(m_store->pending().isEmpty());
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
