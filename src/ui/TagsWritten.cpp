#include "ui/TagsWritten.h"

#include "ui/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QVBoxLayout>

namespace {

constexpr int valueLines = 2;

void makeSelectable(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFont(Theme::font(Theme::TextStyle::Callout));
}

QLabel* selectable(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    makeSelectable(label);
    return label;
}

// A value wrapped to at most two lines at any width: a longer one is cut where its
// second line ends, with "…", so the label asks for the height of what it shows and
// no line is ever drawn in half. The whole text is its tooltip then.
class ValueLabel : public QLabel
{
public:
    ValueLabel(const QString& text, QWidget* parent)
        : QLabel(text, parent)
        , m_whole(text)
    {
        makeSelectable(this);
        setWordWrap(true);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        const QString shown = clamped(contentsRect().width());
        setToolTip(shown == m_whole ? QString() : m_whole);
        if (shown != text())
            setText(shown);
    }

private:
    QString clamped(int width) const
    {
        if (width <= 0)
            return m_whole;
        QTextLayout layout(m_whole, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        qsizetype lastStart = 0;
        bool more = false;
        for (int line = 0; line <= valueLines; ++line) {
            QTextLine next = layout.createLine();
            if (!next.isValid())
                break;
            next.setLineWidth(width);
            if (line == valueLines)
                more = true;
            else
                lastStart = next.textStart();
        }
        layout.endLayout();
        if (!more)
            return m_whole;
        // The last line shown ends in "…", a space's width short of the edge so it
        // doesn't wrap again.
        const QFontMetrics metrics(font());
        const QString rest = m_whole.mid(lastStart).simplified();
        return m_whole.left(lastStart)
            + metrics.elidedText(rest, Qt::ElideRight, width - metrics.horizontalAdvance(u' '));
    }

    const QString m_whole;
};

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
    for (int i = 0; i < m_rows.size(); ++i) {
        QLabel* label = selectable(m_rows.at(i).label, this);
        label->setObjectName(QStringLiteral("writtenLabel"));
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        Theme::colour(label, Theme::Ink::Secondary);
        QLabel* value = new ValueLabel(m_rows.at(i).value, this);
        value->setObjectName(QStringLiteral("writtenValue"));
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
