#include "app/Entry.h"

#include "cli/CLI.h"
#include "library/Shared.h"
#include "ui/ContentView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>
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

int runDesktop(int argc, char** argv)
{
    QApplication app(argc, argv);
    describe(app);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Pelamo"));
    window.setCentralWidget(new ContentView(Shared::store()));
    window.resize(1040, 700);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return CLI::isCommandLine(arguments) ? runCommandLine(argc, argv) : runDesktop(argc, argv);
}

} // namespace Entry
