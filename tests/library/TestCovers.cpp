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

// A small picture with detail, so re-encoding has something to get right; its
// top-left corner is see-through.
QByteArray encoded(const char* format)
{
    QImage image(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, x < 4 && y < 4 ? qRgba(0, 0, 0, 0) : qRgb(x * 6, y * 8, 120));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImageWriter writer(&buffer, format);
    return writer.write(image) ? bytes : QByteArray();
}

// GIF89a, 1 × 1, two-colour palette: Qt reads GIF but can't write it.
const QByteArray tinyGif
    = QByteArray::fromHex("47494638396101000100800000000000ffffff2c00000000010001000002024401003b");

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

    // PNG and JPEG are stored byte for byte; what else Qt reads becomes a JPEG.
    void imported_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QSize>("converted");
        QTest::addRow("PNG") << encoded("png") << QStringLiteral("png") << QSize();
        QTest::addRow("JPEG") << encoded("jpeg") << QStringLiteral("jpg") << QSize();
        QTest::addRow("damaged PNG is not decoded")
            << QByteArray("\x89PNG but nothing after") << QStringLiteral("png") << QSize();
        QTest::addRow("JPEG prefix alone")
            << QByteArray("\xff\xd8\xff rest") << QStringLiteral("jpg") << QSize();
        QTest::addRow("BMP") << encoded("bmp") << QStringLiteral("jpg") << QSize(40, 30);
        QTest::addRow("TIFF") << encoded("tiff") << QStringLiteral("jpg") << QSize(40, 30);
        QTest::addRow("GIF") << tinyGif << QStringLiteral("jpg") << QSize(1, 1);
    }

    void imported()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, extension);
        QFETCH(QSize, converted);
        if (bytes.isEmpty())
            QSKIP("this Qt can't write the format");
        const QString source = m_case->filePath(QStringLiteral("cover.img"));
        writeFile(source, bytes);
        const Show show;

        const auto imported = m_store->importCover(source, show);
        QVERIFY(std::holds_alternative<QString>(imported));
        const QString name = std::get<QString>(imported);
        QCOMPARE(name.size(), 47);
        QVERIFY(name.startsWith(Uuid::text(show.id) + u'-'));
        QVERIFY(name.endsWith(u'.' + extension));
        const QByteArray stored = readFile(m_store->coversFolder() + u'/' + name);

        // A second import of the same file is a second file.
        const QString again = std::get<QString>(m_store->importCover(source, show));
        QVERIFY(again != name);
        QCOMPARE(again.left(37), name.left(37));
        QCOMPARE(QDir(m_store->coversFolder()).entryList(QDir::Files).size(), 2);

        if (!converted.isValid()) {
            QCOMPARE(stored, bytes);
            return;
        }
        QVERIFY(stored.startsWith("\xff\xd8\xff"));
        const QImage image = QImage::fromData(stored, "jpeg");
        QCOMPARE(image.size(), converted);
        if (converted == QSize(40, 30)) {
            // Quality 92 keeps colours close; see-through parts land on white.
            const QRgb corner = image.pixel(39, 29);
            QVERIFY(qAbs(qRed(corner) - 234) < 12 && qAbs(qGreen(corner) - 232) < 12);
            if (QImage::fromData(bytes).hasAlphaChannel())
                QVERIFY2(
                    qGray(image.pixel(0, 0)) > 230, qPrintable(QString::number(qGray(image.pixel(0, 0)))));
        }
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QString unreadable = QStringLiteral("That file isn't an image Pelamo can read");
        QTest::addRow("text file") << QStringLiteral("notes.txt") << QByteArray("just words") << unreadable;
        QTest::addRow("empty file") << QStringLiteral("empty.png") << QByteArray() << unreadable;
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
        for (const auto& name : {std::optional<QString>(), std::optional(QStringLiteral("never-there.png")),
                 std::optional(QStringLiteral("../shows.json")), std::optional(QStringLiteral("..")),
                 std::optional(QString()), std::optional(QStringLiteral("removed.png"))})
            m_store->deleteCoverFile(name);
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
