#pragma once

#include "shows/Show.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <optional>

class ShowEditor;
class QStackedWidget;
class QToolButton;
class ShowListModel;
class ShowListView;
class ShowStore;
class TagView;

// The main window's content: the show list in a sidebar and the selected show's
// tagging pane beside it. It is the one place that opens the editor, the drop
// sheet and the delete confirmation.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(ShowStore& store, QWidget* parent = nullptr);

    // The show whose editor is open, and the show waiting for delete confirmation.
    const std::optional<Show>& editing() const { return m_editing; }
    const std::optional<Show>& confirmDelete() const { return m_confirmDelete; }

    QDialog* editorSheet() const { return m_editorSheet; }
    QDialog* dropSheet() const { return m_dropSheet; }
    QMessageBox* deleteConfirmation() const { return m_deleteConfirmation; }
    ShowListView* showList() const { return m_list; }
    TagView* tagView() const { return m_tagView; }

public Q_SLOTS:
    // The + button: adds a show and opens its editor.
    void addShow();
    void editShow(const Show& show);
    void duplicateShow(const Show& show);
    void askToDelete(const Show& show);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void storeChanged();
    void syncSelection();
    void syncDetail();
    void syncDropSheet();
    void showContextMenu(const QPoint& position);
    // After a sheet closes, by mouse or keyboard, the main window has the keyboard again.
    void returnFocus();

    ShowStore& m_store;
    ShowListModel* m_model;
    ShowListView* m_list;
    QToolButton* m_newShow;
    QStackedWidget* m_detail;
    QWidget* m_emptyState;
    TagView* m_tagView = nullptr;

    std::optional<Show> m_editing;
    std::optional<Show> m_confirmDelete;
    QPointer<QDialog> m_editorSheet;
    QPointer<ShowEditor> m_editor;
    QPointer<QDialog> m_dropSheet;
    QPointer<QMessageBox> m_deleteConfirmation;

    bool m_shown = false;
};
