#include "common/Accessibility.h"
#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "library/ShowStore.h"
#include "ui/Desktop.h"
#include "ui/ShowEditor.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <set>

namespace {

template <typename T> T* control(const ShowEditor& editor, const char* name)
{
    auto* widget = editor.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("The editor has no %s named %s", T::staticMetaObject.className(), name);
    return widget;
}

bool shown(const ShowEditor& editor, const char* name)
{
    return control<QWidget>(editor, name)->isVisibleTo(&editor);
}

QColor textColour(const QWidget* widget)
{
    return widget->palette().color(QPalette::WindowText);
}

// The action a menu path leads to, following submenus by their shown text.
QAction* menuItem(QMenu* menu, const QStringList& path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        QAction* found = nullptr;
        for (QAction* action : menu->actions())
            if (!action->isSeparator() && action->iconText() == path[i])
                found = action;
        if (!found)
            return nullptr;
        if (i == path.size() - 1)
            return found;
        menu = found->menu();
        if (!menu)
            return nullptr;
    }
    return nullptr;
}

QStringList itemTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            texts.append(action->iconText());
    return texts;
}

// A button's text as drawn: "&&" shows as "&", a lone "&" marks a shortcut letter.
QString withoutMnemonics(const QString& text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && ++i == text.size())
            break;
        shown.append(text[i]);
    }
    return shown;
}

int colourDistance(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

} // namespace

class TestShowEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_env.emplace();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Theme::apply(Theme::Appearance::Light);
    }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
        QDir().mkpath(m_case->filePath(QStringLiteral("images")));
        Desktop::setNextChoice(std::nullopt);
    }

    void cleanup()
    {
        m_store.reset();
        m_case.reset();
    }

    // A screen reader names every control, and every field's name labels it.
    void accessibleNames()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        editor.show();
        QVERIFY2(unnamedControls(&editor).isEmpty(), qPrintable(unnamedControls(&editor).join(u' ')));
        QCOMPARE(editor.findChild<QLineEdit*>(QStringLiteral("artistField"))->accessibleName(),
            QStringLiteral("Artist (TPE1)"));
        int buddies = 0;
        for (const QLabel* label : editor.findChildren<QLabel*>())
            buddies += label->buddy() != nullptr;
        QVERIFY2(buddies >= 12, qPrintable(QString::number(buddies)));
    }

    // Steps: "choose" and "drop" set an image as the cover, "remove" removes it.
    // After every step, the covers folder holds exactly the show's cover from when
    // the editor opened and the draft's, and after the last exactly the one kept.
    void coverFiles_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("finish");
        QTest::addColumn<QString>("kept");

        QTest::addRow("two images then cancel keeps the old cover")
            << QStringList {"choose", "choose"} << "cancel"
            << "original";
        QTest::addRow("new image then save deletes the old cover") << QStringList {"choose"} << "save"
                                                                   << "new";
        QTest::addRow("removing the old cover then cancel keeps it") << QStringList {"remove"} << "cancel"
                                                                     << "original";
        QTest::addRow("removing the old cover then save deletes it") << QStringList {"remove"} << "save"
                                                                     << "none";
        QTest::addRow("new image removed then cancel") << QStringList {"drop", "remove"} << "cancel"
                                                       << "original";
        QTest::addRow("new image removed then save") << QStringList {"choose", "remove"} << "save"
                                                     << "none";
        QTest::addRow("dropped image saved") << QStringList {"drop", "drop"} << "save"
                                             << "new";
        QTest::addRow("old cover removed, new one saved") << QStringList {"remove", "choose"} << "save"
                                                          << "new";
    }

    void coverFiles()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, finish);
        QFETCH(QString, kept);

        const Show show = showWithCover();
        const QString original = *show.coverFile;
        ShowEditor editor(*m_store, show, true);
        int image = 0;
        for (const QString& step : steps) {
            const QString path
                = imageFile(QStringLiteral("step%1.png").arg(image), QColor::fromHsv(image * 60, 200, 200));
            ++image;
            if (step == QLatin1String("choose")) {
                Desktop::setNextChoice(QList<QUrl> {QUrl::fromLocalFile(path)});
                control<QPushButton>(editor, "chooseImageButton")->click();
            } else if (step == QLatin1String("drop")) {
                drop(control<QWidget>(editor, "coverWell"), {QUrl::fromLocalFile(path)});
            } else {
                QVERIFY(shown(editor, "removeCoverButton"));
                control<QPushButton>(editor, "removeCoverButton")->click();
                QVERIFY(!editor.draft().coverFile);
                QVERIFY(!shown(editor, "removeCoverButton"));
            }
            std::set<QString> expected {original};
            if (editor.draft().coverFile)
                expected.insert(*editor.draft().coverFile);
            QCOMPARE(storedCovers(), expected);
        }

        const std::optional<QString> draftCover = editor.draft().coverFile;
        QSignalSpy finished(&editor, &ShowEditor::finished);
        if (finish == QLatin1String("save"))
            editor.save();
        else
            editor.cancel();
        QCOMPARE(finished.count(), 1);

        const std::optional<QString> stored = m_store->shows().constFirst().coverFile;
        if (kept == QLatin1String("original")) {
            QCOMPARE(stored, std::optional(original));
            QCOMPARE(storedCovers(), std::set<QString> {original});
        } else if (kept == QLatin1String("new")) {
            QVERIFY(draftCover && *draftCover != original);
            QCOMPARE(stored, draftCover);
            QCOMPARE(storedCovers(), std::set<QString> {*draftCover});
        } else {
            QCOMPARE(stored, std::nullopt);
            QCOMPARE(storedCovers(), std::set<QString> {});
        }
    }

    void coverSharedWithAnotherShowSurvivesSave()
    {
        const Show show = showWithCover();
        Show twin = m_store->add();
        twin.coverFile = show.coverFile;
        m_store->update(twin);

        ShowEditor editor(*m_store, show, true);
        control<QPushButton>(editor, "removeCoverButton")->click();
        editor.save();
        QCOMPARE(m_store->shows().constFirst().coverFile, std::nullopt);
        QCOMPARE(storedCovers(), std::set<QString> {*show.coverFile});
    }

    void cancelAfterSaveKeepsTheSavedCover()
    {
        const Show show = showWithCover();
        ShowEditor editor(*m_store, show, true);
        Desktop::setNextChoice(
            QList<QUrl> {QUrl::fromLocalFile(imageFile(QStringLiteral("new.png"), Qt::green))});
        control<QPushButton>(editor, "chooseImageButton")->click();
        QSignalSpy finished(&editor, &ShowEditor::finished);
        editor.save();
        editor.cancel();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(storedCovers(), std::set<QString> {*editor.draft().coverFile});
        QCOMPARE(m_store->shows().constFirst().coverFile, editor.draft().coverFile);
    }

    void coverThatIsNoImage()
    {
        const Show show = showWithCover();
        ShowEditor editor(*m_store, show, true);
        QVERIFY(!shown(editor, "coverError"));

        const QString text = m_case->filePath(QStringLiteral("images/notes.png"));
        QVERIFY(writeFile(text, "just some words, not a picture"));
        Desktop::setNextChoice(QList<QUrl> {QUrl::fromLocalFile(text)});
        control<QPushButton>(editor, "chooseImageButton")->click();

        auto* error = control<QLabel>(editor, "coverError");
        QVERIFY(shown(editor, "coverError"));
        QCOMPARE(error->text(), QStringLiteral("That file isn't an image Pelamo can read"));
        QCOMPARE(textColour(error), Theme::red());
        QCOMPARE(editor.draft().coverFile, show.coverFile);
        QCOMPARE(storedCovers(), std::set<QString> {*show.coverFile});

        // The next good image clears the message.
        drop(control<QWidget>(editor, "coverWell"),
            {QUrl::fromLocalFile(imageFile(QStringLiteral("ok.png"), Qt::blue))});
        QVERIFY(!shown(editor, "coverError"));
        QVERIFY(editor.draft().coverFile != show.coverFile);
    }

    void dropTakesTheFirstFile()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        auto* well = control<QWidget>(editor, "coverWell");
        const QString first = imageFile(QStringLiteral("first.png"), Qt::red);
        const QString second = imageFile(QStringLiteral("second.png"), Qt::blue);
        drop(well,
            {QUrl(QStringLiteral("https://example.com/x.png")), QUrl::fromLocalFile(first),
                QUrl::fromLocalFile(second)});
        QVERIFY(editor.draft().coverFile);
        const QImage stored(m_store->coversFolder() + u'/' + *editor.draft().coverFile);
        QCOMPARE(stored.pixelColor(5, 5), QColor(Qt::red));
        QCOMPARE(storedCovers().size(), size_t(1));
    }

    void dragHoverOutlinesTheWell()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        auto* well = control<QWidget>(editor, "coverWell");
        const QPoint edge(1, well->height() / 2);
        const QColor before = well->grab().toImage().pixelColor(edge);

        QMimeData words;
        words.setText(QStringLiteral("not a file"));
        QDragEnterEvent ignored(QPoint(40, 40), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(well, &ignored);
        QVERIFY(!ignored.isAccepted());
        QCOMPARE(well->grab().toImage().pixelColor(edge), before);

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(imageFile(QStringLiteral("a.png"), Qt::red))});
        QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(well, &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(colourDistance(well->grab().toImage().pixelColor(edge), Theme::accent()) < 30);

        QDragLeaveEvent leave;
        QApplication::sendEvent(well, &leave);
        QCOMPARE(well->grab().toImage().pixelColor(edge), before);
        QCOMPARE(editor.draft().coverFile, std::nullopt);
    }

    void canSave_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("fromFileName");
        QTest::addColumn<bool>("allowed");

        QTest::addRow("name and title") << "Weekly"
                                        << "Weekly Show" << false << true;
        QTest::addRow("empty name") << ""
                                    << "Weekly Show" << false << false;
        QTest::addRow("name of spaces and tabs") << " \t "
                                                 << "Weekly Show" << false << false;
        QTest::addRow("name of no-break spaces") << "\u00a0\u2003"
                                                 << "Weekly Show" << false << false;
        QTest::addRow("blank title") << "Weekly"
                                     << "  " << false << false;
        QTest::addRow("blank title from file names") << "Weekly"
                                                     << "" << true << true;
        QTest::addRow("newline is not a blank") << "Weekly"
                                                << "\n"
                                                << false << true;
    }

    void canSave()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(bool, fromFileName);
        QFETCH(bool, allowed);

        const Show show = m_store->add();
        ShowEditor editor(*m_store, show, true);
        control<QLineEdit>(editor, "nameField")->setText(name);
        control<QLineEdit>(editor, "titleField")->setText(title);
        control<QCheckBox>(editor, "titleFromFileNameCheck")->setChecked(fromFileName);

        QCOMPARE(editor.canSave(), allowed);
        QCOMPARE(control<QPushButton>(editor, "saveButton")->isEnabled(), allowed);
        QCOMPARE(shown(editor, "saveMessage"), !allowed);
        QCOMPARE(control<QLabel>(editor, "saveMessage")->text(),
            QStringLiteral("Give the show a name and a title (or use the file name)."));
        QCOMPARE(control<QLineEdit>(editor, "titleField")->isEnabled(), !fromFileName);
        QCOMPARE(control<QLabel>(editor, "headerName")->text(),
            name.isEmpty() ? QStringLiteral("New Show") : name);

        QSignalSpy finished(&editor, &ShowEditor::finished);
        editor.save();
        QCOMPARE(finished.count(), allowed ? 1 : 0);
        QCOMPARE(m_store->shows().constFirst() == show, !allowed);
    }

    void saveTrimsTheNameAndSelects()
    {
        const Show first = m_store->add();
        const Show second = m_store->add();
        m_store->setSelection(first.id);
        ShowEditor editor(*m_store, second, true);
        control<QLineEdit>(editor, "nameField")->setText(QStringLiteral(" \tWeekly Growth \t"));
        control<QLineEdit>(editor, "titleField")->setText(QStringLiteral("  Growth Weekly "));
        control<QLineEdit>(editor, "artistField")->setText(QStringLiteral("Ana"));
        QCOMPARE(control<QLabel>(editor, "headerName")->text(), QStringLiteral(" \tWeekly Growth \t"));

        editor.save();
        QCOMPARE(m_store->selection(), std::optional(second.id));
        const Show saved = m_store->shows().at(1);
        QCOMPARE(saved.name, QStringLiteral("Weekly Growth"));
        QCOMPARE(saved.title, QStringLiteral("  Growth Weekly "));
        QCOMPARE(saved.artist, QStringLiteral("Ana"));
        QCOMPARE(m_store->shows().constFirst(), first);
        // The library on disk has it too.
        ShowStore reopened(m_store->folder(), m_case->filePath(QStringLiteral("no-seed")));
        QCOMPARE(reopened.shows().at(1), saved);
    }

    void cancelChangesNothing()
    {
        const Show show = m_store->add();
        ShowEditor editor(*m_store, show, true);
        control<QLineEdit>(editor, "nameField")->setText(QStringLiteral("Other"));
        control<QCheckBox>(editor, "writeID3v1Check")->setChecked(false);
        QSignalSpy changed(m_store.get(), &ShowStore::changed);
        editor.cancel();
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_store->shows().constFirst(), show);
    }

    void descriptionCounter_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<qsizetype>("characters");
        QTest::addColumn<QString>("counter");
        QTest::addColumn<QString>("colour");

        QTest::addRow("empty") << QString() << qsizetype(0) << "0 / 4,000"
                               << "secondary";
        QTest::addRow("at the warning line") << QString(3700, u'a') << qsizetype(3700) << "3,700 / 4,000"
                                             << "secondary";
        QTest::addRow("past the warning line") << QString(3701, u'a') << qsizetype(3701) << "3,701 / 4,000"
                                               << "orange";
        QTest::addRow("one short of the limit") << QString(3999, u'a') << qsizetype(3999) << "3,999 / 4,000"
                                                << "orange";
        QTest::addRow("at the limit") << QString(4000, u'a') << qsizetype(4000) << "4,000 / 4,000"
                                      << "red";
        QTest::addRow("5,000 pasted") << QString(5000, u'a') << qsizetype(4000) << "4,000 / 4,000"
                                      << "red";
        QTest::addRow("accents count as one")
            << QStringLiteral("e\u0301").repeated(4500) << qsizetype(4000) << "4,000 / 4,000"
            << "red";
        QTest::addRow("emoji count as one") << QStringLiteral("\U0001F469\u200D\U0001F4BB").repeated(4001)
                                            << qsizetype(4000) << "4,000 / 4,000"
                                            << "red";
    }

    void descriptionCounter()
    {
        QFETCH(QString, pasted);
        QFETCH(qsizetype, characters);
        QFETCH(QString, counter);
        QFETCH(QString, colour);

        ShowEditor editor(*m_store, m_store->add(), true);
        auto* description = control<QPlainTextEdit>(editor, "descriptionEdit");
        description->insertPlainText(pasted);

        QCOMPARE(Show::characterCount(editor.draft().description), characters);
        QVERIFY(pasted.startsWith(editor.draft().description));
        QCOMPARE(description->toPlainText(), editor.draft().description);
        auto* label = control<QLabel>(editor, "descriptionCounter");
        QCOMPARE(label->text(), counter);
        const QColor expected = colour == QLatin1String("red") ? Theme::red()
            : colour == QLatin1String("orange")                ? Theme::orange()
                                                               : Theme::secondary();
        QCOMPARE(textColour(label), expected);
    }

    void descriptionCutKeepsTheCursorAndTheStart()
    {
        Show show = m_store->add();
        show.description = QString(4000, u'b');
        ShowEditor editor(*m_store, show, true);
        auto* description = control<QPlainTextEdit>(editor, "descriptionEdit");
        QTextCursor cursor = description->textCursor();
        cursor.setPosition(0);
        description->setTextCursor(cursor);
        QTest::keyClicks(description, QStringLiteral("Hi"));
        QCOMPARE(editor.draft().description, QStringLiteral("Hi") + QString(3998, u'b'));
        QCOMPARE(description->textCursor().position(), 2);
    }

    void storedLongDescriptionIsKeptUntilEdited()
    {
        Show show = m_store->add();
        show.title = QStringLiteral("Weekly");
        show.description = QString(4500, u'c') + QStringLiteral("\u00a0end");
        ShowEditor editor(*m_store, show, true);
        QCOMPARE(editor.draft().description, show.description);
        QCOMPARE(control<QLabel>(editor, "descriptionCounter")->text(), QStringLiteral("4,504 / 4,000"));
        editor.save();
        QCOMPARE(m_store->shows().constFirst().description, show.description);
    }

    void editingKeepsNoBreakSpacesAndLines()
    {
        Show show = m_store->add();
        show.comment = QStringLiteral("one\u00a0two\nthree");
        ShowEditor editor(*m_store, show, true);
        auto* comment = control<QPlainTextEdit>(editor, "commentEdit");
        comment->moveCursor(QTextCursor::End);
        QTest::keyClicks(comment, QStringLiteral("!"));
        QCOMPARE(editor.draft().comment, QStringLiteral("one\u00a0two\nthree!"));
    }

    void kindSwitchKeepsValues()
    {
        Show show = m_store->add();
        show.title = QStringLiteral("Weekly");
        show.category = QStringLiteral("Arts/Books");
        show.description = QStringLiteral("About books");
        show.keywords = QStringLiteral("reading");
        show.composer = QStringLiteral("Clara");
        ShowEditor editor(*m_store, show, true);

        QVERIFY(shown(editor, "podcastSection"));
        QVERIFY(shown(editor, "descriptionBox"));
        QVERIFY(!shown(editor, "composerField"));
        QCOMPARE(control<QLineEdit>(editor, "genreField")->placeholderText(), QStringLiteral("Podcast"));

        control<QAbstractButton>(editor, "musicButton")->click();
        QCOMPARE(editor.draft().kind, Show::Kind::Music);
        QVERIFY(!shown(editor, "podcastSection"));
        QVERIFY(!shown(editor, "descriptionBox"));
        QVERIFY(shown(editor, "composerField"));
        QCOMPARE(control<QLineEdit>(editor, "genreField")->placeholderText(), QString());
        QCOMPARE(control<QCheckBox>(editor, "titleFromFileNameCheck")->text(),
            QStringLiteral("Use each file's name as the title (song title)"));

        control<QAbstractButton>(editor, "podcastButton")->click();
        QVERIFY(shown(editor, "podcastSection"));
        QVERIFY(!shown(editor, "composerField"));
        QCOMPARE(control<QPlainTextEdit>(editor, "descriptionEdit")->toPlainText(), show.description);
        QCOMPARE(control<QLineEdit>(editor, "keywordsField")->text(), show.keywords);
        QCOMPARE(control<QToolButton>(editor, "categoryMenu")->text(), QStringLiteral("Arts › Books"));

        control<QAbstractButton>(editor, "musicButton")->click();
        editor.save();
        Show expected = show;
        expected.kind = Show::Kind::Music;
        QCOMPARE(m_store->shows().constFirst(), expected);
    }

    void categoryMenu_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("title");

        QTest::addRow("subcategory") << QStringList {"Arts", "Books"} << "Arts/Books"
                                     << "Arts › Books";
        QTest::addRow("main category of a submenu")
            << QStringList {"Business", "Business (main category)"} << "Business"
            << "Business";
        QTest::addRow("plain main category") << QStringList {"History"} << "History"
                                             << "History";
        QTest::addRow("ampersands") << QStringList {"Health & Fitness", "Mental Health"}
                                    << "Health & Fitness/Mental Health"
                                    << "Health & Fitness › Mental Health";
        QTest::addRow("none") << QStringList {"None"} << ""
                              << "None";
    }

    void categoryMenu()
    {
        QFETCH(QStringList, path);
        QFETCH(QString, stored);
        QFETCH(QString, title);

        Show show = m_store->add();
        show.category = QStringLiteral("News/Politics");
        ShowEditor editor(*m_store, show, true);
        auto* button = control<QToolButton>(editor, "categoryMenu");
        QAction* action = menuItem(button->menu(), path);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(editor.draft().category, stored);
        QCOMPARE(withoutMnemonics(button->text()), title);
        // The choice is ticked, and so is the submenu it is in; nothing else is.
        QStringList ticked;
        const std::function<void(QMenu*)> collect = [&](QMenu* menu) {
            for (QAction* item : menu->actions()) {
                if (item->isChecked())
                    ticked.append(withoutMnemonics(item->text()));
                if (item->menu())
                    collect(item->menu());
            }
        };
        collect(button->menu());
        QCOMPARE(ticked, path);
    }

    // Description and comment wrap, also at a word longer than the field is wide.
    void textAreasWrap()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        editor.resize(580, 700);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        for (const char* name : {"descriptionEdit", "commentEdit"}) {
            auto* area = control<QPlainTextEdit>(editor, name);
            area->setPlainText(QStringLiteral("See https://example.org/") + QString(300, u'x'));
            QCoreApplication::processEvents();
            QVERIFY2(!area->horizontalScrollBar()->isVisible(), name);
            QVERIFY2(area->document()->lineCount() > 2, name);
        }
    }

    void categoryMenuOrder()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        QMenu* menu = control<QToolButton>(editor, "categoryMenu")->menu();
        QStringList expected {QStringLiteral("None")};
        for (const auto& entry : Show::appleCategories())
            expected.append(entry.first);
        QCOMPARE(itemTexts(menu), expected);
        QVERIFY(menu->actions().at(1)->isSeparator());
        QMenu* science = menuItem(menu, {QStringLiteral("Science")})->menu();
        QVERIFY(science);
        QCOMPARE(itemTexts(science).size(), 10);
        QCOMPARE(itemTexts(science).first(), QStringLiteral("Science (main category)"));
        QVERIFY(science->actions().at(1)->isSeparator());
    }

    void suggestions()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        QMenu* menu = control<QToolButton>(editor, "suggestionsMenu")->menu();
        QCOMPARE(itemTexts(menu), QStringList {QStringLiteral("Podcast")});
        control<QAbstractButton>(editor, "musicButton")->click();
        QCOMPARE(itemTexts(menu), Show::musicGenres());

        menuItem(menu, {QStringLiteral("R&B")})->trigger();
        QCOMPARE(editor.draft().genre, QStringLiteral("R&B"));
        QCOMPARE(control<QLineEdit>(editor, "genreField")->text(), QStringLiteral("R&B"));
    }

    void yearFollowsAutoYear()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        auto* year = control<QLineEdit>(editor, "yearField");
        QVERIFY(!year->isEnabled());
        // This year, shown as a placeholder; the stored year is kept for later.
        QCOMPARE(year->text(), QString());
        QCOMPARE(year->placeholderText(), QString::number(QDate::currentDate().year()));
        const QString stored = editor.draft().year;
        control<QCheckBox>(editor, "autoYearCheck")->setChecked(false);
        QVERIFY(year->isEnabled());
        QVERIFY(!editor.draft().autoYear);
        QCOMPARE(year->text(), stored);
        QCOMPARE(year->placeholderText(), QString());
    }

    void id3v1Preview()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        const auto values = [&] {
            QStringList shown;
            for (QLabel* label : control<QWidget>(editor, "id3v1Preview")->findChildren<QLabel*>())
                shown.append(label->text());
            return shown;
        };
        QVERIFY(values().contains(QStringLiteral("—")));
        control<QLineEdit>(editor, "artistField")->setText(QStringLiteral("Ana María"));
        control<QLineEdit>(editor, "genreField")->setText(QStringLiteral("Podcast"));
        QStringList expected;
        for (const Show::Row& row : editor.draft().id3v1Rows())
            expected << row.label << (row.value.isEmpty() ? QStringLiteral("—") : row.value);
        QCOMPARE(values(), expected);
        QVERIFY(expected.contains(QStringLiteral("Ana María")));

        auto* check = control<QCheckBox>(editor, "writeID3v1Check");
        for (bool on : {false, true}) {
            check->setChecked(on);
            QCOMPARE(editor.draft().writeID3v1, on);
            for (const char* name : {"id3v1Intro", "id3v1Preview", "id3v1Outro"})
                QCOMPARE(shown(editor, name), on);
        }
    }

    void keys()
    {
        const Show show = m_store->add();
        ShowEditor editor(*m_store, show, true);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QSignalSpy finished(&editor, &ShowEditor::finished);

        // Return in a text area is a new line; with no title it can't save either.
        auto* description = control<QPlainTextEdit>(editor, "descriptionEdit");
        QTest::keyClick(description, Qt::Key_A);
        QTest::keyClick(description, Qt::Key_Return);
        QTest::keyClick(description, Qt::Key_B);
        QCOMPARE(editor.draft().description, QStringLiteral("a\nb"));
        auto* title = control<QLineEdit>(editor, "titleField");
        QTest::keyClick(title, Qt::Key_Return);
        QCOMPARE(finished.count(), 0);

        QTest::keyClicks(title, QStringLiteral("Episode"));
        QTest::keyClick(description, Qt::Key_Return);
        QCOMPARE(finished.count(), 0);
        QTest::keyClick(title, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_store->shows().constFirst().title, QStringLiteral("Episode"));
    }

    void escapeCancels()
    {
        const Show show = showWithCover();
        ShowEditor editor(*m_store, show, true);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        drop(control<QWidget>(editor, "coverWell"),
            {QUrl::fromLocalFile(imageFile(QStringLiteral("x.png"), Qt::red))});
        QSignalSpy finished(&editor, &ShowEditor::finished);
        QTest::keyClick(control<QPlainTextEdit>(editor, "commentEdit"), Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(storedCovers(), std::set<QString> {*show.coverFile});
    }

    void tabReachesEveryControlInOrder()
    {
        ShowEditor editor(*m_store, showWithCover(), true);
        const QStringList expected {"podcastButton", "musicButton", "nameField", "chooseImageButton",
            "removeCoverButton", "titleField", "titleFromFileNameCheck", "artistField", "albumArtistField",
            "albumField", "composerField", "genreField", "suggestionsMenu", "yearField", "autoYearCheck",
            "languageField", "publisherField", "copyrightField", "categoryMenu", "keywordsField",
            "feedURLField", "podcastFlagCheck", "descriptionEdit", "commentEdit", "writeID3v1Check",
            "cancelButton", "saveButton"};
        QStringList chain;
        for (QWidget* widget = editor.nextInFocusChain(); widget != &editor;
             widget = widget->nextInFocusChain())
            if ((widget->focusPolicy() & Qt::TabFocus) && expected.contains(widget->objectName()))
                chain.append(widget->objectName());
        QCOMPARE(chain, expected);
    }

    void sizes()
    {
        ShowEditor sheet(*m_store, m_store->add(), true);
        QCOMPARE(sheet.sizeHint(), QSize(580, 760));

        Show show = m_store->add();
        ShowEditor podcast(*m_store, show, false);
        show.kind = Show::Kind::Music;
        ShowEditor music(*m_store, show, false);
        QCOMPARE(podcast.sizeHint().width(), 580);
        // The music form lacks the Podcast section and the description box.
        QVERIFY(music.sizeHint().height() < podcast.sizeHint().height() - 150);
    }

    void render_data()
    {
        QTest::addColumn<Theme::Appearance>("appearance");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("filledIn");
        QTest::addColumn<int>("minimumHeight");
        QTest::addRow("light") << Theme::Appearance::Light << "/tmp/pelamo-editor-light.png" << true << 1200;
        QTest::addRow("dark") << Theme::Appearance::Dark << "/tmp/pelamo-editor-dark.png" << true << 1200;
        QTest::addRow("empty music show")
            << Theme::Appearance::Dark << "/tmp/pelamo-editor-music-dark.png" << false << 900;
    }

    void render()
    {
        QFETCH(Theme::Appearance, appearance);
        QFETCH(QString, file);
        QFETCH(bool, filledIn);
        QFETCH(int, minimumHeight);
        Theme::apply(appearance);

        Show show = filledIn ? showWithCover() : m_store->add();
        show.name = QStringLiteral("Growth Weekly");
        show.title = QStringLiteral("Growth Weekly with Ana");
        show.artist = QStringLiteral("Ana Martín");
        show.albumArtist = QStringLiteral("Ana Martín");
        show.album = QStringLiteral("Growth Weekly");
        show.genre = QStringLiteral("Podcast");
        show.language = QStringLiteral("eng");
        show.publisher = QStringLiteral("Vantorel Media");
        show.copyright = QStringLiteral("© 2026 Vantorel Media");
        show.category = QStringLiteral("Business/Marketing");
        show.keywords = QStringLiteral("marketing, growth");
        show.description
            = QStringLiteral("Every week, one idea that moved a real business forward. ").repeated(70);
        show.comment = QStringLiteral("Recorded in Lisbon.");
        if (!filledIn) {
            show = m_store->add();
            show.kind = Show::Kind::Music;
            show.name.clear();
            show.genre = QStringLiteral("Chiptune");
        }
        ShowEditor editor(*m_store, show, false);
        editor.resize(editor.sizeHint());
        const QImage picture = editor.grab().toImage();
        Theme::apply(Theme::Appearance::Light);

        QCOMPARE(picture.size(), editor.sizeHint() * editor.devicePixelRatioF());
        QVERIFY(picture.height() > minimumHeight);
        // Nothing of the form is cut off at the bottom.
        auto* save = control<QWidget>(editor, "saveButton");
        QVERIFY(save->mapTo(&editor, QPoint(0, save->height())).y() <= editor.height() - 14);
        std::set<QRgb> colours;
        for (int y = 0; y < picture.height(); y += 7)
            for (int x = 0; x < picture.width(); x += 5)
                colours.insert(picture.pixel(x, y));
        QVERIFY(colours.size() > 100);
        QVERIFY(picture.save(file));

        Theme::apply(appearance);
        ShowEditor sheet(*m_store, show, true);
        sheet.resize(sheet.sizeHint());
        const QImage sheetPicture = sheet.grab().toImage();
        Theme::apply(Theme::Appearance::Light);
        QCOMPARE(sheetPicture.size(), QSize(580, 760) * sheet.devicePixelRatioF());
        QVERIFY(sheetPicture.save(
            QString(file).replace(QStringLiteral("editor"), QStringLiteral("editor-sheet"))));
    }

private:
    Show showWithCover()
    {
        Show show = m_store->add();
        show.title = QStringLiteral("Weekly");
        const auto imported
            = m_store->importCover(imageFile(QStringLiteral("original.jpg"), Qt::darkCyan), show);
        show.coverFile = std::get<QString>(imported);
        m_store->update(show);
        return show;
    }

    QString imageFile(const QString& name, const QColor& colour)
    {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = m_case->filePath(QStringLiteral("images/") + name);
        if (!image.save(path))
            qFatal("Can't write a test image");
        return path;
    }

    std::set<QString> storedCovers() const
    {
        std::set<QString> files;
        for (const QString& name : QDir(m_store->coversFolder()).entryList(QDir::Files))
            files.insert(name);
        return files;
    }

    static void drop(QWidget* well, const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(well, &enter);
        QDropEvent dropped(QPointF(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(well, &dropped);
        QVERIFY(dropped.isAccepted());
    }

    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
};

QTEST_MAIN(TestShowEditor)
#include "TestShowEditor.moc"
