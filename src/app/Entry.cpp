#include "app/Entry.h"

#include "app/PelamoApp.h"
#include "app/SingleInstance.h"
#include "cli/CLI.h"
#include "library/Shared.h"
#include "library/ShowStore.h"
#include "ui/AppIcon.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace Entry {
namespace {

void describe(QCoreApplication& app)
{
    app.setOrganizationName(QStringLiteral("Vantorel"));
    app.setApplicationName(QStringLiteral("Pelamo"));
    app.setApplicationVersion(QStringLiteral(PELAMO_VERSION));
}

int runCommandLine(int argc, char** argv)
{
    // The tool needs no windows: a core application keeps the GUI machinery unloaded.
    QCoreApplication app(argc, argv);
    describe(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = CLI::run(app.arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}

int runDesktop(int argc, char** argv, const QStringList& arguments)
{
    QApplication app(argc, argv);
    describe(app);
    QGuiApplication::setDesktopFileName(QStringLiteral("pelamo"));
    QApplication::setWindowIcon(AppIcon::icon());

    // A Pelamo already running on this library takes the files and comes forward.
    const QList<QUrl> files = openedFiles(arguments);
    const QString folder
        = QFileInfo(CLI::libraryFolder(arguments).value_or(ShowStore::defaultFolder())).absoluteFilePath();
    SingleInstance instance(folder);
    if (!instance.claim(files))
        return 0;

    Theme::apply(Theme::systemAppearance());
    PelamoApp pelamo(Shared::store());
    QObject::connect(
        &instance, &SingleInstance::filesReceived, &pelamo, [&pelamo](const QList<QUrl>& received) {
            if (received.isEmpty())
                pelamo.activate();
            else
                pelamo.delegate().openFiles(received);
        });
    pelamo.showMainWindow();
    pelamo.delegate().openFiles(files);
    return app.exec();
}

} // namespace

QList<QUrl> openedFiles(const QStringList& arguments)
{
    static const QStringList optionsWithValues {QStringLiteral("--library"), QStringLiteral("--appearance"),
        QStringLiteral("--size"), QStringLiteral("--sample-dir")};
    static const QStringList flags {QStringLiteral("--capture")};
    QList<QUrl> files;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsWithValues.contains(argument)) {
            ++i;
            continue;
        }
        if (flags.contains(argument))
            continue;
        const QFileInfo info(argument);
        // Folders are told apart by a trailing slash, as file managers hand them over.
        QString path = info.absoluteFilePath();
        if (info.isDir() && !path.endsWith(u'/'))
            path += u'/';
        files.append(QUrl::fromLocalFile(path));
    }
    return files;
}

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return CLI::isCommandLine(arguments) ? runCommandLine(argc, argv) : runDesktop(argc, argv, arguments);
}

} // namespace Entry
