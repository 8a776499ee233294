#include "ui/ShowListView.h"

#include <QDragMoveEvent>
#include <QMimeData>

namespace {

QList<QUrl> localFiles(const QMimeData* data)
{
    QList<QUrl> files;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files.append(url);
    return files;
}

} // namespace

ShowListView::ShowListView(QWidget* parent)
    : QListView(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setTextElideMode(Qt::ElideRight);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

void ShowListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDropTarget(indexAt(event->position().toPoint()));
}

void ShowListView::dragMoveEvent(QDragMoveEvent* event)
{
    const QModelIndex row = indexAt(event->position().toPoint());
    setDropTarget(row);
    // Between and below the rows there is no show to tag with.
    if (row.isValid() && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ShowListView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropTarget({});
    event->accept();
}

void ShowListView::dropEvent(QDropEvent* event)
{
    const QModelIndex row = indexAt(event->position().toPoint());
    const QList<QUrl> files = localFiles(event->mimeData());
    setDropTarget({});
    if (!row.isValid() || files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT filesDropped(files, row);
}

void ShowListView::setDropTarget(const QModelIndex& index)
{
    if (m_dropTarget == index)
        return;
    const QModelIndex before = m_dropTarget;
    m_dropTarget = index;
    for (const QModelIndex& row : {before, index})
        if (row.isValid())
            update(row);
}
