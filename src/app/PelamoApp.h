#pragma once

#include "app/AppDelegate.h"
#include "ui/Theme.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

class ContentView;
class QMainWindow;
class QMessageBox;
class QScreen;
class ShowStore;

// The desktop application: the main window over the shared library with its
// menus, the About window, the appearance, and the delegate for files opened
// with Pelamo.
class PelamoApp : public QObject
{
    Q_OBJECT

public:
    static constexpr QSize mainSize {1040, 700};
    static constexpr QSize mainMinimum {820, 560};
    // The content's minimum on this screen, under a menu bar of that height: mainMinimum,
    // less where the screen is smaller.
    static QSize contentMinimum(const QScreen* screen, int menuBarHeight);

    explicit PelamoApp(ShowStore& store, QObject* parent = nullptr);
    ~PelamoApp() override;

    // View › Appearance: "desktop" follows the desktop's light or dark choice,
    // "light" and "dark" hold whatever it says. Remembered in the preferences.
    void setAppearance(const QString& appearance);
    // Quit, after asking while a batch runs.
    void requestQuit();

    ShowStore& store() const { return m_store; }
    AppDelegate& delegate() { return m_delegate; }
    QMainWindow* mainWindow() const { return m_main; }
    ContentView* contentView() const { return m_content; }
    QWidget* aboutWindow() const { return m_about; }

    void showMainWindow();
    // The launch: the delegate's second hook, the main window, then the files
    // the program was opened with.
    void start(const QList<QUrl>& files);
    // Opens the About window, or brings it forward when it is open.
    void showAbout();
    // Brings the main window in front of other programs.
    void activate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The appearance the preference asks for, unless a capture asked for one.
    void applyAppearance();
    // The window opens where it was closed, never off every screen (not when captured).
    void restoreGeometry();
    void fitToScreen();
    void saveGeometry();

    ShowStore& m_store;
    AppDelegate m_delegate;
    QMainWindow* m_main = nullptr;
    ContentView* m_content = nullptr;
    QPointer<QWidget> m_about;
    QPointer<QMessageBox> m_quitQuestion;
    bool m_quitConfirmed = false;
    bool m_themed = false;
    // What the desktop looks like now: at start, then as its portal reports it.
    Theme::Appearance m_desktopAppearance;
};
