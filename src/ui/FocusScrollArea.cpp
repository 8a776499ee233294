#include "ui/FocusScrollArea.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

constexpr int ringWidth = 2;

} // namespace

FocusScrollArea::FocusScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
    setViewportMargins(ringWidth, ringWidth, ringWidth, ringWidth);
}

void FocusScrollArea::focusInEvent(QFocusEvent* event)
{
    QScrollArea::focusInEvent(event);
    update();
}

void FocusScrollArea::focusOutEvent(QFocusEvent* event)
{
    QScrollArea::focusOutEvent(event);
    update();
}

bool FocusScrollArea::event(QEvent* event)
{
    const bool handled = QScrollArea::event(event);
    if (event->type() == QEvent::Paint && hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        QPainter painter(this);
        QStyleOptionFocusRect ring;
        ring.initFrom(this);
        ring.state |= QStyle::State_KeyboardFocusChange;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &ring, &painter, this);
    }
    return handled;
}
