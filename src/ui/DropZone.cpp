#include "ui/DropZone.h"

#include "ui/ElidedLabel.h"
#include "ui/Icons.h"
#include "ui/Theme.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

constexpr int zoneMinimumHeight = 190;
constexpr int compactMinimumHeight = 110;
constexpr qreal radius = 16;
constexpr int symbolSize = 34;

QColor mix(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
        float(a.greenF() + (b.greenF() - a.greenF()) * t), float(a.blueF() + (b.blueF() - a.blueF()) * t),
        float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

bool carriesFiles(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(), [](const QUrl& url) { return url.isLocalFile(); });
}

} // namespace

DropZone::DropZone(QWidget* parent)
    : QWidget(parent)
    , m_animation(new QVariantAnimation(this))
    , m_symbol(new QLabel(this))
    , m_headline(new QLabel(this))
    , m_explanation(new QLabel(this))
    , m_choose(new QPushButton(QStringLiteral("Choose Files…"), this))
    , m_bar(new QProgressBar(this))
    , m_detail(new ElidedLabel(this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("dropZone"));
    setAcceptDrops(true);
    setMinimumHeight(zoneMinimumHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);

    m_symbol->setObjectName(QStringLiteral("dropSymbol"));
    m_symbol->setAlignment(Qt::AlignCenter);
    m_headline->setObjectName(QStringLiteral("dropHeadline"));
    m_headline->setAlignment(Qt::AlignCenter);
    m_headline->setFont(Theme::font(Theme::TextStyle::Title3, QFont::Medium));
    m_explanation->setObjectName(QStringLiteral("dropExplanation"));
    m_explanation->setAlignment(Qt::AlignCenter);
    m_explanation->setWordWrap(true);
    m_explanation->setTextFormat(Qt::RichText);
    m_explanation->setFont(Theme::font(Theme::TextStyle::Callout));
    m_choose->setObjectName(QStringLiteral("chooseFilesButton"));
    m_bar->setObjectName(QStringLiteral("tagProgress"));
    m_bar->setAccessibleName(QStringLiteral("Tagging progress"));
    m_bar->setTextVisible(false);
    m_detail->setObjectName(QStringLiteral("tagProgressFile"));
    m_detail->setAccessibleName(QStringLiteral("File being tagged"));
    m_detail->setAlignment(Qt::AlignCenter);
    m_detail->setTextFormat(Qt::PlainText);
    m_detail->setFont(Theme::font(Theme::TextStyle::Callout));
    m_cancel->setObjectName(QStringLiteral("cancelTaggingButton"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(10);
    layout->addStretch();
    layout->addWidget(m_symbol);
    layout->addWidget(m_headline);
    layout->addWidget(m_explanation);
    layout->addSpacing(2);
    layout->addWidget(m_choose, 0, Qt::AlignHCenter);
    // Half the zone's width: wide enough that every file moves it visibly.
    auto* barRow = new QHBoxLayout;
    barRow->addStretch(1);
    barRow->addWidget(m_bar, 2);
    barRow->addStretch(1);
    layout->addLayout(barRow);
    layout->addWidget(m_detail);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    layout->addStretch();

    m_animation->setDuration(120);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toReal();
        update();
    });
    connect(m_choose, &QPushButton::clicked, this, &DropZone::chooseRequested);
    connect(m_cancel, &QPushButton::clicked, this, &DropZone::cancelRequested);
    setProgress(std::nullopt);
}

QList<QWidget*> DropZone::buttons() const
{
    return {m_choose, m_cancel};
}

void DropZone::setProgress(const std::optional<Progress>& progress)
{
    m_busy = progress.has_value();
    showParts();
    if (progress) {
        // In half steps: the file in progress already counts half, so the bar moves from the first file.
        // A long batch still shows a sliver from its first file: never less than a fiftieth.
        const int range = int(2 * progress->maximum);
        const int value = int(2 * progress->value);
        m_bar->setRange(0, range);
        m_bar->setValue(value < range ? qMax(value + 1, (range + 49) / 50) : range);
        m_detail->setText(progress->detail);
        m_headline->setText(progress->headline);
        m_headline->setAccessibleName(progress->headline);
    }
    refresh();
}

void DropZone::setCompact(bool compact)
{
    if (compact == m_compact)
        return;
    m_compact = compact;
    showParts();
    setMinimumHeight(compact ? compactMinimumHeight : zoneMinimumHeight);
}

void DropZone::showParts()
{
    m_symbol->setVisible(!m_busy && !m_compact);
    m_explanation->setVisible(!m_busy && !m_compact);
    m_choose->setVisible(!m_busy);
    m_bar->setVisible(m_busy);
    m_detail->setVisible(m_busy);
    m_cancel->setVisible(m_busy);
}

void DropZone::setShowName(const QString& name)
{
    // The name is the user's text: escaped, then set in bold.
    m_explanation->setText(
        QStringLiteral("They'll be tagged as <b>%1</b>. Existing tags are replaced; the audio is "
                       "never touched.")
            .arg(name.toHtmlEscaped()));
}

void DropZone::setTargeted(bool targeted)
{
    if (m_targeted == targeted)
        return;
    m_targeted = targeted;
    m_animation->stop();
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(targeted ? 1.0 : 0.0);
    m_animation->start();
    refresh();
}

void DropZone::refresh()
{
    const qreal ratio = devicePixelRatioF();
    m_symbol->setPixmap(m_targeted
            ? Icons::pixmap(Icons::Symbol::ArrowDownCircle, symbolSize, Theme::accent(), ratio)
            : Icons::pixmap(Icons::Symbol::TrayArrowDown, symbolSize, Theme::secondary(), ratio));
    if (!m_busy)
        m_headline->setText(
            m_targeted ? QStringLiteral("Release to tag") : QStringLiteral("Drop MP3 files here"));
    Theme::colour(m_detail, Theme::Ink::Secondary);
    Theme::colour(m_explanation, Theme::Ink::Secondary);
}

void DropZone::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        refresh();
    QWidget::changeEvent(event);
}

void DropZone::dragEnterEvent(QDragEnterEvent* event)
{
    if (!carriesFiles(event->mimeData()))
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void DropZone::dragLeaveEvent(QDragLeaveEvent*)
{
    setTargeted(false);
}

void DropZone::dropEvent(QDropEvent* event)
{
    setTargeted(false);
    if (!carriesFiles(event->mimeData()))
        return;
    QList<QUrl> locations;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            locations.append(url);
    event->acceptProposedAction();
    Q_EMIT dropped(locations);
}

void DropZone::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = 1.5 + (2.5 - 1.5) * m_progress;
    const QRectF box = QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2);
    QPainterPath outline;
    outline.addRoundedRect(box, radius, radius);
    painter.fillPath(outline, mix(Theme::primary(0.035), Theme::accent(0.10), m_progress));
    QPen pen(mix(Theme::secondary(0.45), Theme::accent(), m_progress), width);
    // Dash lengths are in multiples of the pen width; keep them at 7 on and 5 off in points.
    pen.setDashPattern({7 / width, 5 / width});
    painter.setPen(pen);
    painter.drawPath(outline);
}
