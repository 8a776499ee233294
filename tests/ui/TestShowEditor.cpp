#include "common/Accessibility.h"
#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "common/UiTest.h"
#include "id3/Picture.h"
#include "library/ShowStore.h"
#include "ui/ContentView.h"
#include "ui/Desktop.h"
#include "ui/ShowEditor.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>

#include <memory>
#include <set>

using namespace Qt::Literals::StringLiterals;

namespace {

bool shown(const ShowEditor& editor, const char* name)
{
    return child<QWidget>(editor, name)->isVisibleTo(&editor);
}

// The action a menu path leads to, following submenus by their shown text.
QAction* menuItem(QMenu* menu, const QStringList& path)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->iconText() != path.first())
            continue;
        if (path.size() == 1)
            return action;
        return action->menu() ? menuItem(action->menu(), path.mid(1)) : nullptr;
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
        QDir().mkpath(m_case->filePath(u"images"_s));
        Desktop::setNextChoice(std::nullopt);
    }

    void cleanup()
    {
        m_store.reset();
        m_case.reset();
    }

    // Until the edit ends the covers folder holds the show's own cover and the draft's.
    void coverFiles_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("saved");
        QTest::addRow("cancel at once") << QStringList {"cancel"} << false;
        QTest::addRow("two images, cancel") << QStringList {"choose", "choose", "cancel"} << false;
        QTest::addRow("new image, save") << QStringList {"choose", "save"} << true;
        QTest::addRow("old cover removed, cancel") << QStringList {"remove", "cancel"} << false;
        QTest::addRow("old cover removed, save") << QStringList {"remove", "save"} << true;
        QTest::addRow("cancel after save") << QStringList {"choose", "save", "cancel"} << true;
        QTest::addRow("escape") << QStringList {"drop", "escape"} << false;
        QTest::addRow("no image, then one") << QStringList {"notimage", "drop", "save"} << true;
    }
    void coverFiles()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, saved);
        const Show show = showWithCover();
        ShowEditor editor(*m_store, show, true);
        child<QLineEdit>(editor, "nameField")->setText(u"Other"_s);
        QSignalSpy finished(&editor, &ShowEditor::finished);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString& step = steps[i];
            const std::optional<QString> before = editor.draft().coverFile;
            const QColor colour = QColor::fromHsv(int(i) * 60, 200, 200);
            const QString path = imageFile(u"step%1.png"_s.arg(i), colour);
            if (step == QLatin1String("choose") || step == QLatin1String("notimage")) {
                if (step == QLatin1String("notimage"))
                    QVERIFY(writeFile(path, "just some words, not a picture"));
                Desktop::setNextChoice(QList<QUrl> {QUrl::fromLocalFile(path)});
                child<QPushButton>(editor, "chooseImageButton")->click();
            } else if (step == QLatin1String("drop")) {
                // A drop takes its first local file.
                QVERIFY(dropUrls(child<QWidget>(editor, "coverWell"),
                    {QUrl(u"https://example.com/x.png"_s), QUrl::fromLocalFile(path),
                        QUrl::fromLocalFile(imageFile(u"second.png"_s, Qt::black))}));
            } else if (step == QLatin1String("remove")) {
                child<QPushButton>(editor, "removeCoverButton")->click();
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
                QVERIFY(shown(editor, "coverError"));
                QCOMPARE(child<QLabel>(editor, "coverError")->text(),
                    u"That file isn't an image Pelamo can read"_s);
                QCOMPARE(editor.draft().coverFile, before);
            } else if (step == QLatin1String("choose") || step == QLatin1String("drop")) {
                QVERIFY(!shown(editor, "coverError"));
                QVERIFY(editor.draft().coverFile && editor.draft().coverFile != before);
                const QImage stored(m_store->coversFolder() + u'/' + *editor.draft().coverFile);
                QVERIFY(colourDistance(stored.pixelColor(5, 5), colour) < 30);
            }
            if (finished.isEmpty()) {
                std::set<QString> expected {*show.coverFile};
                if (editor.draft().coverFile)
                    expected.insert(*editor.draft().coverFile);
                QCOMPARE(storedCovers(), expected);
            }
        }
        QCOMPARE(finished.count(), 1);
        const Show stored = m_store->shows().constFirst();
        const std::optional<QString> kept = saved ? editor.draft().coverFile : show.coverFile;
        if (saved)
            QCOMPARE(stored.name, u"Other"_s);
        else
            QCOMPARE(stored, show);
        QCOMPARE(stored.coverFile, kept);
        QCOMPARE(storedCovers(), kept ? std::set<QString> {*kept} : std::set<QString> {});
    }

    // However the sheet goes, a cover imported since it opened goes with it.
    void importedCoverGoesWithTheSheet_data()
    {
        QTest::addColumn<bool>("quit");
        QTest::addRow("close button") << false;
        QTest::addRow("quitting") << true;
    }
    void importedCoverGoesWithTheSheet()
    {
        QFETCH(bool, quit);
        const Show show = showWithCover();
        auto content = std::make_unique<ContentView>(*m_store);
        QVERIFY(showExposed(*content));
        content->editShow(show);
        QDialog* sheet = content->editorSheet();
        QVERIFY(sheet);
        Desktop::setNextChoice(QList<QUrl> {QUrl::fromLocalFile(imageFile(u"new.png"_s, Qt::red))});
        child<QPushButton>(*sheet, "chooseImageButton")->click();
        QCOMPARE(storedCovers().size(), 2u);
        if (quit) {
            content.reset();
        } else {
            QVERIFY(sheet->close());
            QTRY_VERIFY(!content->editorSheet());
        }
        QTRY_COMPARE(storedCovers(), std::set<QString> {*show.coverFile});
        QCOMPARE(m_store->shows().constFirst(), show);
    }

    void canSave_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fromFileName");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("allowed");
        QTest::addRow("name and title, trimmed") << " \tWeekly \t" << false << "  Weekly Show " << true;
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
        const Show selected = m_store->add();
        const Show show = m_store->add();
        m_store->setSelection(selected.id);
        ShowEditor editor(*m_store, show, true);
        child<QLineEdit>(editor, "nameField")->setText(name);
        child<QLineEdit>(editor, "titleField")->setText(title);
        child<QCheckBox>(editor, "titleFromFileNameCheck")->setChecked(fromFileName);
        QCOMPARE(child<QPushButton>(editor, "saveButton")->isEnabled(), allowed);
        QCOMPARE(shown(editor, "saveMessage"), !allowed);
        QCOMPARE(child<QLineEdit>(editor, "titleField")->isEnabled(), !fromFileName);
        QCOMPARE(child<QLabel>(editor, "headerName")->text(), name);
        QSignalSpy finished(&editor, &ShowEditor::finished);
        editor.save();
        QCOMPARE(finished.count(), allowed ? 1 : 0);
        QCOMPARE(m_store->selection(), std::optional(allowed ? show.id : selected.id));
        const Show saved = m_store->shows().at(1);
        QCOMPARE(saved == show, !allowed);
        if (allowed) {
            QCOMPARE(saved.name, name.trimmed());
            QCOMPARE(saved.title, title);
            ShowStore reopened(m_store->folder(), m_case->filePath(u"no-seed"_s));
            QCOMPARE(reopened.shows().at(1), saved);
        }
    }

    // The description's counter turns orange past the warning line and red at the limit, where a
    // paste is cut; accents and emoji count as one character each.
    void textAreas()
    {
        const std::tuple<QString, QString, QColor> pastes[] {
            {QString(3701, u'a'), u"3,701 / 4,000"_s, Theme::orange()},
            {u"e\u0301"_s.repeated(4500), u"4,000 / 4,000"_s, Theme::red()},
            {u"\U0001F469\u200D\U0001F4BB"_s.repeated(4001), u"4,000 / 4,000"_s, Theme::red()},
        };
        for (const auto& [pasted, counter, colour] : pastes) {
            ShowEditor editor(*m_store, m_store->add(), true);
            auto* description = child<QPlainTextEdit>(editor, "descriptionEdit");
            description->insertPlainText(pasted);
            QVERIFY(pasted.startsWith(editor.draft().description));
            QCOMPARE(description->toPlainText(), editor.draft().description);
            auto* label = child<QLabel>(editor, "descriptionCounter");
            QCOMPARE(label->text(), counter);
            QCOMPARE(textColour(label), colour);
        }
        // An over-long stored description is kept until edited; typing into a full one cuts its end.
        Show show = m_store->add();
        show.title = u"Weekly"_s;
        show.titleFromFileName = false;
        show.description = QString(4500, u'c') + u"\u00a0end"_s;
        ShowEditor editor(*m_store, show, true);
        QCOMPARE(child<QLabel>(editor, "descriptionCounter")->text(), u"4,504 / 4,000"_s);
        editor.save();
        QCOMPARE(m_store->shows().constLast().description, show.description);
        show.description = QString(4000, u'b');
        ShowEditor full(*m_store, show, true);
        auto* description = child<QPlainTextEdit>(full, "descriptionEdit");
        description->moveCursor(QTextCursor::Start);
        QTest::keyClicks(description, u"Hi"_s);
        QCOMPARE(full.draft().description, u"Hi"_s + QString(3998, u'b'));
        QCOMPARE(description->textCursor().position(), 2);
        // Description and comment wrap, also at a word longer than the field is wide.
        full.resize(580, 700);
        QVERIFY(showExposed(full));
        for (const char* name : {"descriptionEdit", "commentEdit"}) {
            auto* area = child<QPlainTextEdit>(full, name);
            area->setPlainText(u"See https://example.org/"_s + QString(300, u'x'));
            QCoreApplication::processEvents();
            QVERIFY2(!area->horizontalScrollBar()->isVisible(), name);
            QVERIFY2(area->document()->lineCount() > 2, name);
        }
    }

    // Switching kind shows the kind's own fields and suggestions, and keeps every value.
    void kindSwitchKeepsValues()
    {
        Show show = m_store->add();
        show.title = u"Weekly"_s;
        show.titleFromFileName = false;
        show.category = u"Arts/Books"_s;
        show.description = u"About books"_s;
        show.keywords = u"reading"_s;
        show.composer = u"Clara"_s;
        ShowEditor editor(*m_store, show, true);
        QMenu* suggestions = child<QToolButton>(editor, "suggestionsMenu")->menu();
        QVERIFY(shown(editor, "podcastSection"));
        QVERIFY(!shown(editor, "composerField"));
        QCOMPARE(itemTexts(suggestions), QStringList {u"Podcast"_s});
        child<QAbstractButton>(editor, "musicButton")->click();
        QVERIFY(!shown(editor, "podcastSection"));
        QVERIFY(!shown(editor, "descriptionBox"));
        QVERIFY(shown(editor, "composerField"));
        QCOMPARE(itemTexts(suggestions), Show::musicGenres());
        menuItem(suggestions, {u"R&B"_s})->trigger();
        editor.save();
        Show expected = show;
        expected.kind = Show::Kind::Music;
        expected.genre = u"R&B"_s;
        QCOMPARE(m_store->shows().constFirst(), expected);
    }

    // The category menu sets a submenu's main category, one with "&" in its names, and None;
    // only the choice and its submenu are ticked.
    void categoryMenu()
    {
        Show show = m_store->add();
        show.category = u"News/Politics"_s;
        ShowEditor editor(*m_store, show, true);
        auto* button = child<QToolButton>(editor, "categoryMenu");
        const std::tuple<QString, QStringList, QString> choices[] {
            {u"Business"_s, {u"Business"_s, u"Business (main category)"_s}, u"Business"_s},
            {u"Health & Fitness/Mental Health"_s, {u"Health & Fitness"_s, u"Mental Health"_s},
                u"Health & Fitness › Mental Health"_s},
            {QString(), {u"None"_s}, u"None"_s}};
        for (const auto& [stored, path, title] : choices) {
            QAction* action = menuItem(button->menu(), path);
            QVERIFY(action);
            action->trigger();
            QCOMPARE(editor.draft().category, stored);
            QCOMPARE(button->text(), QString(title).replace(u'&', u"&&"_s));
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
    }

    // The year field and the ID3v1 preview follow their check boxes.
    void fieldsFollowTheirChecks()
    {
        ShowEditor editor(*m_store, m_store->add(), true);
        auto* year = child<QLineEdit>(editor, "yearField");
        QVERIFY(!year->isEnabled());
        QCOMPARE(year->placeholderText(), QString::number(QDate::currentDate().year()));
        child<QCheckBox>(editor, "autoYearCheck")->setChecked(false);
        QVERIFY(year->isEnabled());
        QVERIFY(!editor.draft().autoYear);
        QCOMPARE(year->text(), editor.draft().year);
        child<QLineEdit>(editor, "artistField")->setText(u"Ana María"_s);
        auto* check = child<QCheckBox>(editor, "writeID3v1Check");
        for (bool on : {false, true}) {
            check->setChecked(on);
            QCOMPARE(editor.draft().writeID3v1, on);
            for (const char* name : {"id3v1Intro", "id3v1Preview", "id3v1Outro"})
                QCOMPARE(shown(editor, name), on);
        }
        const auto previewShows = [&](const QString& text) {
            for (QLabel* label : child<QWidget>(editor, "id3v1Preview")->findChildren<QLabel*>())
                if (label->text() == text && label->isVisibleTo(&editor))
                    return true;
            return false;
        };
        QVERIFY(previewShows(u"Ana María"_s));
        // A new show keeps chapters and each recording's frames and takes nothing else from the
        // files; each check sets its field. Numbering tracks brings the preview's track row,
        // and takes it away; artists from the names change the preview's artist row.
        for (const auto& [name, field, on] : {std::tuple {"keepChaptersCheck", &Show::keepChapters, true},
                 std::tuple {"keepTrackInfoCheck", &Show::keepTrackInfo, true},
                 std::tuple {"keepTitleCheck", &Show::keepTitle, false},
                 std::tuple {"artistFromFileNameCheck", &Show::artistFromFileName, false}}) {
            auto* box = child<QCheckBox>(editor, name);
            QVERIFY2(box->isChecked() == on && editor.draft().*field == on, name);
            box->setChecked(!on);
            QVERIFY2(editor.draft().*field == !on, name);
        }
        QVERIFY(previewShows(
            u"each file's name before \u201c - \u201d, or else Ana María (first 30 characters)"_s));
        auto* numbered = child<QCheckBox>(editor, "numberTracksCheck");
        QVERIFY(!numbered->isChecked());
        for (bool on : {true, false}) {
            numbered->setChecked(on);
            QCOMPARE(editor.draft().numberTracks, on);
            QCOMPARE(previewShows(u"Track"_s), on);
        }
    }

    // Beside the cover, what it is and what directories would say of it; the one
    // remedy stores a smaller RGB JPEG in its place and says what it made.
    void coverAdvice_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("pixels");
        QTest::addColumn<QStringList>("advice");
        QTest::addColumn<QString>("madePixels");
        QTest::addColumn<QStringList>("adviceAfter");
        QTest::addRow("wide") << u"wide.jpg"_s << u"1600×900 JPEG"_s << QStringList {u"Not square"_s}
                              << u"1400×787"_s << QStringList {u"Not square"_s};
        QTest::addRow("small") << u"small.jpg"_s << u"600×600 JPEG"_s << QStringList {u"Under 1400×1400"_s}
                               << QString() << QStringList();
        QTest::addRow("large") << u"large.jpg"_s << u"3200×3200 JPEG"_s
                               << QStringList {u"Over 3000×3000"_s, u"Over 1 MB"_s} << u"1400×1400"_s
                               << QStringList();
        QTest::addRow("CMYK") << u"cmyk.jpg"_s << u"1400×1400 JPEG"_s << QStringList {u"In CMYK"_s}
                              << u"1400×1400"_s << QStringList();
    }
    void coverAdvice()
    {
        QFETCH(QString, image);
        QFETCH(QString, pixels);
        QFETCH(QStringList, advice);
        QFETCH(QString, madePixels);
        QFETCH(QStringList, adviceAfter);
        ShowEditor editor(*m_store, m_store->add(), true);
        child<QLineEdit>(editor, "titleField")->setText(u"Weekly"_s);
        const QString path = imageFile(image);
        Desktop::setNextChoice(QList<QUrl> {QUrl::fromLocalFile(path)});
        child<QPushButton>(editor, "chooseImageButton")->click();
        QVERIFY(editor.draft().coverFile);
        const QString imported = *editor.draft().coverFile;
        const auto noteStarts = [&](const QStringList& starts) {
            const QString text = child<QLabel>(editor, "coverAdvice")->text();
            const QStringList notes = text.isEmpty() ? QStringList() : text.split(u'\n');
            bool same = notes.size() == starts.size() && shown(editor, "coverAdvice") == !starts.isEmpty();
            for (qsizetype i = 0; same && i < notes.size(); ++i)
                same = notes[i].startsWith(starts[i]);
            return same || (qWarning() << notes, false);
        };
        const QString info = child<QLabel>(editor, "coverInfo")->text();
        QCOMPARE(info, pixels + u", "_s + QLocale().toString(QFileInfo(path).size()) + u" bytes"_s);
        QVERIFY(noteStarts(advice));
        auto* smaller = child<QPushButton>(editor, "makeSmallerButton");
        QCOMPARE(smaller->isVisibleTo(&editor), !madePixels.isEmpty());
        if (madePixels.isEmpty())
            return;

        const QImage before(path);
        smaller->click();
        QVERIFY(editor.draft().coverFile && *editor.draft().coverFile != imported);
        // The imported file gave way to the one made from it.
        QCOMPARE(storedCovers(), std::set<QString> {*editor.draft().coverFile});
        const QString madePath = m_store->coversFolder() + u'/' + *editor.draft().coverFile;
        QFile made(madePath);
        QVERIFY(made.open(QIODevice::ReadOnly));
        const ID3::Picture picture = ID3::pictureOf(made.readAll());
        QCOMPARE(picture.format, ID3::Picture::Format::JPEG);
        QCOMPARE(picture.colours, ID3::Picture::Colours::RGB);
        QCOMPARE(picture.pixelText(), madePixels);
        QVERIFY(picture.bytes < 1000 * 1000);
        QCOMPARE(child<QLabel>(editor, "coverInfo")->text(), picture.summary());
        QCOMPARE(child<QLabel>(editor, "coverMade")->text(),
            u"Made smaller for players: %1, from %2."_s.arg(picture.summary(), info));
        QVERIFY(noteStarts(adviceAfter));
        QVERIFY(!smaller->isVisibleTo(&editor));
        // Scaled whole, not cropped, with the colours it had: the middle looks as before.
        const QImage after(madePath);
        QCOMPARE(after.size(), QSize(picture.width, picture.height));
        const QColor was = before.pixelColor(before.width() / 2, before.height() / 2);
        const QColor now = after.pixelColor(after.width() / 2, after.height() / 2);
        QVERIFY2(colourDistance(was, now) < 40, qPrintable(was.name() + u' ' + now.name()));
        child<QPushButton>(editor, "saveButton")->click();
        QCOMPARE(m_store->shows().constFirst().coverFile, editor.draft().coverFile);
    }

    // Tab order, names for screen readers, label buddies; Return saves except in a text area.
    // The cover removed from the show stays in the covers folder while another show shares it.
    void keyboard()
    {
        const Show show = showWithCover();
        Show twin = m_store->add();
        twin.coverFile = show.coverFile;
        m_store->update(twin);
        ShowEditor editor(*m_store, show, true);
        QVERIFY(showExposed(editor));
        QCOMPARE(unnamedControls(&editor), QStringList());
        int buddies = 0;
        for (const QLabel* label : editor.findChildren<QLabel*>())
            buddies += label->buddy() != nullptr;
        QVERIFY(buddies >= 12);
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
        auto* description = child<QPlainTextEdit>(editor, "descriptionEdit");
        QTest::keyClick(description, Qt::Key_A);
        QTest::keyClick(description, Qt::Key_Return);
        QTest::keyClick(description, Qt::Key_B);
        QCOMPARE(editor.draft().description, u"a\nb"_s);
        QTest::keyClick(title, Qt::Key_Return);
        QCOMPARE(finished.count(), 0);
        QTest::keyClicks(title, u"Episode"_s);
        QTest::keyClick(description, Qt::Key_Return);
        QCOMPARE(finished.count(), 0);
        child<QPushButton>(editor, "removeCoverButton")->click();
        QTest::keyClick(title, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_store->shows().constFirst().title, u"Episode"_s);
        QCOMPARE(m_store->shows().constFirst().coverFile, std::nullopt);
        QCOMPARE(storedCovers(), std::set<QString> {*show.coverFile});
    }

private:
    Show showWithCover()
    {
        Show show = m_store->add();
        show.title = u"Weekly"_s;
        show.titleFromFileName = false;
        const auto imported = m_store->importCover(imageFile(u"original.jpg"_s, Qt::darkCyan), show);
        show.coverFile = std::get<QString>(imported);
        m_store->update(show);
        return show;
    }

    // A cover of the kind its name says: a wide or small smooth picture, a large noisy one of
    // many bytes, or the CMYK fixture; any other is 64 × 64 in `colour`.
    QString imageFile(const QString& name, const QColor& colour = {})
    {
        if (name == u"cmyk.jpg"_s)
            return cmykCoverFixture();
        const QSize size = name == u"wide.jpg"_s ? QSize(1600, 900)
            : name == u"small.jpg"_s             ? QSize(600, 600)
            : name == u"large.jpg"_s             ? QSize(3200, 3200)
                                                 : QSize(64, 64);
        QImage image(size, QImage::Format_RGB32);
        auto* random = QRandomGenerator::global();
        const int grain = name == u"large.jpg"_s ? 24 : 0;
        for (int y = 0; y < size.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                const int noise = grain ? int(random->bounded(grain)) : 0;
                line[x] = qRgb(
                    40 + 160 * x / size.width() + noise, 60 + noise, 200 - 150 * y / size.height() + noise);
            }
        }
        if (colour.isValid())
            image.fill(colour);
        const QString path = m_case->filePath(u"images/"_s + name);
        if (!image.save(path, nullptr, 90))
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
