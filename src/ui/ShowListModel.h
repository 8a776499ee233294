#pragma once

#include "shows/Show.h"

#include <QAbstractListModel>
#include <QHash>
#include <QImage>

#include <optional>

class ShowStore;

// The library's shows as list rows. Keeps its own copy of the list and resets
// when the store's shows change, so a view never sees half an update.
class ShowListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { IdRole = Qt::UserRole + 1, SubtitleRole, CoverRole };

    explicit ShowListModel(ShowStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    QModelIndex indexOf(const QUuid& id) const;
    Show showAt(const QModelIndex& index) const;

    // "Music", "Podcast", or "Podcast · Arts › Books".
    static QString subtitle(const Show& show);

private:
    void reload();

    ShowStore& m_store;
    QList<Show> m_shows;
    // Decoded covers by show id; decoding on every paint would stall scrolling.
    mutable QHash<QUuid, std::optional<QImage>> m_covers;
};
