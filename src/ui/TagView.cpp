#include "ui/TagView.h"

#include "id3/FileName.h"
#include "library/CoverArt.h"
#include "library/ShowStore.h"
#include "ui/CoverThumb.h"
#include "ui/Desktop.h"
#include "ui/DropZone.h"
#include "ui/ElidedLabel.h"
#include "ui/FileTagsView.h"
#include "ui/FocusScrollArea.h"
#include "ui/ResultListModel.h"
#include "ui/ResultRow.h"
#include "ui/TagsWritten.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The Recent rows, clipped to a rounded rectangle.
class RoundedList : public QListView
{
public:
    using QListView::QListView;

protected:
    // From the keyboard (the Menu key, Shift+F10) the menu is the current row's, where it is.
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ContextMenu
            && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard
            && currentIndex().isValid()) {
            Q_EMIT customContextMenuRequested(visualRect(currentIndex()).center());
            return true;
        }
        return QListView::event(event);
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QListView::resizeEvent(event);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 8, 8);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }
};

} // namespace

TagView::TagView(ShowStore& store, const Show& show, std::function<void()> onEdit, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_onEdit(std::move(onEdit))
    , m_cover(new CoverThumb(76, this))
    , m_name(new ElidedLabel(this))
    , m_summary(new QLabel(this))
    , m_dropZone(new DropZone(this))
    , m_written(new TagsWritten)
    , m_recent(new QWidget)
    , m_undo(new ElidedButton(m_recent))
    , m_results(new RoundedList)
    , m_model(new ResultListModel(store, this))
{
    setObjectName(QStringLiteral("tagView"));
    m_name->setObjectName(QStringLiteral("showName"));
    m_name->setFont(Theme::font(Theme::TextStyle::Title2, QFont::DemiBold));
    m_name->setTextFormat(Qt::PlainText);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setFont(Theme::font(Theme::TextStyle::Callout));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_summary->setMaximumHeight(2 * QFontMetrics(m_summary->font()).lineSpacing() + 2);
    Theme::colour(m_summary, Theme::Ink::Secondary);
    auto* edit = new QPushButton(QStringLiteral("Edit Show…"), this);
    edit->setObjectName(QStringLiteral("editShowButton"));

    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addStretch();
    titles->addWidget(m_name);
    titles->addWidget(m_summary);
    titles->addStretch();
    auto* header = new QHBoxLayout;
    header->setSpacing(16);
    header->addWidget(m_cover);
    header->addLayout(titles, 1);
    header->addWidget(edit);

    // Recent: heading with "Clear", then the rows.
    m_recentTitle = new ElidedLabel(QStringLiteral("Recent"), m_recent);
    m_recentTitle->setObjectName(QStringLiteral("recentTitle"));
    m_recentTitle->setFont(Theme::font(Theme::TextStyle::Headline));
    auto* clear = m_clear = new QPushButton(QStringLiteral("Clear"), m_recent);
    clear->setObjectName(QStringLiteral("clearButton"));
    clear->setFlat(true);
    clear->setCursor(Qt::PointingHandCursor);
    Theme::colour(clear, Theme::Ink::Link);
    m_undo->setObjectName(QStringLiteral("undoButton"));
    m_undo->setFlat(true);
    m_undo->setCursor(Qt::PointingHandCursor);
    Theme::colour(m_undo, Theme::Ink::Link);
    // Undo has a line of its own under the heading: it names a show, which may be long.
    auto* recentHeader = new QHBoxLayout;
    recentHeader->addWidget(m_recentTitle, 1);
    recentHeader->addWidget(clear);
    m_results->setObjectName(QStringLiteral("recentList"));
    m_results->setAccessibleName(QStringLiteral("Recent"));
    m_results->setModel(m_model);
    auto* rows = new ResultRow(m_results);
    m_results->setItemDelegate(rows);
    m_results->setUniformItemSizes(false);
    m_results->setFrameShape(QFrame::NoFrame);
    m_results->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->viewport()->setAutoFillBackground(false);
    m_results->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    m_results->setMouseTracking(true);
    auto* recentLayout = new QVBoxLayout(m_recent);
    recentLayout->setContentsMargins(0, 0, 0, 0);
    recentLayout->setSpacing(8);
    recentLayout->addLayout(recentHeader);
    recentLayout->addWidget(m_undo, 0, Qt::AlignLeft);
    recentLayout->addWidget(m_results);
    m_recent->setObjectName(QStringLiteral("recentSection"));

    auto* scrolled = new QWidget;
    auto* scrolledLayout = new QVBoxLayout(scrolled);
    scrolledLayout->setContentsMargins(0, 0, 0, 0);
    scrolledLayout->setSpacing(18);
    scrolledLayout->addWidget(m_written);
    scrolledLayout->addWidget(m_recent);
    scrolledLayout->addStretch();
    auto* scroll = m_scroll = new FocusScrollArea(this);
    scroll->setObjectName(QStringLiteral("tagScroll"));
    scroll->setAccessibleName(QStringLiteral("Tags this show writes, and Recent"));
    scroll->setWidget(scrolled);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // On a short screen the pane gives up this area's height before the drop zone's.
    scroll->setMinimumHeight(24);
    scroll->viewport()->setAutoFillBackground(false);
    scrolled->setAutoFillBackground(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(18);
    layout->addLayout(header);
    layout->addWidget(m_dropZone);
    layout->addWidget(scroll, 1);
    // Tab follows the layout: the header, the drop zone, then what scrolls.
    QWidget* before = edit;
    for (QWidget* button : m_dropZone->buttons())
        setTabOrder(std::exchange(before, button), button);
    setTabOrder(before, scroll);
    setTabOrder(scroll, clear);
    setTabOrder(clear, m_undo);
    setTabOrder(m_undo, m_results);

    connect(edit, &QPushButton::clicked, this, [this] {
        if (m_onEdit)
            m_onEdit();
    });
    connect(m_dropZone, &DropZone::dropped, this, &TagView::tag);
    connect(m_dropZone, &DropZone::chooseRequested, this, &TagView::chooseFiles);
    connect(m_dropZone, &DropZone::cancelRequested, &m_store, &ShowStore::cancelTagging);
    // Escape anywhere in the pane does what Cancel does, while there is a batch to cancel.
    m_escape
        = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, &m_store, &ShowStore::cancelTagging);
    connect(&m_store, &ShowStore::taggingChanged, this, &TagView::refreshProgress);
    connect(&m_store, &ShowStore::undoableChanged, this, &TagView::refreshProgress);
    connect(clear, &QPushButton::clicked, this, [this] { m_store.setResults({}); });
    connect(m_undo, &QPushButton::clicked, &m_store, &ShowStore::enqueueUndo);
    connect(&m_store, &ShowStore::notice, this,
        [this](const QString& text) { inform(QStringLiteral("Tagging Without Undo"), text); });
    connect(rows, &ResultRow::revealRequested, this, &TagView::reveal);
    m_results->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_results, &QListView::customContextMenuRequested, this, &TagView::showResultMenu);
    connect(m_results, &QListView::activated, this,
        [this](const QModelIndex& index) { reveal(index.data(ResultListModel::FileRole).toString()); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &TagView::refreshResults);
    setShow(show);
    refreshResults();
    refreshProgress();
    m_store.readUndoable();
}

void TagView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Under this height the drop zone in full would leave Recent less than four rows.
    constexpr int roomyHeight = 600;
    m_dropZone->setCompact(height() < roomyHeight);
}

QString TagView::summary(const Show& show)
{
    QStringList parts;
    if (show.titleFromFileName)
        parts.append(QStringLiteral("Title: each file's name"));
    else
        parts.append(
            QStringLiteral("Title: ") + (show.title.isEmpty() ? QStringLiteral("\u2014") : show.title));
    if (!show.artist.isEmpty())
        parts.append(QStringLiteral("Artist: ") + show.artist);
    if (!show.genre.isEmpty())
        parts.append(QStringLiteral("Genre: ") + show.genre);
    return parts.join(QStringLiteral("  \u00b7  "));
}

void TagView::setShow(const Show& show)
{
    // Another show opens at its heading, not where the last one was scrolled to.
    if (show.id != m_show.id)
        m_scroll->verticalScrollBar()->setValue(0);
    const bool another = show.id != m_show.id;
    m_show = show;
    if (another && m_store.tagging())
        refreshProgress();
    const auto art = m_store.coverArt(show);
    m_cover->setImage(art ? art->image : std::nullopt);
    m_name->setText(show.name);
    m_summary->setText(summary(show));
    m_dropZone->setShowName(show.name);
    m_written->setShow(show, art ? std::optional(art->picture) : std::nullopt);
}

void TagView::tag(const QList<QUrl>& locations)
{
    m_store.enqueue(locations, m_show);
}

void TagView::refreshProgress()
{
    const auto& tagging = m_store.tagging();
    // The journal changes only when a batch ends, and can't be undone while one runs.
    m_undo->setEnabled(!tagging);
    m_escape->setEnabled(tagging && !tagging->cancelling);
    if (!tagging) {
        const auto& undoable = m_store.undoable();
        m_undo->setVisible(undoable.has_value());
        refreshRecentVisibility();
        m_undo->setText(undoable ? undoText(*undoable) : QString());
        m_undo->setToolTip(undoable ? undoTip(*undoable) : QString());
        m_dropZone->setProgress(std::nullopt);
        showBatchEnd();
        return;
    }
    // A new batch: the heading no longer speaks of the last one.
    if (!m_batchRunning)
        m_recentTitle->setText(QStringLiteral("Recent"));
    m_batchRunning = true;
    DropZone::Progress progress;
    const QString verb = tagging->undoing ? QStringLiteral("Undoing") : QStringLiteral("Tagging");
    // On another show's page, the progress says which show the files get.
    const QString as = !tagging->showName.isEmpty() && tagging->show != m_show.id
        ? QStringLiteral(" as ") + tagging->showName
        : QString();
    progress.headline = tagging->cancelling ? QStringLiteral("Cancelling…")
        : tagging->total == 0               ? verb + as + u'…'
                                            : QStringLiteral("%1 %2 of %3%4")
                                    .arg(verb)
                                    .arg(qMin(tagging->done + 1, tagging->total))
                                    .arg(tagging->total)
                                    .arg(as);
    progress.detail = FileName::display(QFileInfo(tagging->current).fileName());
    if (tagging->waiting > 0)
        progress.detail += QStringLiteral(" \u00b7 then %1 more").arg(tagging->waiting);
    progress.value = tagging->done;
    progress.maximum = tagging->total;
    m_dropZone->setProgress(progress);
}

void TagView::refreshRecentVisibility()
{
    // Undo stays at hand after Recent was cleared; Clear goes with the rows.
    m_recent->setVisible(m_model->rowCount() > 0 || !m_undo->isHidden());
    m_clear->setVisible(m_model->rowCount() > 0);
}

void TagView::showBatchEnd()
{
    const auto& last = m_store.lastBatch();
    QString title = QStringLiteral("Recent");
    if (last && m_model->rowCount() > 0) {
        const qsizetype succeeded = last->done - last->failed;
        if (last->cancelling)
            title += QStringLiteral(" \u00b7 Cancelled");
        title += (last->undoing ? QStringLiteral(" \u00b7 %1 put back") : QStringLiteral(" \u00b7 %1 tagged"))
                     .arg(succeeded);
        if (last->failed > 0)
            title += QStringLiteral(", %1 failed").arg(last->failed);
        if (last->cancelling)
            title += QStringLiteral(", %1 left as they were").arg(last->total - last->done + last->dropped);
    }
    m_recentTitle->setText(title);
    if (!m_batchRunning)
        return;
    m_batchRunning = false;
    // Once the rows are laid out at their width.
    QTimer::singleShot(0, this, &TagView::bringRecentIntoView);
}

void TagView::bringRecentIntoView()
{
    // Recent comes up to the top, with as many of the newest results as there is room
    // for, without the user scrolling; on a very short pane the newest result at least.
    QWidget* content = m_scroll->widget();
    content->layout()->activate();
    const int rowHeight = m_model->rowCount() > 0 ? m_results->visualRect(m_model->index(0, 0)).height() : 0;
    const int top = m_recent->mapTo(content, QPoint(0, 0)).y();
    const int bottom = m_results->mapTo(content, QPoint(0, rowHeight)).y();
    m_scroll->verticalScrollBar()->setValue(qMax(top, bottom - m_scroll->viewport()->height()));
}

void TagView::chooseFiles()
{
    Desktop::OpenPanel panel;
    panel.content = Desktop::OpenPanel::Content::Mp3;
    panel.acceptLabel = QStringLiteral("Tag");
    panel.message = QStringLiteral("Choose MP3 files (or a folder) to tag as ") + m_show.name;
    panel.multiple = true;
    panel.folders = true;
    const QList<QUrl> chosen = Desktop::choose(this, panel);
    if (!chosen.isEmpty())
        tag(chosen);
}

void TagView::refreshResults()
{
    const int count = m_model->rowCount();
    // Cleared: the heading no longer counts rows that are gone.
    if (count == 0 && !m_batchRunning)
        m_recentTitle->setText(QStringLiteral("Recent"));
    refreshRecentVisibility();
    // The outer area scrolls; the list shows every row it has.
    int height = 0;
    for (int row = 0; row < count; ++row)
        height += m_results->sizeHintForRow(row);
    m_results->setFixedHeight(height);
}

QString TagView::undoText(const Journal::Summary& batch)
{
    QString text = batch.files == 1 ? QStringLiteral("Undo Last Batch: 1 file")
                                    : QStringLiteral("Undo Last Batch: %1 files").arg(batch.files);
    // Buttons and menus read "&" as the mark of a mnemonic; a show's name may hold one.
    if (!batch.show.isEmpty())
        text += QStringLiteral(" as ") + QString(batch.show).replace(u'&', QStringLiteral("&&"));
    if (batch.time.isValid()) {
        // A batch of today says its time; an older one its day as well.
        const QDateTime local = batch.time.toLocalTime();
        text += QStringLiteral(", ");
        if (local.date() != QDate::currentDate())
            text += QLocale().toString(local.date(), QLocale::ShortFormat) + u' ';
        text += local.time().toString(QStringLiteral("HH:mm"));
    }
    return text;
}

QString TagView::undoTip(const Journal::Summary& batch)
{
    // The whole of what the button may have had to cut.
    QString what
        = batch.files == 1 ? QStringLiteral("the file") : QStringLiteral("the %1 files").arg(batch.files);
    if (!batch.show.isEmpty())
        what += QStringLiteral(" tagged as ") + batch.show;
    if (batch.time.isValid())
        what += QStringLiteral(" on ") + QLocale().toString(batch.time.toLocalTime(), QLocale::LongFormat);
    return QStringLiteral("Puts %1 back as %2 before, byte for byte; a file changed since is left alone.")
        .arg(what, batch.files == 1 ? QStringLiteral("it was") : QStringLiteral("they were"));
}

void TagView::showResultMenu(const QPoint& position)
{
    const QModelIndex index = m_results->indexAt(position);
    if (!index.isValid())
        return;
    const QString file = index.data(ResultListModel::FileRole).toString();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("resultContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Show in File Manager"), this, [this, file] { reveal(file); })
        ->setObjectName(QStringLiteral("revealAction"));
    menu->addAction(QStringLiteral("Copy Path"), this,
            [file] { QGuiApplication::clipboard()->setText(FileName::display(file)); })
        ->setObjectName(QStringLiteral("copyPathAction"));
    if (!index.data(ResultListModel::NoteRole).toBool())
        menu->addAction(QStringLiteral("Show Tags\u2026"), this,
                [this, file] { (new FileTagsView(m_store, file, window()))->show(); })
            ->setObjectName(QStringLiteral("showTagsAction"));
    menu->popup(m_results->viewport()->mapToGlobal(position));
}

void TagView::reveal(const QString& file)
{
    Desktop::reveal(file, [view = QPointer(this)](const QString& folder) {
        if (view)
            view->inform(QStringLiteral("Can\u2019t Show the File"),
                QStringLiteral("No file manager answered, and the folder \u201c%1\u201d could not be opened.")
                    .arg(QDir::toNativeSeparators(folder)));
    });
}

void TagView::inform(const QString& title, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, window());
    box->setObjectName(QStringLiteral("tagViewMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
