#pragma once

#include "shows/Show.h"

#include <QFrame>

class QGridLayout;

// The "Tags this show writes" panel: one selectable label and value per row the
// show writes.
class TagsWritten : public QFrame
{
    Q_OBJECT

public:
    explicit TagsWritten(QWidget* parent = nullptr);

    void setShow(const Show& show, const std::optional<ID3::Picture>& cover);
    const QList<Show::Row>& rows() const { return m_rows; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QGridLayout* m_grid;
    QList<Show::Row> m_rows;
};
