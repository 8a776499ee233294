#pragma once

#include <QImage>
#include <QWidget>

#include <optional>

// A show's cover as a rounded square: the image cropped to fill it, or whole in
// it with its own shape, or a gradient with a microphone when there is none.
class CoverThumb : public QWidget
{
    Q_OBJECT

public:
    explicit CoverThumb(qreal side, QWidget* parent = nullptr);

    void setImage(const std::optional<QImage>& image);
    const std::optional<QImage>& image() const { return m_image; }
    qreal side() const { return m_side; }
    // Whether the image is shown whole, as it is shaped, rather than filling the square.
    void setWhole(bool whole);

    // Paints a thumbnail into any painter, for list rows that have no widget per row.
    static void paint(
        QPainter& painter, const QRectF& square, const std::optional<QImage>& image, bool whole = false);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_side;
    std::optional<QImage> m_image;
    bool m_whole = false;
};
