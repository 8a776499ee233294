#include "ui/Icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <utility>

namespace Icons {
namespace {

constexpr std::array files {
    std::pair {Symbol::Plus, ":/icons/plus.svg"},
    std::pair {Symbol::Microphone, ":/icons/microphone.svg"},
    std::pair {Symbol::TrayArrowDown, ":/icons/tray-arrow-down.svg"},
    std::pair {Symbol::ArrowDownCircle, ":/icons/arrow-down-circle.svg"},
    std::pair {Symbol::CheckCircle, ":/icons/check-circle.svg"},
    std::pair {Symbol::CrossOctagon, ":/icons/cross-octagon.svg"},
    std::pair {Symbol::MagnifyingGlass, ":/icons/magnifying-glass.svg"},
    std::pair {Symbol::Waveform, ":/icons/waveform.svg"},
    std::pair {Symbol::Folder, ":/icons/folder.svg"},
};

QString fileOf(Symbol symbol)
{
    for (const auto& [s, file] : files)
        if (s == symbol)
            return QString::fromLatin1(file);
    return {};
}

QImage render(Symbol symbol, QSize pixels, const QColor& colour)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(fileOf(symbol));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    // The artwork is black; keep its shape, take the colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    return image;
}

// Draws the symbol afresh at whatever size and scale a button asks for.
class SymbolEngine : public QIconEngine
{
public:
    SymbolEngine(Symbol symbol, QColor colour)
        : m_symbol(symbol)
        , m_colour(colour)
    { }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QColor colour = m_colour;
        if (mode == QIcon::Disabled)
            colour.setAlphaF(colour.alphaF() * 0.4f);
        QImage image = render(m_symbol, (QSizeF(rect.size()) * ratio).toSize(), colour);
        image.setDevicePixelRatio(ratio);
        painter->drawImage(rect.topLeft(), image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap out(size);
        out.fill(Qt::transparent);
        QPainter painter(&out);
        paint(&painter, out.rect(), mode, state);
        return out;
    }

    QIconEngine* clone() const override { return new SymbolEngine(m_symbol, m_colour); }

private:
    Symbol m_symbol;
    QColor m_colour;
};

} // namespace

QPixmap pixmap(Symbol symbol, qreal size, const QColor& colour, qreal devicePixelRatio)
{
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap out = QPixmap::fromImage(render(symbol, QSize(pixels, pixels), colour));
    out.setDevicePixelRatio(devicePixelRatio);
    return out;
}

QIcon icon(Symbol symbol, const QColor& colour)
{
    return QIcon(new SymbolEngine(symbol, colour));
}

} // namespace Icons
