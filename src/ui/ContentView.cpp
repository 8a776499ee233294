#include "ui/ContentView.h"

#include "library/ShowStore.h"

#include <QListWidget>
#include <QVBoxLayout>

ContentView::ContentView(ShowStore& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_list(new QListWidget(this))
{
    m_list->setObjectName(QStringLiteral("showList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    connect(&m_store, &ShowStore::changed, this, &ContentView::reload);
    reload();
}

void ContentView::reload()
{
    m_list->clear();
    for (const auto& show : m_store.shows())
        m_list->addItem(show.name);
}
