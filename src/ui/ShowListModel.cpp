#include "ui/ShowListModel.h"

#include "library/ShowStore.h"

ShowListModel::ShowListModel(ShowStore& store, QObject* parent)
    : QAbstractListModel(parent)
    , m_store(store)
    , m_shows(store.shows())
{
    connect(&m_store, &ShowStore::changed, this, &ShowListModel::reload);
}

void ShowListModel::reload()
{
    if (m_shows == m_store.shows())
        return;
    beginResetModel();
    m_shows = m_store.shows();
    m_covers.clear();
    endResetModel();
}

int ShowListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shows.size());
}

QVariant ShowListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Show& show = m_shows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return show.name;
    case Qt::ToolTipRole:
        return show.name + u'\n' + subtitle(show);
    case IdRole:
        return show.id;
    case SubtitleRole:
        return subtitle(show);
    case CoverRole: {
        auto cached = m_covers.find(show.id);
        if (cached == m_covers.end())
            cached = m_covers.insert(show.id, m_store.coverImage(show));
        return *cached ? QVariant(**cached) : QVariant();
    }
    default:
        return {};
    }
}

QModelIndex ShowListModel::indexOf(const QUuid& id) const
{
    for (qsizetype i = 0; i < m_shows.size(); ++i)
        if (m_shows.at(i).id == id)
            return index(int(i));
    return {};
}

Show ShowListModel::showAt(const QModelIndex& index) const
{
    return m_shows.at(index.row());
}

QString ShowListModel::subtitle(const Show& show)
{
    if (show.kind == Show::Kind::Music)
        return QStringLiteral("Music");
    if (show.category.isEmpty())
        return QStringLiteral("Podcast");
    return QStringLiteral("Podcast \u00b7 ") + Show::prettyCategory(show.category);
}
