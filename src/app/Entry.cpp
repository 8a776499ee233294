#include "app/Entry.h"

#include "app/PelamoApp.h"
#include "app/SingleInstance.h"
#include "cli/CLI.h"
#include "id3/FileName.h"
#include "library/Shared.h"
#include "library/ShowStore.h"
#include "screenshots/Capture.h"
#include "screenshots/Snapshot.h"
#include "ui/AppIcon.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace Entry {
namespace {

// Qt looks for the session's runtime folder while it starts a platform and warns
// on standard error when XDG_RUNTIME_DIR is unset, as it is in root shells and
// services. The picture modes give it a private folder of their own instead,
// the one Qt would fall back to, so that standard error carries only our lines.
void provideRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray path = QFile::encodeName(QDir::tempPath()) + "/runtime-" + QByteArray::number(geteuid());
    ::mkdir(path.constData(), 0700);
    struct stat info
    {
    };
    // Someone else's folder, or one others may enter, is no runtime folder:
    // Qt is left to say so.
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()
        || (info.st_mode & 0777) != 0700)
        return;
    qputenv("XDG_RUNTIME_DIR", path);
}

} // namespace

int runPictures(int argc, char** argv)
{
    // Pictures are drawn off screen, display or not.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    provideRuntimeFolder();
    QApplication app(argc, argv);
    CLI::describe(app);
    QApplication::setWindowIcon(AppIcon::icon());
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = CLI::run(CLI::arguments(argc, argv), out, err, &Snapshot::run);
    out.flush();
    return status;
}

namespace {

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int runDesktop(int argc, char** argv)
{
    const QStringList arguments = CLI::arguments(argc, argv);
    // Qt would abort without a word a script can act on.
    if (Capture::requested(arguments) && !hasDisplay()) {
        QTextStream(stderr)
            << "pelamo: --capture needs a display; none is set in DISPLAY or WAYLAND_DISPLAY\n";
        return Capture::NoWindow;
    }
    QApplication app(argc, argv);
    CLI::describe(app);
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vantorel.pelamo"));
    QApplication::setWindowIcon(AppIcon::icon());

    // A Pelamo already running on this library takes the files and comes forward.
    // Qt has taken its own arguments (-platform, -style…) out of argv by now. The
    // lock and the store take the very same folder from the arguments read once.
    const CLI::Arguments parsed = CLI::parse(CLI::arguments(argc, argv));
    const QList<QUrl> files = openedFiles(parsed);
    Shared::useLibrary(parsed.libraryFolder());
    const QString folder = parsed.libraryFolder().value_or(ShowStore::defaultFolder());
    SingleInstance instance(folder);
    switch (instance.claim(files)) {
    case SingleInstance::Claim::Running:
        break;
    case SingleInstance::Claim::HandedOver:
        return 0;
    case SingleInstance::Claim::NoAnswer:
        QTextStream(stderr) << "pelamo: the Pelamo that has " << FileName::display(folder)
                            << " open does not answer\n";
        return 1;
    }

    PelamoApp pelamo(Shared::store());
    QObject::connect(
        &instance, &SingleInstance::filesReceived, &pelamo, [&pelamo](const QList<QUrl>& received) {
            if (received.isEmpty())
                pelamo.activate();
            else
                pelamo.delegate().openFiles(received);
        });
    pelamo.start(files);
    return app.exec();
}

QList<QUrl> openedFiles(const CLI::Arguments& arguments)
{
    QList<QUrl> files;
    for (const QString& argument : arguments.paths) {
        // Folders are told apart by a trailing slash, as file managers hand them over.
        QString path = FileName::absolute(argument);
        if (FileName::isFolder(path) && !path.endsWith(u'/'))
            path += u'/';
        files.append(FileName::url(path));
    }
    return files;
}

} // namespace Entry
