#include "app/AppDelegate.h"

#include "library/ShowStore.h"
#include "screenshots/Capture.h"

#include <QFileInfo>

AppDelegate::AppDelegate(ShowStore& store, std::function<void()> activate)
    : m_store(store)
    , m_activate(std::move(activate))
{ }

void AppDelegate::willFinishLaunching()
{
    Capture::prepareIfRequested();
}

void AppDelegate::didFinishLaunching()
{
    Capture::startIfRequested();
}

QList<QUrl> AppDelegate::acceptedFiles(const QList<QUrl>& urls)
{
    QList<QUrl> kept;
    for (const QUrl& url : urls) {
        const QString path = url.path();
        if (path.endsWith(u'/') || QFileInfo(path).suffix().toLower() == QStringLiteral("mp3"))
            kept.append(url);
    }
    return kept;
}

void AppDelegate::openFiles(const QList<QUrl>& urls)
{
    const QList<QUrl> kept = acceptedFiles(urls);
    QList<QUrl> leftOut;
    for (const QUrl& url : urls)
        if (!kept.contains(url))
            leftOut.append(url);
    if (kept.isEmpty() && leftOut.isEmpty())
        return;
    // The window comes back first: the sheet that asks for a show opens on it.
    if (m_activate)
        m_activate();
    // Named in the sheet before the files it will tag, so it opens knowing both.
    m_store.setLeftOut(m_store.leftOut() + leftOut);
    m_store.setPending(m_store.pending() + kept);
}
