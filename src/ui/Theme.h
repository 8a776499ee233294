#pragma once

#include <QColor>
#include <QFont>
#include <QMetaType>
#include <QPalette>

#include <functional>

class QApplication;
class QWidget;

// Pelamo's look in one place: the light and dark palettes, the text styles and
// the semantic colours the views draw with.
namespace Theme {

enum class Appearance { Light, Dark };

// The appearance the desktop asks for; light unless it clearly prefers dark.
// Ask before apply(), which replaces the palette this reads.
Appearance systemAppearance();
// Fusion style with Pelamo's palette for `appearance`, for the whole application.
void apply(Appearance appearance);
Appearance current();
QPalette palette(Appearance appearance);

enum class TextStyle { Title2, Title3, Headline, Body, Callout, Caption, Caption2 };
QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);

// Semantic colours, read from the application palette so they follow the appearance.
QColor primary(qreal opacity = 1.0);
QColor secondary(qreal opacity = 1.0);
QColor tertiary(qreal opacity = 1.0);
QColor accent(qreal opacity = 1.0);
QColor textBackground();

// The colours text is drawn in, by role, so a widget can be coloured again when the
// appearance changes.
enum class Ink { Primary, Secondary, Tertiary, Accent, Link, Green, Red, Orange };
QColor ink(Ink ink, qreal opacity = 1.0);

// Fixed colours that don't follow the palette.
QColor indigo(qreal opacity = 1.0);
QColor purple(qreal opacity = 1.0);
QColor green();
QColor red();
QColor orange();

// Sets a label's or button's font and text colour from a style. The colour is set
// again whenever apply() changes the appearance.
void style(QWidget* widget, TextStyle textStyle, QFont::Weight weight = QFont::Normal);
void colour(QWidget* widget, Ink text, qreal opacity = 1.0);

// Runs `restyle` now and after every apply(), for as long as `owner` lives: for what a
// view draws with the palette's colours at build time (icons, style sheets).
void follow(QObject* owner, std::function<void()> restyle);

} // namespace Theme

Q_DECLARE_METATYPE(Theme::Appearance)
