#pragma once

#include "cli/CLI.h"
#include "common/TestEnvironment.h"

// The command-line tool in-process, with its streams captured.
inline ProgramRun runTool(const QStringList& arguments,
    const QString& seedFolder = ShowStore::defaultSeedFolder, const CLI::SnapshotMode& snapshot = {})
{
    ProgramRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = CLI::run(arguments, out, err, snapshot, seedFolder);
    out.flush();
    err.flush();
    return run;
}
