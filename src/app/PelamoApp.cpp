#include "app/PelamoApp.h"

#include "library/ShowStore.h"
#include "screenshots/Capture.h"
#include "ui/AboutView.h"
#include "ui/ContentView.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

PelamoApp::PelamoApp(ShowStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_delegate(store, [this] { activate(); })
{
    // Views read the appearance as they are built, so the first hook runs before them.
    m_delegate.willFinishLaunching();
    // Quitting mid-batch finishes the files in progress and drops the rest.
    connect(qApp, &QCoreApplication::aboutToQuit, &store, &ShowStore::finishTagging);
    m_main = new QMainWindow;
    m_content = new ContentView(store);
    QApplication::setQuitOnLastWindowClosed(m_delegate.shouldQuitAfterLastWindowClosed());
    m_main->setObjectName(QStringLiteral("mainWindow"));
    m_main->setWindowTitle(QStringLiteral("Pelamo"));
    m_main->setAttribute(Qt::WA_DeleteOnClose, false);
    m_main->setCentralWidget(m_content);
    // The minimum is the content's: the menu bar comes on top of it.
    m_content->setMinimumSize(mainMinimum);
    m_main->resize(mainSize);
    restoreGeometry();
    buildMenus();
}

void PelamoApp::restoreGeometry()
{
    if (Capture::active())
        return;
    const QByteArray saved = m_store.windowGeometry();
    if (saved.isEmpty() || !m_main->restoreGeometry(saved))
        return;
    // Saved on a screen that is gone: back to the first size, in the middle of the main screen.
    const QList<QScreen*> screens = QGuiApplication::screens();
    const bool onAScreen = std::any_of(screens.cbegin(), screens.cend(), [this](const QScreen* screen) {
        return screen->availableGeometry().intersects(m_main->frameGeometry());
    });
    if (!onAScreen) {
        m_main->resize(mainSize);
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            m_main->move(primary->availableGeometry().center() - m_main->rect().center());
    }
}

void PelamoApp::saveGeometry()
{
    if (!Capture::active())
        m_store.setWindowGeometry(m_main->saveGeometry());
}

PelamoApp::~PelamoApp()
{
    saveGeometry();
    delete m_about;
    delete m_main;
}

void PelamoApp::buildMenus()
{
    QMenu* file = m_main->menuBar()->addMenu(QStringLiteral("&File"));
    QAction* newShow = file->addAction(QStringLiteral("New Show"));
    newShow->setObjectName(QStringLiteral("newShowAction"));
    newShow->setShortcut(QKeySequence::New);
    // The command adds and selects; the toolbar's + is what opens the editor.
    connect(newShow, &QAction::triggered, this, [this] { m_store.add(); });
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu* help = m_main->menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* about = help->addAction(QStringLiteral("About Pelamo"));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &PelamoApp::showAbout);
}

void PelamoApp::showMainWindow()
{
    m_main->show();
}

void PelamoApp::start(const QList<QUrl>& files)
{
    m_delegate.didFinishLaunching();
    showMainWindow();
    m_delegate.openFiles(files);
}

void PelamoApp::showAbout()
{
    if (!m_about) {
        auto* window = new QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
        window->setObjectName(QStringLiteral("aboutWindow"));
        window->setWindowTitle(QStringLiteral("About Pelamo"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(new AboutView(window));
        // A window with nothing to confirm closes with the keys that close windows:
        // Escape, Ctrl+W, and whatever the desktop's own binding is.
        QList<QKeySequence> closeKeys {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)};
        for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Close))
            if (!closeKeys.contains(key))
                closeKeys.append(key);
        for (const QKeySequence& key : std::as_const(closeKeys))
            connect(new QShortcut(key, window), &QShortcut::activated, window, &QWidget::close);
        window->adjustSize();
        if (const QScreen* screen = m_main->screen())
            window->move(screen->availableGeometry().center() - window->rect().center());
        m_about = window;
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void PelamoApp::activate()
{
    // Back in the state it was left in: a maximized window stays maximized, one
    // minimized from there comes back maximized.
    if (m_main->isMinimized())
        m_main->setWindowState(m_main->windowState() & ~Qt::WindowMinimized);
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
    // A sheet open on the window stays in front of it.
    if (QWidget* sheet = QApplication::activeModalWidget()) {
        sheet->raise();
        sheet->activateWindow();
    }
}
