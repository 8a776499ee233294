#pragma once

#include "shows/Show.h"

#include <QList>
#include <QWidget>

#include <optional>

class CoverWell;
class ElidedLabel;
class QAbstractButton;
class QBoxLayout;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class ShowStore;

// The form in which a show is created or changed. It edits a copy of the show and
// writes it back only on save; cover images are the exception, as they are copied
// into the library the moment they are chosen, so the editor tracks which stored
// cover files it must delete when the user saves or cancels.
//
// The behaviour and the menus live in ShowEditor.cpp, the building of the form in
// ShowEditorForm.cpp and its small painted widgets in ShowEditorParts.cpp.
class ShowEditor : public QWidget
{
    Q_OBJECT

public:
    // With `scrolls` the form sits in a scroll area of fixed height (the sheet);
    // without it the editor is as tall as the whole form (pictures of it).
    ShowEditor(ShowStore& store, const Show& show, bool scrolls, QWidget* parent = nullptr);
    ~ShowEditor() override;

    const Show& draft() const { return m_draft; }
    bool canSave() const;

    QSize sizeHint() const override;

    // Puts the keyboard in the name field, with its text selected for a new show,
    // so that typing names the show at once.
    void focusName(bool selectAll);

public Q_SLOTS:
    void save();
    void cancel();

Q_SIGNALS:
    // After save() or cancel() did their work: whoever shows the editor closes it.
    void finished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The form, top to bottom.
    QWidget* buildForm();
    QWidget* buildHeader();
    QWidget* buildShowSection();
    QWidget* buildTitleSection();
    QWidget* buildTagsSection();
    QWidget* buildPodcastSection();
    QWidget* buildDescriptionBox();
    QWidget* buildCommentSection();
    QWidget* buildOlderPlayersSection();
    QWidget* buildBottomBar();

    // Controls bound to one field of the draft.
    QLineEdit* textField(const char* name, QString Show::*field, const QString& prompt = {});
    QCheckBox* checkBox(const char* name, bool Show::*field, const QString& text = {});
    QPlainTextEdit* textArea(const char* name, int height, QBoxLayout* into);
    // One row of a field grid: the field's name over its frame ID, then the control.
    QWidget* addGridRow(QGridLayout* grid, const QString& name, const QString& frames, QWidget* control);
    QMenu* buildCategoryMenu(QWidget* parent);
    void fillSuggestions();

    void setKind(Show::Kind kind);
    void setCategory(const QString& category);
    void descriptionChanged();
    void setCover(const QString& imagePath);
    void chooseImage();
    void removeCover();
    // Stores a copy of the cover made for players in its place.
    void makeCoverSmaller();
    // The draft takes a newly stored cover file; the one imported before it goes.
    void useCoverFile(const QString& name);
    void showCover();
    bool anotherShowNames(const std::optional<QString>& coverFile) const;
    // Deletes the cover imported since the editor opened, once, unless save() ran.
    void discardImportedCover();
    // Brings every label, visibility and enabled state in line with the draft.
    void refresh();

    ShowStore& m_store;
    Show m_draft;
    // The cover file the show had when the editor opened.
    const std::optional<QString> m_original;
    const bool m_scrolls;
    std::optional<QString> m_coverError;
    // The cover as its header describes it, and what making it smaller did.
    std::optional<ID3::Picture> m_coverPicture;
    QString m_coverMade;
    // Set once save() or cancel() ran; after that the cover files are settled.
    bool m_finished = false;
    bool m_defaultSet = false;
    // Every control in the order Tab visits them.
    QList<QWidget*> m_focusOrder;

    ElidedLabel* m_headerName = nullptr;
    QAbstractButton* m_podcastButton = nullptr;
    QAbstractButton* m_musicButton = nullptr;
    CoverWell* m_coverWell = nullptr;
    QLabel* m_coverInfo = nullptr;
    QLabel* m_coverHelp = nullptr;
    QLabel* m_coverMadeLabel = nullptr;
    QLabel* m_coverAdvice = nullptr;
    QPushButton* m_smallerButton = nullptr;
    QPushButton* m_removeCoverButton = nullptr;
    QLabel* m_coverErrorLabel = nullptr;
    QLineEdit* m_nameField = nullptr;
    QLineEdit* m_titleField = nullptr;
    QCheckBox* m_titleFromFileNameCheck = nullptr;
    QLabel* m_titleNote = nullptr;
    QWidget* m_composerName = nullptr;
    QWidget* m_composerField = nullptr;
    QLineEdit* m_genreField = nullptr;
    QToolButton* m_suggestionsButton = nullptr;
    QLineEdit* m_yearField = nullptr;
    QLabel* m_yearNote = nullptr;
    QWidget* m_podcastSection = nullptr;
    QToolButton* m_categoryButton = nullptr;
    // Every category item, and every submenu by its main category, for the tick.
    QList<std::pair<QAction*, QString>> m_categoryItems;
    QWidget* m_descriptionBox = nullptr;
    QPlainTextEdit* m_descriptionEdit = nullptr;
    QLabel* m_descriptionCounter = nullptr;
    QLabel* m_id3v1Intro = nullptr;
    QWidget* m_id3v1Preview = nullptr;
    QGridLayout* m_id3v1Grid = nullptr;
    QLabel* m_id3v1Outro = nullptr;
    QLabel* m_saveMessage = nullptr;
    QPushButton* m_saveButton = nullptr;
};
