#pragma once

#include <QIcon>

// Pelamo's application icon, from the bitmaps compiled into the program.
namespace AppIcon {

// Every drawn size, so windows, task bars and the About view each pick a sharp one.
// Bitmaps rather than the SVG: they need no image-format plugin at run time.
QIcon icon();

} // namespace AppIcon
