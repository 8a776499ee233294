#pragma once

#include "library/ShowStore.h"

#include <QTemporaryDir>

#include <memory>

// A library in "lib" inside a test's folder, without the first-run seed, so it
// starts empty and holds only what the test puts in.
inline std::unique_ptr<ShowStore> openEmptyLibrary(const QTemporaryDir& folder)
{
    return std::make_unique<ShowStore>(
        folder.filePath(QStringLiteral("lib")), folder.filePath(QStringLiteral("no-seed")));
}
