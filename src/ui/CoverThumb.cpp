#include "ui/CoverThumb.h"

#include "ui/Icons.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal cornerRatio = 0.18;
constexpr qreal symbolRatio = 0.42;

} // namespace

CoverThumb::CoverThumb(qreal side, QWidget* parent)
    : QWidget(parent)
    , m_side(side)
{
    setFixedSize(qRound(side), qRound(side));
}

void CoverThumb::setImage(const std::optional<QImage>& image)
{
    m_image = image;
    update();
}

void CoverThumb::setWhole(bool whole)
{
    m_whole = whole;
    update();
}

void CoverThumb::paint(
    QPainter& painter, const QRectF& square, const std::optional<QImage>& image, bool whole)
{
    const qreal side = square.width();
    const qreal radius = cornerRatio * side;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath outline;
    outline.addRoundedRect(square, radius, radius);
    painter.setClipPath(outline);

    if (image && !image->isNull() && whole) {
        // The whole picture in the square, keeping the aspect ratio, on a quiet ground.
        painter.fillRect(square, Theme::primary(0.06));
        const QSizeF shown = QSizeF(image->size()).scaled(square.size(), Qt::KeepAspectRatio);
        const QRectF target(
            QPointF(square.center().x() - shown.width() / 2, square.center().y() - shown.height() / 2),
            shown);
        painter.drawImage(target, *image);
    } else if (image && !image->isNull()) {
        // Fill the square, keeping the aspect ratio; the overflow is cut off.
        const QSizeF source = image->size();
        const qreal scale = std::max(side / source.width(), side / source.height());
        const QSizeF shown(side / scale, side / scale);
        const QRectF crop(
            QPointF((source.width() - shown.width()) / 2, (source.height() - shown.height()) / 2), shown);
        painter.drawImage(square, *image, crop);
    } else {
        QLinearGradient gradient(square.topLeft(), square.bottomRight());
        gradient.setColorAt(0, Theme::indigo(0.55));
        gradient.setColorAt(1, Theme::purple(0.45));
        painter.fillRect(square, gradient);
        const qreal symbol = symbolRatio * side;
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QPixmap mic
            = Icons::pixmap(Icons::Symbol::Microphone, symbol, QColor(255, 255, 255, int(0.9 * 255)), ratio);
        painter.drawPixmap(QPointF(square.center().x() - symbol / 2, square.center().y() - symbol / 2), mic);
    }

    // A hairline just inside the outline keeps light artwork from melting into the window.
    painter.setClipping(false);
    painter.setPen(QPen(QColor(0, 0, 0, int(0.08 * 255)), 1));
    painter.setBrush(Qt::NoBrush);
    const QRectF inner = square.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(inner, radius - 0.5, radius - 0.5);
    painter.restore();
}

void CoverThumb::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, QRectF(0, 0, m_side, m_side), m_image, m_whole);
}
