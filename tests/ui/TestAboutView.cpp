#include "common/UiTest.h"
#include "ui/AboutView.h"
#include "ui/Theme.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTextDocumentFragment>

namespace {

const QString logoFolder = QStringLiteral(":/logo");
const QString missingLogoFolder = QStringLiteral(":/no-such-logo-folder");

// Mean colour of an image's opaque pixels, whatever size it is drawn at.
QColor meanOpaqueColour(const QImage& source)
{
    const QImage mean = source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                            .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return mean.convertToFormat(QImage::Format_ARGB32).pixelColor(0, 0);
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

    // Without its logo image the maker's name holds the logo's place, as a title. The logo
    // variant and the secondary texts follow the appearance, also while open.
    void texts_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addRow("with the logo image") << logoFolder;
        QTest::addRow("with the maker's name instead") << missingLogoFolder;
    }
    void texts()
    {
        QFETCH(QString, folder);
        AboutView view(folder);
        UrlCatcher browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        QVERIFY(showExposed(view));
        // Sized to its content, so the user can't resize it.
        QCOMPARE(view.minimumSize(), view.maximumSize());
        QStringList texts;
        for (const char* name : {"name", "version", "logo", "link"})
            texts.append(QTextDocumentFragment::fromHtml(child<QLabel>(view, name)->text()).toPlainText());
        const QString maker = folder == missingLogoFolder ? QStringLiteral("Vantorel") : QString();
        QCOMPARE(texts, QStringList({"Pelamo", "Version 1.2.3", maker, "vantorel.example"}));
        QLabel* link = child<QLabel>(view, "link");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(browser.opened, QList<QUrl> {QUrl(QStringLiteral("https://vantorel.example/"))});
        // The application icon: a missing or wrong resource lacks the tile's indigo-to-purple.
        const QPixmap icon = child<QLabel>(view, "icon")->pixmap();
        const QColor tile = icon.toImage().pixelColor(icon.width() / 2, icon.height() / 8);
        QVERIFY2(tile.blue() > tile.red() && tile.red() > tile.green(), qPrintable(tile.name()));
        const QLabel* logo = child<QLabel>(view, "logo");
        QCOMPARE(logo->accessibleName(), QStringLiteral("Vantorel"));
        QCOMPARE(logo->pixmap().isNull(), folder == missingLogoFolder);
        if (folder == missingLogoFolder) {
            QVERIFY(logo->font().pixelSize() > child<QLabel>(view, "from")->font().pixelSize());
            QVERIFY(logo->font().weight() > QFont::Normal);
        }
        const QColor lightLogo = meanOpaqueColour(QImage(logoFolder + QStringLiteral("/Vantorel-logo.png")));
        const QColor darkLogo
            = meanOpaqueColour(QImage(logoFolder + QStringLiteral("/Vantorel-logo-dark.png")));
        QVERIFY(lightLogo.isValid() && lightLogo.lightness() < darkLogo.lightness());
        const auto shown = [&] { return meanOpaqueColour(logo->pixmap().toImage()); };
        const auto near = [](const QColor& a, const QColor& b) { return colourDistance(a, b) <= 36; };
        if (folder == logoFolder)
            QVERIFY2(near(shown(), lightLogo), qPrintable(shown().name()));
        const char* secondary[] = {"version", "from", "copyright"};
        for (const char* name : secondary)
            QVERIFY2(textColour(child<QLabel>(view, name)).lightness() < 128, name);
        Theme::apply(Theme::Appearance::Dark);
        if (folder == logoFolder)
            QTRY_VERIFY2(near(shown(), darkLogo), qPrintable(shown().name()));
        for (const char* name : secondary)
            QTRY_VERIFY2(textColour(child<QLabel>(view, name)).lightness() > 128, name);
    }
};

QTEST_MAIN(TestAboutView)
#include "TestAboutView.moc"
