#include "library/Shared.h"

#include "library/ShowStore.h"

namespace Shared {
namespace {

std::optional<QString>& folder()
{
    static std::optional<QString> chosen;
    return chosen;
}

} // namespace

void useLibrary(const std::optional<QString>& chosen)
{
    folder() = chosen;
}

ShowStore& store()
{
    // A function-local static: constructed exactly once even when two threads
    // arrive together, and alive until the process ends.
    static ShowStore instance(folder());
    return instance;
}

} // namespace Shared
