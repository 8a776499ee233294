#include "common/Accessibility.h"
#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "common/UiTest.h"
#include "id3/ID3.h"
#include "library/ShowStore.h"
#include "ui/Desktop.h"
#include "ui/DropZone.h"
#include "ui/FileTagsView.h"
#include "ui/ResultListModel.h"
#include "ui/ResultRow.h"
#include "ui/TagView.h"
#include "ui/Theme.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;

namespace {

Show weekly()
{
    Show show;
    show.name = u"Weekly <b>&</b>"_s;
    show.titleFromFileName = true;
    show.artist = u"Jo"_s;
    return show;
}

} // namespace

class TestTagView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        Theme::apply(Theme::Appearance::Light);
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
        m_show = weekly();
        m_store->setShows({m_show});
        m_edits = 0;
        m_view = std::make_unique<TagView>(*m_store, m_show, [this] { ++m_edits; });
        m_view->resize(800, 700);
        QVERIFY(showExposed(*m_view));
    }

    void cleanup()
    {
        m_view.reset();
        Desktop::setNextChoice(std::nullopt);
        Desktop::setRevealHandler({});
    }

    QString mp3(const QString& name) { return copyFixture(toneFixture(), m_case->filePath(name)); }

    // The header sums the show up; a drop tags in order, a folder with nothing to tag is named
    // in Recent, and a row says what its file lost and shows the file's tags.
    void dropTagsInOrder()
    {
        QCOMPARE(child<QLabel>(*m_view, "showName")->text(), m_show.name);
        QCOMPARE(child<QLabel>(*m_view, "summary")->text(), u"Title: each file's name  \u00b7  Artist: Jo"_s);
        Show untitled;
        untitled.genre = u"Jazz"_s;
        QCOMPARE(TagView::summary(untitled), u"Title: \u2014  \u00b7  Genre: Jazz"_s);
        // The user's name in bold, never read as markup.
        const QString explanation = child<QLabel>(*m_view, "dropExplanation")->text();
        QVERIFY(explanation.contains(u"<b>Weekly &lt;b&gt;&amp;&lt;/b&gt;</b>"_s));
        child<QPushButton>(*m_view, "editShowButton")->click();
        QCOMPARE(m_edits, 1);
        QVERIFY(!child<QWidget>(*m_view, "recentSection")->isVisible());
        const QString folder = m_case->filePath(u"folder"_s);
        mp3(u"folder/b.mp3"_s);
        const QString single = mp3(u"single.mp3"_s);
        // An old tag with a comment, which the show doesn't write.
        const QByteArray oldTag("ID3\x03\0\0\0\0\0\023COMM\0\0\0\x09\0\0\0eng\0old!", 29);
        QVERIFY(writeFile(single, oldTag + readFile(single)));
        QVERIFY(QDir().mkpath(m_case->filePath(u"Artwork"_s)));
        auto* zone = m_view->findChild<DropZone*>();
        auto* headline = child<QLabel>(*m_view, "dropHeadline");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(single), QUrl::fromLocalFile(folder),
            QUrl::fromLocalFile(m_case->filePath(u"Artwork"_s))});
        QVERIFY(dragEnter(zone, data));
        QVERIFY(zone->targeted());
        QCOMPARE(headline->text(), u"Release to tag"_s);
        dropOn(zone, data);
        QTRY_VERIFY(!m_store->tagging());
        QCOMPARE(headline->text(), u"Drop MP3 files here"_s);
        QCOMPARE(m_store->results().size(), 3);
        // Newest first: the folder's file was tagged after the single file.
        QCOMPARE(m_store->results().at(0).file, folder + u"/b.mp3"_s);
        QCOMPARE(m_store->results().at(1).file, single);
        QTRY_VERIFY(child<QWidget>(*m_view, "recentSection")->isVisible());
        ResultListModel model(*m_store);
        QVERIFY(
            model.index(1).data(ResultListModel::DetailRole).toString().endsWith(u" \u00b7 dropped COMM"_s));
        QVERIFY(model.index(2).data(ResultListModel::NoteRole).toBool());
        QCOMPARE(m_store->results().at(2).message, u"No MP3 files in Artwork"_s);
        FileTagsView tags(*m_store, single);
        QTRY_VERIFY(
            child<QPlainTextEdit>(tags, "fileTagsText")->toPlainText().contains(u"  ID3v2.3.0 tag, "_s));
    }

    // At a batch's end Recent's heading says how it went, in view with the newest rows:
    // all four in a first window, three at the smallest, where the drop zone is compact.
    void batchEndInView_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rows");
        QTest::addRow("1040 x 700 window") << QSize(810, 640) << QString() << 4;
        QTest::addRow("820 x 560 minimum") << QSize(590, 500) << QString() << 3;
        // Undo and the rows name the show; a long name must not widen the pane.
        QTest::addRow("long show name")
            << QSize(590, 500) << u"A Very Long Show Name That Goes On "_s.repeated(6) << 3;
    }
    void batchEndInView()
    {
        QFETCH(QSize, size);
        QFETCH(QString, name);
        QFETCH(int, rows);
        if (!name.isEmpty()) {
            m_show.name = name;
            m_store->setShows({m_show});
            m_view = std::make_unique<TagView>(*m_store, m_show, [] {});
            QVERIFY(showExposed(*m_view));
        }
        m_view->resize(size);
        QList<QUrl> files;
        for (int i = 0; i < 3; ++i)
            files.append(QUrl::fromLocalFile(mp3(u"ep%1.mp3"_s.arg(i))));
        writeFile(m_case->filePath(u"notes.mp3"_s), "not audio");
        files.append(QUrl::fromLocalFile(m_case->filePath(u"notes.mp3"_s)));
        m_view->tag(files);
        QTRY_VERIFY(!m_store->tagging());
        QCOMPARE(child<QLabel>(*m_view, "recentTitle")->text(), u"Recent \u00b7 3 tagged, 1 failed"_s);
        auto* list = child<QListView>(*m_view, "recentList");
        auto* scroll = child<QScrollArea>(*m_view, "tagScroll");
        const auto inView = [&](QWidget* widget, const QRect& rect) {
            return scroll->viewport()->rect().contains(
                QRect(widget->mapTo(scroll->viewport(), rect.topLeft()), rect.size()));
        };
        for (int row = 0; row < rows; ++row)
            QTRY_VERIFY2(inView(list->viewport(), list->visualRect(list->model()->index(row, 0))),
                qPrintable(QString::number(row)));
        auto* heading = child<QWidget>(*m_view, "recentTitle");
        QVERIFY(inView(heading, heading->rect()));
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);
        QVERIFY(scroll->widget()->width() <= scroll->viewport()->width());
    }

    // "Tags this show writes" never draws a line in half: values wrap whole, a long one
    // stops after two lines with "…" and its whole text in the tooltip, and the area scrolls.
    // Maximized, in a first window and in the narrowest pane.
    void writtenRowsWhole()
    {
        Show show = weekly();
        show.feedURL = u"https://feeds.example.org/shows/the-weekly-dispatch/episodes/feed.xml"_s;
        show.description = u"A show about what changed this week. "_s.repeated(30).trimmed();
        m_store->update(show);
        m_view->setShow(show);
        auto* written = child<QWidget>(*m_view, "tagsWritten");
        for (const int width : {1600, 800, 560}) {
            m_view->resize(width, 480);
            QTRY_VERIFY(written->width() > 0 && written->width() < width);
            QCoreApplication::processEvents();
            const QList<QLabel*> values = written->findChildren<QLabel*>(u"writtenValue"_s);
            QVERIFY(values.size() > 5);
            for (const QLabel* value : values) {
                const QString name = u"%1 wide: "_s.arg(width) + value->text().left(30);
                QVERIFY2(value->height() >= value->heightForWidth(value->width()), qPrintable(name));
                QVERIFY2(written->rect().contains(value->geometry()), qPrintable(name));
                QVERIFY2(value->heightForWidth(value->width()) <= 2 * value->fontMetrics().lineSpacing() + 8,
                    qPrintable(name));
            }
            const auto description = std::find_if(values.cbegin(), values.cend(),
                [&](const QLabel* value) { return value->text().startsWith(u"A show about"_s); });
            QVERIFY(description != values.cend());
            QVERIFY((*description)->text().endsWith(u'…'));
            QCOMPARE((*description)->toolTip(), show.description);
        }
    }

    // Undo puts the last batch's files back exactly as they were.
    void undoLastBatch()
    {
        auto* undo = child<QPushButton>(*m_view, "undoButton");
        const QString a = mp3(u"a.mp3"_s);
        const QString b = mp3(u"b.mp3"_s);
        const QByteArray before = readFile(a);
        m_view->tag({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
        QTRY_VERIFY(!m_store->tagging());
        QVERIFY(undo->isVisibleTo(m_view.get()));
        // "&" doubled: the button would read it as a mnemonic.
        QVERIFY2(undo->text().contains(
                     QRegularExpression(u"^Undo Last Batch: 2 files as Weekly <b>&&</b>, \\d\\d:\\d\\d$"_s)),
            qPrintable(undo->text()));
        QVERIFY(undo->toolTip().contains(u"the 2 files tagged as Weekly <b>&</b> on "_s));
        QCOMPARE(child<QLabel>(*m_view, "recentTitle")->text(), u"Recent \u00b7 2 tagged"_s);
        QCOMPARE(unnamedControls(m_view.get()), QStringList());
        QVERIFY(readFile(a) != before);
        // Clearing Recent keeps Undo, and Clear goes with the rows.
        child<QPushButton>(*m_view, "clearButton")->click();
        QVERIFY(child<QWidget>(*m_view, "recentSection")->isVisibleTo(m_view.get()));
        QVERIFY(!child<QPushButton>(*m_view, "clearButton")->isVisibleTo(m_view.get()));
        QCOMPARE(child<QLabel>(*m_view, "recentTitle")->text(), u"Recent"_s);
        undo->click();
        QVERIFY(m_store->tagging() && m_store->tagging()->undoing);
        // Disabled while the batch runs, and drawn so, though it is a link.
        QVERIFY(!undo->isEnabled());
        QVERIFY(colourDistance(undo->palette().color(QPalette::Disabled, QPalette::ButtonText),
                    undo->palette().color(QPalette::Active, QPalette::ButtonText))
            > 60);
        QTRY_VERIFY(!m_store->tagging());
        QCOMPARE(readFile(a), before);
        QCOMPARE(readFile(b), before);
        QCOMPARE(m_store->results().size(), 2);
        QVERIFY(!undo->isVisibleTo(m_view.get()));
    }

    // The bar counts the file in progress as half, and a long batch still shows a sliver
    // from its first file: the first, the last and all of 150 files.
    void progressFromTheFirstFile()
    {
        DropZone zone;
        for (const auto& [done, value] : {std::pair {0, 6}, std::pair {149, 299}, std::pair {150, 300}}) {
            zone.setProgress(DropZone::Progress {{}, {}, done, 150});
            const auto* bar = child<QProgressBar>(zone, "tagProgress");
            QCOMPARE(bar->maximum(), 300);
            QCOMPARE(bar->value(), value);
        }
    }

    // Cancel or quit mid-batch: the show kept, each file tagged whole or untouched, no temp file.
    void batchStops_data()
    {
        QTest::addColumn<QString>("stop");
        QTest::addRow("Cancel") << u"cancel"_s;
        QTest::addRow("Escape in the pane") << u"escape"_s;
        QTest::addRow("quit") << u"quit"_s;
    }
    void batchStops()
    {
        QFETCH(QString, stop);
        const bool quit = stop == u"quit"_s;
        QStringList files;
        for (int i = 0; i < 20; ++i)
            files.append(mp3(u"season/e%1.mp3"_s.arg(i, 2, 10, QChar(u'0'))));
        const QString later = mp3(u"later.mp3"_s);
        const QByteArray untouched = readFile(later);
        ShowStore::Seams slow;
        slow.rewrite.beforeReplace = [](const QString&) { QThread::msleep(100); };
        m_store->setSeams(slow);
        m_view->tag({QUrl::fromLocalFile(m_case->filePath(u"season/"_s))});
        m_view->tag({QUrl::fromLocalFile(later)});
        Show edited = m_show;
        edited.name = u"Renamed"_s;
        m_store->update(edited);
        const auto* headline = child<QLabel>(*m_view, "dropHeadline");
        const auto* bar = child<QProgressBar>(*m_view, "tagProgress");
        const auto* detail = child<QLabel>(*m_view, "tagProgressFile");
        // The folder is listed off the window's thread; until then the batch is only "Tagging…".
        QTRY_COMPARE(detail->text(), u"e00.mp3 \u00b7 then 1 more"_s);
        QCOMPARE(headline->text(), u"Tagging 1 of 20"_s);
        // Half steps: the file in progress counts half, so the bar moves from the first file.
        QCOMPARE(bar->maximum(), 40);
        QCOMPARE(bar->value(), 1);
        QTRY_VERIFY(m_store->results().size() >= 2);
        const qsizetype done = m_store->results().size();
        QCOMPARE(bar->value(), 2 * done + 1);
        QCOMPARE(headline->text(), u"Tagging %1 of 20"_s.arg(done + 1));
        // On another show's page the progress names the show the files get.
        Show other;
        other.name = u"Other"_s;
        m_view->setShow(other);
        QVERIFY2(headline->text().endsWith(u" of 20 as "_s + m_show.name), qPrintable(headline->text()));
        m_view->setShow(edited);
        QVERIFY2(headline->text().endsWith(u" of 20"_s), qPrintable(headline->text()));
        if (quit) {
            m_store->finishTagging();
            QVERIFY(!m_store->tagging());
            // What the joined batch still reports arrives once the next one runs (an undo
            // starts at once): it counts nothing there, and doesn't end it.
            const qsizetype tagged = m_store->results().size();
            slow.rewrite.beforeReplace = [](const QString&) { QThread::msleep(300); };
            m_store->setSeams(slow);
            m_store->enqueueUndo();
            QCoreApplication::processEvents();
            QVERIFY(m_store->tagging() && m_store->tagging()->undoing);
            QCOMPARE(m_store->tagging()->done, 0);
            QTRY_VERIFY_WITH_TIMEOUT(!m_store->tagging(), 20000);
            QVERIFY(m_store->lastBatch()->undoing);
            QCOMPARE(m_store->lastBatch()->done, m_store->lastBatch()->total);
            QVERIFY(m_store->lastBatch()->total > tagged);
        } else {
            if (stop == u"escape"_s) {
                m_view->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
                auto* recent = child<QWidget>(*m_view, "recentList");
                recent->setFocus();
                QTest::keyClick(recent, Qt::Key_Escape);
            } else {
                child<QPushButton>(*m_view, "cancelTaggingButton")->click();
            }
            QTRY_VERIFY(!m_store->tagging());
            QCOMPARE(headline->text(), u"Drop MP3 files here"_s);
            // The heading tells a cancelled batch from a finished one, until the next begins.
            const qsizetype tagged = m_store->results().size();
            auto* heading = child<QLabel>(*m_view, "recentTitle");
            QCOMPARE(heading->text(),
                u"Recent · Cancelled · %1 tagged, %2 left as they were"_s.arg(tagged).arg(21 - tagged));
            m_view->tag({QUrl::fromLocalFile(mp3(u"next.mp3"_s))});
            QTRY_VERIFY(m_store->tagging() && m_store->tagging()->total == 1);
            QCOMPARE(heading->text(), u"Recent"_s);
            QTRY_VERIFY(!m_store->tagging());
            QCOMPARE(heading->text(), u"Recent · 1 tagged"_s);
            m_store->setResults(m_store->results().mid(1));
        }
        const QList<TagResult> results = m_store->results();
        QVERIFY(results.size() >= 2 && results.size() < 20);
        // After a quit the files in flight finish without a result row.
        for (int i = 0; !quit && i < files.size(); ++i)
            QCOMPARE(readFile(files.at(i)) != readFile(toneFixture()), i < results.size());
        QCOMPARE(results.constLast().file, files.constFirst());
        QCOMPARE(results.constFirst().show, m_show.name);
        QCOMPARE(readFile(later), untouched);
        QCOMPARE(QDir(m_case->filePath(u"season"_s)).entryList(QDir::Hidden | QDir::Files).size(), 20);
    }

    // A folder is listed off the window's thread: however slow it is, the event loop keeps
    // answering, and the pane says it is tagging from the moment of the drop.
    void slowFolderKeepsTheWindowAnswering()
    {
        mp3(u"slow/a.mp3"_s);
        ShowStore::Seams seams;
        seams.beforeListing = [](const QString&) { QThread::msleep(1500); };
        m_store->setSeams(seams);
        QElapsedTimer clock;
        clock.start();
        m_view->tag({QUrl::fromLocalFile(m_case->filePath(u"slow"_s))});
        QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(child<QLabel>(*m_view, "dropHeadline")->text(), u"Tagging\u2026"_s);
        qint64 last = clock.elapsed();
        qint64 longest = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            longest = qMax(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        tick.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(!m_store->tagging() || m_store->tagging()->total == 1, 10000);
        tick.stop();
        // A blocked window would miss the whole 1.5 s; a loaded sanitizer build misses a tick or two.
        QVERIFY2(clock.elapsed() >= 1500 && longest < 250, qPrintable(QString::number(longest)));
        QTRY_COMPARE(m_store->results().size(), 1);
    }

    void chooseFiles()
    {
        const QString file = mp3(u"chosen.mp3"_s);
        Desktop::setNextChoice(QList<QUrl> {QUrl::fromLocalFile(file)});
        child<QPushButton>(*m_view, "chooseFilesButton")->click();
        QTRY_COMPARE(m_store->results().size(), 1);
        QCOMPARE(m_store->results().first().file, file);
        // Without the seam Qt's own dialog opens (it takes folders), no column too narrow.
        QStringList narrow;
        QString title;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* details = dialog ? dialog->findChild<QTreeView*>(u"treeView"_s) : nullptr;
            if (!details || !details->isVisible() || details->model()->rowCount(details->rootIndex()) == 0)
                return;
            poll.stop();
            title = dialog->windowTitle();
            QHeaderView* header = details->header();
            for (int column = 0; column < header->count(); ++column) {
                const QString heading = header->model()->headerData(column, Qt::Horizontal).toString();
                // Long names may be cut short; sizes, types and dates may not.
                const int entries
                    = column == 0 ? 0 : static_cast<QAbstractItemView*>(details)->sizeHintForColumn(column);
                const int needed = std::max(entries, header->fontMetrics().horizontalAdvance(heading) + 8);
                if (header->sectionSize(column) < needed)
                    narrow.append(heading);
            }
            dialog->reject();
        });
        poll.start(20);
        child<QPushButton>(*m_view, "chooseFilesButton")->click();
        QVERIFY(!title.isEmpty());
        QCOMPARE(narrow, QStringList());
        QCOMPARE(m_store->results().size(), 1);
    }

    // Reveal asks the file manager, else opens the nearest existing folder, else says so.
    void recentRows()
    {
        QList<TagResult> results;
        for (int i = 0; i < 4; ++i) {
            TagResult result;
            result.file = m_case->filePath(u"moved/away/e%1.mp3"_s.arg(i));
            result.ok = i != 2;
            result.show = u"Weekly"_s;
            result.message = result.ok ? u"Tagged"_s : u"x is not an MP3 file"_s;
            results.append(result);
        }
        m_store->setResults(results);
        auto* list = child<QListView>(*m_view, "recentList");
        QTRY_VERIFY(list->isVisible());
        QCOMPARE(list->model()->rowCount(), 4);
        QCOMPARE(list->model()->index(0, 0).data(ResultListModel::DetailRole).toString(),
            u"Weekly \u00b7 Tagged"_s);
        QString revealed;
        Desktop::setRevealHandler([&](const QString& path) { revealed = path; });
        const QRect third = list->visualRect(list->model()->index(2, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, ResultRow::revealRect(third).center());
        QCOMPARE(revealed, results.at(2).file);
        Desktop::setRevealHandler({});
        // Return on a row reveals it from the keyboard.
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Return);
        // The Menu key opens the current row's menu, wherever the pointer is.
        list->setCurrentIndex(list->model()->index(3, 0));
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), list->mapToGlobal(QPoint(0, 0)));
        QApplication::sendEvent(list, &menuKey);
        auto* menu = child<QMenu>(*m_view, "resultContextMenu");
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(
            list->visualRect(list->currentIndex()).contains(list->viewport()->mapFromGlobal(menu->pos())));
        menu->close();
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = m_view->window()->findChild<QMessageBox*>(u"tagViewMessage"_s)));
        QCOMPARE(box->text(),
            u"No file manager answered, and the folder \u201c%1\u201d could not be opened."_s.arg(
                m_case->path()));
        box->reject();
        child<QPushButton>(*m_view, "clearButton")->click();
        QVERIFY(m_store->results().isEmpty());
        QTRY_VERIFY(!child<QWidget>(*m_view, "recentSection")->isVisible());
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
    std::unique_ptr<TagView> m_view;
    Show m_show;
    int m_edits = 0;
};

QTEST_MAIN(TestTagView)
#include "TestTagView.moc"
