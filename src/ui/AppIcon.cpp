#include "ui/AppIcon.h"

namespace AppIcon {
namespace {

// The sizes scripts/make-artwork.sh draws and src/ui/CMakeLists.txt compiles in.
constexpr int sizes[] = {16, 24, 32, 48, 64, 128, 256, 512};

} // namespace

QIcon icon()
{
    QIcon result;
    for (const int size : sizes)
        result.addFile(QStringLiteral(":/app-icon/pelamo-%1.png").arg(size), QSize(size, size));
    return result;
}

} // namespace AppIcon
