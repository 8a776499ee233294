#include "ui/ShowRow.h"

#include "ui/CoverThumb.h"
#include "ui/ShowListModel.h"
#include "ui/ShowListView.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int spacing = 10;
constexpr int verticalPadding = 2;
constexpr int lineGap = 1;
constexpr int sidePadding = 8;

} // namespace

QSize ShowRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const QFontMetrics name(Theme::font(Theme::TextStyle::Body));
    const QFontMetrics caption(Theme::font(Theme::TextStyle::Caption));
    const int text = name.height() + lineGap + caption.height();
    // The list adds its own item margins; these are the row's.
    return {option.rect.width(), std::max(thumbSide, text) + 2 * verticalPadding};
}

void ShowRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    opt.icon = {};
    // The style's focus rectangle is a hairline in the selection's own colour; the row draws its own.
    opt.state &= ~QStyle::State_HasFocus;
    // Background and selection as the style draws them, the content ourselves.
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    // The row files are dragged over, where they would be tagged with its show.
    if (const auto* list = qobject_cast<const ShowListView*>(widget); list && list->dropTarget() == index) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(Theme::accent(), 2));
        painter->setBrush(Theme::accent(0.15));
        painter->drawRoundedRect(QRectF(option.rect).adjusted(2, 1, -2, -1), 6, 6);
        painter->restore();
    }

    // The keyboard's row: a ring inside it, in the selection's text colour on a selected row.
    if (option.state & QStyle::State_HasFocus) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QColor ring = option.state & QStyle::State_Selected
            ? option.palette.color(QPalette::HighlightedText)
            : Theme::accent();
        painter->setPen(QPen(ring, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option.rect).adjusted(2, 2, -2, -2), 5, 5);
        painter->restore();
    }

    const QRect r = option.rect.adjusted(sidePadding, verticalPadding, -sidePadding, -verticalPadding);
    const QRectF thumb(r.left(), r.center().y() - thumbSide / 2.0 + 0.5, thumbSide, thumbSide);
    const QVariant cover = index.data(ShowListModel::CoverRole);
    CoverThumb::paint(*painter, thumb, cover.isValid() ? std::optional(cover.value<QImage>()) : std::nullopt);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    const QColor primary
        = selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::WindowText);
    QColor secondary = primary;
    secondary.setAlphaF(selected ? 0.8f : 0.55f);

    const QFont nameFont = Theme::font(Theme::TextStyle::Body);
    const QFont captionFont = Theme::font(Theme::TextStyle::Caption);
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics captionMetrics(captionFont);
    const int left = int(thumb.right()) + spacing;
    const int width = r.right() - left;
    const int textHeight = nameMetrics.height() + lineGap + captionMetrics.height();
    const int top = r.center().y() - textHeight / 2 + 1;

    painter->save();
    painter->setFont(nameFont);
    painter->setPen(primary);
    painter->drawText(QRect(left, top, width, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, width));
    painter->setFont(captionFont);
    painter->setPen(secondary);
    painter->drawText(QRect(left, top + nameMetrics.height() + lineGap, width, captionMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter,
        captionMetrics.elidedText(index.data(ShowListModel::SubtitleRole).toString(), Qt::ElideRight, width));
    painter->restore();
}
