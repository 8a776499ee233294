#include "ui/FocusScrollArea.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

constexpr int ringWidth = 2;

// Lets every click through, and draws the ring of the area it covers while that has
// the keyboard.
class RingLayer : public QWidget
{
public:
    explicit RingLayer(QWidget* area)
        : QWidget(area)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QWidget* area = parentWidget();
        if (!area->hasFocus() || !area->window()->testAttribute(Qt::WA_KeyboardFocusChange))
            return;
        QPainter painter(this);
        QStyleOptionFocusRect ring;
        ring.initFrom(area);
        ring.rect = rect();
        ring.state |= QStyle::State_KeyboardFocusChange;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &ring, &painter, area);
    }
};

} // namespace

FocusScrollArea::FocusScrollArea(QWidget* parent)
    : QScrollArea(parent)
    , m_ring(new RingLayer(this))
{
    setViewportMargins(ringWidth, ringWidth, ringWidth, ringWidth);
}

void FocusScrollArea::focusInEvent(QFocusEvent* event)
{
    QScrollArea::focusInEvent(event);
    // The scroll bars' containers are raised as they come and go; the ring goes on top.
    m_ring->raise();
    m_ring->update();
}

void FocusScrollArea::focusOutEvent(QFocusEvent* event)
{
    QScrollArea::focusOutEvent(event);
    m_ring->update();
}

void FocusScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    // Over the scroll bars too, which are laid out in the resize.
    m_ring->setGeometry(rect());
    m_ring->raise();
}
