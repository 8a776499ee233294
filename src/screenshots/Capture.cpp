#include "screenshots/Capture.h"

#include "library/Arguments.h"
#include "library/Shared.h"
#include "library/ShowStore.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <cstdio>

namespace Capture {
namespace {

const QString captureOption = QStringLiteral("--capture");
constexpr int minimumWindowWidth = 600;
constexpr int retryMs = 100;
constexpr int pictureDelayMs = 1500;
constexpr int tries = 50;
// Larger than any screen this is meant for, small enough for any pixel buffer.
constexpr double largestSide = 8192;

QStringList arguments()
{
    return QCoreApplication::arguments().mid(1);
}

const Options& options()
{
    static const Options parsed = Options::parse(arguments());
    return parsed;
}

void finish(int status)
{
    QCoreApplication::exit(status);
}

void takePicture(QWidget* window)
{
    const Options& o = options();
    // Named for what the picture shows, whoever chose the appearance.
    const QString file = QDir(*o.outDir).filePath(Theme::current() == Theme::Appearance::Dark
            ? QStringLiteral("main-dark.png")
            : QStringLiteral("main-light.png"));
    // The window server's picture of this window alone; where it won't give one,
    // the window's own rendering of itself.
    QPixmap picture;
    if (QScreen* screen = window->screen())
        picture = screen->grabWindow(window->winId());
    if (picture.isNull())
        picture = window->grab();
    const QImage image = picture.toImage();
    QTextStream err(stderr);
    if (image.isNull()) {
        err << "capture failed\n";
        finish(Failed);
        return;
    }
    QImageWriter writer(file, "png");
    if (!writer.write(image)) {
        err << "pelamo: can't write " << file << ": " << writer.errorString() << '\n' << "capture failed\n";
        finish(Failed);
        return;
    }
    QTextStream(stdout) << "captured " << QFileInfo(file).absoluteFilePath() << " (" << image.width()
                        << "\u00d7" << image.height() << ")\n";
    finish(Captured);
}

void shoot(int triesLeft)
{
    QWidget* window = findWindow();
    if (!window) {
        if (triesLeft == 0) {
            QTextStream(stderr) << "no window to capture\n";
            finish(NoWindow);
            return;
        }
        QTimer::singleShot(retryMs, qApp, [triesLeft] { shoot(triesLeft - 1); });
        return;
    }
    // X11 keeps no picture of a window outside every screen, so the window goes to
    // the screen's corner rather than out of sight.
    const QRect screen = window->screen() ? window->screen()->geometry() : QRect();
    window->setGeometry(QRect(screen.topLeft(), options().size));
    window->update();
    QTimer::singleShot(pictureDelayMs, qApp, [window] { takePicture(window); });
}

} // namespace

Options Options::parse(const QStringList& arguments)
{
    Options o;
    o.outDir = CLI::value(captureOption, arguments);
    if (const auto appearance = CLI::value(QStringLiteral("--appearance"), arguments))
        o.appearance
            = *appearance == QStringLiteral("dark") ? Theme::Appearance::Dark : Theme::Appearance::Light;
    o.sampleDir = CLI::value(QStringLiteral("--sample-dir"), arguments);
    const std::optional<QString> size = CLI::value(QStringLiteral("--size"), arguments);
    QList<double> numbers;
    for (const QString& piece : size.value_or(QStringLiteral("1040x700")).split(u'x', Qt::SkipEmptyParts)) {
        bool ok = false;
        const double number = piece.toDouble(&ok);
        if (ok)
            numbers.append(number);
    }
    if (numbers.size() == 2) {
        // A window can't be drawn at no size, a negative one or one no buffer holds.
        const auto usable
            = [](double side) { return std::isfinite(side) && side >= 1 && side <= largestSide; };
        if (usable(numbers.at(0)) && usable(numbers.at(1)))
            o.size = QSize(int(std::lround(numbers.at(0))), int(std::lround(numbers.at(1))));
        else
            o.sizeRefused = true;
    } else if (size) {
        o.sizeRefused = true;
    }
    return o;
}

bool requested(const QStringList& arguments)
{
    return CLI::value(captureOption, arguments).has_value();
}

bool asksAppearance()
{
    return options().outDir && options().appearance;
}

bool active()
{
    return options().outDir.has_value();
}

void prepareIfRequested()
{
    if (options().outDir && options().appearance)
        Theme::apply(*options().appearance);
}

void startIfRequested()
{
    const Options& o = options();
    if (!o.outDir)
        return;
    QTextStream err(stderr);
    if (!QDir().mkpath(*o.outDir))
        err << "pelamo: can't create the folder " << *o.outDir << '\n';
    if (o.sizeRefused)
        err << "pelamo: --size takes WIDTHxHEIGHT in points, from 1 to 8192; using " << o.size.width() << 'x'
            << o.size.height() << '\n';
    if (o.sampleDir) {
        ShowStore& store = Shared::store();
        const QFileInfo folder(*o.sampleDir);
        if (!folder.isDir()) {
            err << "pelamo: the sample folder " << *o.sampleDir << " is not a folder; nothing is tagged\n";
        } else if (const auto show = store.selected()) {
            store.tag({QUrl::fromLocalFile(folder.absoluteFilePath() + u'/')}, *show);
        } else {
            err << "pelamo: no show is selected, so the sample folder is not tagged\n";
        }
    }
    err.flush();
    shoot(tries);
}

QWidget* findWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->width() >= minimumWindowWidth)
            return widget;
    return nullptr;
}

} // namespace Capture
