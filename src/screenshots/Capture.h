#pragma once

#include "ui/Theme.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Photographs the running main window as the window server draws it, for
// documentation: started by "--capture FOLDER", steered from the application's
// two launch hooks, and ending the application with its own exit status.
namespace Capture {

enum Status { Captured = 0, NoWindow = 3, Failed = 4 };

// Reads the capture options from the arguments (without the program path).
struct Options
{
    std::optional<QString> outDir;
    // "--appearance": holds for the whole capture; without it the desktop decides.
    std::optional<Theme::Appearance> appearance;
    QSize size {1040, 700};
    bool sizeRefused = false; // "--size" was given but is no usable window size
    std::optional<QString> sampleDir;

    static Options parse(const QStringList& arguments);
};

bool requested(const QStringList& arguments);
// True when this run is a capture that asks for its own appearance, which then
// holds for the whole run, whatever the desktop or the preference say.
bool asksAppearance();
// True when this run photographs its window, whose size and place are then the capture's.
bool active();

// Before any window exists: the appearance the picture asks for, if it asks for one.
void prepareIfRequested();
// Once the application runs: tags the sample folder, then looks for the window.
void startIfRequested();

// The first visible top-level window at least 600 points wide.
QWidget* findWindow();

} // namespace Capture
