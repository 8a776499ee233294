#include "ui/ContentView.h"

#include "library/ShowStore.h"
#include "ui/Icons.h"
#include "ui/PendingDropSheet.h"
#include "ui/ShowEditor.h"
#include "ui/ShowListModel.h"
#include "ui/ShowListView.h"
#include "ui/ShowRow.h"
#include "ui/TagView.h"
#include "ui/Theme.h"

#include <QAccessibleWidget>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyleOptionMenuItem>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The show's context menu: its destructive item is drawn in red until it is highlighted.
class ShowMenu : public QMenu
{
public:
    using QMenu::QMenu;

    static constexpr char destructive[] = "destructive";

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override
    {
        QMenu::initStyleOption(option, action);
        if (!action->property(destructive).toBool() || option->state.testFlag(QStyle::State_Selected))
            return;
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            option->palette.setColor(role, Theme::red());
    }
};

// The splitter's handle reads as "grip" to Qt, which screen readers on Linux know
// only as "unknown"; it is the separator between the two panes, as in GTK's paned views.
class SplitterHandleAccessible : public QAccessibleWidget
{
public:
    explicit SplitterHandleAccessible(QWidget* handle)
        : QAccessibleWidget(handle, QAccessible::Separator)
    { }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? QStringLiteral("Show list width") : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* splitterHandleAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("QSplitterHandle") && object->isWidgetType())
        return new SplitterHandleAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

constexpr int sidebarMinimum = 200;
constexpr int sidebarIdeal = 230;
constexpr int sidebarMaximum = 320;

QWidget* makeEmptyState(QWidget* parent)
{
    auto* empty = new QWidget(parent);
    empty->setObjectName(QStringLiteral("emptyState"));
    auto* symbol = new QLabel(empty);
    Theme::follow(symbol, [symbol] {
        symbol->setPixmap(
            Icons::pixmap(Icons::Symbol::Microphone, 44, Theme::secondary(), symbol->devicePixelRatioF()));
    });
    symbol->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QStringLiteral("No show yet"), empty);
    title->setObjectName(QStringLiteral("emptyTitle"));
    title->setFont(Theme::font(Theme::TextStyle::Title2, QFont::DemiBold));
    title->setAlignment(Qt::AlignCenter);
    auto* description = new QLabel(QStringLiteral("Click + to add your first show."), empty);
    description->setObjectName(QStringLiteral("emptyDescription"));
    description->setFont(Theme::font(Theme::TextStyle::Body));
    description->setAlignment(Qt::AlignCenter);
    Theme::colour(description, Theme::Ink::Secondary);
    auto* layout = new QVBoxLayout(empty);
    layout->addStretch();
    layout->addWidget(symbol);
    layout->addSpacing(6);
    layout->addWidget(title);
    layout->addWidget(description);
    layout->addStretch();
    return empty;
}

// A window-modal sheet around a view; it deletes itself once closed.
QDialog* makeSheet(QWidget* window, QWidget* content, const QString& name)
{
    auto* sheet = new QDialog(window);
    sheet->setObjectName(name);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
    content->setParent(sheet);
    return sheet;
}

} // namespace

ContentView::ContentView(ShowStore& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_model(new ShowListModel(store, this))
    , m_list(new ShowListView(this))
    , m_newShow(new QToolButton(this))
    , m_detail(new QStackedWidget(this))
    , m_emptyState(makeEmptyState(this))
{
    setObjectName(QStringLiteral("contentView"));

    m_newShow->setObjectName(QStringLiteral("newShowButton"));
    m_newShow->setText(QStringLiteral("New Show"));
    m_newShow->setToolTip(QStringLiteral("Add a show"));
    m_newShow->setAccessibleName(QStringLiteral("New Show"));
    Theme::follow(m_newShow,
        [button = m_newShow] { button->setIcon(Icons::icon(Icons::Symbol::Plus, Theme::primary())); });
    m_newShow->setIconSize(QSize(16, 16));
    m_newShow->setAutoRaise(true);
    m_newShow->setToolButtonStyle(Qt::ToolButtonIconOnly);

    m_list->setObjectName(QStringLiteral("showList"));
    m_list->setAccessibleName(QStringLiteral("Shows"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ShowRow(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);

    auto* sidebarBar = new QHBoxLayout;
    sidebarBar->setContentsMargins(6, 4, 6, 4);
    sidebarBar->addStretch();
    sidebarBar->addWidget(m_newShow);
    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(sidebarMinimum);
    sidebar->setMaximumWidth(sidebarMaximum);
    auto* sidebarLayout = new QVBoxLayout(sidebar);
    sidebarLayout->setContentsMargins(0, 0, 0, 0);
    sidebarLayout->setSpacing(0);
    sidebarLayout->addLayout(sidebarBar);
    sidebarLayout->addWidget(m_list, 1);

    m_detail->setObjectName(QStringLiteral("detail"));
    m_detail->addWidget(m_emptyState);

    static const bool handlesNamed = [] {
        QAccessible::installFactory(&splitterHandleAccessible);
        return true;
    }();
    Q_UNUSED(handlesNamed);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("split"));
    split->setChildrenCollapsible(false);
    split->addWidget(sidebar);
    split->addWidget(m_detail);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarIdeal, 1040 - sidebarIdeal});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    connect(m_newShow, &QToolButton::clicked, this, &ContentView::addShow);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (current.isValid())
                m_store.setSelection(current.data(ShowListModel::IdRole).toUuid());
        });
    connect(m_list, &QListView::customContextMenuRequested, this, &ContentView::showContextMenu);
    // Files dropped on a show in the list are tagged with it, and the show comes up to follow them.
    connect(
        m_list, &ShowListView::filesDropped, this, [this](const QList<QUrl>& files, const QModelIndex& row) {
            const Show show = m_model->showAt(row);
            m_store.setSelection(show.id);
            m_store.enqueue(files, show);
        });
    // The keys a file manager's list answers to: delete, open and rename the selected row.
    const auto onSelected
        = [this](const QList<QKeySequence>& keys, void (ContentView::*action)(const Show&)) {
              for (const QKeySequence& key : keys) {
                  auto* shortcut = new QShortcut(key, m_list);
                  shortcut->setContext(Qt::WidgetShortcut);
                  connect(shortcut, &QShortcut::activated, this, [this, action] {
                      if (const QModelIndex current = m_list->currentIndex(); current.isValid())
                          (this->*action)(m_model->showAt(current));
                  });
              }
          };
    onSelected({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)}, &ContentView::askToDelete);
    onSelected({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_F2)},
        &ContentView::editShow);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ContentView::syncSelection);
    connect(&m_store, &ShowStore::changed, this, &ContentView::storeChanged);
    syncSelection();
    syncDetail();
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    syncDropSheet();
}

void ContentView::storeChanged()
{
    syncSelection();
    syncDetail();
    syncDropSheet();
}

void ContentView::syncSelection()
{
    const QModelIndex index = m_store.selection() ? m_model->indexOf(*m_store.selection()) : QModelIndex();
    if (index.isValid()) {
        if (m_list->currentIndex() != index)
            m_list->setCurrentIndex(index);
    } else {
        m_list->clearSelection();
    }
}

void ContentView::syncDetail()
{
    const std::optional<Show> selected = m_store.selected();
    if (!selected) {
        m_detail->setCurrentWidget(m_emptyState);
        return;
    }
    if (!m_tagView) {
        m_tagView = new TagView(m_store, *selected, [this] {
            if (m_tagView)
                editShow(m_tagView->currentShow());
        });
        m_detail->addWidget(m_tagView);
    } else if (!(m_tagView->currentShow() == *selected)) {
        m_tagView->setShow(*selected);
    }
    m_detail->setCurrentWidget(m_tagView);
}

void ContentView::syncDropSheet()
{
    if (m_store.pending().isEmpty() && m_store.leftOut().isEmpty()) {
        if (m_dropSheet)
            m_dropSheet->accept();
        return;
    }
    // Files wait in the pending list while the editor is open; the sheet follows it.
    if (m_dropSheet || m_editorSheet || !m_shown)
        return;
    m_dropSheet = makeSheet(window(), new PendingDropSheet(m_store), QStringLiteral("dropSheet"));
    m_dropSheet->setWindowTitle(QStringLiteral("Tag Files"));
    // Closed from outside its own buttons: the waiting files are let go.
    connect(m_dropSheet, &QDialog::rejected, this, [this] {
        m_store.setLeftOut({});
        m_store.setPending({});
    });
    connect(m_dropSheet, &QDialog::finished, this, [this] {
        m_dropSheet = nullptr;
        returnFocus();
    });
    m_dropSheet->open();
}

void ContentView::addShow()
{
    editShow(m_store.add());
    if (m_editor)
        m_editor->focusName(true);
}

void ContentView::editShow(const Show& show)
{
    if (m_editorSheet)
        return;
    m_editing = show;
    auto* editor = new ShowEditor(m_store, show, true);
    m_editor = editor;
    m_editorSheet = makeSheet(window(), editor, QStringLiteral("editorSheet"));
    m_editorSheet->setWindowTitle(show.name);
    connect(editor, &ShowEditor::finished, m_editorSheet, &QDialog::accept);
    connect(m_editorSheet, &QDialog::finished, this, [this] {
        m_editing.reset();
        m_editorSheet = nullptr;
        m_editor = nullptr;
        returnFocus();
        // Files that arrived while the editor was open get their sheet now.
        QMetaObject::invokeMethod(this, &ContentView::syncDropSheet, Qt::QueuedConnection);
    });
    m_editorSheet->open();
    editor->focusName(false);
}

void ContentView::returnFocus()
{
    window()->activateWindow();
    m_list->setFocus(Qt::OtherFocusReason);
}

void ContentView::duplicateShow(const Show& show)
{
    m_store.duplicate(show);
}

void ContentView::askToDelete(const Show& show)
{
    if (m_deleteConfirmation)
        return;
    m_confirmDelete = show;
    m_deleteConfirmation = new QMessageBox(window());
    m_deleteConfirmation->setObjectName(QStringLiteral("deleteConfirmation"));
    m_deleteConfirmation->setAttribute(Qt::WA_DeleteOnClose);
    m_deleteConfirmation->setWindowModality(Qt::WindowModal);
    m_deleteConfirmation->setIcon(QMessageBox::Warning);
    m_deleteConfirmation->setText(QStringLiteral("Delete \u201c%1\u201d?").arg(show.name));
    m_deleteConfirmation->setInformativeText(
        QStringLiteral("Only the saved profile is removed. Files you already tagged are not changed."));
    QPushButton* remove
        = m_deleteConfirmation->addButton(QStringLiteral("Delete Show"), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("deleteShowButton"));
    QPushButton* cancel = m_deleteConfirmation->addButton(QMessageBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelDeleteButton"));
    m_deleteConfirmation->setDefaultButton(cancel);
    m_deleteConfirmation->setEscapeButton(cancel);
    connect(m_deleteConfirmation, &QMessageBox::finished, this, [this, remove] {
        const bool confirmed = m_deleteConfirmation && m_deleteConfirmation->clickedButton() == remove;
        m_deleteConfirmation = nullptr;
        if (confirmed && m_confirmDelete)
            m_store.remove(*m_confirmDelete);
        m_confirmDelete.reset();
    });
    m_deleteConfirmation->open();
}

void ContentView::showContextMenu(const QPoint& position)
{
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return;
    const Show show = m_model->showAt(index);
    auto* menu = new ShowMenu(this);
    menu->setObjectName(QStringLiteral("showContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Edit Show…"), this, [this, show] { editShow(show); })
        ->setObjectName(QStringLiteral("editAction"));
    menu->addAction(QStringLiteral("Duplicate"), this, [this, show] { duplicateShow(show); })
        ->setObjectName(QStringLiteral("duplicateAction"));
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Delete…"), this, [this, show] { askToDelete(show); });
    remove->setObjectName(QStringLiteral("deleteAction"));
    remove->setProperty(ShowMenu::destructive, true);
    menu->popup(m_list->viewport()->mapToGlobal(position));
}
