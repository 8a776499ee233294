#pragma once

#include <QList>
#include <QUrl>

#include <functional>

class ShowStore;

// Receives what the desktop hands the running program: files opened with it,
// and the moments around start-up.
class AppDelegate
{
public:
    AppDelegate(ShowStore& store, std::function<void()> activate);

    // Before any window exists, and once the application runs: the moments the
    // window-capture mode steers from.
    void willFinishLaunching();
    void didFinishLaunching();

    // Files opened with Pelamo: MP3 files and folders join the pending list, which
    // asks for a show; anything else is named there as left out.
    void openFiles(const QList<QUrl>& urls);
    bool shouldQuitAfterLastWindowClosed() const { return true; }

    // MP3 files (any letter case) and folder locations (a path ending in "/"),
    // in the order given. The file system is not consulted.
    static QList<QUrl> acceptedFiles(const QList<QUrl>& urls);

private:
    ShowStore& m_store;
    std::function<void()> m_activate;
};
