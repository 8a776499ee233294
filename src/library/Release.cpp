#include "library/Release.h"

#include "id3/FileName.h"
#include "shows/Numbering.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace Release {
namespace {

QString baseName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}

QString parentOf(const QString& folder)
{
    return QFileInfo(folder).path();
}

} // namespace

QStringList discFolders(const QString& folder)
{
    QList<std::pair<int, QString>> found;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString& name : FileName::entries(folder))
        if (const auto disc = Numbering::discOfFolder(name); disc && FileName::isFolder(prefix + name))
            found.append({*disc, prefix + name});
    std::sort(found.begin(), found.end());
    QStringList folders;
    for (const auto& [disc, path] : found)
        folders.append(path);
    return folders;
}

QList<std::optional<Show::Track>> places(const QStringList& files, const Listing& listing)
{
    struct Folder
    {
        QStringList names;
        QSet<QString> known;
        QHash<QString, Show::Track> places;
    };
    QHash<QString, Folder> folders;
    for (const QString& file : files) {
        const QFileInfo info(file);
        auto folder = folders.find(info.path());
        if (folder == folders.end()) {
            folder = folders.insert(info.path(), {});
            for (const QString& path : listing(info.path()))
                folder->names.append(QFileInfo(path).fileName());
            folder->known = QSet<QString>(folder->names.cbegin(), folder->names.cend());
        }
        if (!folder->known.contains(info.fileName())) {
            folder->known.insert(info.fileName());
            folder->names.append(info.fileName());
        }
    }
    for (auto folder = folders.begin(); folder != folders.end(); ++folder) {
        const std::optional<int> disc = Numbering::discOfFolder(QFileInfo(folder.key()).fileName());
        int beside = 0;
        if (disc)
            for (const QString& other : discFolders(parentOf(folder.key())))
                beside = qMax(beside, Numbering::discOfFolder(QFileInfo(other).fileName()).value_or(0));
        QStringList names;
        for (const QString& name : std::as_const(folder->names))
            names.append(baseName(name));
        const QList<Show::Track> numbered = Numbering::places(names, disc, beside);
        for (qsizetype i = 0; i < numbered.size(); ++i)
            folder->places.insert(folder->names.at(i), numbered.at(i));
    }
    QList<std::optional<Show::Track>> out;
    out.reserve(files.size());
    for (const QString& file : files) {
        const QFileInfo info(file);
        out.append(folders.value(info.path()).places.value(info.fileName()));
    }
    return out;
}

} // namespace Release
