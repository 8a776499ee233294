#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QFile>
#include <QFileInfo>

namespace {

qsizetype indexOf(const QList<Show>& shows, const QUuid& id)
{
    for (qsizetype i = 0; i < shows.size(); ++i)
        if (shows.at(i).id == id)
            return i;
    return -1;
}

} // namespace

std::optional<Show> ShowStore::selected() const
{
    if (!m_selection)
        return std::nullopt;
    const qsizetype at = indexOf(m_shows, *m_selection);
    return at < 0 ? std::nullopt : std::optional(m_shows.at(at));
}

std::optional<Show> ShowStore::showNamed(const QString& text) const
{
    // A name anywhere in the list wins over a title earlier in it.
    for (const auto field : {&Show::name, &Show::title})
        for (const Show& show : m_shows)
            if ((show.*field).compare(text, Qt::CaseInsensitive) == 0)
                return show;
    return std::nullopt;
}

QString ShowStore::uniqueName(const QString& base) const
{
    const auto taken = [&](const QString& name) {
        return std::any_of(m_shows.cbegin(), m_shows.cend(), [&](const Show& s) { return s.name == name; });
    };
    QString candidate = base;
    for (int n = 2; taken(candidate); ++n)
        candidate = base + u' ' + QString::number(n);
    return candidate;
}

Show ShowStore::add()
{
    Show show;
    show.name = uniqueName(QStringLiteral("New Show"));
    // A new show has no title yet: each file's name gives one, so its first drop tags.
    show.titleFromFileName = true;
    QList<Show> shows = m_shows;
    shows.append(show);
    setShows(shows);
    setSelection(show.id);
    return show;
}

void ShowStore::duplicate(const Show& source)
{
    Show copy = source;
    copy.id = QUuid::createUuid();
    copy.name = uniqueName(source.name + QStringLiteral(" copy"));
    // The copy gets a cover file of its own when the source's can be read; otherwise
    // both name the same file, which remove() then takes care not to delete early.
    if (const auto bytes = coverData(source)) {
        const QString name = Uuid::text(copy.id) + u'.' + QFileInfo(*source.coverFile).suffix();
        QFile file(coversFolder() + u'/' + name);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(*bytes);
        copy.coverFile = name;
    }
    QList<Show> shows = m_shows;
    shows.append(copy);
    setShows(shows);
    setSelection(copy.id);
}

void ShowStore::remove(const Show& show)
{
    QList<Show> shows = m_shows;
    shows.removeIf([&](const Show& s) { return s.id == show.id; });
    const bool coverShared = show.coverFile && std::any_of(shows.cbegin(), shows.cend(), [&](const Show& s) {
        return s.coverFile == show.coverFile;
    });
    if (!coverShared)
        deleteCoverFile(show.coverFile);
    setShows(shows);
    if (m_selection == show.id)
        setSelection(shows.isEmpty() ? std::nullopt : std::optional(shows.first().id));
    else
        save();
}

void ShowStore::update(const Show& show)
{
    const qsizetype at = indexOf(m_shows, show.id);
    if (at < 0)
        return;
    QList<Show> shows = m_shows;
    shows[at] = show;
    setShows(shows);
    save();
}
