#include "ui/ShowEditor.h"

#include "id3/Text.h"
#include "library/CoverArt.h"
#include "library/ShowStore.h"
#include "shows/Artwork.h"
#include "ui/Desktop.h"
#include "ui/ShowEditorParts.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDate>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QToolButton>

namespace {

constexpr int editorWidth = 580;
constexpr int scrollingHeight = 760;
constexpr int minimumScrollingHeight = 320;
// The counter turns orange this many characters before the limit.
constexpr qsizetype counterWarning = 300;

// Menus read "&" as the mark of a shortcut letter.
QString menuText(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

QString countText(qsizetype count)
{
    return QLocale().toString(qlonglong(count));
}

} // namespace

ShowEditor::ShowEditor(ShowStore& store, const Show& show, bool scrolls, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_draft(show)
    , m_original(show.coverFile)
    , m_scrolls(scrolls)
{
    setObjectName(QStringLiteral("showEditor"));
    setAutoFillBackground(true);
    buildForm();
    for (qsizetype i = 1; i < m_focusOrder.size(); ++i)
        QWidget::setTabOrder(m_focusOrder[i - 1], m_focusOrder[i]);
    showCover();
    fillSuggestions();
    refresh();
}

bool ShowEditor::canSave() const
{
    return !ID3::trimSpaces(m_draft.name).isEmpty()
        && (m_draft.titleFromFileName || !ID3::trimSpaces(m_draft.title).isEmpty());
}

void ShowEditor::focusName(bool selectAll)
{
    m_nameField->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        m_nameField->selectAll();
    else
        m_nameField->end(false);
}

QSize ShowEditor::sizeHint() const
{
    if (m_scrolls) {
        // On a small screen, or at a large scale, the form scrolls in what there is.
        const int room = Desktop::room(screen()).height();
        return {editorWidth, qBound(minimumScrollingHeight, room, scrollingHeight)};
    }
    QLayout* column = layout();
    const int height = column->hasHeightForWidth() ? column->totalHeightForWidth(editorWidth)
                                                   : column->totalSizeHint().height();
    return {editorWidth, height};
}

void ShowEditor::save()
{
    if (m_finished || !canSave())
        return;
    // The cover the show had is no longer used, unless another show names the same
    // file (a duplicate made while the file couldn't be read shares it).
    if (m_draft.coverFile != m_original && !anotherShowNames(m_original))
        m_store.deleteCoverFile(m_original);
    m_draft.name = ID3::trimSpaces(m_draft.name);
    m_store.update(m_draft);
    m_store.setSelection(m_draft.id);
    // A late cancel() must not delete the cover that was just saved.
    m_finished = true;
    Q_EMIT finished();
}

void ShowEditor::cancel()
{
    if (m_finished)
        return;
    discardImportedCover();
    Q_EMIT finished();
}

ShowEditor::~ShowEditor()
{
    // Closed without Save or Cancel (the sheet's close button, quitting): as on Cancel.
    discardImportedCover();
}

void ShowEditor::discardImportedCover()
{
    if (m_finished)
        return;
    // Only a cover imported since the editor opened goes; the show's own stays.
    if (m_draft.coverFile != m_original)
        m_store.deleteCoverFile(m_draft.coverFile);
    m_finished = true;
}

void ShowEditor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A button made the default before it had a dialog is forgotten by the dialog,
    // which would then take its first auto-default button, Cancel: Save is made the
    // default again now that the sheet holds it.
    if (m_defaultSet)
        return;
    m_defaultSet = true;
    m_saveButton->setDefault(false);
    m_saveButton->setDefault(true);
}

void ShowEditor::keyPressEvent(QKeyEvent* event)
{
    // Keys arrive here only when the focused control left them alone: a text area
    // keeps Return for its new lines, a focused push button clicks itself.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        save();
        event->accept();
    } else if (plain && event->key() == Qt::Key_Escape) {
        cancel();
        event->accept();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void ShowEditor::setKind(Show::Kind kind)
{
    if (m_draft.kind == kind)
        return;
    m_draft.kind = kind;
    fillSuggestions();
    refresh();
}

void ShowEditor::setCategory(const QString& category)
{
    m_draft.category = category;
    refresh();
}

void ShowEditor::descriptionChanged()
{
    const QString text = plainText(m_descriptionEdit);
    if (Show::characterCount(text) > Show::descriptionLimit) {
        // Cutting off the end in place keeps the cursor where it was (or at the new
        // end) and keeps the paste undoable. The change comes back here at once.
        const qsizetype kept = Show::firstCharacters(text, Show::descriptionLimit).size();
        QTextCursor cut(m_descriptionEdit->document());
        cut.setPosition(int(kept));
        cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
        return;
    }
    m_draft.description = text;
    refresh();
}

void ShowEditor::setCover(const QString& imagePath)
{
    if (m_finished)
        return;
    const auto imported = m_store.importCover(imagePath, m_draft);
    if (const auto* failure = std::get_if<ID3::Failure>(&imported)) {
        m_coverError = failure->description;
        refresh();
        return;
    }
    m_coverMade.clear();
    useCoverFile(std::get<QString>(imported));
}

void ShowEditor::useCoverFile(const QString& name)
{
    // Only one imported file lives at a time: the one before this goes.
    if (m_draft.coverFile != m_original)
        m_store.deleteCoverFile(m_draft.coverFile);
    m_draft.coverFile = name;
    m_coverError.reset();
    showCover();
    refresh();
}

void ShowEditor::makeCoverSmaller()
{
    if (m_finished || !m_coverPicture)
        return;
    const ID3::Picture before = *m_coverPicture;
    const auto made = m_store.importSmallerCover(m_draft);
    if (const auto* failure = std::get_if<ID3::Failure>(&made)) {
        m_coverError = failure->description;
        refresh();
        return;
    }
    useCoverFile(std::get<QString>(made));
    if (m_coverPicture)
        m_coverMade = QStringLiteral("Made smaller for players: %1, from %2.")
                          .arg(m_coverPicture->summary(), before.summary());
    refresh();
}

void ShowEditor::chooseImage()
{
    const QList<QUrl> chosen = Desktop::choose(this,
        {Desktop::OpenPanel::Content::Images, QStringLiteral("Use as Cover"),
            QStringLiteral("Choose Cover Art"), false, false});
    if (!chosen.isEmpty() && chosen.first().isLocalFile())
        setCover(chosen.first().toLocalFile());
}

void ShowEditor::removeCover()
{
    if (m_finished)
        return;
    // The show's own cover only leaves the draft here; saving deletes its file.
    if (m_draft.coverFile != m_original)
        m_store.deleteCoverFile(m_draft.coverFile);
    m_draft.coverFile.reset();
    m_coverMade.clear();
    showCover();
    refresh();
}

void ShowEditor::showCover()
{
    const auto art = m_store.coverArt(m_draft);
    m_coverWell->setImage(art ? art->image : std::nullopt);
    m_coverPicture = art ? std::optional(art->picture) : std::nullopt;
}

bool ShowEditor::anotherShowNames(const std::optional<QString>& coverFile) const
{
    if (!coverFile)
        return false;
    for (const Show& show : m_store.shows())
        if (show.id != m_draft.id && show.coverFile == coverFile)
            return true;
    return false;
}

void ShowEditor::refresh()
{
    const bool podcast = m_draft.kind == Show::Kind::Podcast;
    m_headerName->setText(m_draft.name.isEmpty() ? QStringLiteral("New Show") : m_draft.name);
    m_podcastButton->setChecked(podcast);
    m_musicButton->setChecked(!podcast);

    m_coverHelp->setText(podcast
            ? QStringLiteral("Drop an image on the square or choose one. Square 3000×3000 is the Apple "
                             "Podcasts standard.")
            : QStringLiteral("Drop an image on the square or choose one. Square artwork, 3000×3000 "
                             "recommended."));
    m_removeCoverButton->setVisible(m_draft.coverFile.has_value());
    m_coverInfo->setText(m_coverPicture ? m_coverPicture->summary() : QString());
    m_coverInfo->setVisible(m_coverPicture.has_value());
    // The note on what was made is not orange: it is news, not a warning.
    const QStringList advice = m_coverPicture ? Artwork::advice(*m_coverPicture) : QStringList();
    m_coverAdvice->setText(advice.join(u'\n'));
    m_coverAdvice->setVisible(!advice.isEmpty());
    m_coverMadeLabel->setText(m_coverMade);
    m_coverMadeLabel->setVisible(!m_coverMade.isEmpty());
    m_smallerButton->setVisible(m_coverPicture && Artwork::canMakeSmaller(*m_coverPicture));
    m_coverErrorLabel->setText(m_coverError.value_or(QString()));
    m_coverErrorLabel->setVisible(m_coverError.has_value());

    m_titleField->setEnabled(!m_draft.titleFromFileName);
    m_titleFromFileNameCheck->setText(podcast
            ? QStringLiteral("Use each file's name as the title (episode title)")
            : QStringLiteral("Use each file's name as the title (song title)"));
    m_titleNote->setText(podcast
            ? QStringLiteral("Some podcasts put the SHOW name here, others the episode title.")
            : QStringLiteral("For music, the file name usually is the song title."));

    m_composerName->setVisible(!podcast);
    m_composerField->setVisible(!podcast);
    m_genreField->setPlaceholderText(podcast ? QStringLiteral("Podcast") : QString());
    m_yearField->setEnabled(!m_draft.autoYear);
    {
        // While the year follows the calendar, the field shows this year as a
        // placeholder; the year typed before comes back when it is turned off.
        const QSignalBlocker quiet(m_yearField);
        const QString shown = m_draft.autoYear ? QString() : m_draft.year;
        if (m_yearField->text() != shown)
            m_yearField->setText(shown);
        m_yearField->setPlaceholderText(
            m_draft.autoYear ? QString::number(QDate::currentDate().year()) : QString());
    }
    m_yearNote->setText(m_draft.yearNote());
    m_yearNote->setVisible(!m_yearNote->text().isEmpty());
    m_podcastSection->setVisible(podcast);
    m_descriptionBox->setVisible(podcast);

    QString category
        = m_draft.category.isEmpty() ? QStringLiteral("None") : Show::prettyCategory(m_draft.category);
    m_categoryButton->setAccessibleDescription(category);
    m_categoryButton->setText(category.replace(u'&', QStringLiteral("&&")));
    for (const auto& [action, itemCategory] : m_categoryItems)
        action->setChecked(itemCategory == m_draft.category
            || (action->menu() && m_draft.category.startsWith(itemCategory + u'/')));

    const qsizetype count = Show::characterCount(m_draft.description);
    m_descriptionCounter->setText(
        countText(count) + QStringLiteral(" / ") + countText(Show::descriptionLimit));
    Theme::colour(m_descriptionCounter,
        count >= Show::descriptionLimit                       ? Theme::Ink::Red
            : count > Show::descriptionLimit - counterWarning ? Theme::Ink::Orange
                                                              : Theme::Ink::Secondary);

    m_id3v1Intro->setVisible(m_draft.writeID3v1);
    m_id3v1Preview->setVisible(m_draft.writeID3v1);
    m_id3v1Outro->setVisible(m_draft.writeID3v1);
    const QList<Show::Row> rows = m_draft.id3v1Rows();
    // The track row comes and goes with numbering: rows past the last are hidden.
    for (int i = int(rows.size()); i < m_id3v1Grid->rowCount(); ++i)
        for (int column = 0; column < 2; ++column)
            if (QLayoutItem* item = m_id3v1Grid->itemAtPosition(i, column))
                item->widget()->hide();
    for (int i = 0; i < rows.size(); ++i) {
        if (!m_id3v1Grid->itemAtPosition(i, 0)) {
            auto* label = new QLabel(m_id3v1Preview);
            label->setFont(Theme::font(Theme::TextStyle::Callout));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Theme::colour(label, Theme::Ink::Secondary);
            auto* value = new ElidedLabel(m_id3v1Preview);
            value->setFont(Theme::font(Theme::TextStyle::Callout));
            m_id3v1Grid->addWidget(label, i, 0);
            m_id3v1Grid->addWidget(value, i, 1);
        }
        auto* label = static_cast<QLabel*>(m_id3v1Grid->itemAtPosition(i, 0)->widget());
        auto* value = static_cast<QLabel*>(m_id3v1Grid->itemAtPosition(i, 1)->widget());
        label->show();
        value->show();
        label->setText(rows[i].label);
        const bool empty = rows[i].value.isEmpty();
        value->setText(empty ? QStringLiteral("—") : rows[i].value);
        Theme::colour(value, empty ? Theme::Ink::Tertiary : Theme::Ink::Primary);
    }

    const bool allowed = canSave();
    m_saveMessage->setVisible(!allowed);
    m_saveButton->setEnabled(allowed);
}

QMenu* ShowEditor::buildCategoryMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const auto item = [this](QMenu* into, const QString& text, const QString& category) {
        QAction* action = into->addAction(menuText(text));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, category] { setCategory(category); });
        m_categoryItems.append({action, category});
    };
    item(menu, QStringLiteral("None"), QString());
    menu->addSeparator();
    for (const auto& [main, subcategories] : Show::appleCategories()) {
        if (subcategories.isEmpty()) {
            item(menu, main, main);
            continue;
        }
        QMenu* sub = menu->addMenu(menuText(main));
        sub->menuAction()->setCheckable(true);
        m_categoryItems.append({sub->menuAction(), main});
        item(sub, main + QStringLiteral(" (main category)"), main);
        sub->addSeparator();
        for (const QString& subcategory : subcategories)
            item(sub, subcategory, main + u'/' + subcategory);
    }
    return menu;
}

void ShowEditor::fillSuggestions()
{
    QMenu* menu = m_suggestionsButton->menu();
    menu->clear();
    const QStringList suggestions
        = m_draft.kind == Show::Kind::Podcast ? QStringList {QStringLiteral("Podcast")} : Show::musicGenres();
    for (const QString& genre : suggestions)
        connect(menu->addAction(menuText(genre)), &QAction::triggered, this,
            [this, genre] { m_genreField->setText(genre); });
}
