// The program's entry, and the one place that decides what a run is. Listing
// and tagging run here on Qt's core alone; the window and the picture modes live
// in a module loaded only when they are asked for, so that a script's `pelamo
// --tag` does not pay for loading the GUI libraries, which cost a bare start-up
// about twice what Qt's core does. Both use the one core library of the process.
#include "cli/CLI.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* moduleName = "pelamo-desktop.so";
constexpr const char* entryName = "pelamo_desktop_main";

std::string programFolder()
{
    std::vector<char> path(4096);
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return {};
    std::string program(path.data(), static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

// Beside the program in a build folder; in lib/pelamo next to bin once installed.
int runModule(CLI::Mode mode, int argc, char** argv)
{
    const std::string folder = programFolder();
    std::string tried;
    for (const std::string& path : {folder + '/' + moduleName, folder + "/../lib/pelamo/" + moduleName}) {
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            tried += std::string("\n  ") + ::dlerror();
            continue;
        }
        using Entry = int (*)(int, int, char**);
        if (const auto entry = reinterpret_cast<Entry>(::dlsym(module, entryName)))
            return entry(int(mode), argc, argv);
        tried += "\n  " + path + ": no " + entryName;
    }
    std::fprintf(stderr, "pelamo: the desktop part of Pelamo can't be loaded:%s\n", tried.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = CLI::arguments(argc, argv);
    const CLI::Mode mode = CLI::mode(arguments);
    if (mode == CLI::Mode::Tool)
        return CLI::main(argc, argv, arguments);
    return runModule(mode, argc, argv);
}
