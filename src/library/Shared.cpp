#include "library/Shared.h"

#include "library/Arguments.h"
#include "library/ShowStore.h"

#include <QCoreApplication>

namespace Shared {

ShowStore& store()
{
    // A function-local static: constructed exactly once even when two threads
    // arrive together, and alive until the process ends.
    static ShowStore instance(CLI::libraryFolder(QCoreApplication::arguments().mid(1)));
    return instance;
}

} // namespace Shared
