#include "ui/ResultListModel.h"

#include "id3/FileName.h"
#include "library/ShowStore.h"

#include <QFileInfo>
#include <QLocale>

ResultListModel::ResultListModel(ShowStore& store, QObject* parent)
    : QAbstractListModel(parent)
    , m_store(store)
    , m_results(store.results())
{
    connect(&m_store, &ShowStore::changed, this, &ResultListModel::reload);
}

void ResultListModel::reload()
{
    if (m_results == m_store.results())
        return;
    beginResetModel();
    m_results = m_store.results();
    endResetModel();
}

int ResultListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_results.size());
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TagResult& result = m_results.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return FileName::singleLine(QFileInfo(result.file).fileName());
    case Qt::ToolTipRole:
        return FileName::display(result.file);
    case FileRole:
        return result.file;
    case OkRole:
        return result.ok;
    case NoteRole:
        return result.note;
    case DetailRole:
        // What a tagged file lost is said, whether or not the show keeps such frames.
        return result.show + QStringLiteral(" \u00b7 ") + result.message
            + (result.dropped.isEmpty() ? QString()
                                        : QStringLiteral(" \u00b7 dropped ") + result.dropped.join(u' '));
    case TimeRole:
        return QLocale().toString(result.date.time(), QLocale::ShortFormat);
    case Qt::AccessibleTextRole:
        return QStringLiteral("%1: %2").arg(
            FileName::display(QFileInfo(result.file).fileName()), result.message);
    default:
        return {};
    }
}
