#include "ui/ElidedLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

bool ElidedLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

bool ElidedLabel::event(QEvent* event)
{
    // A tooltip of its own is kept; otherwise the cut text is the tooltip.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (isElided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    painter.drawText(area, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

ElidedButton::ElidedButton(QWidget* parent)
    : QPushButton(parent)
{
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
}

QSize ElidedButton::minimumSizeHint() const
{
    // Room for the text's first word and "…", the frame and padding around it.
    const QSize whole = sizeHint();
    const int textWidth = fontMetrics().horizontalAdvance(text());
    const int shortest = fontMetrics().horizontalAdvance(text().section(u' ', 0, 0) + u'\u2026');
    return {qMin(whole.width(), whole.width() - textWidth + shortest), whole.height()};
}

QString ElidedButton::shownText() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    // The room is what the style leaves for the label inside the button as it is now.
    const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
    return fontMetrics().elidedText(text(), Qt::ElideRight, room, Qt::TextShowMnemonic);
}

void ElidedButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = shownText();
    painter.drawControl(QStyle::CE_PushButton, option);
}
