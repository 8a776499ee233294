#include "ui/ShowEditorParts.h"

#include "ui/Theme.h"

#include <QAccessibleWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

constexpr qreal sectionRadius = 10;
constexpr qreal textAreaRadius = 6;
constexpr int textAreaMargin = 6;
constexpr qreal targetRadius = 15;
constexpr qreal targetWidth = 3;
constexpr qreal segmentRadius = 5;
constexpr qreal trackRadius = 7;
constexpr int segmentHeight = 24;

// A 1-point line drawn on pixel centres, so it stays crisp.
QRectF hairlineRect(const QRect& rect)
{
    return QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
}

QString firstFile(const QMimeData* data)
{
    if (!data)
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

} // namespace

SectionBox::SectionBox(QWidget* parent)
    : QFrame(parent)
{ }

void SectionBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::primary(0.08), 1));
    painter.setBrush(Theme::primary(0.04));
    painter.drawRoundedRect(hairlineRect(rect()), sectionRadius, sectionRadius);
}

QString plainText(const QPlainTextEdit* editor)
{
    QString text = editor->document()->toRawText();
    return text.replace(QChar::ParagraphSeparator, u'\n');
}

TextArea::TextArea(int height, QWidget* parent)
    : QFrame(parent)
    , m_editor(new QPlainTextEdit(this))
{
    setFixedHeight(height);
    m_editor->setFrameShape(QFrame::NoFrame);
    // Long lines wrap, even a web address with no space to break at.
    m_editor->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->document()->setDocumentMargin(0);
    m_editor->setFont(Theme::font(Theme::TextStyle::Body));
    // The field behind is painted here; the editor itself stays see-through.
    QPalette see = m_editor->palette();
    see.setColor(QPalette::Base, Qt::transparent);
    m_editor->setPalette(see);
    m_editor->viewport()->setAutoFillBackground(false);
    // Tab moves on to the next control, as in every other field of the form.
    m_editor->setTabChangesFocus(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(textAreaMargin, textAreaMargin, textAreaMargin, textAreaMargin);
    layout->addWidget(m_editor);
    m_editor->installEventFilter(this);
}

bool TextArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return QFrame::eventFilter(watched, event);
}

void TextArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_editor->hasFocus() ? Theme::accent(0.6) : Theme::primary(0.15), 1));
    painter.setBrush(Theme::textBackground());
    painter.drawRoundedRect(hairlineRect(rect()), textAreaRadius, textAreaRadius);
}

CoverWell::CoverWell(qreal side, std::function<void(const QString&)> dropped, QWidget* parent)
    : CoverThumb(side, parent)
    , m_dropped(std::move(dropped))
{
    setAcceptDrops(true);
}

void CoverWell::paintEvent(QPaintEvent* event)
{
    CoverThumb::paintEvent(event);
    if (!m_targeted)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::accent(), targetWidth));
    painter.setBrush(Qt::NoBrush);
    // Inside the square, so the whole outline shows without the well growing.
    const qreal inset = targetWidth / 2;
    painter.drawRoundedRect(
        QRectF(rect()).adjusted(inset, inset, -inset, -inset), targetRadius - inset, targetRadius - inset);
}

void CoverWell::dragEnterEvent(QDragEnterEvent* event)
{
    if (firstFile(event->mimeData()).isEmpty())
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void CoverWell::dragLeaveEvent(QDragLeaveEvent*)
{
    setTargeted(false);
}

void CoverWell::dropEvent(QDropEvent* event)
{
    setTargeted(false);
    event->acceptProposedAction();
    // Several files may arrive; a cover takes the first.
    const QString path = firstFile(event->mimeData());
    if (!path.isEmpty() && m_dropped)
        m_dropped(path);
}

void CoverWell::setTargeted(bool targeted)
{
    if (m_targeted == targeted)
        return;
    m_targeted = targeted;
    update();
}

namespace {

// What a screen reader hears of a segment: one choice of several, a radio button,
// rather than the check box Qt makes of any checkable button.
class SegmentAccessible : public QAccessibleWidget
{
public:
    explicit SegmentAccessible(SegmentButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton)
    {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? button()->text() : QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& action) override
    {
        if (action == pressAction())
            button()->click();
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* segmentAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("SegmentButton"))
        if (auto* button = dynamic_cast<SegmentButton*>(object))
            return new SegmentAccessible(button);
    return nullptr;
}

} // namespace

SegmentButton::SegmentButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(&segmentAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    setText(text);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(Theme::font(Theme::TextStyle::Callout, QFont::Medium));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SegmentButton::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()) + 24, segmentHeight};
}

void SegmentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    if (isChecked()) {
        painter.setPen(QPen(Theme::primary(0.12), 1));
        painter.setBrush(palette().color(QPalette::Button));
        painter.drawRoundedRect(face, segmentRadius, segmentRadius);
    }
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(face, segmentRadius, segmentRadius);
    }
    painter.setPen(isChecked() ? Theme::primary() : Theme::primary(0.75));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void SegmentTrack::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::primary(0.07));
    painter.drawRoundedRect(QRectF(rect()), trackRadius, trackRadius);
}
