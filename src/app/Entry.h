#pragma once

// The process entry: picks the command-line tool or the desktop application.
namespace Entry {

int main(int argc, char** argv);

} // namespace Entry
