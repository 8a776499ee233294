#pragma once

// What screen readers are told where Qt's own interfaces say something else: a
// label that is a web link, and a choice box named by its label rather than by the
// value it shows (Qt names a combo box by its current text on Linux).
#include <QAccessible>
#include <QUrl>

class QComboBox;
class QLabel;

namespace Accessible {

// The label is a link to `url`: its name is its text, its one action opens the link.
void markLink(QLabel* label, const QUrl& url);
// The box keeps its accessible name; its current text is its value.
void keepName(QComboBox* box);

} // namespace Accessible
