#include "ui/PendingDropSheet.h"

#include "id3/FileName.h"
#include "library/ShowStore.h"
#include "ui/Desktop.h"
#include "ui/ElidedLabel.h"
#include "ui/Icons.h"
#include "ui/Theme.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString lastComponent(const QUrl& url)
{
    // A folder's URL may end in a slash; its name is still the last component.
    const QString path = url.isLocalFile() ? FileName::fromUrl(url) : url.path();
    return FileName::display(
        QFileInfo(path.endsWith(u'/') && path.size() > 1 ? path.chopped(1) : path).fileName());
}

} // namespace

PendingDropSheet::PendingDropSheet(ShowStore& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_title(new QLabel(this))
    , m_picker(new QComboBox(this))
    , m_items(new QVBoxLayout)
    , m_leftOut(new QLabel(this))
    , m_tag(new QPushButton(QStringLiteral("Tag"), this))
{
    setObjectName(QStringLiteral("pendingDropSheet"));
    setFixedWidth(420);
    m_title->setObjectName(QStringLiteral("dropSheetTitle"));
    m_title->setFont(Theme::font(Theme::TextStyle::Title3, QFont::DemiBold));
    m_picker->setObjectName(QStringLiteral("showPicker"));
    // Long names are cut in the box, not widening the sheet; the list shows them whole.
    m_picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_picker->setMinimumContentsLength(20);
    auto* pickerLabel = new QLabel(QStringLiteral("Show"), this);
    pickerLabel->setObjectName(QStringLiteral("showPickerLabel"));
    pickerLabel->setFont(Theme::font(Theme::TextStyle::Caption, QFont::DemiBold));
    Theme::colour(pickerLabel, Theme::Ink::Secondary);
    pickerLabel->setBuddy(m_picker);
    m_picker->setAccessibleName(pickerLabel->text());
    m_leftOut->setObjectName(QStringLiteral("leftOut"));
    m_leftOut->setFont(Theme::font(Theme::TextStyle::Callout));
    m_leftOut->setWordWrap(true);
    m_leftOut->setTextFormat(Qt::PlainText);
    Theme::colour(m_leftOut, Theme::Ink::Secondary);
    m_items->setSpacing(3);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    m_tag->setObjectName(QStringLiteral("tagButton"));
    m_tag->setDefault(true);
    m_tag->setAutoDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_tag);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(14);
    layout->addWidget(m_title);
    auto* picker = new QVBoxLayout;
    picker->setSpacing(4);
    picker->addWidget(pickerLabel);
    picker->addWidget(m_picker);
    layout->addLayout(picker);
    layout->addLayout(m_items);
    layout->addWidget(m_leftOut);
    layout->addLayout(buttons);

    // The picker starts on the selected show, or else the first one.
    refreshPicker();
    const auto start = m_store.selection()
        ? m_store.selection()
        : (m_store.shows().isEmpty() ? std::nullopt : std::optional(m_store.shows().first().id));
    if (start)
        m_picker->setCurrentIndex(m_picker->findData(*start));

    connect(cancel, &QPushButton::clicked, this, &PendingDropSheet::cancel);
    connect(m_tag, &QPushButton::clicked, this, &PendingDropSheet::tag);
    connect(&m_store, &ShowStore::changed, this, &PendingDropSheet::refresh);
    refresh();
}

void PendingDropSheet::keyPressEvent(QKeyEvent* event)
{
    // Keys the focused control left alone: the picker's open list keeps Return and
    // Escape for itself, a focused button clicks itself.
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        tag();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

std::optional<QUuid> PendingDropSheet::choice() const
{
    const QVariant current = m_picker->currentData();
    return current.isValid() ? std::optional(current.toUuid()) : std::nullopt;
}

void PendingDropSheet::refreshPicker()
{
    QList<std::pair<QUuid, QString>> entries;
    for (const Show& show : m_store.shows())
        entries.append({show.id, show.name});
    if (entries == m_entries)
        return;
    m_entries = entries;
    // A chosen show that was deleted leaves nothing chosen, rather than quietly
    // moving the choice to another show.
    const auto chosen = choice();
    m_picker->clear();
    // A very long name is cut in the list, as everywhere; the tooltip has all of it.
    const int widest = m_picker->fontMetrics().averageCharWidth() * 48;
    for (const auto& [id, name] : std::as_const(m_entries)) {
        m_picker->addItem(m_picker->fontMetrics().elidedText(name, Qt::ElideRight, widest), id);
        m_picker->setItemData(m_picker->count() - 1, name, Qt::ToolTipRole);
    }
    m_picker->setCurrentIndex(chosen ? m_picker->findData(*chosen) : -1);
}

void PendingDropSheet::refresh()
{
    refreshPicker();
    const QList<QUrl>& pending = m_store.pending();
    const qsizetype count = pending.size();
    m_title->setText(count == 0 ? QStringLiteral("Nothing here to tag")
                                : QStringLiteral("Tag %1 file%2 as…").arg(count).arg(count == 1 ? "" : "s"));
    m_tag->setEnabled(count > 0 && choice().has_value());
    // What was opened but can't be tagged is named, never dropped in silence.
    QStringList leftOut;
    for (const QUrl& url : m_store.leftOut())
        leftOut.append(lastComponent(url));
    m_leftOut->setText(QStringLiteral("Not MP3: ") + leftOut.join(QStringLiteral(", ")));
    m_leftOut->setVisible(!leftOut.isEmpty());

    while (QLayoutItem* item = m_items->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const qreal ratio = devicePixelRatioF();
    for (qsizetype i = 0; i < std::min<qsizetype>(count, listedItems); ++i) {
        auto* row = new ElidedLabel(this);
        row->setObjectName(QStringLiteral("pendingItem"));
        row->setFont(Theme::font(Theme::TextStyle::Callout));
        auto* icon = new QLabel(this);
        // Folders arrive with a trailing slash, as file managers hand them over.
        const bool folder = pending.at(i).path().endsWith(u'/');
        icon->setObjectName(folder ? QStringLiteral("folderSymbol") : QStringLiteral("audioSymbol"));
        Theme::follow(icon, [icon, folder, ratio] {
            icon->setPixmap(Icons::pixmap(
                folder ? Icons::Symbol::Folder : Icons::Symbol::Waveform, 13, Theme::secondary(), ratio));
        });
        row->setText(lastComponent(pending.at(i)));
        auto* line = new QWidget(this);
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        lineLayout->setSpacing(6);
        lineLayout->addWidget(icon);
        lineLayout->addWidget(row, 1);
        m_items->addWidget(line);
    }
    if (count > listedItems) {
        auto* more = new QLabel(QStringLiteral("+ %1 more").arg(count - listedItems), this);
        more->setObjectName(QStringLiteral("pendingMore"));
        more->setFont(Theme::font(Theme::TextStyle::Caption));
        Theme::colour(more, Theme::Ink::Secondary);
        m_items->addWidget(more);
    }
}

void PendingDropSheet::cancel()
{
    m_store.setLeftOut({});
    m_store.setPending({});
}

void PendingDropSheet::tag()
{
    const auto id = choice();
    if (!id)
        return;
    const auto& shows = m_store.shows();
    const auto found = std::find_if(shows.cbegin(), shows.cend(), [&](const Show& s) { return s.id == *id; });
    // The show may have been deleted while the sheet was open.
    if (found == shows.cend())
        return;
    const Show show = *found;
    const QList<QUrl> locations = m_store.pending();
    m_store.setLeftOut({});
    m_store.setPending({});
    m_store.setSelection(show.id);
    m_store.enqueue(locations, show);
}
