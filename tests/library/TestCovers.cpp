#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QTest>

namespace {

// A small picture with detail, so re-encoding has something to get right.
QImage picture()
{
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, 120));
    return image;
}

QByteArray encoded(const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImageWriter writer(&buffer, format);
    return writer.write(picture()) ? bytes : QByteArray();
}

// GIF89a, 1 × 1, two-colour palette: Qt reads GIF but can't write it.
QByteArray tinyGif()
{
    return QByteArray::fromHex("474946383961" // "GIF89a"
                               "01000100" // width, height
                               "800000" // global palette of 2 colours, background, aspect
                               "000000ffffff" // the palette
                               "2c000000000100010000" // image descriptor
                               "0202440100" // LZW data
                               "3b"); // trailer
}

} // namespace

class TestCovers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
    }

    void storedAsTheyAre_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("extension");
        QTest::addRow("PNG") << encoded("png") << QStringLiteral("png");
        QTest::addRow("JPEG") << encoded("jpeg") << QStringLiteral("jpg");
        QTest::addRow("damaged PNG is not decoded")
            << QByteArray("\x89PNG but nothing after") << QStringLiteral("png");
        QTest::addRow("JPEG prefix alone") << QByteArray("\xff\xd8\xff rest") << QStringLiteral("jpg");
    }

    void storedAsTheyAre()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, extension);
        QVERIFY(!bytes.isEmpty());
        const QString source = m_case->filePath(QStringLiteral("cover.img"));
        writeFile(source, bytes);
        const Show show;

        const auto imported = m_store->importCover(source, show);
        QVERIFY(std::holds_alternative<QString>(imported));
        const QString name = std::get<QString>(imported);
        QCOMPARE(name.size(), 47);
        QVERIFY(name.startsWith(Uuid::text(show.id) + u'-'));
        QVERIFY(name.endsWith(u'.' + extension));
        QCOMPARE(readFile(m_store->coversFolder() + u'/' + name), bytes);
    }

    void otherImagesBecomeJpeg_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addRow("BMP") << encoded("bmp") << QSize(40, 30);
        QTest::addRow("TIFF") << encoded("tiff") << QSize(40, 30);
        QTest::addRow("GIF") << tinyGif() << QSize(1, 1);
    }

    void otherImagesBecomeJpeg()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        if (bytes.isEmpty())
            QSKIP("this Qt can't write the format");
        const QString source = m_case->filePath(QStringLiteral("cover.other"));
        writeFile(source, bytes);

        const auto imported = m_store->importCover(source, Show());
        QVERIFY(std::holds_alternative<QString>(imported));
        const QString name = std::get<QString>(imported);
        QVERIFY(name.endsWith(QStringLiteral(".jpg")));
        const QByteArray stored = readFile(m_store->coversFolder() + u'/' + name);
        QVERIFY(stored.startsWith("\xff\xd8\xff"));
        const QImage image = QImage::fromData(stored, "jpeg");
        QCOMPARE(image.size(), size);
        if (size == QSize(40, 30)) {
            // Quality 92 keeps colours close.
            const QRgb corner = image.pixel(39, 29);
            QVERIFY(qAbs(qRed(corner) - 234) < 12 && qAbs(qGreen(corner) - 232) < 12);
        }
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addRow("text file") << QStringLiteral("notes.txt") << QByteArray("just words")
                                   << QStringLiteral("That file isn't an image Pelamo can read");
        QTest::addRow("empty file") << QStringLiteral("empty.png") << QByteArray()
                                    << QStringLiteral("That file isn't an image Pelamo can read");
        QTest::addRow("missing file")
            << QStringLiteral("gone.png") << QByteArray("<none>") << QStringLiteral("Can't read gone.png: ");
    }

    void refusals()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = m_case->filePath(file);
        if (bytes != "<none>")
            writeFile(path, bytes);
        const auto imported = m_store->importCover(path, Show());
        QVERIFY(std::holds_alternative<ID3::Failure>(imported));
        QVERIFY2(std::get<ID3::Failure>(imported).description.startsWith(message),
            qPrintable(std::get<ID3::Failure>(imported).description));
        QVERIFY(QDir(m_store->coversFolder()).isEmpty());
    }

    void twoImportsTwoFiles()
    {
        const QString source = m_case->filePath(QStringLiteral("a.png"));
        writeFile(source, encoded("png"));
        const Show show;
        const QString first = std::get<QString>(m_store->importCover(source, show));
        const QString second = std::get<QString>(m_store->importCover(source, show));
        QVERIFY(first != second);
        QCOMPARE(first.left(37), second.left(37));
        QCOMPARE(QDir(m_store->coversFolder()).entryList(QDir::Files).size(), 2);
    }

    void readingCovers()
    {
        Show show;
        QCOMPARE(m_store->coverData(show), std::nullopt);

        show.coverFile = QStringLiteral("missing.png");
        QCOMPARE(m_store->coverData(show), std::nullopt);
        QCOMPARE(m_store->coverImage(show), std::nullopt);

        show.coverFile = QStringLiteral("broken.png");
        writeFile(m_store->coversFolder() + QStringLiteral("/broken.png"), "\x89PNG broken");
        QCOMPARE(m_store->coverData(show), std::optional(QByteArray("\x89PNG broken")));
        QCOMPARE(m_store->coverImage(show), std::nullopt); // still embedded when tagging, not shown

        show.coverFile = QStringLiteral("good.png");
        writeFile(m_store->coversFolder() + QStringLiteral("/good.png"), encoded("png"));
        const auto image = m_store->coverImage(show);
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(40, 30));
    }

    void deletingCoverFiles()
    {
        const QString kept = m_store->coversFolder() + QStringLiteral("/kept.png");
        const QString removed = m_store->coversFolder() + QStringLiteral("/removed.png");
        writeFile(kept, "x");
        writeFile(removed, "x");
        writeFile(m_store->showsFile(), "[]");
        m_store->deleteCoverFile(std::nullopt);
        m_store->deleteCoverFile(QStringLiteral("never-there.png"));
        m_store->deleteCoverFile(QStringLiteral("../shows.json"));
        m_store->deleteCoverFile(QStringLiteral(".."));
        m_store->deleteCoverFile(QString());
        m_store->deleteCoverFile(QStringLiteral("removed.png"));
        QVERIFY(QFile::exists(kept));
        QVERIFY(!QFile::exists(removed));
        QVERIFY(QFile::exists(m_store->showsFile()));
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
};

QTEST_GUILESS_MAIN(TestCovers)
#include "TestCovers.moc"
