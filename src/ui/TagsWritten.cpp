#include "ui/TagsWritten.h"

#include "ui/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

QLabel* selectable(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFont(Theme::font(Theme::TextStyle::Callout));
    return label;
}

} // namespace

TagsWritten::TagsWritten(QWidget* parent)
    : QFrame(parent)
    , m_grid(new QGridLayout)
{
    setObjectName(QStringLiteral("tagsWritten"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(8);
    auto* heading = new QLabel(QStringLiteral("Tags this show writes"), this);
    heading->setFont(Theme::font(Theme::TextStyle::Headline));
    layout->addWidget(heading);
    m_grid->setHorizontalSpacing(14);
    m_grid->setVerticalSpacing(5);
    m_grid->setColumnStretch(1, 1);
    layout->addLayout(m_grid);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
}

void TagsWritten::setShow(const Show& show, const std::optional<ID3::Picture>& cover)
{
    const QList<Show::Row> rows = show.writtenRows(cover);
    if (rows == m_rows && m_grid->count() > 0)
        return;
    m_rows = rows;
    while (QLayoutItem* item = m_grid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QFontMetrics metrics(Theme::font(Theme::TextStyle::Callout));
    for (int i = 0; i < m_rows.size(); ++i) {
        QLabel* label = selectable(m_rows.at(i).label, this);
        label->setObjectName(QStringLiteral("writtenLabel"));
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        Theme::colour(label, Theme::Ink::Secondary);
        QLabel* value = selectable(m_rows.at(i).value, this);
        value->setObjectName(QStringLiteral("writtenValue"));
        value->setWordWrap(true);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // At most two lines; the whole text stays selectable and in the tooltip.
        value->setMaximumHeight(2 * metrics.lineSpacing() + 2);
        if (m_rows.at(i).value.size() > 120)
            value->setToolTip(m_rows.at(i).value);
        m_grid->addWidget(label, i, 0);
        m_grid->addWidget(value, i, 1);
    }
}

void TagsWritten::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), 12, 12);
    painter.fillPath(box, Theme::primary(0.035));
}
