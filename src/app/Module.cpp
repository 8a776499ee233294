// The desktop module's one exported function, looked up by the program once it
// knows the run needs the window or the pictures.
#include "app/Entry.h"
#include "cli/CLI.h"

extern "C" __attribute__((visibility("default"))) int pelamo_desktop_main(int mode, int argc, char** argv)
{
    return CLI::Mode(mode) == CLI::Mode::Pictures ? Entry::runPictures(argc, argv)
                                                  : Entry::runDesktop(argc, argv);
}
