#pragma once

#include <QSize>
#include <QString>

class QWidget;
class ShowStore;

// Documentation pictures made by the program itself: the main window, the show
// editor, the drop sheet and the About view rendered off screen into PNG files,
// with fixed sample data that lives in memory only.
namespace Snapshot {

// Writes the pictures into `out` and returns the exit status (always 0: a picture
// that can't be written is reported on standard error and skipped).
int run(ShowStore& store, const QString& out);

// The size a view wants at a fixed width.
QSize fitting(QWidget* view, int width);

// Renders `view` at `size` points into a PNG file; false with a reason when it
// can't be written.
bool render(QWidget* view, QSize size, const QString& file, QString* error);

} // namespace Snapshot
