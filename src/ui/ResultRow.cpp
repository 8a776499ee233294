#include "ui/ResultRow.h"

#include "ui/Icons.h"
#include "ui/ResultListModel.h"
#include "ui/Theme.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

namespace {

constexpr int sideMargin = 10;
constexpr int verticalMargin = 3;
constexpr int padding = 2;
constexpr int spacing = 10;
constexpr int symbolSize = 16;
constexpr int revealSize = 22;

// Lays out `text` in at most two lines of `width`, eliding the end of the second.
QStringList twoLines(const QString& text, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    QTextLayout layout(text, font);
    layout.beginLayout();
    QStringList lines;
    while (lines.size() < 2) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
        if (lines.size() == 2 && line.textStart() + line.textLength() < text.size())
            lines.last() = metrics.elidedText(text.mid(line.textStart()), Qt::ElideRight, width);
    }
    layout.endLayout();
    return lines;
}

int textWidth(const QRect& row)
{
    return row.width() - 2 * sideMargin - symbolSize - 3 * spacing - 60 - revealSize;
}

} // namespace

QRect ResultRow::revealRect(const QRect& row)
{
    return {
        row.right() - sideMargin - revealSize + 1, row.center().y() - revealSize / 2, revealSize, revealSize};
}

QSize ResultRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QFontMetrics body(Theme::font(Theme::TextStyle::Body));
    const QFontMetrics caption(Theme::font(Theme::TextStyle::Caption));
    const int width = std::max(200, option.rect.width() > 0 ? option.rect.width() : 600);
    const int lines = int(twoLines(index.data(ResultListModel::DetailRole).toString(),
        Theme::font(Theme::TextStyle::Caption), textWidth(QRect(0, 0, width, 10)))
                              .size());
    const int text = body.height() + 1 + std::max(1, lines) * caption.height();
    return {width, std::max(text, revealSize) + 2 * (padding + verticalMargin)};
}

void ResultRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect;
    if (index.row() % 2 == 1)
        painter->fillRect(row, Theme::primary(0.04));
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(Theme::accent(), 2));
        painter->drawRoundedRect(QRectF(row).adjusted(1, 1, -1, -1), 5, 5);
    }

    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const bool ok = index.data(ResultListModel::OkRole).toBool();
    // A note about what was dropped is neither a success nor a failure.
    const QPixmap symbol = index.data(ResultListModel::NoteRole).toBool()
        ? Icons::pixmap(Icons::Symbol::Folder, symbolSize, Theme::secondary(), ratio)
        : ok ? Icons::pixmap(Icons::Symbol::CheckCircle, symbolSize, Theme::green(), ratio)
             : Icons::pixmap(Icons::Symbol::CrossOctagon, symbolSize, Theme::red(), ratio);
    int x = row.left() + sideMargin;
    painter->drawPixmap(QPointF(x, row.center().y() - symbolSize / 2.0), symbol);
    x += symbolSize + spacing;

    const QFont bodyFont = Theme::font(Theme::TextStyle::Body);
    const QFont captionFont = Theme::font(Theme::TextStyle::Caption);
    const QFontMetrics body(bodyFont);
    const QFontMetrics caption(captionFont);
    const int width = textWidth(row);
    const QStringList detail
        = twoLines(index.data(ResultListModel::DetailRole).toString(), captionFont, width);
    const int height = body.height() + 1 + int(detail.size()) * caption.height();
    int y = row.center().y() - height / 2;

    painter->setFont(bodyFont);
    painter->setPen(Theme::primary());
    painter->drawText(QRect(x, y, width, body.height()), Qt::AlignLeft | Qt::AlignVCenter,
        body.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, width));
    y += body.height() + 1;
    painter->setFont(captionFont);
    painter->setPen(Theme::secondary());
    for (const QString& line : detail) {
        painter->drawText(QRect(x, y, width, caption.height()), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += caption.height();
    }

    const QRect reveal = revealRect(row);
    const QString time = index.data(ResultListModel::TimeRole).toString();
    painter->drawText(QRect(reveal.left() - spacing - 60, row.top(), 60, row.height()),
        Qt::AlignRight | Qt::AlignVCenter, time);
    const QPixmap glass = Icons::pixmap(Icons::Symbol::MagnifyingGlass, 14, Theme::secondary(), ratio);
    painter->drawPixmap(QPointF(reveal.center().x() - 7 + 0.5, reveal.center().y() - 7 + 0.5), glass);
    painter->restore();
}

bool ResultRow::editorEvent(
    QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton
            && revealRect(option.rect).contains(mouse->position().toPoint())) {
            Q_EMIT revealRequested(index.data(ResultListModel::FileRole).toString());
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

bool ResultRow::helpEvent(
    QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip && revealRect(option.rect).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), QStringLiteral("Show in File Manager"), view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
