// The lower part of the show editor's form: the podcast's section, the
// description, the comment, what older players read, and the bar with the buttons.
#include "ui/ShowEditor.h"
#include "ui/ShowEditorForm.h"
#include "ui/ShowEditorParts.h"
#include "ui/Theme.h"

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

namespace {

constexpr int descriptionHeight = 96;
constexpr int commentHeight = 44;
constexpr int previewColumnSpacing = 12;
constexpr int previewRowSpacing = 4;
constexpr int previewInset = 4;
constexpr int barMargin = 14;

} // namespace

using namespace EditorForm;

QWidget* ShowEditor::buildPodcastSection()
{
    QVBoxLayout* content = nullptr;
    m_podcastSection = section("podcastSection", QStringLiteral("Podcast"), content);
    QGridLayout* grid = fieldGrid();
    content->addLayout(grid);

    m_categoryButton = new QToolButton;
    m_categoryButton->setObjectName(QStringLiteral("categoryMenu"));
    m_categoryButton->setPopupMode(QToolButton::InstantPopup);
    m_categoryButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_categoryButton->setFont(Theme::font(TextStyle::Body));
    m_categoryButton->setMenu(buildCategoryMenu(m_categoryButton));
    m_focusOrder << m_categoryButton;
    auto* category = new QWidget;
    QHBoxLayout* categoryLayout = row(category, 0);
    categoryLayout->addWidget(m_categoryButton);
    categoryLayout->addStretch();
    addGridRow(grid, QStringLiteral("Category"), QStringLiteral("TCAT"), category);

    addGridRow(grid, QStringLiteral("Keywords"), QStringLiteral("TKWD"),
        textField("keywordsField", &Show::keywords, QStringLiteral("marketing, paid ads, growth")));
    addGridRow(grid, QStringLiteral("Feed URL"), QStringLiteral("WFED"),
        textField("feedURLField", &Show::feedURL, QStringLiteral("https://…/feed.xml")));
    content->addWidget(checkBox("podcastFlagCheck", &Show::podcastFlag,
        QStringLiteral("Mark files as podcast episodes (iTunes podcast flag · PCST)")));
    return m_podcastSection;
}

QWidget* ShowEditor::buildDescriptionBox()
{
    auto* box = new SectionBox;
    box->setObjectName(QStringLiteral("descriptionBox"));
    QVBoxLayout* content = column(box, sectionSpacing, boxMargin);
    auto* heading = new QWidget;
    QHBoxLayout* headingLayout = row(heading, 8);
    headingLayout->addWidget(label(QStringLiteral("DESCRIPTION  ·  TDES"), TextStyle::Caption,
        Theme::Ink::Secondary, nullptr, QFont::DemiBold));
    headingLayout->addStretch();
    m_descriptionCounter = label(QString(), TextStyle::Caption, Theme::Ink::Secondary, "descriptionCounter");
    m_descriptionCounter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The widest the counter gets, so the text doesn't shift as digits change.
    m_descriptionCounter->setMinimumWidth(m_descriptionCounter->fontMetrics().horizontalAdvance(
        QLocale().toString(qlonglong(Show::descriptionLimit * 10)) + QStringLiteral(" / ")
        + QLocale().toString(qlonglong(Show::descriptionLimit))));
    headingLayout->addWidget(m_descriptionCounter);
    content->addWidget(heading);
    m_descriptionEdit = textArea("descriptionEdit", descriptionHeight, content);
    m_descriptionEdit->setAccessibleName(QStringLiteral("Description (TDES)"));
    m_descriptionEdit->setPlainText(m_draft.description);
    // Connected after the text is in: a stored description longer than the limit
    // stays whole until the user changes it.
    connect(m_descriptionEdit, &QPlainTextEdit::textChanged, this, &ShowEditor::descriptionChanged);
    content->addWidget(note(QStringLiteral("Apple Podcasts allows up to 4,000 characters.")));
    m_descriptionBox = box;
    return box;
}

QWidget* ShowEditor::buildCommentSection()
{
    QVBoxLayout* content = nullptr;
    QWidget* comment = section("commentSection", QStringLiteral("Comment  ·  COMM"), content);
    QPlainTextEdit* edit = textArea("commentEdit", commentHeight, content);
    edit->setAccessibleName(QStringLiteral("Comment (COMM)"));
    edit->setPlainText(m_draft.comment);
    connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] {
        m_draft.comment = plainText(edit);
        refresh();
    });
    return comment;
}

QWidget* ShowEditor::buildOlderPlayersSection()
{
    QVBoxLayout* content = nullptr;
    QWidget* older = section("olderPlayersSection", QStringLiteral("Older players  ·  ID3v1"), content);
    content->addWidget(checkBox("writeID3v1Check", &Show::writeID3v1,
        QStringLiteral("Also write an ID3v1 tag for older players and car stereos")));
    m_id3v1Intro
        = note(QStringLiteral("Filled in automatically from this show's tags above — this is exactly "
                              "what older players will read:"),
            "id3v1Intro");
    content->addWidget(m_id3v1Intro);
    m_id3v1Preview = new QWidget;
    m_id3v1Preview->setObjectName(QStringLiteral("id3v1Preview"));
    m_id3v1Grid = new QGridLayout(m_id3v1Preview);
    m_id3v1Grid->setContentsMargins(previewInset, 0, 0, 0);
    m_id3v1Grid->setHorizontalSpacing(previewColumnSpacing);
    m_id3v1Grid->setVerticalSpacing(previewRowSpacing);
    m_id3v1Grid->setColumnStretch(1, 1);
    content->addWidget(m_id3v1Preview);
    m_id3v1Outro
        = note(QStringLiteral("ID3v1 is the old format: 30 characters per field, no cover, no description."),
            "id3v1Outro");
    content->addWidget(m_id3v1Outro);
    return older;
}

QWidget* ShowEditor::buildBottomBar()
{
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("bottomBar"));
    QHBoxLayout* layout = row(bar, 10);
    layout->setContentsMargins(barMargin, barMargin, barMargin, barMargin);
    m_saveMessage = label(QStringLiteral("Give the show a name and a title (or use the file name)."),
        TextStyle::Caption, Theme::Ink::Secondary, "saveMessage");
    layout->addWidget(m_saveMessage);
    layout->addStretch();
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    // Return on a focused Cancel means Cancel, in a dialog or not.
    cancelButton->setAutoDefault(true);
    connect(cancelButton, &QPushButton::clicked, this, &ShowEditor::cancel);
    m_saveButton = new QPushButton(QStringLiteral("Save"));
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_saveButton->setDefault(true);
    connect(m_saveButton, &QPushButton::clicked, this, &ShowEditor::save);
    layout->addWidget(cancelButton);
    layout->addWidget(m_saveButton);
    m_focusOrder << cancelButton << m_saveButton;
    return bar;
}
