#include "id3/ID3.h"
#include "library/ShowStore.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString pathOf(const QUrl& location)
{
    return location.isLocalFile() ? QFileInfo(location.toLocalFile()).absoluteFilePath()
                                  : location.toString(QUrl::PreferLocalFile);
}

// A folder's MP3 entries, hidden ones included, sorted by their path's Unicode
// scalar values after canonical composition: "A.mp3" before "a.mp3", and
// "Episode 10.mp3" before "Episode 2.mp3".
QStringList mp3Entries(const QString& folder)
{
    const QDir dir(folder);
    struct Entry
    {
        QList<uint> key;
        QString path;
    };
    QList<Entry> entries;
    for (const QString& name :
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFileInfo(name).suffix().toLower() != QStringLiteral("mp3"))
            continue;
        const QString path = dir.filePath(name);
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
        if (QFileInfo(path).isDir())
            files += mp3Entries(path);
        else
            files.append(path);
    }
    return files;
}

QList<TagResult> ShowStore::tag(const QList<QUrl>& locations, const Show& show)
{
    const std::optional<QByteArray> cover = coverData(show);
    QList<TagResult> batch;
    for (const QString& file : expand(locations)) {
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
    }

    QList<TagResult> recent(batch.crbegin(), batch.crend());
    recent += m_results;
    if (recent.size() > recentLimit)
        recent.resize(recentLimit);
    setResults(recent);
    return batch;
}
