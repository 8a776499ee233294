#include "ui/Theme.h"

#include <QApplication>
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

// The two palettes, role by role: a light value and a dark one (0xAARRGGBB). The
// disabled texts come last, over what the first rows gave every group.
struct PaletteEntry
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    QRgb light;
    QRgb dark;
};
constexpr PaletteEntry paletteEntries[] = {
    {QPalette::All, QPalette::Window, 0xfff5f5f7, 0xff242427},
    {QPalette::All, QPalette::WindowText, 0xff1d1d1f, 0xfff2f2f5},
    {QPalette::All, QPalette::Base, 0xffffffff, 0xff1c1c1f},
    {QPalette::All, QPalette::AlternateBase, 0xfff0f0f2, 0xff2b2b2f},
    {QPalette::All, QPalette::Text, 0xff1d1d1f, 0xfff2f2f5},
    {QPalette::All, QPalette::Button, 0xfffcfcfd, 0xff38383d},
    {QPalette::All, QPalette::ButtonText, 0xff1d1d1f, 0xfff2f2f5},
    {QPalette::All, QPalette::Highlight, 0xff007aff, 0xff0a84ff},
    {QPalette::All, QPalette::HighlightedText, 0xffffffff, 0xffffffff},
    {QPalette::All, QPalette::Link, 0xff0066d6, 0xff409cff},
    {QPalette::All, QPalette::ToolTipBase, 0xfffffff0, 0xff38383d},
    {QPalette::All, QPalette::ToolTipText, 0xff1d1d1f, 0xfff2f2f5},
    {QPalette::All, QPalette::PlaceholderText, 0x591d1d1f, 0x66f2f2f5},
    {QPalette::All, QPalette::Light, 0xffffffff, 0xff48484e},
    {QPalette::All, QPalette::Midlight, 0xffe8e8ea, 0xff404045},
    {QPalette::All, QPalette::Mid, 0xffc8c8cc, 0xff303034},
    {QPalette::All, QPalette::Dark, 0xffa0a0a5, 0xff141416},
    {QPalette::All, QPalette::Shadow, 0xff606060, 0xff000000},
    {QPalette::Disabled, QPalette::WindowText, 0x591d1d1f, 0x59f2f2f5},
    {QPalette::Disabled, QPalette::Text, 0x591d1d1f, 0x59f2f2f5},
    {QPalette::Disabled, QPalette::ButtonText, 0x591d1d1f, 0x59f2f2f5},
};

// The fixed colours, which don't come from the palette: light and dark values.
struct FixedColour
{
    QRgb light;
    QRgb dark;
};
constexpr FixedColour indigoColour {0xff5856d6, 0xff5e5ce6};
constexpr FixedColour purpleColour {0xffaf52de, 0xffbf5af2};
constexpr FixedColour greenColour {0xff28a745, 0xff30d158};
constexpr FixedColour redColour {0xffe02b20, 0xffff453a};
constexpr FixedColour orangeColour {0xffe88000, 0xffff9f0a};

Appearance s_current = Appearance::Light;

// The widget properties colour() leaves so apply() can colour the widget again.
constexpr char inkProperty[] = "pelamoInk";
constexpr char inkOpacityProperty[] = "pelamoInkOpacity";

// Tells the views that the appearance changed.
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

Q_SIGNALS:
    void changed();
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
        if (element == PE_IndicatorCheckBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            // Fusion's box edge is its background made darker, which vanishes on a dark card.
            if (option->palette.color(QPalette::Window).lightness() < 128) {
                QColor edge = option->palette.color(QPalette::WindowText);
                edge.setAlphaF(option->state.testFlag(State_Enabled) ? 0.5f : 0.25f);
                painter->save();
                painter->setRenderHint(QPainter::Antialiasing);
                painter->setPen(QPen(edge, 1));
                painter->setBrush(Qt::NoBrush);
                painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
                painter->restore();
            }
            return;
        }
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

    // Fusion draws no focus for a flat button, which is how Pelamo's links are made, and
    // draws a focused button just as it draws the default one: the ring tells them apart.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_PushButton || !qstyleoption_cast<const QStyleOptionButton*>(option)
            || !option->state.testFlag(State_HasFocus))
            return;
        QStyleOptionFocusRect ring;
        ring.QStyleOption::operator=(*option);
        drawPrimitive(PE_FrameFocusRect, &ring, painter, widget);
    }
};

void paint(QWidget* widget, const QColor& text)
{
    QPalette p = widget->palette();
    const QPalette& application = QApplication::palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(role, text);
        // A disabled link or label looks disabled, whatever its ink.
        p.setColor(QPalette::Disabled, role, application.color(QPalette::Disabled, role));
    }
    widget->setPalette(p);
}

QColor withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(float(colour.alphaF() * opacity));
    return colour;
}

QColor fixed(const FixedColour& colour)
{
    return QColor::fromRgba(s_current == Appearance::Dark ? colour.dark : colour.light);
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
    for (const PaletteEntry& entry : paletteEntries)
        p.setColor(entry.group, entry.role,
            QColor::fromRgba(appearance == Appearance::Dark ? entry.dark : entry.light));
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
    return withOpacity(fixed(indigoColour), opacity);
}

QColor purple(qreal opacity)
{
    return withOpacity(fixed(purpleColour), opacity);
}

QColor green()
{
    return fixed(greenColour);
}

QColor red()
{
    return fixed(redColour);
}

QColor orange()
{
    return fixed(orangeColour);
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
