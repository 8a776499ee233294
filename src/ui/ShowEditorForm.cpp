#include "ui/ShowEditorForm.h"

#include "ui/FocusScrollArea.h"
#include "ui/ShowEditor.h"
#include "ui/ShowEditorParts.h"
#include "ui/Theme.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

namespace EditorForm {

constexpr int formSpacing = 14;
constexpr int boxSpacing = 10;
constexpr int coverSide = 84;
constexpr int coverRowSpacing = 14;
constexpr int coverColumnSpacing = 6;
constexpr int kindSwitchWidth = 190;

QLabel* label(const QString& text, TextStyle style, Theme::Ink colour, const char* name, QFont::Weight weight)
{
    auto* label = new QLabel(text);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->setFont(Theme::font(style, weight));
    Theme::colour(label, colour);
    return label;
}

QLabel* note(const QString& text, const char* name)
{
    QLabel* note = label(text, TextStyle::Caption, Theme::Ink::Secondary, name);
    note->setWordWrap(true);
    return note;
}

namespace {

QString rgba(const QColor& colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}

} // namespace

QString fieldStyle()
{
    return QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 5px; padding: 2px 4px;"
                          " background: %2; }"
                          " QLineEdit:focus { border: 1px solid %3; }"
                          " QLineEdit:disabled { background: %4; }")
        .arg(rgba(Theme::primary(0.2)), rgba(Theme::textBackground()), rgba(Theme::accent()),
            rgba(Theme::primary(0.03)));
}

QVBoxLayout* column(QWidget* owner, int spacing, int margin)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* row(QWidget* owner, int spacing)
{
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QWidget* section(const char* name, const QString& title, QVBoxLayout*& content)
{
    auto* section = new QWidget;
    section->setObjectName(QString::fromLatin1(name));
    QVBoxLayout* layout = column(section, sectionSpacing);
    layout->addWidget(
        label(title.toUpper(), TextStyle::Caption, Theme::Ink::Secondary, nullptr, QFont::DemiBold));
    auto* box = new SectionBox;
    content = column(box, boxSpacing, boxMargin);
    layout->addWidget(box);
    return section;
}

QGridLayout* fieldGrid()
{
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(gridColumnSpacing);
    grid->setVerticalSpacing(gridRowSpacing);
    grid->setColumnStretch(1, 1);
    return grid;
}

} // namespace EditorForm

using namespace EditorForm;

QWidget* ShowEditor::buildForm()
{
    auto* form = new QWidget;
    form->setObjectName(QStringLiteral("form"));
    Theme::follow(form, [form] { form->setStyleSheet(fieldStyle()); });
    QVBoxLayout* blocks = column(form, formSpacing, formMargin);
    blocks->addWidget(buildHeader());
    blocks->addWidget(buildShowSection());
    blocks->addWidget(buildTitleSection());
    blocks->addWidget(buildTagsSection());
    blocks->addWidget(buildPodcastSection());
    blocks->addWidget(buildDescriptionBox());
    blocks->addWidget(buildCommentSection());
    blocks->addWidget(buildOlderPlayersSection());
    blocks->addWidget(
        note(QStringLiteral(
                 "Blank fields are not written. Every tag already in a file is replaced by exactly these."),
            "blankFieldsNote"));
    blocks->addStretch();

    QVBoxLayout* editor = column(this, 0);
    if (m_scrolls) {
        auto* scroll = new FocusScrollArea;
        scroll->setObjectName(QStringLiteral("formScroll"));
        scroll->setAccessibleName(QStringLiteral("Show settings"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        scroll->setWidget(form);
        editor->addWidget(scroll, 1);
    } else {
        editor->addWidget(form, 1);
    }
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    Theme::colour(divider, Theme::Ink::Primary, 0.12);
    editor->addWidget(divider);
    editor->addWidget(buildBottomBar());
    return form;
}

QWidget* ShowEditor::buildHeader()
{
    auto* header = new QWidget;
    QHBoxLayout* layout = row(header, formSpacing);
    m_headerName = new ElidedLabel;
    m_headerName->setObjectName(QStringLiteral("headerName"));
    m_headerName->setFont(Theme::font(TextStyle::Title2, QFont::DemiBold));
    layout->addWidget(m_headerName, 1);

    auto* kindSwitch = new SegmentTrack;
    kindSwitch->setObjectName(QStringLiteral("kindSwitch"));
    kindSwitch->setAccessibleName(QStringLiteral("Kind"));
    kindSwitch->setFixedWidth(kindSwitchWidth);
    QHBoxLayout* segments = row(kindSwitch, 0);
    m_podcastButton = new SegmentButton(QStringLiteral("Podcast"));
    m_podcastButton->setObjectName(QStringLiteral("podcastButton"));
    m_musicButton = new SegmentButton(QStringLiteral("Music"));
    m_musicButton->setObjectName(QStringLiteral("musicButton"));
    auto* group = new QButtonGroup(kindSwitch);
    group->setExclusive(true);
    for (QAbstractButton* button : {m_podcastButton, m_musicButton}) {
        group->addButton(button);
        segments->addWidget(button);
        m_focusOrder << button;
    }
    m_podcastButton->setChecked(m_draft.kind == Show::Kind::Podcast);
    m_musicButton->setChecked(m_draft.kind == Show::Kind::Music);
    connect(m_podcastButton, &QAbstractButton::clicked, this, [this] { setKind(Show::Kind::Podcast); });
    connect(m_musicButton, &QAbstractButton::clicked, this, [this] { setKind(Show::Kind::Music); });
    layout->addWidget(kindSwitch, 0, Qt::AlignVCenter);
    return header;
}

QWidget* ShowEditor::buildShowSection()
{
    QVBoxLayout* content = nullptr;
    QWidget* show = section("showSection", QStringLiteral("Show"), content);
    m_nameField = textField("nameField", &Show::name, QStringLiteral("Name in the list"));
    m_nameField->setAccessibleName(QStringLiteral("Show name"));
    content->addWidget(m_nameField);

    auto* coverRow = new QWidget;
    QHBoxLayout* rowLayout = row(coverRow, coverRowSpacing);
    m_coverWell = new CoverWell(coverSide, [this](const QString& path) { setCover(path); });
    m_coverWell->setWhole(true);
    m_coverWell->setObjectName(QStringLiteral("coverWell"));
    m_coverWell->setAccessibleName(QStringLiteral("Cover art (APIC)"));
    rowLayout->addWidget(m_coverWell, 0, Qt::AlignVCenter);

    auto* details = new QWidget;
    QVBoxLayout* detailLayout = column(details, coverColumnSpacing);
    detailLayout->addWidget(
        label(QStringLiteral("Cover art"), TextStyle::Callout, Theme::Ink::Primary, nullptr, QFont::Medium));
    m_coverInfo = label(QString(), TextStyle::Caption, Theme::Ink::Primary, "coverInfo");
    m_coverInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detailLayout->addWidget(m_coverInfo);
    m_coverHelp = note(QString(), "coverHelp");
    detailLayout->addWidget(m_coverHelp);
    auto* buttons = new QWidget;
    QHBoxLayout* buttonLayout = row(buttons, 8);
    auto* choose = new QPushButton(QStringLiteral("Choose Image…"));
    choose->setObjectName(QStringLiteral("chooseImageButton"));
    choose->setAutoDefault(false);
    connect(choose, &QPushButton::clicked, this, &ShowEditor::chooseImage);
    m_removeCoverButton = new QPushButton(QStringLiteral("Remove"));
    m_removeCoverButton->setObjectName(QStringLiteral("removeCoverButton"));
    m_removeCoverButton->setAutoDefault(false);
    connect(m_removeCoverButton, &QPushButton::clicked, this, &ShowEditor::removeCover);
    buttonLayout->addWidget(choose);
    buttonLayout->addWidget(m_removeCoverButton);
    buttonLayout->addStretch();
    m_focusOrder << choose << m_removeCoverButton;
    detailLayout->addWidget(buttons);
    // What directories and players ask of the picture, and the one remedy for most of it.
    m_coverMadeLabel = note(QString(), "coverMade");
    detailLayout->addWidget(m_coverMadeLabel);
    m_coverAdvice = note(QString(), "coverAdvice");
    Theme::colour(m_coverAdvice, Theme::Ink::Orange);
    detailLayout->addWidget(m_coverAdvice);
    m_smallerButton = new QPushButton(QStringLiteral("Make Smaller for Players"));
    m_smallerButton->setObjectName(QStringLiteral("makeSmallerButton"));
    m_smallerButton->setAutoDefault(false);
    connect(m_smallerButton, &QPushButton::clicked, this, &ShowEditor::makeCoverSmaller);
    m_focusOrder << m_smallerButton;
    detailLayout->addWidget(m_smallerButton, 0, Qt::AlignLeft);
    m_coverErrorLabel = label(QString(), TextStyle::Caption, Theme::Ink::Red, "coverError");
    m_coverErrorLabel->setWordWrap(true);
    detailLayout->addWidget(m_coverErrorLabel);
    rowLayout->addWidget(details, 1, Qt::AlignVCenter);
    content->addWidget(coverRow);
    return show;
}

QWidget* ShowEditor::buildTitleSection()
{
    QVBoxLayout* content = nullptr;
    QWidget* title = section("titleSection", QStringLiteral("Title"), content);
    m_titleField = textField("titleField", &Show::title, QStringLiteral("Title (TIT2)"));
    m_titleField->setAccessibleName(QStringLiteral("Title (TIT2)"));
    content->addWidget(m_titleField);
    // What each file brings of its own: its name, its number in its folder, its chapters.
    content->addWidget(label(QStringLiteral("Taken from each file"), TextStyle::Callout,
        Theme::Ink::Secondary, "fromEachFileLabel", QFont::DemiBold));
    m_titleFromFileNameCheck = checkBox("titleFromFileNameCheck", &Show::titleFromFileName);
    content->addWidget(m_titleFromFileNameCheck);
    m_titleNote = note(QString(), "titleNote");
    content->addWidget(m_titleNote);
    content->addWidget(checkBox("keepTitleCheck", &Show::keepTitle,
        QStringLiteral("Keep the title a file already has (TIT2); the rule above is for the others")));
    content->addWidget(checkBox("artistFromFileNameCheck", &Show::artistFromFileName,
        QStringLiteral("Take the artist from each file's name, \u201cArtist - Title\u201d (TPE1)")));
    content->addWidget(checkBox("numberTracksCheck", &Show::numberTracks,
        QStringLiteral("Number the tracks and discs (TRCK, TPOS)")));
    content->addWidget(
        note(QStringLiteral("As the names say, \u201c01 - Intro\u201d, \u201cTrack 01 Intro\u201d or "
                            "\u201c1-01 Intro\u201d (disc 1), in \u201cDisc 2\u201d folders too, out of all "
                            "the tracks of the disc; where some names have no number, or two the same, "
                            "each file's place in its folder."),
            "numberTracksNote"));
    content->addWidget(checkBox("keepTrackInfoCheck", &Show::keepTrackInfo,
        QStringLiteral("Keep each file's lyrics, ISRC, identifiers, ReplayGain, tempo, key and rating")));
    content->addWidget(checkBox("keepChaptersCheck", &Show::keepChapters,
        QStringLiteral("Keep each file's chapters (CHAP, CTOC), with their titles, links and images")));
    return title;
}

QWidget* ShowEditor::buildTagsSection()
{
    QVBoxLayout* content = nullptr;
    QWidget* tags = section("tagsSection", QStringLiteral("Tags"), content);
    QGridLayout* grid = fieldGrid();
    content->addLayout(grid);

    addGridRow(
        grid, QStringLiteral("Artist"), QStringLiteral("TPE1"), textField("artistField", &Show::artist));
    addGridRow(grid, QStringLiteral("Album artist"), QStringLiteral("TPE2"),
        textField("albumArtistField", &Show::albumArtist));
    addGridRow(grid, QStringLiteral("Album"), QStringLiteral("TALB"), textField("albumField", &Show::album));
    m_composerField = textField("composerField", &Show::composer);
    m_composerName = addGridRow(grid, QStringLiteral("Composer"), QStringLiteral("TCOM"), m_composerField);

    auto* genre = new QWidget;
    QHBoxLayout* genreLayout = row(genre, 6);
    m_genreField = textField("genreField", &Show::genre);
    genreLayout->addWidget(m_genreField, 1);
    m_suggestionsButton = new QToolButton;
    m_suggestionsButton->setObjectName(QStringLiteral("suggestionsMenu"));
    m_suggestionsButton->setText(QStringLiteral("Suggestions"));
    m_suggestionsButton->setAutoRaise(true);
    m_suggestionsButton->setPopupMode(QToolButton::InstantPopup);
    m_suggestionsButton->setFont(Theme::font(TextStyle::Body));
    m_suggestionsButton->setMenu(new QMenu(m_suggestionsButton));
    m_focusOrder << m_suggestionsButton;
    genreLayout->addWidget(m_suggestionsButton);
    addGridRow(grid, QStringLiteral("Genre"), QStringLiteral("TCON"), genre);

    auto* year = new QWidget;
    QVBoxLayout* yearColumn = column(year, coverColumnSpacing);
    auto* yearRow = new QWidget;
    QHBoxLayout* yearLayout = row(yearRow, 10);
    m_yearField = textField("yearField", &Show::year, QStringLiteral("2025 or 2025-11-03"));
    yearLayout->addWidget(m_yearField, 1);
    yearLayout->addWidget(
        checkBox("autoYearCheck", &Show::autoYear, QStringLiteral("Always the current year")));
    yearColumn->addWidget(yearRow);
    m_yearNote = note(QString(), "yearNote");
    yearColumn->addWidget(m_yearNote);
    addGridRow(grid, QStringLiteral("Year"), QStringLiteral("TYER · TDRC"), year);

    addGridRow(grid, QStringLiteral("Language"), QStringLiteral("TLAN"),
        textField("languageField", &Show::language, QStringLiteral("eng")));
    addGridRow(grid, QStringLiteral("Publisher"), QStringLiteral("TPUB"),
        textField("publisherField", &Show::publisher));
    addGridRow(grid, QStringLiteral("Copyright"), QStringLiteral("TCOP"),
        textField("copyrightField", &Show::copyright));
    return tags;
}

QLineEdit* ShowEditor::textField(const char* name, QString Show::*field, const QString& prompt)
{
    auto* edit = new QLineEdit(m_draft.*field);
    edit->setObjectName(QString::fromLatin1(name));
    // The default cap of 32767 would cut a longer stored text the moment it is shown.
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setCursorPosition(0);
    edit->setPlaceholderText(prompt);
    edit->setFont(Theme::font(TextStyle::Body));
    connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
        m_draft.*field = text;
        refresh();
    });
    m_focusOrder << edit;
    return edit;
}

QCheckBox* ShowEditor::checkBox(const char* name, bool Show::*field, const QString& text)
{
    auto* check = new QCheckBox(text);
    check->setObjectName(QString::fromLatin1(name));
    check->setFont(Theme::font(TextStyle::Body));
    check->setChecked(m_draft.*field);
    connect(check, &QCheckBox::toggled, this, [this, field](bool on) {
        m_draft.*field = on;
        refresh();
    });
    m_focusOrder << check;
    return check;
}

QPlainTextEdit* ShowEditor::textArea(const char* name, int height, QBoxLayout* into)
{
    auto* area = new TextArea(height);
    area->editor()->setObjectName(QString::fromLatin1(name));
    into->addWidget(area);
    m_focusOrder << area->editor();
    return area->editor();
}

QWidget* ShowEditor::addGridRow(
    QGridLayout* grid, const QString& name, const QString& frames, QWidget* control)
{
    auto* names = new QWidget;
    QVBoxLayout* layout = column(names, 0);
    QLabel* nameLabel = label(name, TextStyle::Body, Theme::Ink::Primary);
    QLabel* frameLabel = label(frames, TextStyle::Caption2, Theme::Ink::Tertiary);
    nameLabel->setAlignment(Qt::AlignRight);
    frameLabel->setAlignment(Qt::AlignRight);
    layout->addWidget(nameLabel);
    layout->addWidget(frameLabel);
    // Grids can't align baselines: move the name down until its baseline meets
    // the first line of text in the control beside it.
    const int controlLine = (control->sizeHint().height() - nameLabel->sizeHint().height()) / 2;
    layout->setContentsMargins(0, std::max(0, controlLine), 0, 0);
    // The name labels the row's first control, for mnemonics and screen readers alike.
    QWidget* field = control;
    if (field->focusPolicy() == Qt::NoFocus)
        for (QWidget* child : control->findChildren<QWidget*>())
            if (child->focusPolicy() != Qt::NoFocus) {
                field = child;
                break;
            }
    nameLabel->setBuddy(field);
    field->setAccessibleName(name + QStringLiteral(" (") + frames + u')');
    const int at = grid->rowCount();
    grid->addWidget(names, at, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(control, at, 1, Qt::AlignTop);
    return names;
}
