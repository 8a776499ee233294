#pragma once

#include <QStyledItemDelegate>

// Draws one show in the sidebar: its cover thumbnail, then its name above a
// one-line subtitle.
class ShowRow : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int thumbSide = 32;

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
