#pragma once

#include "library/Journal.h"
#include "shows/Show.h"

#include <QWidget>

#include <functional>

class CoverThumb;
class DropZone;
class ElidedLabel;
class QLabel;
class QListView;
class QScrollArea;
class QShortcut;
class QWidget;
class QPushButton;
class QScrollArea;
class ResultListModel;
class ShowStore;
class TagsWritten;

// The selected show's tagging pane: what the show writes, the drop zone that
// tags files with it, and the Recent list of results.
class TagView : public QWidget
{
    Q_OBJECT

public:
    TagView(ShowStore& store, const Show& show, std::function<void()> onEdit, QWidget* parent = nullptr);

    void setShow(const Show& show);
    // The show this pane tags with (not QWidget::show()).
    const Show& currentShow() const { return m_show; }

    // "Title: …  ·  Artist: …  ·  Genre: …"
    static QString summary(const Show& show);

    // Queues the files for tagging with this pane's show, as a drop or the open
    // panel does.
    void tag(const QList<QUrl>& locations);
    // The open panel for files to tag with this pane's show.
    void chooseFiles();

    // What Undo Last Batch says it undoes: "Undo Last Batch: 73 files as Night
    // Drive EP, 18:58", and the longer tip.
    static QString undoText(const Journal::Summary& batch);
    static QString undoTip(const Journal::Summary& batch);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Shows `file` in the file manager, or says in the window why it can't.
    void reveal(const QString& file);
    // A short window-modal message.
    void inform(const QString& title, const QString& text);
    void showResultMenu(const QPoint& position);
    void refreshResults();
    void refreshProgress();
    // When a batch ends: Recent's heading tells how it went, and its newest row is in view.
    void showBatchEnd();
    void bringRecentIntoView();
    void refreshRecentVisibility();

    ShowStore& m_store;
    Show m_show;
    std::function<void()> m_onEdit;
    CoverThumb* m_cover;
    ElidedLabel* m_name;
    QLabel* m_summary;
    DropZone* m_dropZone;
    TagsWritten* m_written;
    QWidget* m_recent;
    QLabel* m_recentTitle = nullptr;
    QScrollArea* m_scroll = nullptr;
    bool m_batchRunning = false;
    QPushButton* m_undo;
    QShortcut* m_escape = nullptr;
    QPushButton* m_clear = nullptr;
    QListView* m_results;
    ResultListModel* m_model;
};
