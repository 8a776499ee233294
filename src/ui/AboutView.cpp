#include "ui/AboutView.h"

#include "ui/Accessible.h"
#include "ui/AppIcon.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

constexpr int viewWidth = 340;
constexpr int sideMargin = 48;
constexpr int topMargin = 30;
constexpr int bottomMargin = 26;
constexpr int iconSize = 96;
constexpr int logoWidth = 160;

// Space above each item after the icon, in the column's order.
constexpr int nameGap = 8;
constexpr int versionGap = 2;
constexpr int fromGap = 24;
constexpr int logoGap = 8;
constexpr int linkGap = 12;
constexpr int copyrightGap = 20;

const QString makerName = QStringLiteral("Vantorel");

QLabel* addItem(QVBoxLayout* column, QWidget* parent, const char* name, int gapAbove)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    if (gapAbove > 0)
        column->addSpacing(gapAbove);
    column->addWidget(label, 0, Qt::AlignHCenter);
    return label;
}

} // namespace

AboutView::AboutView(QWidget* parent)
    : AboutView(QStringLiteral(":/logo"), parent)
{ }

AboutView::AboutView(const QString& logoFolder, QWidget* parent)
    : QWidget(parent)
    , m_logoFolder(logoFolder)
{
    setWindowTitle(QStringLiteral("About Pelamo"));

    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(sideMargin, topMargin, sideMargin, bottomMargin);

    m_icon = addItem(column, this, "icon", 0);
    m_icon->setFixedSize(iconSize, iconSize);
    m_icon->setAccessibleName(QStringLiteral("Pelamo"));
    m_name = addItem(column, this, "name", nameGap);
    m_name->setText(QStringLiteral("Pelamo"));
    m_version = addItem(column, this, "version", versionGap);
    m_version->setText(QStringLiteral("Version ") + QCoreApplication::applicationVersion());
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_from = addItem(column, this, "from", fromGap);
    m_from->setText(QStringLiteral("from"));
    m_logo = addItem(column, this, "logo", logoGap);
    m_logo->setAccessibleName(makerName);
    m_link = addItem(column, this, "link", linkGap);
    m_link->setTextFormat(Qt::RichText);
    m_link->setOpenExternalLinks(true);
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    Accessible::markLink(m_link, website());
    m_copyright = addItem(column, this, "copyright", copyrightGap);
    m_copyright->setText(copyright());

    setFixedWidth(viewWidth);
    restyle();
}

QUrl AboutView::website()
{
    static const QUrl url(QStringLiteral("https://vantorel.example/"));
    return url;
}

QString AboutView::copyright()
{
    return QStringLiteral("© 2026 Vantorel");
}

void AboutView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        restyle();
}

void AboutView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The screen, and with it the pixel ratio the images were drawn for, is known only now.
    updateImages();
}

void AboutView::restyle()
{
    Theme::style(m_name, Theme::TextStyle::Title2, QFont::DemiBold);
    for (QLabel* label : {m_version, m_from, m_link})
        Theme::style(label, Theme::TextStyle::Callout);
    Theme::style(m_copyright, Theme::TextStyle::Caption);
    for (QLabel* label : {m_version, m_from, m_copyright})
        Theme::colour(label, Theme::Ink::Secondary);

    // Rich text takes its link colour when the text is set, so set it again for the new palette.
    m_link->clear();
    m_link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                        .arg(website().toString(QUrl::FullyEncoded), website().host()));

    updateImages();
}

void AboutView::updateImages()
{
    const qreal ratio = devicePixelRatioF();
    m_icon->setPixmap(AppIcon::icon().pixmap(QSize(iconSize, iconSize), ratio));

    const QString variant = Theme::current() == Theme::Appearance::Dark
        ? QStringLiteral("Vantorel-logo-dark.png")
        : QStringLiteral("Vantorel-logo.png");
    QImage logo(m_logoFolder + QLatin1Char('/') + variant);
    if (logo.isNull()) {
        m_logo->setText(makerName);
        Theme::style(m_logo, Theme::TextStyle::Title3, QFont::DemiBold);
    } else {
        logo = logo.scaledToWidth(qRound(logoWidth * ratio), Qt::SmoothTransformation);
        logo.setDevicePixelRatio(ratio);
        m_logo->setPixmap(QPixmap::fromImage(logo));
    }

    // Sized to its content: the image and the fallback text differ in height.
    setFixedHeight(sizeHint().height());
}

// Compiled here rather than in the shared moc unit, so linking this view pulls in no other.
#include "moc_AboutView.cpp"
