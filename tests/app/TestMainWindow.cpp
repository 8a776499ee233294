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
        const qreal ratio = focused.devicePixelRatio();
        const auto changedFrom = [&](int left) {
            int changed = 0;
            for (int y = 0; y < focused.height(); ++y)
                for (int x = left; x < focused.width(); ++x)
                    changed += colourDistance(focused.pixelColor(x, y), unfocused.pixelColor(x, y)) > 60;
            return changed;
        };
        const int changed = changedFrom(0);
        // A scroll area's ring goes all round it, the side of its scroll bar too.
        if (qobject_cast<QScrollArea*>(stop)
            && changedFrom(focused.width() - int(16 * ratio)) < focused.height() / 2)
            ringless.append(u"%1 (right side)"_s.arg(name));
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

    // Menu items act on the selected show, and Undo only when there is a settled batch, also
    // after a restart. Files dropped on a row are tagged with that row's show; a show just made
    // with Ctrl+N tags them at once, each titled by its name.
    void menusDropsAndUndo()
    {
        QMainWindow& window = open();
        QStringList titles;
        for (QAction* menu : window.menuBar()->actions())
            titles.append(menu->text());
        QCOMPARE(titles, (QStringList {u"&File"_s, u"&Edit"_s, u"&View"_s, u"&Help"_s}));
        const char* needShow[]
            = {"chooseFilesAction", "editShowAction", "duplicateShowAction", "deleteShowAction"};
        for (const char* name : needShow)
            QVERIFY2(!action(window, name)->isEnabled(), name);
        QAction* undo = action(window, "undoAction");
        QVERIFY(!undo->isEnabled());
        QCOMPARE(action(window, "chooseFilesAction")->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(action(window, "quitAction")->shortcut(), QKeySequence(QKeySequence::Quit));

        QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_store->shows().size(), 1);
        for (const char* name : needShow)
            QVERIFY2(action(window, name)->isEnabled(), name);
        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(m_store->shows().size(), 2);
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().last().id));

        ShowListView* list = m_app->contentView()->showList();
        const QString file = copyFixture(toneFixture(), m_case->filePath(u"a.mp3"_s));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPoint onFirst = list->visualRect(list->model()->index(0, 0)).center();
        const auto send = [&](QDropEvent&& event) {
            QApplication::sendEvent(list->viewport(), &event);
            return event.isAccepted();
        };
        QVERIFY(send(QDragEnterEvent(onFirst, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier)));
        QVERIFY(send(QDragMoveEvent(onFirst, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier)));
        QCOMPARE(list->dropTarget().row(), 0);
        send(QDropEvent(onFirst, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier));
        QVERIFY(!list->dropTarget().isValid());
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().first().id));
        QTRY_COMPARE_WITH_TIMEOUT(m_store->results().size(), 1, 10000);
        QCOMPARE(m_store->results().first().show, u"New Show"_s);
        QVERIFY2(m_store->results().first().ok, qPrintable(m_store->results().first().message));
        QCOMPARE(m_store->results().first().title, u"a"_s);
        QTRY_VERIFY_WITH_TIMEOUT(undo->isEnabled(), 10000);
        // With a batch to undo, a running one still turns Undo off until it ends. One file of
        // its two is tagged; only it is undone.
        Show renamed = m_store->shows().first();
        renamed.name = u"Night Drive EP"_s;
        m_store->update(renamed);
        ShowStore::Seams slow;
        slow.rewrite.beforeReplace = [](const QString&) { QThread::msleep(300); };
        m_store->setSeams(slow);
        const QString second = copyFixture(toneFixture(), m_case->filePath(u"b.mp3"_s));
        m_store->enqueue({QUrl::fromLocalFile(second), QUrl::fromLocalFile(second + u"x"_s)}, renamed);
        QVERIFY(m_store->tagging());
        QVERIFY(!undo->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(undo->isEnabled(), 10000);
        QVERIFY2(undo->text().startsWith(u"&Undo Last Batch: 1 file as Night Drive EP, "_s),
            qPrintable(undo->text()));

        // After a restart Recent is empty, but Undo still names the batch it would undo.
        m_app.reset();
        m_store.reset();
        m_store = openEmptyLibrary(*m_case);
        QMainWindow& restarted = open();
        QVERIFY(QTest::qWaitForWindowActive(&restarted));
        auto* button = child<QPushButton>(restarted, "undoButton");
        QTRY_VERIFY(button->isVisible());
        QVERIFY2(button->text().startsWith(u"Undo Last Batch: 1 file as Night Drive EP, "_s),
            qPrintable(button->text()));
        QCOMPARE(action(restarted, "undoAction")->text(), u'&' + button->text());
        // With the width it has, its line is whole.
        QTRY_COMPARE(static_cast<ElidedButton*>(button)->shownText(), button->text());
        QVERIFY(button->toolTip().contains(u"Night Drive EP"_s));
        // Newest first; then the item names the batch before, and undoes that.
        for (const QString& undone : {second, file}) {
            QTRY_VERIFY(action(restarted, "undoAction")->isEnabled());
            QTest::keyClick(&restarted, Qt::Key_Z, Qt::ControlModifier);
            QVERIFY(m_store->tagging() && m_store->tagging()->undoing);
            QTRY_VERIFY_WITH_TIMEOUT(!m_store->tagging(), 10000);
            QCOMPARE(readFile(undone), readFile(toneFixture()));
        }
        // Nothing older to undo: the item says so.
        QTRY_VERIFY(!action(restarted, "undoAction")->isEnabled());
        QCOMPARE(action(restarted, "undoAction")->text(), u"&Undo Last Batch"_s);
    }

    // A very long name is cut with "…" where it is drawn, and told whole in a tooltip; the
    // sidebar never scrolls sideways. Another show opens with its pane scrolled to the top.
    void longNamesAndScrolling()
    {
        const QString longName
            = u"The Extraordinarily Long Running Weekly Dispatch of Everything "_s.repeated(4);
        m_store->setShows({named(longName), named(u"B"_s)});
        m_store->setSelection(m_store->shows().first().id);
        QList<TagResult> results;
        for (int i = 0; i < 40; ++i)
            results.append(tagged(m_case->filePath(u"%1.mp3"_s.arg(i)), longName));
        m_store->setResults(results);
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
        QScrollBar* bar = child<QScrollArea>(window, "tagScroll")->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        m_store->setSelection(m_store->shows().at(1).id);
        QTRY_COMPARE(child<QScrollArea>(window, "tagScroll")->verticalScrollBar()->value(), 0);
    }

    // Tab starts in the show list, and every stop shows that it has the keyboard. A screen
    // reader finds the window, its menus, both context menus, the editor and the drop sheet,
    // every control named and no role the Linux bridge can't tell.
    void keyboardAndScreenReader()
    {
        m_store->setShows({named(u"Weekly"_s), named(u"Other"_s)});
        m_store->setSelection(m_store->shows().first().id);
        m_store->setResults({tagged(m_case->filePath(u"a.mp3"_s), u"Weekly"_s)});
        QMainWindow& window = open();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto problems = [](QObject* root) { return AccessibilityWalk::problems(root).join(u'\n'); };
        QCOMPARE(problems(&window), QString());
        QVERIFY(window.findChild<QSplitter*>()->handle(1));
        QCOMPARE(QAccessible::queryAccessibleInterface(window.findChild<QSplitter*>()->handle(1))->role(),
            QAccessible::Separator);
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
            u"showList newShowButton editShowButton chooseFilesButton tagScroll clearButton recentList"_s);

        ShowListView* list = m_app->contentView()->showList();
        Q_EMIT list->customContextMenuRequested(list->visualRect(list->model()->index(0, 0)).center());
        auto* recent = child<QListView>(window, "recentList");
        Q_EMIT recent->customContextMenuRequested(recent->visualRect(recent->model()->index(0, 0)).center());
        for (const char* name : {"showContextMenu", "resultContextMenu"}) {
            auto* menu = child<QMenu>(window, name);
            QTRY_VERIFY(menu->isVisible());
            QCOMPARE(problems(menu), QString());
            menu->close();
        }

        // The editor's stops show the keyboard too, Save among them though it is the default
        // button already.
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
        QCOMPARE(problems(editor), QString());
        const auto accessible = [](QWidget* root, const char* name) {
            return QAccessible::queryAccessibleInterface(child<QWidget>(*root, name));
        };
        // Podcast or Music is one choice of two; the category button tells its value; Save is
        // told as the default button.
        QCOMPARE(accessible(editor, "podcastButton")->role(), QAccessible::RadioButton);
        QCOMPARE(accessible(editor, "musicButton")->role(), QAccessible::RadioButton);
        QVERIFY(accessible(editor, "podcastButton")->state().checked);
        QVERIFY(!accessible(editor, "musicButton")->state().checked);
        QCOMPARE(accessible(editor, "categoryMenu")->text(QAccessible::Description), u"None"_s);
        QVERIFY(accessible(editor, "saveButton")->state().defaultButton);
        editor->reject();

        m_store->setLeftOut({QUrl::fromLocalFile(u"/m/readme.txt"_s)});
        m_store->setPending({QUrl::fromLocalFile(u"/m/a.mp3"_s)});
        QTRY_VERIFY(m_app->contentView()->dropSheet() && m_app->contentView()->dropSheet()->isVisible());
        QCOMPARE(problems(m_app->contentView()->dropSheet()), QString());
        // The box is named by its label; the show it holds is its value.
        QAccessibleInterface* picker = accessible(m_app->contentView()->dropSheet(), "showPicker");
        QCOMPARE(picker->role(), QAccessible::ComboBox);
        QCOMPARE(picker->text(QAccessible::Name), u"Show"_s);
        QCOMPARE(picker->text(QAccessible::Value), u"Weekly"_s);
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
