#pragma once

#include <QStyledItemDelegate>

// Draws one entry of the Recent list: a check or cross, the file name over the
// show and message, the time, and a button that shows the file in the file manager.
class ResultRow : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

    // Where the reveal button sits within a row's rectangle.
    static QRect revealRect(const QRect& row);

Q_SIGNALS:
    void revealRequested(const QString& file);
};
