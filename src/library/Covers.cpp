#include "library/ShowStore.h"

#include <QFile>
#include <QFileInfo>

std::optional<QByteArray> ShowStore::coverData(const Show& show) const
{
    return readCover(coversFolder(), show);
}

std::optional<QByteArray> ShowStore::readCover(const QString& coversFolder, const Show& show)
{
    if (!show.coverFile)
        return std::nullopt;
    QFile file(coversFolder + u'/' + *show.coverFile);
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void ShowStore::deleteCoverFile(const std::optional<QString>& name) const
{
    // A name that reaches outside the covers folder is not ours to remove.
    if (name && !name->isEmpty() && !name->contains(u'/') && *name != QStringLiteral("..")
        && *name != QStringLiteral("."))
        QFile::remove(coversFolder() + u'/' + *name);
}
