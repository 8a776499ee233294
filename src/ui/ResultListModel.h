#pragma once

#include "library/TagResult.h"

#include <QAbstractListModel>

class ShowStore;

// The store's Recent list as rows, newest first.
class ResultListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { FileRole = Qt::UserRole + 1, OkRole, DetailRole, TimeRole, NoteRole };

    explicit ResultListModel(ShowStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void reload();

    ShowStore& m_store;
    QList<TagResult> m_results;
};
