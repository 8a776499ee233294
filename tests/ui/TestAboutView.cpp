#include "ui/AboutView.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTextDocument>

namespace {

const QString logoFolder = QStringLiteral(":/logo");
const QString missingLogoFolder = QStringLiteral(":/no-such-logo-folder");

// The column from top to bottom, with the space the layout must leave above each item.
struct Item
{
    const char* name;
    int gapAbove;
};
constexpr Item column[] = {
    {"icon", 0},
    {"name", 8},
    {"version", 2},
    {"from", 24},
    {"logo", 8},
    {"link", 12},
    {"copyright", 20},
};

QLabel* item(const AboutView& view, const char* name)
{
    auto* label = view.findChild<QLabel*>(QLatin1String(name));
    if (!label)
        qFatal("AboutView has no item named %s", name);
    return label;
}

QString plainText(const QLabel* label)
{
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

// Mean colour of the pixels an image actually covers; tells the logo variants apart
// whatever size they are drawn at.
QColor meanOpaqueColour(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    qreal red = 0, green = 0, blue = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const qreal alpha = pixel.alphaF();
            red += pixel.redF() * alpha;
            green += pixel.greenF() * alpha;
            blue += pixel.blueF() * alpha;
            weight += alpha;
        }
    }
    if (weight == 0)
        return {};
    return QColor::fromRgbF(float(red / weight), float(green / weight), float(blue / weight));
}

bool sameColour(const QColor& a, const QColor& b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

QColor textColour(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace

// Stands in for the desktop's browser: records what a click asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

class TestAboutView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void textsInColumnOrder_data();
    void textsInColumnOrder();
    void layoutHasTheGapsAndMargins_data();
    void layoutHasTheGapsAndMargins();
    void iconIsTheApplicationIcon();

    void logoFollowsTheAppearance();
    void makerNameStandsInForMissingLogo();
    void secondaryTextFollowsTheAppearance();

    void linkOpensTheWebsite();

    void picturesInLightAndDark();
};

void TestAboutView::init()
{
    Theme::apply(Theme::Appearance::Light);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
}

void TestAboutView::textsInColumnOrder_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("versionLine");
    QTest::addRow("version from the application")
        << QStringLiteral("1.2.3") << QStringLiteral("Version 1.2.3");
    QTest::addRow("no version leaves the word alone") << QString() << QStringLiteral("Version ");
}

void TestAboutView::textsInColumnOrder()
{
    QFETCH(QString, version);
    QFETCH(QString, versionLine);
    QCoreApplication::setApplicationVersion(version);
    AboutView view;

    QStringList texts;
    for (const Item& entry : column)
        texts.append(plainText(item(view, entry.name)));
    const QStringList expected {
        QString(),
        QStringLiteral("Pelamo"),
        versionLine,
        QStringLiteral("from"),
        QString(),
        QStringLiteral("vantorel.example"),
        QStringLiteral("© 2026 Vantorel"),
    };
    QCOMPARE(texts, expected);
    QCOMPARE(view.windowTitle(), QStringLiteral("About Pelamo"));
}

void TestAboutView::layoutHasTheGapsAndMargins_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addRow("with the logo image") << logoFolder;
    QTest::addRow("with the maker's name instead") << missingLogoFolder;
}

void TestAboutView::layoutHasTheGapsAndMargins()
{
    QFETCH(QString, folder);
    AboutView view(folder);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QCOMPARE(view.width(), 340);
    // Sized to its content: nothing to stretch, so the user can't resize it either.
    QCOMPARE(view.minimumSize(), view.maximumSize());

    const QWidget* previous = nullptr;
    for (const Item& entry : column) {
        const QLabel* label = item(view, entry.name);
        QVERIFY2(label->isVisible(), entry.name);
        if (previous)
            QCOMPARE(label->geometry().top() - previous->geometry().bottom() - 1, entry.gapAbove);
        else
            QCOMPARE(label->geometry().top(), 30);
        QVERIFY2(qAbs(label->geometry().center().x() - view.width() / 2) <= 1, entry.name);
        QVERIFY2(label->geometry().left() >= 48 && label->geometry().right() < view.width() - 48, entry.name);
        previous = label;
    }
    QCOMPARE(view.height() - 1 - previous->geometry().bottom(), 26);
}

void TestAboutView::iconIsTheApplicationIcon()
{
    AboutView view;
    const QPixmap icon = item(view, "icon")->pixmap();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.deviceIndependentSize(), QSizeF(96, 96));
    // The tile's indigo-to-purple, beside the white microphone: a missing resource would
    // leave nothing, a wrong one the wrong colours.
    const QColor tile = icon.toImage().pixelColor(icon.width() / 2, icon.height() / 8);
    QVERIFY2(tile.blue() > tile.red() && tile.red() > tile.green(), qPrintable(tile.name()));
}

void TestAboutView::logoFollowsTheAppearance()
{
    const QColor lightLogo = meanOpaqueColour(QImage(logoFolder + QStringLiteral("/Vantorel-logo.png")));
    const QColor darkLogo = meanOpaqueColour(QImage(logoFolder + QStringLiteral("/Vantorel-logo-dark.png")));
    QVERIFY(lightLogo.isValid() && darkLogo.isValid());
    // Text for a light background is dark, and the other way round.
    QVERIFY(lightLogo.lightness() < darkLogo.lightness());

    AboutView view;
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QLabel* logo = item(view, "logo");
    const int heightWithImage = view.height();

    const auto shown = [&] { return meanOpaqueColour(logo->pixmap().toImage()); };
    QCOMPARE(logo->pixmap().deviceIndependentSize().width(), 160.0);
    QVERIFY2(sameColour(shown(), lightLogo, 12), qPrintable(shown().name()));

    // Switched while open, as the desktop does when the user changes appearance. The
    // palette reaches the widgets through the event loop.
    Theme::apply(Theme::Appearance::Dark);
    QTRY_VERIFY2(sameColour(shown(), darkLogo, 12), qPrintable(shown().name()));
    QCOMPARE(logo->pixmap().deviceIndependentSize().width(), 160.0);
    QCOMPARE(view.height(), heightWithImage);

    Theme::apply(Theme::Appearance::Light);
    QTRY_VERIFY2(sameColour(shown(), lightLogo, 12), qPrintable(shown().name()));
    QCOMPARE(logo->accessibleName(), QStringLiteral("Vantorel"));
}

void TestAboutView::makerNameStandsInForMissingLogo()
{
    for (const auto appearance : {Theme::Appearance::Light, Theme::Appearance::Dark}) {
        Theme::apply(appearance);
        AboutView view(missingLogoFolder);
        const QLabel* logo = item(view, "logo");
        QVERIFY(logo->pixmap().isNull());
        QCOMPARE(logo->text(), QStringLiteral("Vantorel"));
        QCOMPARE(logo->accessibleName(), QStringLiteral("Vantorel"));
        // A title, so it holds the logo's place rather than reading as one more caption.
        QVERIFY(logo->font().pixelSize() > item(view, "from")->font().pixelSize());
        QVERIFY(logo->font().weight() > QFont::Normal);
    }
}

void TestAboutView::secondaryTextFollowsTheAppearance()
{
    AboutView view;
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const char* secondary[] = {"version", "from", "copyright"};

    for (const char* name : secondary) {
        const QColor colour = textColour(item(view, name));
        QVERIFY2(colour.lightness() < 128, name);
        // Secondary, so fainter than the name above it.
        QVERIFY2(colour.alphaF() < textColour(item(view, "name")).alphaF(), name);
    }
    Theme::apply(Theme::Appearance::Dark);
    for (const char* name : secondary)
        QTRY_VERIFY2(textColour(item(view, name)).lightness() > 128, name);
}

void TestAboutView::linkOpensTheWebsite()
{
    UrlCatcher browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    AboutView view;
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QLabel* link = item(view, "link");
    QVERIFY(link->openExternalLinks());
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(browser.opened, QList<QUrl> {QUrl(QStringLiteral("https://vantorel.example/"))});
}

void TestAboutView::picturesInLightAndDark()
{
    const std::pair<Theme::Appearance, QString> appearances[] = {
        {Theme::Appearance::Light, QStringLiteral("light")},
        {Theme::Appearance::Dark, QStringLiteral("dark")},
    };
    for (const auto& [appearance, name] : appearances) {
        Theme::apply(appearance);
        AboutView view;
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage picture = view.grab().toImage();
        const QString path = QDir::temp().filePath(QStringLiteral("pelamo-about-%1.png").arg(name));
        QVERIFY(picture.save(path));

        QCOMPARE(picture.size(), view.size() * view.devicePixelRatio());
        const QColor window = Theme::palette(appearance).color(QPalette::Window);
        QCOMPARE(picture.pixelColor(0, 0), window);
        QCOMPARE(picture.pixelColor(picture.width() - 1, picture.height() - 1), window);
        // The logo drawn on this background is the variant that stands out from it.
        const qreal ratio = picture.devicePixelRatio();
        const QRect logoArea = item(view, "logo")->geometry();
        const QImage logoRow = picture.copy(QRect(logoArea.topLeft() * ratio, logoArea.size() * ratio));
        int drawn = 0;
        int lightnessSum = 0;
        for (int y = 0; y < logoRow.height(); ++y) {
            for (int x = 0; x < logoRow.width(); ++x) {
                const QColor pixel = logoRow.pixelColor(x, y);
                if (pixel != window) {
                    ++drawn;
                    lightnessSum += pixel.lightness();
                }
            }
        }
        QVERIFY2(drawn > logoRow.width() * logoRow.height() / 10, qPrintable(name));
        const bool lighterThanWindow = lightnessSum / drawn > window.lightness();
        QCOMPARE(lighterThanWindow, appearance == Theme::Appearance::Dark);
    }
}

QTEST_MAIN(TestAboutView)
#include "TestAboutView.moc"
