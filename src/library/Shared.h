#pragma once

#include <QString>

#include <optional>

class ShowStore;

namespace Shared {

// The library the desktop application opens: the folder "--library" named,
// made absolute, or none for the default folder. Set once, before the first
// call of store().
void useLibrary(const std::optional<QString>& folder);

// The desktop application's library, opened on first use.
ShowStore& store();

} // namespace Shared
