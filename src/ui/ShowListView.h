#pragma once

#include <QList>
#include <QListView>
#include <QPersistentModelIndex>
#include <QUrl>

// The sidebar's list of shows. It never scrolls sideways: rows elide what doesn't
// fit. Files dragged over a row light it up, and dropped there they are handed on
// with that row.
class ShowListView : public QListView
{
    Q_OBJECT

public:
    explicit ShowListView(QWidget* parent = nullptr);

    // The row a drag of files hovers over, which the rows' delegate lights up.
    QModelIndex dropTarget() const { return m_dropTarget; }

Q_SIGNALS:
    void filesDropped(const QList<QUrl>& locations, const QModelIndex& row);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDropTarget(const QModelIndex& index);

    QPersistentModelIndex m_dropTarget;
};
