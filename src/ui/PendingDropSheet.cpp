#include "ui/PendingDropSheet.h"

#include "id3/FileName.h"
#include "library/ShowStore.h"
#include "ui/Accessible.h"
#include "ui/Desktop.h"
#include "ui/ElidedLabel.h"
#include "ui/Icons.h"
#include "ui/Theme.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
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
    return FileName::singleLine(
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
    Accessible::keepName(m_picker);
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
    connect(&m_store, &ShowStore::previewChanged, this, &PendingDropSheet::refresh);
    connect(m_picker, &QComboBox::currentIndexChanged, this, &PendingDropSheet::refresh);
    refresh();
}

void PendingDropSheet::requestPreview()
{
    const auto id = choice();
    const auto& shows = m_store.shows();
    const auto found
        = std::find_if(shows.cbegin(), shows.cend(), [&](const Show& s) { return id && s.id == *id; });
    if (found == shows.cend() || m_store.pending().isEmpty())
        return;
    const std::pair asked {found->id, m_store.pending()};
    if (m_previewAsked == asked)
        return;
    m_previewAsked = asked;
    m_store.requestPreview(m_store.pending(), *found);
}

QString PendingDropSheet::previewOf(const QUrl& location, bool& trouble) const
{
    trouble = false;
    const auto& preview = m_store.preview();
    if (!preview || !m_previewAsked || preview->show != m_previewAsked->first
        || preview->locations != m_previewAsked->second)
        return QStringLiteral("\u2026");
    const QString path = FileName::fromUrl(location);
    const bool folder = path.endsWith(u'/');
    QStringList dropped;
    int files = 0;
    QString said;
    for (const TagResult& result : preview->results) {
        if (folder ? !result.file.startsWith(path) : result.file != FileName::absolute(path))
            continue;
        ++files;
        for (const QString& id : result.dropped)
            if (!dropped.contains(id))
                dropped.append(id);
        if (!result.ok) {
            trouble = true;
            said = result.message;
            continue;
        }
        if (folder)
            continue;
        QStringList parts {QStringLiteral("\u201c%1\u201d").arg(FileName::singleLine(result.title))};
        if (!result.track.isEmpty())
            parts.append(QStringLiteral("track ") + result.track);
        if (!result.disc.isEmpty())
            parts.append(QStringLiteral("disc ") + result.disc);
        const auto show = std::find_if(m_store.shows().cbegin(), m_store.shows().cend(),
            [&](const Show& s) { return s.id == preview->show; });
        if (show != m_store.shows().cend() && show->artistFromFileName)
            parts.append(QStringLiteral("by ") + result.artist);
        said = parts.join(QStringLiteral(" \u00b7 "));
    }
    if (folder && !trouble)
        said = files == 0 ? QStringLiteral("No MP3 files")
                          : QStringLiteral("%1 MP3 file%2").arg(files).arg(files == 1 ? "" : "s");
    if (!dropped.isEmpty())
        said += QStringLiteral(" \u00b7 drops ") + Show::droppedText(dropped);
    return said;
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
    requestPreview();
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
        // What the chosen show would give it, and what it would lose.
        bool trouble = false;
        auto* preview = new QLabel(previewOf(pending.at(i), trouble), this);
        preview->setObjectName(QStringLiteral("pendingPreview"));
        preview->setFont(Theme::font(Theme::TextStyle::Caption));
        preview->setWordWrap(true);
        preview->setTextFormat(Qt::PlainText);
        Theme::colour(preview, trouble ? Theme::Ink::Red : Theme::Ink::Secondary);
        auto* line = new QWidget(this);
        auto* lineLayout = new QGridLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        lineLayout->setHorizontalSpacing(6);
        lineLayout->setVerticalSpacing(1);
        lineLayout->addWidget(icon, 0, 0);
        lineLayout->addWidget(row, 0, 1);
        lineLayout->addWidget(preview, 1, 1);
        lineLayout->setColumnStretch(1, 1);
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
