#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "common/UiTest.h"
#include "library/ShowStore.h"
#include "ui/ContentView.h"
#include "ui/Desktop.h"
#include "ui/ShowListModel.h"
#include "ui/ShowListView.h"
#include "ui/Theme.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

Show named(const QString& name, Show::Kind kind = Show::Kind::Podcast, const QString& category = {})
{
    Show show;
    show.name = name;
    show.kind = kind;
    show.category = category;
    return show;
}

// The fraction of pixels that differ from the top-left one: a blank picture has none.
double variety(const QImage& image)
{
    const QRgb first = image.pixel(0, 0);
    qint64 different = 0;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            different += image.pixel(x, y) != first;
    return double(different) / double((image.width() / 3) * (image.height() / 3));
}

// The desktop portal's appearance setting, its value wrapped twice as older portals do.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint scheme = 0;

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        const bool known
            = group == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("color-scheme");
        return QDBusVariant(QVariant::fromValue(QDBusVariant(known ? scheme : 0u)));
    }

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

} // namespace

class TestContentView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        Theme::apply(Theme::Appearance::Light);
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
        m_a = named(u"A"_s);
        m_b = named(u"B"_s);
        m_store->setShows({m_a, m_b});
    }

    void cleanup()
    {
        m_view.reset();
        m_store.reset();
    }

    ContentView& view()
    {
        m_view = std::make_unique<ContentView>(*m_store);
        m_view->resize(1040, 700);
        showExposed(*m_view);
        return *m_view;
    }

    // The list shows each show's name, and its kind with the category under it.
    void modelFollowsTheStore()
    {
        ShowListModel model(*m_store);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_store->setShows({named(u"A"_s), named(u"B"_s, Show::Kind::Music)});
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(1).data().toString(), u"B"_s);
        m_store->add();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(ShowListModel::subtitle(named({}, Show::Kind::Music, u"Arts"_s)), "Music");
        QCOMPARE(ShowListModel::subtitle(named({}, Show::Kind::Podcast, u"Arts/Books"_s)),
            u"Podcast \u00b7 Arts \u203a Books"_s);
    }

    // An empty library offers to add a show, which opens in the editor with its name selected.
    void emptyLibraryAndDropSheet()
    {
        m_store->setShows({});
        ContentView& content = view();
        auto* detail = child<QStackedWidget>(content, "detail");
        QCOMPARE(detail->currentWidget()->objectName(), u"emptyState"_s);
        auto* plus = child<QToolButton>(content, "newShowButton");
        QCOMPARE(plus->toolTip(), u"Add a show"_s);
        QTest::mouseClick(plus, Qt::LeftButton);
        QCOMPARE(m_store->shows().size(), 1);
        QTRY_VERIFY(content.editorSheet() && content.editorSheet()->isVisible());
        QCOMPARE(detail->currentWidget()->objectName(), u"tagView"_s);
        auto* name = child<QLineEdit>(*content.editorSheet(), "nameField");
        QTRY_COMPARE(QApplication::focusWidget(), name);
        QCOMPARE(name->selectedText(), u"New Show"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!content.editing());
        QTRY_COMPARE(QApplication::focusWidget(), content.showList());
        // Files opened bring the drop sheet; while the editor is open they wait, and the sheet
        // follows when it closes.
        QVERIFY(!content.dropSheet());
        m_store->setPending({QUrl::fromLocalFile(u"/tmp/a.mp3"_s)});
        QTRY_VERIFY(content.dropSheet() && content.dropSheet()->isVisible());
        content.dropSheet()->reject();
        QTRY_VERIFY(m_store->pending().isEmpty());
        QTRY_VERIFY(!content.dropSheet());
        content.editShow(m_store->shows().first());
        QTRY_VERIFY(content.editorSheet());
        m_store->setPending({QUrl::fromLocalFile(u"/tmp/b.mp3"_s)});
        QTest::qWait(20);
        QVERIFY(!content.dropSheet());
        content.editorSheet()->reject();
        QTRY_VERIFY(content.dropSheet());
        QCOMPARE(m_store->pending().size(), 1);
    }

    // The list's keys act on its current row, only while it has the keyboard: Delete and
    // Backspace ask to delete its show, Return, Enter and F2 edit it.
    void listKeys()
    {
        m_store->setSelection(m_b.id);
        for (const Qt::Key key :
            {Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Enter, Qt::Key_F2}) {
            ContentView& content = view();
            content.showList()->setFocus();
            QTRY_VERIFY(content.showList()->hasFocus());
            QTest::keyClick(content.showList(), key);
            if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
                QTRY_VERIFY(content.deleteConfirmation());
                QCOMPARE(content.confirmDelete(), std::optional(m_b));
                content.deleteConfirmation()->reject();
            } else {
                QCOMPARE(content.editing(), std::optional(m_b));
                auto* name = child<QLineEdit>(*content.editorSheet(), "nameField");
                QTRY_COMPARE(QApplication::focusWidget(), name);
                QCOMPARE(name->selectedText(), QString());
                content.editorSheet()->reject();
            }
            QTRY_COMPARE(QApplication::focusWidget(), content.showList());
        }
    }

    // The list only sets the selection; the store saves it, once per change, and the list
    // follows a selection made elsewhere without saving it again. A row's menu acts on the
    // row's show, not the selected one.
    void selectionAndContextMenu()
    {
        m_store->setSelection(m_a.id);
        QFile::remove(m_store->showsFile());
        ContentView& content = view();
        QListView* list = content.showList();
        QVERIFY(!QFile::exists(m_store->showsFile()));
        list->setCurrentIndex(list->model()->index(1, 0));
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().at(1).id));
        QVERIFY(QFile::exists(m_store->showsFile()));
        QFile::remove(m_store->showsFile());
        list->setCurrentIndex(list->model()->index(1, 0));
        m_store->setSelection(m_store->shows().at(1).id);
        QTest::qWait(50);
        QVERIFY(!QFile::exists(m_store->showsFile()));
        m_store->setSelection(m_a.id);
        QCOMPARE(list->currentIndex().row(), 0);
        QVERIFY(QFile::exists(m_store->showsFile()));
        const QRect second = list->visualRect(list->model()->index(1, 0));
        Q_EMIT list->customContextMenuRequested(second.center());
        auto* menu = child<QMenu>(content, "showContextMenu");
        QTRY_VERIFY(menu->isVisible());
        const QImage drawn = menu->grab().toImage();
        const auto reds = [&](const char* name) {
            const QRect area = menu->actionGeometry(child<QAction>(*menu, name));
            int count = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QColor pixel = drawn.pixelColor(QPoint(x, y) * drawn.devicePixelRatio());
                    count += pixel.red() > 150 && pixel.green() < 110 && pixel.blue() < 110;
                }
            return count;
        };
        QVERIFY(reds("deleteAction") > 10);
        QCOMPARE(reds("editAction"), 0);
        // Delete asks about the row's show, not the selected one; Cancel, the default, keeps it.
        child<QAction>(*menu, "deleteAction")->trigger();
        QCOMPARE(content.confirmDelete(), std::optional(m_b));
        QMessageBox* box = content.deleteConfirmation();
        QCOMPARE(box->text(), u"Delete \u201cB\u201d?"_s);
        auto* cancel = child<QPushButton>(*box, "cancelDeleteButton");
        QCOMPARE(box->defaultButton(), cancel);
        cancel->click();
        QTRY_VERIFY(!content.confirmDelete());
        QCOMPARE(m_store->shows().size(), 2);
        content.askToDelete(m_b);
        QTRY_VERIFY(content.deleteConfirmation());
        child<QPushButton>(*content.deleteConfirmation(), "deleteShowButton")->click();
        QTRY_COMPARE(m_store->shows().size(), 1);
        QCOMPARE(m_store->selection(), std::optional(m_a.id));
        Q_EMIT list->customContextMenuRequested(list->visualRect(list->model()->index(0, 0)).center());
        menu = content.findChildren<QMenu*>(u"showContextMenu"_s).last();
        child<QAction>(*menu, "duplicateAction")->trigger();
        QCOMPARE(m_store->shows().last().name, u"A copy"_s);
        child<QAction>(*menu, "editAction")->trigger();
        QCOMPARE(content.editing(), std::optional(m_a));
        QTRY_VERIFY(content.editorSheet());
        content.editorSheet()->reject();
    }

    void rendersLightAndDark_data()
    {
        QTest::addColumn<Theme::Appearance>("appearance");
        QTest::addRow("light") << Theme::Appearance::Light;
        QTest::addRow("dark") << Theme::Appearance::Dark;
    }
    // A window open while the desktop switches looks exactly like one opened after it. Keyboard
    // focus rings show on the list and on a check box; a mouse user sees none on the box.
    void rendersLightAndDark()
    {
        QFETCH(Theme::Appearance, appearance);
        const Theme::Appearance other
            = appearance == Theme::Appearance::Dark ? Theme::Appearance::Light : Theme::Appearance::Dark;
        Show withCover = named(u"Weekly Dispatch"_s, Show::Kind::Podcast, u"News/Tech News"_s);
        withCover.coverFile = u"c.png"_s;
        QImage art(64, 40, QImage::Format_RGB32);
        art.fill(QColor(30, 140, 150));
        art.save(m_store->coversFolder() + u"/c.png"_s);
        m_store->setShows({withCover, named(u"Night Drive"_s, Show::Kind::Music)});
        m_store->setSelection(withCover.id);
        QApplication::setCursorFlashTime(0);
        const auto pictures = [&](bool switchWhileOpen) {
            Theme::apply(switchWhileOpen ? other : appearance);
            ContentView& content = view();
            content.editShow(withCover);
            (void)QTest::qWaitFor(
                [&] { return content.editorSheet() && content.editorSheet()->isVisible(); });
            if (switchWhileOpen)
                Theme::apply(appearance);
            QCoreApplication::processEvents();
            std::pair<QImage, QImage> result {content.grab().toImage(), {}};
            if (content.editorSheet()) {
                result.second = content.editorSheet()->grab().toImage();
                content.editorSheet()->reject();
            }
            m_view.reset();
            return result;
        };
        const auto [main, editor] = pictures(false);
        const auto [switchedMain, switchedEditor] = pictures(true);
        QVERIFY(variety(main) > 0.02);
        QVERIFY(variety(editor) > 0.02);
        const int lightness = main.pixelColor(main.width() - 5, main.height() - 5).lightness();
        QVERIFY(appearance == Theme::Appearance::Dark ? lightness < 100 : lightness > 180);
        QVERIFY(switchedMain == main);
        QVERIFY(switchedEditor == editor);
        ContentView& content = view();
        const auto pixels = [](QWidget* widget, const QColor& colour) {
            const QImage picture = widget->grab().toImage();
            int count = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    count += colourDistance(picture.pixelColor(x, y), colour) < 90;
            return count / int(picture.devicePixelRatio() * picture.devicePixelRatio());
        };
        QListView* list = content.showList();
        list->setCurrentIndex(list->model()->index(1, 0));
        const QColor onSelection = list->palette().color(QPalette::HighlightedText);
        const QRect row = list->visualRect(list->currentIndex());
        content.setFocus(Qt::TabFocusReason);
        const int listBefore = pixels(list, onSelection);
        list->setFocus(Qt::TabFocusReason);
        QVERIFY(pixels(list, onSelection) - listBefore >= row.width() + row.height());
        content.editShow(withCover);
        QTRY_VERIFY(content.editorSheet() && content.editorSheet()->isVisible());
        content.editorSheet()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(content.editorSheet()));
        QTRY_VERIFY(
            QApplication::focusWidget() && QApplication::focusWidget()->window() == content.editorSheet());
        auto* check = child<QWidget>(*content.editorSheet(), "autoYearCheck");
        check->setFocus(Qt::MouseFocusReason);
        const int checkBefore = pixels(check, Theme::accent());
        QTest::keyClick(check, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), check);
        QVERIFY(pixels(check, Theme::accent()) - checkBefore >= check->width());
        content.editorSheet()->reject();
        // An unticked box stands out on a dark card: Fusion's own edge is the card made darker.
        if (appearance == Theme::Appearance::Dark) {
            QCheckBox box(u"Use each file's name as the title"_s);
            QVERIFY(showExposed(box));
            QStyleOptionButton option;
            option.initFrom(&box);
            const QRect indicator = box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
            const QImage picture = box.grab(indicator).toImage();
            const QColor window = box.palette().color(QPalette::Window);
            const QColor base = box.palette().color(QPalette::Base);
            int edge = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QColor pixel = picture.pixelColor(x, y);
                    edge += colourDistance(pixel, window) > 90 && colourDistance(pixel, base) > 90;
                }
            QVERIFY2(edge >= 2 * indicator.width() * picture.devicePixelRatio(),
                qPrintable(QString::number(edge)));
        }
    }

    // The appearance follows the desktop portal: what it says at start, then every change.
    void followsTheDesktop()
    {
        QProcess bus;
        bus.start(u"dbus-daemon"_s, {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.waitForStarted() && bus.waitForReadyRead());
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        {
            QDBusConnection connection = QDBusConnection::connectToBus(address, u"desktop"_s);
            qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
            QVERIFY(QDBusConnection::sessionBus().isConnected());
            FakePortal portal;
            portal.scheme = 1;
            QVERIFY(connection.registerObject(u"/org/freedesktop/portal/desktop"_s, &portal,
                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
            QVERIFY(connection.registerService(u"org.freedesktop.portal.Desktop"_s));
            ContentView& content = view();
            const auto background = [&] {
                QCoreApplication::processEvents();
                return content.grab().toImage().pixelColor(5, 5).lightness();
            };
            QVERIFY(background() > 180);
            Desktop::followColourScheme(&content, Theme::current(), [](Theme::Appearance appearance) {
                if (appearance != Theme::current())
                    Theme::apply(appearance);
            });
            QTRY_COMPARE(Theme::current(), Theme::Appearance::Dark);
            QVERIFY(background() < 100);
            const auto announce = [&](uint scheme, const char* key = "color-scheme") {
                Q_EMIT portal.SettingChanged(
                    u"org.freedesktop.appearance"_s, QLatin1String(key), QDBusVariant(scheme));
            };
            announce(2, "contrast");
            QTest::qWait(100);
            QCOMPARE(Theme::current(), Theme::Appearance::Dark);
            announce(2);
            QTRY_COMPARE(Theme::current(), Theme::Appearance::Light);
            // "No preference" goes back to how the desktop looked at start: light here.
            announce(1);
            QTRY_COMPARE(Theme::current(), Theme::Appearance::Dark);
            announce(0);
            QTRY_COMPARE(Theme::current(), Theme::Appearance::Light);
        }
        QDBusConnection::disconnectFromBus(u"desktop"_s);
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_env->sessionBusAddress().toUtf8());
        bus.kill();
        bus.waitForFinished();
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
    std::unique_ptr<ContentView> m_view;
    Show m_a;
    Show m_b;
};

QTEST_MAIN(TestContentView)
#include "TestContentView.moc"
