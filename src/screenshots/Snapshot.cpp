#include "screenshots/Snapshot.h"

#include "library/ShowStore.h"
#include "ui/AboutView.h"
#include "ui/ContentView.h"
#include "ui/PendingDropSheet.h"
#include "ui/ShowEditor.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QColorSpace>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageWriter>
#include <QLayout>
#include <QLoggingCategory>
#include <QTextStream>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <memory>

namespace Snapshot {
namespace {

// Long enough for layouts, fonts and deferred updates to settle.
constexpr int settleMs = 150;

void settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < settleMs) {
        QApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

QList<TagResult> sampleResults(const QString& showName)
{
    TagResult tagged;
    tagged.file = QStringLiteral("/Users/you/Podcasts/Episode 12.mp3");
    tagged.show = showName;
    tagged.ok = true;
    tagged.message
        = QStringLiteral("Tagged \u00b7 TYER TIT2 TPE1 TCON TDRC TDES APIC ID3v1 \u00b7 audio untouched");
    TagResult refused;
    refused.file = QStringLiteral("/Users/you/Podcasts/Episode 12 interview.wav");
    refused.show = showName;
    refused.ok = false;
    refused.message = QStringLiteral("Episode 12 interview.wav is not an MP3 file");
    return {tagged, refused};
}

class Renderer
{
public:
    Renderer(const QString& out, QTextStream& err)
        : m_out(out)
        , m_err(err)
    { }

    // Builds the view in the appearance asked for (views read the palette as they
    // are made) and renders it.
    template <typename Make>
    void shoot(const QString& name, Theme::Appearance appearance, Make make, std::optional<QSize> size = {})
    {
        Theme::apply(appearance);
        std::unique_ptr<QWidget> view(make());
        const QSize points = size ? *size : fitting(view.get(), view->width());
        QString error;
        if (!render(view.get(), points, m_out + u'/' + name, &error))
            m_err << "pelamo: can't write " << m_out << '/' << name << ": " << error << '\n';
    }

private:
    QString m_out;
    QTextStream& m_err;
};

} // namespace

QSize fitting(QWidget* view, int width)
{
    view->setFixedWidth(width);
    view->ensurePolished();
    if (QLayout* layout = view->layout())
        layout->activate();
    const int height = view->hasHeightForWidth() ? view->heightForWidth(width) : view->sizeHint().height();
    return {width, int(std::ceil(double(height)))};
}

bool render(QWidget* view, QSize size, const QString& file, QString* error)
{
    // The view sits on the window background, filling the picture (a view that
    // wants less space is centred on it), and is shown on a platform without a
    // screen: it lays out, polishes and paints exactly as in a window.
    QWidget frame;
    frame.setAttribute(Qt::WA_DontShowOnScreen);
    frame.setAutoFillBackground(true);
    frame.setBackgroundRole(QPalette::Window);
    frame.setFixedSize(size);
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* parent = view->parentWidget();
    const bool fills = view->maximumWidth() >= size.width() && view->maximumHeight() >= size.height();
    layout->addWidget(view, 0, fills ? Qt::Alignment() : Qt::AlignCenter);
    frame.show();
    settle();
    QImage image = frame.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    image.setColorSpace(QColorSpace::SRgb);
    frame.hide();
    view->setParent(parent);
    if (image.isNull()) {
        *error = QStringLiteral("the view could not be drawn");
        return false;
    }
    QImageWriter writer(file, "png");
    if (!writer.write(image)) {
        *error = writer.errorString();
        return false;
    }
    return true;
}

int run(ShowStore& store, const QString& out)
{
    // The platform without a screen reports every window feature it lacks; none
    // of that concerns the pictures.
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.qpa.*=false"));
    QTextStream stdOut(stdout);
    QTextStream stdErr(stderr);
    if (!QDir().mkpath(out))
        stdErr << "pelamo: can't create the folder " << out << '\n';
    const QString folder = QFileInfo(out).absoluteFilePath();
    Renderer renderer(folder, stdErr);
    const auto light = Theme::Appearance::Light;
    const auto dark = Theme::Appearance::Dark;

    if (!store.shows().isEmpty()) {
        const Show sample = store.shows().first();
        store.setResults(sampleResults(sample.name));

        const QSize window(1040, 700);
        renderer.shoot(
            QStringLiteral("main.png"), light, [&] { return new ContentView(store); }, window);
        renderer.shoot(
            QStringLiteral("main-dark.png"), dark, [&] { return new ContentView(store); }, window);

        const auto editor = [&store](const Show& show) {
            return [&store, show] {
                auto* view = new ShowEditor(store, show, false);
                view->setFixedWidth(580);
                return view;
            };
        };
        renderer.shoot(QStringLiteral("editor.png"), light, editor(sample));
        renderer.shoot(QStringLiteral("editor-dark.png"), dark, editor(sample));
        Show music = sample;
        music.kind = Show::Kind::Music;
        music.name = QStringLiteral("Music example");
        music.titleFromFileName = true;
        renderer.shoot(QStringLiteral("editor-music-dark.png"), dark, editor(music));

        store.setPending({QUrl::fromLocalFile(QStringLiteral("/x/Episode 13.mp3"))});
        renderer.shoot(
            QStringLiteral("drop-sheet.png"), light, [&] { return new PendingDropSheet(store); },
            QSize(420, 190));
    }

    const QSize about(340, 410);
    renderer.shoot(
        QStringLiteral("about.png"), light, [] { return new AboutView; }, about);
    renderer.shoot(
        QStringLiteral("about-dark.png"), dark, [] { return new AboutView; }, about);

    stdOut << "snapshots in " << folder << '\n';
    return 0;
}

} // namespace Snapshot
