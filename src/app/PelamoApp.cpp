#include "app/PelamoApp.h"

#include "app/MainMenu.h"
#include "library/ShowStore.h"
#include "screenshots/Capture.h"
#include "ui/AboutView.h"
#include "ui/ContentView.h"
#include "ui/Desktop.h"
#include "ui/ShowListView.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

PelamoApp::PelamoApp(ShowStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_delegate(store, [this] { activate(); })
    , m_desktopAppearance(Theme::systemAppearance())
{
    // Views read the appearance as they are built, so it is settled before them:
    // a capture's own, or else the preference's.
    m_delegate.willFinishLaunching();
    applyAppearance();
    if (!Capture::asksAppearance())
        Desktop::followColourScheme(this, m_desktopAppearance, [this](Theme::Appearance appearance) {
            m_desktopAppearance = appearance;
            applyAppearance();
        });
    // Quitting mid-batch finishes the files in progress and drops the rest; no
    // thread of the store outlives the application.
    connect(qApp, &QCoreApplication::aboutToQuit, &store, [&store] { store.finishTagging(); });
    m_main = new QMainWindow;
    m_content = new ContentView(store);
    QApplication::setQuitOnLastWindowClosed(m_delegate.shouldQuitAfterLastWindowClosed());
    m_main->setObjectName(QStringLiteral("mainWindow"));
    m_main->setWindowTitle(QStringLiteral("Pelamo"));
    m_main->setAttribute(Qt::WA_DeleteOnClose, false);
    m_main->setCentralWidget(m_content);
    m_main->resize(mainSize);
    m_main->installEventFilter(this);
    restoreGeometry();
    auto* menus = new MainMenu(m_main, store, m_content, store.appearance());
    // With the menu bar there, its height is known.
    fitToScreen();
    connect(menus, &MainMenu::aboutRequested, this, &PelamoApp::showAbout);
    connect(menus, &MainMenu::quitRequested, this, &PelamoApp::requestQuit);
    connect(menus, &MainMenu::appearanceChosen, this, &PelamoApp::setAppearance);
}

void PelamoApp::applyAppearance()
{
    if (Capture::asksAppearance())
        return;
    const QString chosen = m_store.appearance();
    const Theme::Appearance appearance = chosen == QStringLiteral("light") ? Theme::Appearance::Light
        : chosen == QStringLiteral("dark")                                 ? Theme::Appearance::Dark
                                                                           : m_desktopAppearance;
    // The first time always: until then the widgets have the platform's style and palette.
    if (!m_themed || appearance != Theme::current())
        Theme::apply(appearance);
    m_themed = true;
}

void PelamoApp::setAppearance(const QString& appearance)
{
    m_store.setAppearance(appearance);
    applyAppearance();
}

void PelamoApp::requestQuit()
{
    const auto& tagging = m_store.tagging();
    if (!tagging || m_quitConfirmed) {
        m_quitConfirmed = true;
        QApplication::closeAllWindows();
        return;
    }
    if (m_quitQuestion)
        return;
    // Quitting is safe (the files in progress finish, the rest stay as they were), but not silent.
    m_quitQuestion = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Quit Pelamo"), QString(), QMessageBox::NoButton, m_main);
    // The count goes on while the question waits.
    const auto say = [this] {
        if (!m_quitQuestion)
            return;
        const auto& running = m_store.tagging();
        // The batch ended while the question waited: nothing is left to lose, and the
        // user asked to quit.
        if (!running) {
            m_quitQuestion->close();
            m_quitConfirmed = true;
            QMetaObject::invokeMethod(this, &PelamoApp::requestQuit, Qt::QueuedConnection);
            return;
        }
        const QString count = running->total > 0
            ? QStringLiteral(" (%1 of %2)").arg(qMin(running->done + 1, running->total)).arg(running->total)
            : QString();
        m_quitQuestion->setText(
            QStringLiteral("Tagging is still running%1. Quit after the files in progress?").arg(count));
    };
    say();
    connect(&m_store, &ShowStore::taggingChanged, m_quitQuestion, say);
    m_quitQuestion->setObjectName(QStringLiteral("quitQuestion"));
    m_quitQuestion->setAttribute(Qt::WA_DeleteOnClose);
    m_quitQuestion->setWindowModality(Qt::WindowModal);
    QPushButton* quit = m_quitQuestion->addButton(QStringLiteral("Quit"), QMessageBox::AcceptRole);
    quit->setObjectName(QStringLiteral("quitButton"));
    QPushButton* keep = m_quitQuestion->addButton(QStringLiteral("Keep Tagging"), QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("keepTaggingButton"));
    m_quitQuestion->setDefaultButton(keep);
    m_quitQuestion->setEscapeButton(keep);
    connect(quit, &QPushButton::clicked, this, [this] {
        m_quitConfirmed = true;
        QMetaObject::invokeMethod(this, &PelamoApp::requestQuit, Qt::QueuedConnection);
    });
    m_quitQuestion->open();
}

bool PelamoApp::eventFilter(QObject* watched, QEvent* event)
{
    // The window's close button during a batch asks as Quit does.
    if (watched == m_main && event->type() == QEvent::Close && m_store.tagging() && !m_quitConfirmed) {
        event->ignore();
        requestQuit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QSize PelamoApp::contentMinimum(const QScreen* screen, int menuBarHeight)
{
    return mainMinimum.boundedTo(Desktop::room(screen) - QSize(0, menuBarHeight));
}

void PelamoApp::fitToScreen()
{
    // The minimum is the content's: the menu bar comes on top of it. On a small screen, or
    // at a large scale, the window never asks for more than the screen has.
    const QScreen* screen = m_main->screen();
    m_content->setMinimumSize(contentMinimum(screen, m_main->menuBar()->sizeHint().height()));
    if (Capture::active() || !screen || m_main->isMaximized() || m_main->isFullScreen())
        return;
    // No larger than the screen and wholly on it, the title bar too: a first window, and
    // a remembered one from another scale or a larger screen alike.
    const QSize room = Desktop::room(screen);
    const QSize fitted = m_main->size().boundedTo(room);
    if (fitted != m_main->size())
        m_main->resize(fitted);
    // A first window is placed by the window manager.
    if (m_store.windowGeometry().isEmpty())
        return;
    const QRect area = screen->availableGeometry();
    const QSize decorations = area.size() - room;
    const QPoint at = m_main->pos();
    const QPoint inside(qBound(area.left(), at.x(), area.right() + 1 - fitted.width() - decorations.width()),
        qBound(area.top(), at.y(), area.bottom() + 1 - fitted.height() - decorations.height()));
    if (inside != at)
        m_main->move(inside);
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

void PelamoApp::showMainWindow()
{
    m_main->show();
    // The keyboard starts in the list of shows, where the window's work begins.
    m_content->showList()->setFocus(Qt::OtherFocusReason);
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
        // A dialog, to window managers and screen readers alike, though it asks nothing.
        auto* window = new QDialog(nullptr, Qt::MSWindowsFixedSizeDialogHint);
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
