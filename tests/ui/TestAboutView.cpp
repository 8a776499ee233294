#include "common/UiTest.h"
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
constexpr Item column[]
    = {{"icon", 0}, {"name", 8}, {"version", 2}, {"from", 24}, {"logo", 8}, {"link", 12}, {"copyright", 20}};

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
            red += pixel.redF() * pixel.alphaF();
            green += pixel.greenF() * pixel.alphaF();
            blue += pixel.blueF() * pixel.alphaF();
            weight += pixel.alphaF();
        }
    }
    if (weight == 0)
        return {};
    return QColor::fromRgbF(float(red / weight), float(green / weight), float(blue / weight));
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
    void init()
    {
        Theme::apply(Theme::Appearance::Light);
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
    }

    void textsInColumnOrder_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("versionLine");
        QTest::addRow("version from the application") << "1.2.3" << QStringLiteral("Version 1.2.3");
        QTest::addRow("no version leaves the word alone") << QString() << QStringLiteral("Version ");
    }

    void textsInColumnOrder()
    {
        QFETCH(QString, version);
        QFETCH(QString, versionLine);
        QCoreApplication::setApplicationVersion(version);
        AboutView view;
        QStringList texts;
        for (const Item& entry : column)
            texts.append(plainText(child<QLabel>(view, entry.name)));
        QCOMPARE(texts,
            QStringList({QString(), "Pelamo", versionLine, "from", QString(), "vantorel.example",
                "© 2026 Vantorel"}));
        QCOMPARE(view.windowTitle(), QStringLiteral("About Pelamo"));
    }

    // Without its logo image the maker's name holds the logo's place, as a title.
    void layoutHasTheGapsAndMargins_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addRow("with the logo image") << logoFolder;
        QTest::addRow("with the maker's name instead") << missingLogoFolder;
    }

    void layoutHasTheGapsAndMargins()
    {
        QFETCH(QString, folder);
        AboutView view(folder);
        QVERIFY(showExposed(view));
        QCOMPARE(view.width(), 340);
        // Sized to its content: nothing to stretch, so the user can't resize it either.
        QCOMPARE(view.minimumSize(), view.maximumSize());

        const QWidget* previous = nullptr;
        for (const Item& entry : column) {
            const QLabel* label = child<QLabel>(view, entry.name);
            QVERIFY2(label->isVisible(), entry.name);
            if (previous)
                QCOMPARE(label->geometry().top() - previous->geometry().bottom() - 1, entry.gapAbove);
            else
                QCOMPARE(label->geometry().top(), 30);
            QVERIFY2(qAbs(label->geometry().center().x() - view.width() / 2) <= 1, entry.name);
            QVERIFY2(
                label->geometry().left() >= 48 && label->geometry().right() < view.width() - 48, entry.name);
            previous = label;
        }
        QCOMPARE(view.height() - 1 - previous->geometry().bottom(), 26);

        const QLabel* logo = child<QLabel>(view, "logo");
        QCOMPARE(logo->accessibleName(), QStringLiteral("Vantorel"));
        QCOMPARE(logo->pixmap().isNull(), folder == missingLogoFolder);
        if (folder == missingLogoFolder) {
            QCOMPARE(logo->text(), QStringLiteral("Vantorel"));
            QVERIFY(logo->font().pixelSize() > child<QLabel>(view, "from")->font().pixelSize());
            QVERIFY(logo->font().weight() > QFont::Normal);
        }
    }

    void iconIsTheApplicationIcon()
    {
        AboutView view;
        const QPixmap icon = child<QLabel>(view, "icon")->pixmap();
        QCOMPARE(icon.deviceIndependentSize(), QSizeF(96, 96));
        // The tile's indigo-to-purple, beside the white microphone: a missing resource would
        // leave nothing, a wrong one the wrong colours.
        const QColor tile = icon.toImage().pixelColor(icon.width() / 2, icon.height() / 8);
        QVERIFY2(tile.blue() > tile.red() && tile.red() > tile.green(), qPrintable(tile.name()));
    }

    // The logo variant and the secondary texts follow the appearance, also while open.
    void followsTheAppearance()
    {
        const QColor lightLogo = meanOpaqueColour(QImage(logoFolder + QStringLiteral("/Vantorel-logo.png")));
        const QColor darkLogo
            = meanOpaqueColour(QImage(logoFolder + QStringLiteral("/Vantorel-logo-dark.png")));
        QVERIFY(lightLogo.isValid() && darkLogo.isValid());
        // Text for a light background is dark, and the other way round.
        QVERIFY(lightLogo.lightness() < darkLogo.lightness());

        AboutView view;
        QVERIFY(showExposed(view));
        const QLabel* logo = child<QLabel>(view, "logo");
        const int heightWithImage = view.height();
        const auto shown = [&] { return meanOpaqueColour(logo->pixmap().toImage()); };
        const auto near = [](const QColor& a, const QColor& b) { return colourDistance(a, b) <= 36; };
        QCOMPARE(logo->pixmap().deviceIndependentSize().width(), 160.0);
        QVERIFY2(near(shown(), lightLogo), qPrintable(shown().name()));
        const char* secondary[] = {"version", "from", "copyright"};
        for (const char* name : secondary) {
            const QColor colour = textColour(child<QLabel>(view, name));
            QVERIFY2(colour.lightness() < 128, name);
            // Secondary, so fainter than the name above it.
            QVERIFY2(colour.alphaF() < textColour(child<QLabel>(view, "name")).alphaF(), name);
        }

        // The palette reaches the widgets through the event loop.
        Theme::apply(Theme::Appearance::Dark);
        QTRY_VERIFY2(near(shown(), darkLogo), qPrintable(shown().name()));
        QCOMPARE(logo->pixmap().deviceIndependentSize().width(), 160.0);
        QCOMPARE(view.height(), heightWithImage);
        for (const char* name : secondary)
            QTRY_VERIFY2(textColour(child<QLabel>(view, name)).lightness() > 128, name);

        Theme::apply(Theme::Appearance::Light);
        QTRY_VERIFY2(near(shown(), lightLogo), qPrintable(shown().name()));
    }

    void linkOpensTheWebsite()
    {
        UrlCatcher browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        AboutView view;
        QVERIFY(showExposed(view));
        QLabel* link = child<QLabel>(view, "link");
        QVERIFY(link->openExternalLinks());
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(browser.opened, QList<QUrl> {QUrl(QStringLiteral("https://vantorel.example/"))});
    }

    void picturesInLightAndDark()
    {
        for (const auto appearance : {Theme::Appearance::Light, Theme::Appearance::Dark}) {
            Theme::apply(appearance);
            AboutView view;
            QVERIFY(showExposed(view));
            const QImage picture = view.grab().toImage();
            const bool dark = appearance == Theme::Appearance::Dark;
            QVERIFY(picture.save(
                QDir::temp().filePath(dark ? "pelamo-about-dark.png" : "pelamo-about-light.png")));
            QCOMPARE(picture.size(), view.size() * view.devicePixelRatio());
            const QColor window = Theme::palette(appearance).color(QPalette::Window);
            QCOMPARE(picture.pixelColor(0, 0), window);
            QCOMPARE(picture.pixelColor(picture.width() - 1, picture.height() - 1), window);
        }
    }
};

QTEST_MAIN(TestAboutView)
#include "TestAboutView.moc"
