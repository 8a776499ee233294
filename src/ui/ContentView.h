#pragma once

#include <QWidget>

class QListWidget;
class ShowStore;

// The main window's content: the library's shows, following the store.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(ShowStore& store, QWidget* parent = nullptr);

private:
    void reload();

    ShowStore& m_store;
    QListWidget* m_list;
};
