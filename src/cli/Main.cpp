// The tool as a process, on Qt's core alone. It comes with the core library the
// program links, and nowhere else.
#include "cli/CLI.h"

namespace CLI {

int main(int argc, char** argv, const QStringList& arguments)
{
    QCoreApplication app(argc, argv);
    describe(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return run(arguments, out, err);
}

} // namespace CLI
