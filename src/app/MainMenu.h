#pragma once

#include <QObject>
#include <QString>

class ContentView;
class QAction;
class QMainWindow;
class ShowStore;

// The main window's menus, with the mnemonics and shortcuts GNOME and KDE
// programs use: File (New Show, Choose Files…, Quit), Edit (Undo Last Batch,
// Edit Show…, Duplicate Show, Delete Show…), View (Appearance) and Help (About
// Pelamo). They act on the selected show, and Undo Last Batch always says what
// it would undo.
class MainMenu : public QObject
{
    Q_OBJECT

public:
    MainMenu(QMainWindow* window, ShowStore& store, ContentView* content, const QString& appearance);

Q_SIGNALS:
    void aboutRequested();
    void quitRequested();
    // "desktop", "light" or "dark"
    void appearanceChosen(const QString& appearance);

private:
    void buildFile(QMainWindow* window);
    void buildEdit(QMainWindow* window);
    void buildView(QMainWindow* window, const QString& appearance);
    // Brings what can be done now in line with the store.
    void refresh();

    ShowStore& m_store;
    ContentView* m_content;
    QAction* m_chooseFiles = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_edit = nullptr;
    QAction* m_duplicate = nullptr;
    QAction* m_delete = nullptr;
};
