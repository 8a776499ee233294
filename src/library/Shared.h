#pragma once

class ShowStore;

namespace Shared {

// The desktop application's library, opened on first use at the folder given by
// "--library" in the process arguments, or at the default folder.
ShowStore& store();

} // namespace Shared
