#pragma once

#include "ui/Theme.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QObject;
class QScreen;
class QWidget;

// What the views ask of the Linux desktop: showing a file in the file manager,
// the open panel, and the light or dark choice. Tests replace the first two
// through the seams at the end.
namespace Desktop {

// What a window may take of a screen: its available area less what a window
// manager's frame and title bar, and a menu bar, take from it. A large size with
// no screen to measure.
QSize room(const QScreen* screen);

// Opens a file-manager window with the file selected. When no file manager offers
// that over D-Bus, or the file has moved away, opens the nearest folder that exists;
// when that can't be opened either, calls `failed` with the folder, perhaps later.
void reveal(const QString& path, std::function<void(const QString& folder)> failed = {});

struct OpenPanel
{
    enum class Content { Mp3, Images };
    Content content = Content::Mp3;
    QString acceptLabel;
    QString message;
    bool multiple = false;
    bool folders = false;
};

// A modal open panel; the chosen files and folders, or nothing on cancel.
QList<QUrl> choose(QWidget* parent, const OpenPanel& panel);

// The desktop's light or dark choice, as the XDG desktop portal's colour-scheme
// setting gives it (GNOME 42 and later, KDE Plasma 5.24 and later): `changed` gets
// what the portal says at start, asked without waiting so that a missing or slow
// portal never holds up the window, and again after every switch. "No
// preference" gives `unstated`, what the desktop looked like at start.
// It listens for as long as `owner` lives.
void followColourScheme(
    QObject* owner, Theme::Appearance unstated, std::function<void(Theme::Appearance)> changed);

// Seams: the next choose() answers this without showing a dialog; reveal() goes to
// the handler instead of the desktop while one is set.
void setNextChoice(std::optional<QList<QUrl>> choice);
void setRevealHandler(std::function<void(const QString&)> handler);

} // namespace Desktop
