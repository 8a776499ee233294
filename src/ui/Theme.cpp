#include "ui/Theme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionFocusRect>
#include <QWidget>

namespace Theme {
namespace {

// Text sizes in points, matched to the text styles desktop users know from
// other platforms; they scale with the application font.
struct StyleSize
{
    TextStyle style;
    qreal size;
    QFont::Weight weight;
};
constexpr StyleSize styleSizes[] = {
    {TextStyle::Title2, 17, QFont::Normal},
    {TextStyle::Title3, 15, QFont::Normal},
    {TextStyle::Headline, 13, QFont::DemiBold},
    {TextStyle::Body, 13, QFont::Normal},
    {TextStyle::Callout, 12, QFont::Normal},
    {TextStyle::Caption, 10.5, QFont::Normal},
    {TextStyle::Caption2, 10, QFont::Normal},
};

// A default desktop font is 10 pt; anything larger or smaller scales every style.
constexpr qreal referenceFontPoints = 10.0;

Appearance s_current = Appearance::Light;

// The widget properties colour() leaves so apply() can colour the widget again.
constexpr char inkProperty[] = "pelamoInk";
constexpr char inkOpacityProperty[] = "pelamoInkOpacity";

constexpr auto portalService = "org.freedesktop.portal.Desktop";
constexpr auto portalPath = "/org/freedesktop/portal/desktop";
constexpr auto portalSettings = "org.freedesktop.portal.Settings";
constexpr auto appearanceGroup = "org.freedesktop.appearance";
constexpr auto colourSchemeKey = "color-scheme";

// Tells the views that the appearance changed, and listens to the desktop for it.
class Notifier : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    static Notifier* instance()
    {
        static QPointer<Notifier> notifier;
        if (!notifier)
            notifier = new Notifier(qApp);
        return notifier;
    }

    void listen()
    {
        if (m_listening)
            return;
        m_listening = true;
        m_unstated = current();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        // The slot's argument types must be known to the meta-type system before connecting.
        qRegisterMetaType<QDBusVariant>();
        bus.connect(QString::fromLatin1(portalService), QString::fromLatin1(portalPath),
            QString::fromLatin1(portalSettings), QStringLiteral("SettingChanged"), this,
            SLOT(settingChanged(QString, QString, QDBusVariant)));
        // Asked without waiting: a missing or slow portal never holds up the window.
        QDBusMessage read = QDBusMessage::createMethodCall(QString::fromLatin1(portalService),
            QString::fromLatin1(portalPath), QString::fromLatin1(portalSettings), QStringLiteral("Read"));
        read << QString::fromLatin1(appearanceGroup) << QString::fromLatin1(colourSchemeKey);
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            const QDBusPendingReply<QDBusVariant> reply = *call;
            if (!reply.isError())
                schemeChanged(reply.value().variant());
            call->deleteLater();
        });
    }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
    {
        if (group == QLatin1String(appearanceGroup) && key == QLatin1String(colourSchemeKey))
            schemeChanged(value.variant());
    }

private:
    // 1 prefers dark, 2 prefers light, 0 states nothing: then what the desktop looked like
    // at start holds. Older portals wrap the value in one more variant.
    void schemeChanged(QVariant value)
    {
        if (value.canConvert<QDBusVariant>())
            value = qvariant_cast<QDBusVariant>(value).variant();
        const uint scheme = value.toUInt();
        const Appearance wanted = scheme == 1 ? Appearance::Dark
            : scheme == 2                     ? Appearance::Light
                                              : m_unstated;
        if (wanted != current())
            apply(wanted);
    }

    bool m_listening = false;
    Appearance m_unstated = Appearance::Light;
};

// Fusion, with a focus ring a keyboard user can find at a glance: two pixels of the
// accent colour, or of the selection's text colour on a selected row.
class FocusRingStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget) const override
    {
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        if (!option->state.testFlag(State_KeyboardFocusChange))
            return;
        const auto* focus = qstyleoption_cast<const QStyleOptionFocusRect*>(option);
        const bool onSelection
            = focus && focus->backgroundColor == option->palette.color(QPalette::Highlight);
        QColor ring = option->palette.color(onSelection ? QPalette::HighlightedText : QPalette::Highlight);
        ring.setAlphaF(0.9f);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(ring, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(1, 1, -1, -1), 4, 4);
        painter->restore();
    }
};

void paint(QWidget* widget, const QColor& text)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    widget->setPalette(p);
}

QColor withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(float(colour.alphaF() * opacity));
    return colour;
}

} // namespace

Appearance systemAppearance()
{
    const QByteArray gtkTheme = qgetenv("GTK_THEME").toLower();
    if (gtkTheme.contains("dark"))
        return Appearance::Dark;
    // Before apply() replaces it, the application palette is the platform theme's,
    // which follows the desktop's setting.
    return QApplication::palette().color(QPalette::Window).lightness() < 110 ? Appearance::Dark
                                                                             : Appearance::Light;
}

QPalette palette(Appearance appearance)
{
    QPalette p;
    if (appearance == Appearance::Dark) {
        p.setColor(QPalette::Window, QColor(0x24, 0x24, 0x27));
        p.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf5));
        p.setColor(QPalette::Base, QColor(0x1c, 0x1c, 0x1f));
        p.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2f));
        p.setColor(QPalette::Text, QColor(0xf2, 0xf2, 0xf5));
        p.setColor(QPalette::Button, QColor(0x38, 0x38, 0x3d));
        p.setColor(QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf5));
        p.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
        p.setColor(QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::Link, QColor(0x40, 0x9c, 0xff));
        p.setColor(QPalette::ToolTipBase, QColor(0x38, 0x38, 0x3d));
        p.setColor(QPalette::ToolTipText, QColor(0xf2, 0xf2, 0xf5));
        p.setColor(QPalette::PlaceholderText, QColor(0xf2, 0xf2, 0xf5, 0x66));
        p.setColor(QPalette::Light, QColor(0x48, 0x48, 0x4e));
        p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x45));
        p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x34));
        p.setColor(QPalette::Dark, QColor(0x14, 0x14, 0x16));
        p.setColor(QPalette::Shadow, Qt::black);
        p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xf2, 0xf2, 0xf5, 0x59));
        p.setColor(QPalette::Disabled, QPalette::Text, QColor(0xf2, 0xf2, 0xf5, 0x59));
        p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf5, 0x59));
    } else {
        p.setColor(QPalette::Window, QColor(0xf5, 0xf5, 0xf7));
        p.setColor(QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f));
        p.setColor(QPalette::Base, Qt::white);
        p.setColor(QPalette::AlternateBase, QColor(0xf0, 0xf0, 0xf2));
        p.setColor(QPalette::Text, QColor(0x1d, 0x1d, 0x1f));
        p.setColor(QPalette::Button, QColor(0xfc, 0xfc, 0xfd));
        p.setColor(QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f));
        p.setColor(QPalette::Highlight, QColor(0x00, 0x7a, 0xff));
        p.setColor(QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::Link, QColor(0x00, 0x66, 0xd6));
        p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xf0));
        p.setColor(QPalette::ToolTipText, QColor(0x1d, 0x1d, 0x1f));
        p.setColor(QPalette::PlaceholderText, QColor(0x1d, 0x1d, 0x1f, 0x59));
        p.setColor(QPalette::Light, Qt::white);
        p.setColor(QPalette::Midlight, QColor(0xe8, 0xe8, 0xea));
        p.setColor(QPalette::Mid, QColor(0xc8, 0xc8, 0xcc));
        p.setColor(QPalette::Dark, QColor(0xa0, 0xa0, 0xa5));
        p.setColor(QPalette::Shadow, QColor(0x60, 0x60, 0x60));
        p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f, 0x59));
        p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x1d, 0x1d, 0x1f, 0x59));
        p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f, 0x59));
    }
    return p;
}

void apply(Appearance appearance)
{
    s_current = appearance;
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(new FocusRingStyle(fusion));
    QApplication::setPalette(palette(appearance));
    // Style sheets first: setting one again puts back the palettes its widgets had before.
    Q_EMIT Notifier::instance()->changed();
    for (QWidget* widget : QApplication::allWidgets()) {
        const QVariant ink = widget->property(inkProperty);
        if (ink.isValid())
            paint(widget, Theme::ink(Ink(ink.toInt()), widget->property(inkOpacityProperty).toReal()));
    }
}

void follow(QObject* owner, std::function<void()> restyle)
{
    restyle();
    QObject::connect(Notifier::instance(), &Notifier::changed, owner, std::move(restyle));
}

void followDesktop()
{
    Notifier::instance()->listen();
}

Appearance current()
{
    return s_current;
}

QFont font(TextStyle style, QFont::Weight weight)
{
    QFont f = QApplication::font();
    const qreal base = f.pointSizeF() > 0 ? f.pointSizeF() : referenceFontPoints;
    for (const auto& entry : styleSizes) {
        if (entry.style != style)
            continue;
        // Sizes are in device-independent pixels, the unit every layout size here uses.
        f.setPixelSize(qRound(entry.size * base / referenceFontPoints));
        f.setWeight(weight == QFont::Normal ? entry.weight : weight);
    }
    return f;
}

QColor primary(qreal opacity)
{
    return withOpacity(QApplication::palette().color(QPalette::WindowText), opacity);
}

QColor secondary(qreal opacity)
{
    return withOpacity(QApplication::palette().color(QPalette::WindowText), 0.55 * opacity);
}

QColor tertiary(qreal opacity)
{
    return withOpacity(QApplication::palette().color(QPalette::WindowText), 0.30 * opacity);
}

QColor accent(qreal opacity)
{
    return withOpacity(QApplication::palette().color(QPalette::Highlight), opacity);
}

QColor textBackground()
{
    return QApplication::palette().color(QPalette::Base);
}

QColor indigo(qreal opacity)
{
    return withOpacity(
        s_current == Appearance::Dark ? QColor(0x5e, 0x5c, 0xe6) : QColor(0x58, 0x56, 0xd6), opacity);
}

QColor purple(qreal opacity)
{
    return withOpacity(
        s_current == Appearance::Dark ? QColor(0xbf, 0x5a, 0xf2) : QColor(0xaf, 0x52, 0xde), opacity);
}

QColor green()
{
    return s_current == Appearance::Dark ? QColor(0x30, 0xd1, 0x58) : QColor(0x28, 0xa7, 0x45);
}

QColor red()
{
    return s_current == Appearance::Dark ? QColor(0xff, 0x45, 0x3a) : QColor(0xe0, 0x2b, 0x20);
}

QColor orange()
{
    return s_current == Appearance::Dark ? QColor(0xff, 0x9f, 0x0a) : QColor(0xe8, 0x80, 0x00);
}

void style(QWidget* widget, TextStyle textStyle, QFont::Weight weight)
{
    widget->setFont(font(textStyle, weight));
}

QColor ink(Ink ink, qreal opacity)
{
    switch (ink) {
    case Ink::Primary:
        return primary(opacity);
    case Ink::Secondary:
        return secondary(opacity);
    case Ink::Tertiary:
        return tertiary(opacity);
    case Ink::Accent:
        return accent(opacity);
    case Ink::Link:
        return withOpacity(QApplication::palette().color(QPalette::Link), opacity);
    case Ink::Green:
        return withOpacity(green(), opacity);
    case Ink::Red:
        return withOpacity(red(), opacity);
    case Ink::Orange:
        return withOpacity(orange(), opacity);
    }
    return primary(opacity);
}

void colour(QWidget* widget, Ink text, qreal opacity)
{
    widget->setProperty(inkProperty, int(text));
    widget->setProperty(inkOpacityProperty, opacity);
    paint(widget, ink(text, opacity));
}

} // namespace Theme

#include "Theme.moc"
