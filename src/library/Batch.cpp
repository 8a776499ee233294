#include "id3/FileName.h"
#include "id3/ID3.h"
#include "library/ShowStore.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

QString pathOf(const QUrl& location)
{
    const QString path = FileName::fromUrl(location);
    return location.isLocalFile() ? FileName::absolute(path) : path;
}

// A folder's MP3 entries, hidden ones included, whatever bytes their names
// hold, sorted by their path's Unicode scalar values after canonical
// composition: "A.mp3" before "a.mp3", and "Episode 10.mp3" before
// "Episode 2.mp3". Pelamo's own temporary files are not the user's.
QStringList mp3Entries(const QString& folder)
{
    struct Entry
    {
        QList<uint> key;
        QString path;
    };
    QList<Entry> entries;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString& name : FileName::entries(folder)) {
        if (QFileInfo(name).suffix().toLower() != QStringLiteral("mp3") || ID3::isTemporaryName(name))
            continue;
        const QString path = prefix + name;
        entries.append({path.normalized(QString::NormalizationForm_C).toUcs4(), path});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    QStringList paths;
    paths.reserve(entries.size());
    for (Entry& entry : entries)
        paths.append(std::move(entry.path));
    return paths;
}

} // namespace

QStringList ShowStore::expand(const QList<QUrl>& locations)
{
    QStringList files;
    for (const QUrl& location : locations) {
        const QString path = pathOf(location);
        if (FileName::isFolder(path))
            files += mp3Entries(path);
        else
            files.append(path);
    }
    return files;
}

QList<TagResult> ShowStore::tag(const QList<QUrl>& locations, const Show& show, const ResultHandler& onResult)
{
    const std::optional<QByteArray> cover = coverData(show);
    const QStringList files = expand(locations);
    // What a run that was killed left in these folders goes before new work starts.
    QSet<QString> folders;
    for (const QString& file : files)
        folders.insert(QFileInfo(file).path());
    for (const QString& folder : std::as_const(folders))
        ID3::removeLeftovers(folder);

    QList<TagResult> batch;
    for (const QString& file : files) {
        const auto written = ID3::write(show.tags(file, cover), file);
        TagResult result;
        result.file = file;
        result.show = show.name;
        if (const auto* outcome = std::get_if<ID3::Outcome>(&written)) {
            result.ok = true;
            result.message = QStringLiteral("Tagged \u00b7 ") + outcome->frames.join(u' ')
                + QStringLiteral(" \u00b7 audio untouched");
        } else {
            result.message = std::get<ID3::Failure>(written).description;
        }
        batch.append(std::move(result));
        if (onResult && !onResult(batch.constLast()))
            break;
    }

    QList<TagResult> recent(batch.crbegin(), batch.crend());
    recent += m_results;
    if (recent.size() > recentLimit)
        recent.resize(recentLimit);
    setResults(recent);
    return batch;
}
