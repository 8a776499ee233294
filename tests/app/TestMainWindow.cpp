#include "app/PelamoApp.h"
#include "common/Accessibility.h"
#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "common/UiTest.h"
#include "library/ShowStore.h"
#include "ui/ContentView.h"
#include "ui/ElidedLabel.h"
#include "ui/ShowListView.h"
#include "ui/TagView.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QThread>

using namespace Qt::Literals::StringLiterals;

namespace {

Show named(const QString& name)
{
    Show show;
    show.name = name;
    show.artist = u"Jo"_s;
    show.titleFromFileName = true;
    return show;
}

// A row of Recent, as a batch leaves it.
TagResult tagged(const QString& file, const QString& show)
{
    TagResult result;
    result.file = file;
    result.show = show;
    result.ok = true;
    result.message = u"Tagged"_s;
    return result;
}

// Follows the Tab key from the focused control round `window` until it comes back,
// and names each stop. Those whose picture, with a margin where a field draws its
// frame, doesn't change by a ring's worth of pixels with the focus go into
// `ringless` too.
QStringList tabStops(QWidget& window, QStringList& ringless)
{
    QStringList names;
    QList<QWidget*> seen;
    for (QWidget* stop = QApplication::focusWidget(); stop && !seen.contains(stop) && seen.size() < 80;
         stop = QApplication::focusWidget()) {
        if (!window.isAncestorOf(stop)) {
            ringless.append(
                u"focus left the window for %1"_s.arg(QString::fromLatin1(stop->metaObject()->className())));
            break;
        }
        seen.append(stop);
        const QString name = stop->objectName().isEmpty()
            ? QString::fromLatin1(stop->metaObject()->className())
            : stop->objectName();
        names.append(name);
        const QRect area = QRect(stop->mapTo(&window, QPoint(0, 0)), stop->size()).adjusted(-12, -12, 12, 12);
        // The same picture without the focus: moving on might scroll what is around.
        stop->clearFocus();
        const QImage unfocused = window.grab(area).toImage();
        stop->setFocus(Qt::TabFocusReason);
        const QImage focused = window.grab(area).toImage();
        QTest::keyClick(stop, Qt::Key_Tab);
        int changed = 0;
        for (int y = 0; y < focused.height(); ++y)
            for (int x = 0; x < focused.width(); ++x)
                changed += colourDistance(focused.pixelColor(x, y), unfocused.pixelColor(x, y)) > 60;
        const qreal ratio = focused.devicePixelRatio();
        // A scroll area's ring goes all round it, the side of its scroll bar too.
        if (qobject_cast<QScrollArea*>(stop)) {
            int right = 0;
            for (int y = 0; y < focused.height(); ++y)
                for (int x = focused.width() - int(16 * ratio); x < focused.width(); ++x)
                    right += colourDistance(focused.pixelColor(x, y), unfocused.pixelColor(x, y)) > 60;
            if (right < focused.height() / 2)
                ringless.append(u"%1 (right side)"_s.arg(name));
        }
        if (changed / (ratio * ratio)
            < qMin(stop->width() + stop->height(), 2 * (area.width() + area.height())))
            ringless.append(u"%1 (%2 pixels)"_s.arg(name).arg(changed));
    }
    return names;
}

QAction* action(const QMainWindow& window, const char* name)
{
    return child<QAction>(*window.menuBar(), name);
}

} // namespace

// The main window as a user meets it: its menus, keyboard, drops on the list,
// long names, the question at quit, and what a screen reader finds there.
class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
    }

    void cleanup()
    {
        m_app.reset();
        m_store.reset();
    }

    // Menu items act on the selected show, and Undo only when there is a settled batch.
    void menusFollowTheSelectionAndTheBatch()
    {
        QMainWindow& window = open();
        const QStringList menus {u"&File"_s, u"&Edit"_s, u"&View"_s, u"&Help"_s};
        QStringList titles;
        for (QAction* menu : window.menuBar()->actions())
            titles.append(menu->text());
        QCOMPARE(titles, menus);
        const char* needShow[]
            = {"chooseFilesAction", "editShowAction", "duplicateShowAction", "deleteShowAction"};
        for (const char* name : needShow)
            QVERIFY2(!action(window, name)->isEnabled(), name);
        QVERIFY(!action(window, "undoAction")->isEnabled());
        QCOMPARE(action(window, "chooseFilesAction")->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(action(window, "undoAction")->shortcut(), QKeySequence(QKeySequence::Undo));
        QCOMPARE(action(window, "quitAction")->shortcut(), QKeySequence(QKeySequence::Quit));

        QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_store->shows().size(), 1);
        Show added = m_store->shows().first();
        added.titleFromFileName = true;
        m_store->update(added);
        for (const char* name : needShow)
            QVERIFY2(action(window, name)->isEnabled(), name);
        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(m_store->shows().size(), 2);

        const QString file = copyFixture(toneFixture(), m_case->filePath(u"a.mp3"_s));
        ShowStore::Seams slow;
        slow.rewrite.beforeReplace = [](const QString&) { QThread::msleep(300); };
        m_store->setSeams(slow);
        m_store->enqueue({QUrl::fromLocalFile(file)}, m_store->shows().first());
        QVERIFY(m_store->tagging());
        QVERIFY(!action(window, "undoAction")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(action(window, "undoAction")->isEnabled(), 10000);
        // With a batch to undo, a running one still turns Undo off until it ends.
        const QString second = copyFixture(toneFixture(), m_case->filePath(u"b.mp3"_s));
        m_store->enqueue({QUrl::fromLocalFile(second)}, m_store->shows().first());
        QVERIFY(m_store->tagging());
        QVERIFY(!action(window, "undoAction")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(action(window, "undoAction")->isEnabled(), 10000);
        QVERIFY2(action(window, "undoAction")->text().startsWith(u"&Undo Last Batch: 1 file as New Show, "_s),
            qPrintable(action(window, "undoAction")->text()));
        // Newest first; then the item names the batch before, and undoes that.
        for (const QString& undone : {second, file}) {
            QTRY_VERIFY(action(window, "undoAction")->isEnabled());
            QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
            QVERIFY(m_store->tagging() && m_store->tagging()->undoing);
            QTRY_VERIFY_WITH_TIMEOUT(!m_store->tagging(), 10000);
            QCOMPARE(readFile(undone), readFile(toneFixture()));
        }
        // Nothing older to undo: the item says so.
        QTRY_VERIFY(!action(window, "undoAction")->isEnabled());
        QCOMPARE(action(window, "undoAction")->text(), u"&Undo Last Batch"_s);
    }

    // After a restart Recent is empty, but Undo still names the batch it would undo.
    void undoDescribedAfterRestart()
    {
        m_store->setShows({named(u"Night Drive EP"_s)});
        const QString file = copyFixture(toneFixture(), m_case->filePath(u"a.mp3"_s));
        m_store->save();
        m_store->enqueue(
            {QUrl::fromLocalFile(file), QUrl::fromLocalFile(file + u"x"_s)}, m_store->shows().first());
        QTRY_VERIFY_WITH_TIMEOUT(!m_store->tagging(), 10000);
        QVERIFY2(m_store->results().last().ok, qPrintable(m_store->results().last().message));
        m_store.reset();
        m_store = openEmptyLibrary(*m_case);
        m_store->load();
        QCOMPARE(m_store->shows().size(), 1);
        QMainWindow& window = open();
        auto* button = child<QPushButton>(window, "undoButton");
        QTRY_VERIFY(button->isVisible());
        // One file of the two was tagged; only it is undone.
        QVERIFY2(button->text().startsWith(u"Undo Last Batch: 1 file as Night Drive EP, "_s),
            qPrintable(button->text()));
        QCOMPARE(action(window, "undoAction")->text(), u'&' + button->text());
        // With the width it has, its line is whole.
        QTRY_COMPARE(static_cast<ElidedButton*>(button)->shownText(), button->text());
        QVERIFY(button->toolTip().contains(u"Night Drive EP"_s));
    }

    // Files dropped on a row are tagged with that row's show; a show just made with
    // Ctrl+N tags them at once, each titled by its name.
    void dropOnAShowRow()
    {
        m_store->setShows({named(u"A"_s)});
        m_store->setSelection(m_store->shows().first().id);
        QMainWindow& window = open();
        QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_store->shows().size(), 2);
        m_store->setSelection(m_store->shows().first().id);
        ShowListView* list = m_app->contentView()->showList();
        const QString file = copyFixture(toneFixture(), m_case->filePath(u"b.mp3"_s));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPoint onB = list->visualRect(list->model()->index(1, 0)).center();
        QDragEnterEvent enter(onB, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(onB, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        QVERIFY(move.isAccepted());
        QCOMPARE(list->dropTarget().row(), 1);
        QDropEvent drop(onB, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &drop);
        QVERIFY(!list->dropTarget().isValid());
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().at(1).id));
        QTRY_COMPARE_WITH_TIMEOUT(m_store->results().size(), 1, 10000);
        QCOMPARE(m_store->results().first().show, u"New Show"_s);
        QVERIFY2(m_store->results().first().ok, qPrintable(m_store->results().first().message));
        QCOMPARE(m_store->results().first().title, u"b"_s);
    }

    // A very long name is cut with "…" where it is drawn, and told whole in a tooltip;
    // the sidebar never scrolls sideways.
    void longNamesElided()
    {
        const QString longName
            = u"The Extraordinarily Long Running Weekly Dispatch of Everything "_s.repeated(4);
        m_store->setShows({named(longName)});
        m_store->setSelection(m_store->shows().first().id);
        QMainWindow& window = open();
        window.resize(PelamoApp::mainSize);
        auto* title = child<ElidedLabel>(window, "showName");
        QTRY_VERIFY(title->isElided());
        QCOMPARE(title->text(), longName);
        const QRect edit = child<QPushButton>(window, "editShowButton")->geometry();
        QVERIFY(!title->geometry().intersects(edit));
        ShowListView* list = m_app->contentView()->showList();
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
        QVERIFY(list->model()->index(0, 0).data(Qt::ToolTipRole).toString().startsWith(longName));
    }

    // Tab starts in the show list, and every stop shows that it has the keyboard.
    void focusVisibleOnEveryStop()
    {
        m_store->setShows({named(u"Weekly"_s), named(u"Other"_s)});
        m_store->setSelection(m_store->shows().first().id);
        m_store->setResults({tagged(m_case->filePath(u"a.mp3"_s), u"Weekly"_s)});
        QMainWindow& window = open();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), m_app->contentView()->showList());
        // Rings show once the keyboard moves focus, as a browser's :focus-visible does.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), m_app->contentView()->showList());
        QStringList ringless;
        const QStringList stops = tabStops(window, ringless);
        QVERIFY2(ringless.isEmpty(), qPrintable(ringless.join(u' ')));
        // In the order of the layout: the sidebar, the pane's header, the drop zone, then what scrolls.
        QCOMPARE(stops.join(u' '),
            (QStringList {u"showList"_s, u"newShowButton"_s, u"editShowButton"_s, u"chooseFilesButton"_s,
                 u"tagScroll"_s, u"clearButton"_s, u"recentList"_s})
                .join(u' '));

        // The selected row shows the keyboard in a colour of its own over the selection: drawn
        // as the current row, and again with the keyboard on the next row, it differs.
        ShowListView* list = m_app->contentView()->showList();
        const QModelIndex first = list->model()->index(0, 0);
        const QRect row = list->visualRect(first);
        list->setFocus(Qt::TabFocusReason);
        const QImage focused = list->viewport()->grab(row).toImage();
        list->selectionModel()->setCurrentIndex(list->model()->index(1, 0), QItemSelectionModel::NoUpdate);
        QVERIFY(list->selectionModel()->isSelected(first));
        const QImage elsewhere = list->viewport()->grab(row).toImage();
        int ring = 0;
        for (int y = 0; y < focused.height(); ++y)
            for (int x = 0; x < focused.width(); ++x)
                ring += colourDistance(focused.pixelColor(x, y), elsewhere.pixelColor(x, y)) > 60;
        QVERIFY2(
            ring / (focused.devicePixelRatio() * focused.devicePixelRatio()) >= row.width() + row.height(),
            qPrintable(QString::number(ring)));

        // The editor's too, Save among them though it is the default button already.
        m_app->contentView()->editShow(m_store->shows().first());
        QDialog* editor = m_app->contentView()->editorSheet();
        QTRY_VERIFY(editor && editor->isVisible());
        editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QTRY_VERIFY(QApplication::focusWidget() && editor->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QStringList editorStops = tabStops(*editor, ringless);
        QVERIFY2(ringless.isEmpty(), qPrintable(ringless.join(u' ')));
        QVERIFY2(editorStops.contains(u"saveButton"_s) && editorStops.contains(u"formScroll"_s),
            qPrintable(editorStops.join(u' ')));
        editor->reject();
    }

    // Another show opens with its pane scrolled to the top.
    void otherShowScrolledToTop()
    {
        m_store->setShows({named(u"A"_s), named(u"B"_s)});
        m_store->setSelection(m_store->shows().first().id);
        QList<TagResult> results;
        for (int i = 0; i < 40; ++i)
            results.append(tagged(m_case->filePath(u"%1.mp3"_s.arg(i)), u"A"_s));
        m_store->setResults(results);
        QMainWindow& window = open();
        QScrollBar* bar = child<QScrollArea>(window, "tagScroll")->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        m_store->setSelection(m_store->shows().at(1).id);
        QTRY_COMPARE(child<QScrollArea>(window, "tagScroll")->verticalScrollBar()->value(), 0);
    }

    // Quitting while a batch runs asks first; Keep Tagging goes on, Quit closes the window.
    void quitAsksDuringABatch()
    {
        m_store->setShows({named(u"Weekly"_s)});
        QMainWindow& window = open();
        QList<QUrl> files;
        // More files than a batch has in flight, so that it goes on after the first are done.
        for (int i = 0; i < 6; ++i)
            files.append(
                QUrl::fromLocalFile(copyFixture(toneFixture(), m_case->filePath(u"%1.mp3"_s.arg(i)))));
        ShowStore::Seams slow;
        slow.rewrite.beforeReplace = [](const QString&) { QThread::msleep(1500); };
        m_store->setSeams(slow);
        m_store->enqueue(files, m_store->shows().first());
        QTRY_VERIFY(m_store->tagging() && m_store->tagging()->total == 6);
        action(window, "quitAction")->trigger();
        auto* question = child<QMessageBox>(window, "quitQuestion");
        QTRY_VERIFY(question->isVisible());
        QVERIFY2(question->text().startsWith(u"Tagging is still running ("_s)
                && question->text().endsWith(u" of 6). Quit after the files in progress?"_s),
            qPrintable(question->text()));
        QCOMPARE(question->defaultButton(), child<QPushButton>(*question, "keepTaggingButton"));
        // The count goes on while the question waits.
        const QString asked = question->text();
        QTRY_VERIFY_WITH_TIMEOUT(question->text() != asked && question->text().contains(u" of 6)"_s), 5000);
        child<QPushButton>(*question, "keepTaggingButton")->click();
        QTRY_VERIFY(!window.findChild<QMessageBox*>(u"quitQuestion"_s));
        QVERIFY(window.isVisible());
        QVERIFY(m_store->tagging());
        // The window's close button asks the same.
        window.close();
        QVERIFY(window.isVisible());
        question = child<QMessageBox>(window, "quitQuestion");
        child<QPushButton>(*question, "quitButton")->click();
        QTRY_VERIFY(!window.isVisible());
        m_store->finishTagging();
        // A batch that ends while the question waits leaves nothing to lose: the quit goes on.
        QMainWindow& again = open();
        m_store->enqueue({files.first()}, m_store->shows().first());
        QVERIFY(m_store->tagging());
        again.close();
        QTRY_VERIFY(again.findChild<QMessageBox*>(u"quitQuestion"_s));
        QVERIFY(again.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!m_store->tagging(), 10000);
        QTRY_VERIFY(!again.isVisible());
    }

    // What a screen reader finds: the window, its menus, both context menus, the editor
    // and the drop sheet, every control named and no role the Linux bridge can't tell.
    void screenReaderWalk()
    {
        m_store->setShows({named(u"Weekly"_s)});
        m_store->setSelection(m_store->shows().first().id);
        m_store->setResults({tagged(m_case->filePath(u"a.mp3"_s), u"Weekly"_s)});
        QMainWindow& window = open();
        QStringList found = AccessibilityWalk::problems(&window);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
        QVERIFY(window.findChild<QSplitter*>()->handle(1));
        QCOMPARE(QAccessible::queryAccessibleInterface(window.findChild<QSplitter*>()->handle(1))->role(),
            QAccessible::Separator);

        ShowListView* list = m_app->contentView()->showList();
        Q_EMIT list->customContextMenuRequested(list->visualRect(list->model()->index(0, 0)).center());
        auto* recent = child<QListView>(window, "recentList");
        Q_EMIT recent->customContextMenuRequested(recent->visualRect(recent->model()->index(0, 0)).center());
        for (const char* name : {"showContextMenu", "resultContextMenu"}) {
            auto* menu = child<QMenu>(window, name);
            QTRY_VERIFY(menu->isVisible());
            found = AccessibilityWalk::problems(menu);
            QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
            menu->close();
        }

        m_app->contentView()->editShow(m_store->shows().first());
        QDialog* editor = m_app->contentView()->editorSheet();
        QTRY_VERIFY(editor && editor->isVisible());
        found = AccessibilityWalk::problems(editor);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
        // Podcast or Music is one choice of two; the category button tells its value.
        QAccessibleInterface* podcast
            = QAccessible::queryAccessibleInterface(child<QWidget>(*editor, "podcastButton"));
        QAccessibleInterface* music
            = QAccessible::queryAccessibleInterface(child<QWidget>(*editor, "musicButton"));
        QCOMPARE(podcast->role(), QAccessible::RadioButton);
        QCOMPARE(music->role(), QAccessible::RadioButton);
        QVERIFY(podcast->state().checked && !music->state().checked);
        QCOMPARE(QAccessible::queryAccessibleInterface(child<QWidget>(*editor, "categoryMenu"))
                     ->text(QAccessible::Description),
            u"None"_s);
        // Save is the default button, and drawn so; Cancel is not.
        QVERIFY(child<QPushButton>(*editor, "saveButton")->isDefault());
        QVERIFY(!child<QPushButton>(*editor, "cancelButton")->isDefault());
        QVERIFY(QAccessible::queryAccessibleInterface(child<QPushButton>(*editor, "saveButton"))
                    ->state()
                    .defaultButton);
        editor->reject();

        m_store->setLeftOut({QUrl::fromLocalFile(u"/m/readme.txt"_s)});
        m_store->setPending({QUrl::fromLocalFile(u"/m/a.mp3"_s)});
        QTRY_VERIFY(m_app->contentView()->dropSheet() && m_app->contentView()->dropSheet()->isVisible());
        found = AccessibilityWalk::problems(m_app->contentView()->dropSheet());
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
        // The box is named by its label; the show it holds is its value.
        QAccessibleInterface* picker = QAccessible::queryAccessibleInterface(
            child<QWidget>(*m_app->contentView()->dropSheet(), "showPicker"));
        QCOMPARE(picker->role(), QAccessible::ComboBox);
        QCOMPARE(picker->text(QAccessible::Name), u"Show"_s);
        QCOMPARE(picker->text(QAccessible::Value), u"Weekly"_s);
    }

private:
    QMainWindow& open()
    {
        m_app = std::make_unique<PelamoApp>(*m_store);
        m_app->showMainWindow();
        QMainWindow* window = m_app->mainWindow();
        if (!QTest::qWaitForWindowExposed(window))
            qFatal("the main window did not come up");
        return *window;
    }

    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
    std::unique_ptr<PelamoApp> m_app;
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
