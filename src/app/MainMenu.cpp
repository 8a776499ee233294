#include "app/MainMenu.h"

#include "library/ShowStore.h"
#include "ui/ContentView.h"
#include "ui/TagView.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <functional>

namespace {

QAction* addAction(QMenu* menu, const QString& text, const char* name, const QKeySequence& shortcut = {})
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}

} // namespace

MainMenu::MainMenu(QMainWindow* window, ShowStore& store, ContentView* content, const QString& appearance)
    : QObject(window)
    , m_store(store)
    , m_content(content)
{
    buildFile(window);
    buildEdit(window);
    buildView(window, appearance);
    QMenu* help = window->menuBar()->addMenu(QStringLiteral("&Help"));
    connect(addAction(help, QStringLiteral("&About Pelamo"), "aboutAction"), &QAction::triggered, this,
        &MainMenu::aboutRequested);

    connect(&m_store, &ShowStore::changed, this, &MainMenu::refresh);
    connect(&m_store, &ShowStore::taggingChanged, this, &MainMenu::refresh);
    connect(&m_store, &ShowStore::undoableChanged, this, &MainMenu::refresh);
    refresh();
}

void MainMenu::buildFile(QMainWindow* window)
{
    QMenu* file = window->menuBar()->addMenu(QStringLiteral("&File"));
    // Adds and selects; the list's + is what opens the editor too.
    connect(addAction(file, QStringLiteral("&New Show"), "newShowAction", QKeySequence::New),
        &QAction::triggered, &m_store, [this] { m_store.add(); });
    m_chooseFiles
        = addAction(file, QStringLiteral("&Choose Files\u2026"), "chooseFilesAction", QKeySequence::Open);
    connect(m_chooseFiles, &QAction::triggered, this, [this] {
        if (TagView* pane = m_content->tagView(); pane && m_store.selected())
            pane->chooseFiles();
    });
    file->addSeparator();
    connect(addAction(file, QStringLiteral("&Quit"), "quitAction", QKeySequence::Quit), &QAction::triggered,
        this, &MainMenu::quitRequested);
}

void MainMenu::buildEdit(QMainWindow* window)
{
    QMenu* edit = window->menuBar()->addMenu(QStringLiteral("&Edit"));
    m_undo = addAction(edit, QStringLiteral("&Undo Last Batch"), "undoAction", QKeySequence::Undo);
    connect(m_undo, &QAction::triggered, &m_store, &ShowStore::enqueueUndo);
    edit->addSeparator();
    // The list answers Return, F2 and Delete itself; the same keys here would clash with it.
    m_edit = addAction(edit, QStringLiteral("&Edit Show\u2026"), "editShowAction");
    m_duplicate = addAction(
        edit, QStringLiteral("Du&plicate Show"), "duplicateShowAction", QKeySequence(Qt::CTRL | Qt::Key_D));
    m_delete = addAction(edit, QStringLiteral("&Delete Show\u2026"), "deleteShowAction");
    const auto onSelected = [this](QAction* action, std::function<void(ContentView*, const Show&)> act) {
        connect(action, &QAction::triggered, this, [this, act = std::move(act)] {
            if (const auto show = m_store.selected())
                act(m_content, *show);
        });
    };
    onSelected(m_edit, [](ContentView* content, const Show& show) { content->editShow(show); });
    onSelected(m_duplicate, [](ContentView* content, const Show& show) { content->duplicateShow(show); });
    onSelected(m_delete, [](ContentView* content, const Show& show) { content->askToDelete(show); });
}

void MainMenu::buildView(QMainWindow* window, const QString& appearance)
{
    QMenu* view = window->menuBar()->addMenu(QStringLiteral("&View"));
    QMenu* appearances = view->addMenu(QStringLiteral("&Appearance"));
    appearances->menuAction()->setObjectName(QStringLiteral("appearanceMenu"));
    auto* group = new QActionGroup(appearances);
    const std::pair<QString, const char*> choices[] = {
        {QStringLiteral("desktop"), "Follow the &Desktop"},
        {QStringLiteral("light"), "&Light"},
        {QStringLiteral("dark"), "Dar&k"},
    };
    for (const auto& [choice, text] : choices) {
        QAction* action = addAction(appearances, QString::fromUtf8(text),
            qPrintable(QStringLiteral("appearance%1Action").arg(choice.at(0).toUpper() + choice.mid(1))));
        action->setCheckable(true);
        action->setChecked(choice == appearance);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, choice] { Q_EMIT appearanceChosen(choice); });
    }
}

void MainMenu::refresh()
{
    const bool selected = m_store.selected().has_value();
    for (QAction* action : {m_chooseFiles, m_edit, m_duplicate, m_delete})
        action->setEnabled(selected);
    // Nothing to undo, or a batch still running: the journal is not settled.
    const auto& undoable = m_store.undoable();
    m_undo->setEnabled(undoable && !m_store.tagging());
    // The text begins "Undo Last Batch", whose U is the mnemonic.
    m_undo->setText(u'&' + (undoable ? TagView::undoText(*undoable) : QStringLiteral("Undo Last Batch")));
    m_undo->setToolTip(undoable ? TagView::undoTip(*undoable) : QString());
}
