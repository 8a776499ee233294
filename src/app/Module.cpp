// The desktop module's one exported function, looked up by the program's entry.
#include "app/Entry.h"

extern "C" __attribute__((visibility("default"))) int pelamo_desktop_main(int argc, char** argv)
{
    return Entry::main(argc, argv);
}
