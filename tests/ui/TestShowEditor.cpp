#include "common/Accessibility.h"
#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "common/UiTest.h"
#include "library/ShowStore.h"
#include "ui/Desktop.h"
#include "ui/ShowEditor.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>

#include <memory>
#include <set>

namespace {

bool shown(const ShowEditor& editor, const char* name)
{
    return child<QWidget>(editor, name)->isVisibleTo(&editor);
}

// The action a menu path leads to, following submenus by their shown text.
QAction* menuItem(QMenu* menu, const QStringList& path)
{
    QAction* found = nullptr;
    for (const QString& step : path) {
        if (found && !(menu = found->menu()))
            return nullptr;
        found = nullptr;
        for (QAction* action : menu->actions())
            if (!action->isSeparator() && action->iconText() == step)
                found = action;
        if (!found)
            return nullptr;
    }
    return found;
}

QStringList itemTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            texts.append(action->iconText());
    return texts;
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

    // Steps change the cover ("choose", "drop", "notimage", "remove") or end the edit
    // ("save", "cancel", "escape"). Until the end the covers folder holds exactly the
    // show's cover from when the editor opened and the draft's; after it, the one kept.
    void coverFiles_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("kept");
        QTest::addRow("cancel at once") << QStringList {"cancel"} << "original";
        QTest::addRow("two images, cancel") << QStringList {"choose", "choose", "cancel"} << "original";
        QTest::addRow("new image, save") << QStringList {"choose", "save"} << "new";
        QTest::addRow("old cover removed, cancel") << QStringList {"remove", "cancel"} << "original";
        QTest::addRow("old cover removed, save") << QStringList {"remove", "save"} << "none";
        QTest::addRow("new image removed, cancel") << QStringList {"drop", "remove", "cancel"} << "original";
        QTest::addRow("new image removed, save") << QStringList {"choose", "remove", "save"} << "none";
        QTest::addRow("dropped twice, save") << QStringList {"drop", "drop", "save"} << "new";
        QTest::addRow("old removed, new saved") << QStringList {"remove", "choose", "save"} << "new";
        QTest::addRow("cancel after save") << QStringList {"choose", "save", "cancel"} << "new";
        QTest::addRow("escape") << QStringList {"drop", "escape"} << "original";
        QTest::addRow("no image, then one") << QStringList {"notimage", "drop", "save"} << "new";
    }

    void coverFiles()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, kept);

        const Show show = showWithCover();
        const QString original = *show.coverFile;
        ShowEditor editor(*m_store, show, true);
        child<QLineEdit>(editor, "nameField")->setText(QStringLiteral("Other"));
        child<QCheckBox>(editor, "writeID3v1Check")->setChecked(false);
        QSignalSpy finished(&editor, &ShowEditor::finished);
        QSignalSpy changed(m_store.get(), &ShowStore::changed);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString& step = steps[i];
            const std::optional<QString> before = editor.draft().coverFile;
            const QColor colour = QColor::fromHsv(int(i) * 60, 200, 200);
            const QString path = imageFile(QStringLiteral("step%1.png").arg(i), colour);
            if (step == QLatin1String("choose") || step == QLatin1String("notimage")) {
                if (step == QLatin1String("notimage"))
                    QVERIFY(writeFile(path, "just some words, not a picture"));
                Desktop::setNextChoice(QList<QUrl> {QUrl::fromLocalFile(path)});
                child<QPushButton>(editor, "chooseImageButton")->click();
            } else if (step == QLatin1String("drop")) {
                // A drop takes its first local file.
                QVERIFY(dropUrls(child<QWidget>(editor, "coverWell"),
                    {QUrl(QStringLiteral("https://example.com/x.png")), QUrl::fromLocalFile(path),
                        QUrl::fromLocalFile(imageFile(QStringLiteral("second.png"), Qt::black))}));
            } else if (step == QLatin1String("remove")) {
                QVERIFY(shown(editor, "removeCoverButton"));
                child<QPushButton>(editor, "removeCoverButton")->click();
                QVERIFY(!editor.draft().coverFile);
                QVERIFY(!shown(editor, "removeCoverButton"));
            } else if (step == QLatin1String("escape")) {
                QVERIFY(showExposed(editor));
                QTest::keyClick(child<QPlainTextEdit>(editor, "commentEdit"), Qt::Key_Escape);
            } else if (step == QLatin1String("save")) {
                editor.save();
            } else {
                editor.cancel();
            }

            if (step == QLatin1String("notimage")) {
                auto* error = child<QLabel>(editor, "coverError");
                QVERIFY(shown(editor, "coverError"));
                QCOMPARE(error->text(), QStringLiteral("That file isn't an image Pelamo can read"));
                QCOMPARE(textColour(error), Theme::red());
                QCOMPARE(editor.draft().coverFile, before);
            } else if (step == QLatin1String("choose") || step == QLatin1String("drop")) {
                QVERIFY(!shown(editor, "coverError"));
                QVERIFY(editor.draft().coverFile && editor.draft().coverFile != before);
                const QImage stored(m_store->coversFolder() + u'/' + *editor.draft().coverFile);
                QVERIFY(colourDistance(stored.pixelColor(5, 5), colour) < 30);
            }
            if (finished.isEmpty()) {
                std::set<QString> expected {original};
                if (editor.draft().coverFile)
                    expected.insert(*editor.draft().coverFile);
                QCOMPARE(storedCovers(), expected);
            }
        }

        QCOMPARE(finished.count(), 1);
        const Show stored = m_store->shows().constFirst();
        const std::optional<QString> draft = editor.draft().coverFile;
        if (kept == QLatin1String("original")) {
            QCOMPARE(changed.count(), 0);
            QCOMPARE(stored, show);
            QCOMPARE(storedCovers(), std::set<QString> {original});
        } else if (kept == QLatin1String("new")) {
            QVERIFY(draft && *draft != original);
            QCOMPARE(stored.coverFile, draft);
            QCOMPARE(storedCovers(), std::set<QString> {*draft});
        } else {
            QCOMPARE(stored.coverFile, std::nullopt);
            QCOMPARE(storedCovers(), std::set<QString> {});
        }
        if (kept != QLatin1String("original"))
            QCOMPARE(stored.name, QStringLiteral("Other"));
    }

    void coverSharedWithAnotherShowSurvivesSave()
    {
        const Show show = showWithCover();
        Show twin = m_store->add();
        twin.coverFile = show.coverFile;
        m_store->update(twin);

        ShowEditor editor(*m_store, show, true);
        child<QPushButton>(editor, "removeCoverButton")->click();
        editor.save();
        QCOMPARE(m_store->shows().constFirst().coverFile, std::nullopt);
        QCOMPARE(storedCovers(), std::set<QString> {*show.coverFile});
    }

    void dragHoverOutlinesTheWell()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        auto* well = child<QWidget>(editor, "coverWell");
        const QPoint edge(1, well->height() / 2);
        const QColor before = well->grab().toImage().pixelColor(edge);

        QMimeData words;
        words.setText(QStringLiteral("not a file"));
        QVERIFY(!dragEnter(well, words));
        QCOMPARE(well->grab().toImage().pixelColor(edge), before);

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(imageFile(QStringLiteral("a.png"), Qt::red))});
        QVERIFY(dragEnter(well, files));
        QVERIFY(colourDistance(well->grab().toImage().pixelColor(edge), Theme::accent()) < 30);

        QDragLeaveEvent leave;
        QApplication::sendEvent(well, &leave);
        QCOMPARE(well->grab().toImage().pixelColor(edge), before);
        QCOMPARE(editor.draft().coverFile, std::nullopt);
    }

    void canSave_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fromFileName");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("allowed");
        QTest::addRow("name and title") << "Weekly" << false << "Weekly Show" << true;
        QTest::addRow("empty name") << "" << false << "Weekly Show" << false;
        QTest::addRow("name of spaces and tabs") << " \t " << false << "Weekly Show" << false;
        QTest::addRow("name of no-break spaces") << "\u00a0\u2003" << false << "Weekly Show" << false;
        QTest::addRow("blank title") << "Weekly" << false << "  " << false;
        QTest::addRow("blank title from file names") << "Weekly" << true << "" << true;
        QTest::addRow("newline is not a blank") << "Weekly" << false << "\n" << true;
    }

    void canSave()
    {
        QFETCH(QString, name);
        QFETCH(bool, fromFileName);
        QFETCH(QString, title);
        QFETCH(bool, allowed);

        const Show show = m_store->add();
        ShowEditor editor(*m_store, show, true);
        child<QLineEdit>(editor, "nameField")->setText(name);
        child<QLineEdit>(editor, "titleField")->setText(title);
        child<QCheckBox>(editor, "titleFromFileNameCheck")->setChecked(fromFileName);

        QCOMPARE(editor.canSave(), allowed);
        QCOMPARE(child<QPushButton>(editor, "saveButton")->isEnabled(), allowed);
        QCOMPARE(shown(editor, "saveMessage"), !allowed);
        QCOMPARE(child<QLabel>(editor, "saveMessage")->text(),
            QStringLiteral("Give the show a name and a title (or use the file name)."));
        QCOMPARE(child<QLineEdit>(editor, "titleField")->isEnabled(), !fromFileName);
        QCOMPARE(
            child<QLabel>(editor, "headerName")->text(), name.isEmpty() ? QStringLiteral("New Show") : name);

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
        child<QLineEdit>(editor, "nameField")->setText(QStringLiteral(" \tWeekly Growth \t"));
        child<QLineEdit>(editor, "titleField")->setText(QStringLiteral("  Growth Weekly "));
        child<QLineEdit>(editor, "artistField")->setText(QStringLiteral("Ana"));
        QCOMPARE(child<QLabel>(editor, "headerName")->text(), QStringLiteral(" \tWeekly Growth \t"));

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

    void descriptionCounter_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("counter");
        QTest::addColumn<QColor>("colour");
        QTest::addRow("empty") << QString() << "0 / 4,000" << Theme::secondary();
        QTest::addRow("at the warning line") << QString(3700, u'a') << "3,700 / 4,000" << Theme::secondary();
        QTest::addRow("past the warning line") << QString(3701, u'a') << "3,701 / 4,000" << Theme::orange();
        QTest::addRow("one short of the limit") << QString(3999, u'a') << "3,999 / 4,000" << Theme::orange();
        QTest::addRow("at the limit") << QString(4000, u'a') << "4,000 / 4,000" << Theme::red();
        QTest::addRow("5,000 pasted") << QString(5000, u'a') << "4,000 / 4,000" << Theme::red();
        QTest::addRow("accents count as one")
            << QStringLiteral("e\u0301").repeated(4500) << "4,000 / 4,000" << Theme::red();
        QTest::addRow("emoji count as one")
            << QStringLiteral("\U0001F469\u200D\U0001F4BB").repeated(4001) << "4,000 / 4,000" << Theme::red();
    }

    void descriptionCounter()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, counter);
        QFETCH(QColor, colour);

        ShowEditor editor(*m_store, m_store->add(), true);
        auto* description = child<QPlainTextEdit>(editor, "descriptionEdit");
        description->insertPlainText(pasted);
        QVERIFY(pasted.startsWith(editor.draft().description));
        QCOMPARE(description->toPlainText(), editor.draft().description);
        auto* label = child<QLabel>(editor, "descriptionCounter");
        QCOMPARE(label->text(), counter);
        QCOMPARE(textColour(label), colour);
    }

    // A stored description over the limit is kept until edited; typing at the start of
    // a full one cuts its end and keeps the cursor; no-break spaces and lines stay.
    void textEditing()
    {
        Show show = m_store->add();
        show.title = QStringLiteral("Weekly");
        show.description = QString(4500, u'c') + QStringLiteral("\u00a0end");
        show.comment = QStringLiteral("one\u00a0two\nthree");
        ShowEditor editor(*m_store, show, true);
        QCOMPARE(editor.draft().description, show.description);
        QCOMPARE(child<QLabel>(editor, "descriptionCounter")->text(), QStringLiteral("4,504 / 4,000"));
        auto* comment = child<QPlainTextEdit>(editor, "commentEdit");
        comment->moveCursor(QTextCursor::End);
        QTest::keyClicks(comment, QStringLiteral("!"));
        QCOMPARE(editor.draft().comment, QStringLiteral("one\u00a0two\nthree!"));
        editor.save();
        QCOMPARE(m_store->shows().constFirst().description, show.description);

        show.description = QString(4000, u'b');
        ShowEditor full(*m_store, show, true);
        auto* description = child<QPlainTextEdit>(full, "descriptionEdit");
        description->moveCursor(QTextCursor::Start);
        QTest::keyClicks(description, QStringLiteral("Hi"));
        QCOMPARE(full.draft().description, QStringLiteral("Hi") + QString(3998, u'b'));
        QCOMPARE(description->textCursor().position(), 2);
    }

    // Switching kind shows the kind's own fields and suggestions, and keeps every value.
    void kindSwitchKeepsValues()
    {
        Show show = m_store->add();
        show.title = QStringLiteral("Weekly");
        show.category = QStringLiteral("Arts/Books");
        show.description = QStringLiteral("About books");
        show.keywords = QStringLiteral("reading");
        show.composer = QStringLiteral("Clara");
        ShowEditor editor(*m_store, show, true);
        QMenu* suggestions = child<QToolButton>(editor, "suggestionsMenu")->menu();

        QVERIFY(shown(editor, "podcastSection"));
        QVERIFY(shown(editor, "descriptionBox"));
        QVERIFY(!shown(editor, "composerField"));
        QCOMPARE(child<QLineEdit>(editor, "genreField")->placeholderText(), QStringLiteral("Podcast"));
        QCOMPARE(itemTexts(suggestions), QStringList {QStringLiteral("Podcast")});

        child<QAbstractButton>(editor, "musicButton")->click();
        QCOMPARE(editor.draft().kind, Show::Kind::Music);
        QVERIFY(!shown(editor, "podcastSection"));
        QVERIFY(!shown(editor, "descriptionBox"));
        QVERIFY(shown(editor, "composerField"));
        QCOMPARE(child<QLineEdit>(editor, "genreField")->placeholderText(), QString());
        QCOMPARE(child<QCheckBox>(editor, "titleFromFileNameCheck")->text(),
            QStringLiteral("Use each file's name as the title (song title)"));
        QCOMPARE(itemTexts(suggestions), Show::musicGenres());

        child<QAbstractButton>(editor, "podcastButton")->click();
        QVERIFY(shown(editor, "podcastSection"));
        QVERIFY(!shown(editor, "composerField"));
        QCOMPARE(child<QPlainTextEdit>(editor, "descriptionEdit")->toPlainText(), show.description);
        QCOMPARE(child<QLineEdit>(editor, "keywordsField")->text(), show.keywords);
        QCOMPARE(child<QToolButton>(editor, "categoryMenu")->text(), QStringLiteral("Arts › Books"));

        child<QAbstractButton>(editor, "musicButton")->click();
        menuItem(suggestions, {QStringLiteral("R&B")})->trigger();
        QCOMPARE(child<QLineEdit>(editor, "genreField")->text(), QStringLiteral("R&B"));
        editor.save();
        Show expected = show;
        expected.kind = Show::Kind::Music;
        expected.genre = QStringLiteral("R&B");
        QCOMPARE(m_store->shows().constFirst(), expected);
    }

    void categoryMenu_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("title");
        QTest::addRow("subcategory") << "Arts/Books" << QStringList {"Arts", "Books"} << "Arts › Books";
        QTest::addRow("main category of a submenu")
            << "Business" << QStringList {"Business", "Business (main category)"} << "Business";
        QTest::addRow("plain main category") << "History" << QStringList {"History"} << "History";
        QTest::addRow("ampersands") << "Health & Fitness/Mental Health"
                                    << QStringList {"Health & Fitness", "Mental Health"}
                                    << "Health & Fitness › Mental Health";
        QTest::addRow("none") << "" << QStringList {"None"} << "None";
    }

    void categoryMenu()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, path);
        QFETCH(QString, title);

        Show show = m_store->add();
        show.category = QStringLiteral("News/Politics");
        ShowEditor editor(*m_store, show, true);
        auto* button = child<QToolButton>(editor, "categoryMenu");
        QAction* action = menuItem(button->menu(), path);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(editor.draft().category, stored);
        QCOMPARE(button->text(), QString(title).replace(u'&', QStringLiteral("&&")));
        // The choice is ticked, and so is the submenu it is in; nothing else is.
        QStringList ticked;
        const std::function<void(QMenu*)> collect = [&](QMenu* menu) {
            for (QAction* item : menu->actions()) {
                if (item->isChecked())
                    ticked.append(item->iconText());
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
        QVERIFY(showExposed(editor));
        for (const char* name : {"descriptionEdit", "commentEdit"}) {
            auto* area = child<QPlainTextEdit>(editor, name);
            area->setPlainText(QStringLiteral("See https://example.org/") + QString(300, u'x'));
            QCoreApplication::processEvents();
            QVERIFY2(!area->horizontalScrollBar()->isVisible(), name);
            QVERIFY2(area->document()->lineCount() > 2, name);
        }
    }

    void yearFollowsAutoYear()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        auto* year = child<QLineEdit>(editor, "yearField");
        QVERIFY(!year->isEnabled());
        // This year, shown as a placeholder; the stored year is kept for later.
        QCOMPARE(year->text(), QString());
        QCOMPARE(year->placeholderText(), QString::number(QDate::currentDate().year()));
        const QString stored = editor.draft().year;
        child<QCheckBox>(editor, "autoYearCheck")->setChecked(false);
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
            for (QLabel* label : child<QWidget>(editor, "id3v1Preview")->findChildren<QLabel*>())
                shown.append(label->text());
            return shown;
        };
        QVERIFY(values().contains(QStringLiteral("—")));
        child<QLineEdit>(editor, "artistField")->setText(QStringLiteral("Ana María"));
        child<QLineEdit>(editor, "genreField")->setText(QStringLiteral("Podcast"));
        QStringList expected;
        for (const Show::Row& row : editor.draft().id3v1Rows())
            expected << row.label << (row.value.isEmpty() ? QStringLiteral("—") : row.value);
        QCOMPARE(values(), expected);
        QVERIFY(expected.contains(QStringLiteral("Ana María")));

        auto* check = child<QCheckBox>(editor, "writeID3v1Check");
        for (bool on : {false, true}) {
            check->setChecked(on);
            QCOMPARE(editor.draft().writeID3v1, on);
            for (const char* name : {"id3v1Intro", "id3v1Preview", "id3v1Outro"})
                QCOMPARE(shown(editor, name), on);
        }
    }

    // Tab reaches every control in order, a screen reader names each, every field's
    // name labels it, and Return saves except in a text area.
    void keyboard()
    {
        ShowEditor editor(*m_store, showWithCover(), true);
        QVERIFY(showExposed(editor));
        QVERIFY2(unnamedControls(&editor).isEmpty(), qPrintable(unnamedControls(&editor).join(u' ')));
        QCOMPARE(child<QLineEdit>(editor, "artistField")->accessibleName(), QStringLiteral("Artist (TPE1)"));
        int buddies = 0;
        for (const QLabel* label : editor.findChildren<QLabel*>())
            buddies += label->buddy() != nullptr;
        QVERIFY2(buddies >= 12, qPrintable(QString::number(buddies)));
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

        QSignalSpy finished(&editor, &ShowEditor::finished);
        auto* title = child<QLineEdit>(editor, "titleField");
        title->clear();
        // Return in a text area is a new line; with no title it can't save either.
        auto* description = child<QPlainTextEdit>(editor, "descriptionEdit");
        QTest::keyClick(description, Qt::Key_A);
        QTest::keyClick(description, Qt::Key_Return);
        QTest::keyClick(description, Qt::Key_B);
        QCOMPARE(editor.draft().description, QStringLiteral("a\nb"));
        QTest::keyClick(title, Qt::Key_Return);
        QCOMPARE(finished.count(), 0);

        QTest::keyClicks(title, QStringLiteral("Episode"));
        QTest::keyClick(description, Qt::Key_Return);
        QCOMPARE(finished.count(), 0);
        QTest::keyClick(title, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_store->shows().constFirst().title, QStringLiteral("Episode"));
    }

    void sizes()
    {
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

        Show show = filledIn ? showWithCover() : m_store->add();
        if (filledIn) {
            show.name = QStringLiteral("Growth Weekly");
            show.title = QStringLiteral("Growth Weekly with Ana");
            show.artist = QStringLiteral("Ana Martín");
            show.genre = QStringLiteral("Podcast");
            show.copyright = QStringLiteral("© 2026 Vantorel Media");
            show.category = QStringLiteral("Business/Marketing");
            show.keywords = QStringLiteral("marketing, growth");
            show.description
                = QStringLiteral("Every week, one idea that moved a real business forward. ").repeated(70);
            show.comment = QStringLiteral("Recorded in Lisbon.");
        } else {
            show.kind = Show::Kind::Music;
            show.name.clear();
            show.genre = QStringLiteral("Chiptune");
        }
        Theme::apply(appearance);
        ShowEditor editor(*m_store, show, false);
        editor.resize(editor.sizeHint());
        const QImage picture = editor.grab().toImage();
        ShowEditor sheet(*m_store, show, true);
        sheet.resize(sheet.sizeHint());
        const QImage sheetPicture = sheet.grab().toImage();
        Theme::apply(Theme::Appearance::Light);

        QCOMPARE(picture.size(), editor.sizeHint() * editor.devicePixelRatioF());
        QVERIFY(picture.height() > minimumHeight);
        // Nothing of the form is cut off at the bottom.
        auto* save = child<QWidget>(editor, "saveButton");
        QVERIFY(save->mapTo(&editor, QPoint(0, save->height())).y() <= editor.height() - 14);
        std::set<QRgb> colours;
        for (int y = 0; y < picture.height(); y += 7)
            for (int x = 0; x < picture.width(); x += 5)
                colours.insert(picture.pixel(x, y));
        QVERIFY(colours.size() > 100);
        QVERIFY(picture.save(file));
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
        const QStringList names = QDir(m_store->coversFolder()).entryList(QDir::Files);
        return {names.begin(), names.end()};
    }

    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
};

QTEST_MAIN(TestShowEditor)
#include "TestShowEditor.moc"
