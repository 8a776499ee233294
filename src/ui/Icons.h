#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

// Pelamo's own symbol set, drawn as single-colour SVGs and tinted on use.
namespace Icons {

enum class Symbol {
    Plus,
    Microphone,
    TrayArrowDown,
    ArrowDownCircle,
    CheckCircle,
    CrossOctagon,
    MagnifyingGlass,
    Waveform,
    Folder,
};

// The symbol at `size` points in `colour`, sharp at the given device pixel ratio.
QPixmap pixmap(Symbol symbol, qreal size, const QColor& colour, qreal devicePixelRatio);
// An icon for buttons, tinted with the palette's text colour.
QIcon icon(Symbol symbol, const QColor& colour);

} // namespace Icons
