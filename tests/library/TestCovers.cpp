#include "common/EmptyLibrary.h"
#include "common/TestEnvironment.h"
#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A small picture with detail and a see-through top-left corner.
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
        QTest::addRow("PNG") << encoded("png") << u"png"_s << QSize();
        QTest::addRow("JPEG") << encoded("jpeg") << u"jpg"_s << QSize();
        QTest::addRow("damaged PNG is not decoded")
            << QByteArray("\x89PNG but nothing after") << u"png"_s << QSize();
        QTest::addRow("TIFF") << encoded("tiff") << u"jpg"_s << QSize(40, 30);
        QTest::addRow("GIF") << tinyGif << u"jpg"_s << QSize(1, 1);
    }
    void imported()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, extension);
        QFETCH(QSize, converted);
        if (bytes.isEmpty())
            QSKIP("this Qt can't write the format");
        const QString source = m_case->filePath(u"cover.img"_s);
        writeFile(source, bytes);
        const Show show;
        const auto imported = m_store->importCover(source, show);
        QVERIFY(std::holds_alternative<QString>(imported));
        const QString name = std::get<QString>(imported);
        QVERIFY2(
            name.startsWith(Uuid::text(show.id) + u'-') && name.endsWith(u'.' + extension), qPrintable(name));
        const QByteArray stored = readFile(m_store->coversFolder() + u'/' + name);
        // A second import of the same file is a second file.
        QVERIFY(std::get<QString>(m_store->importCover(source, show)) != name);
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
            QVERIFY(!QImage::fromData(bytes).hasAlphaChannel() || qGray(image.pixel(0, 0)) > 230);
        }
    }

    void readingAndDeletingCovers()
    {
        Show show;
        show.coverFile = u"broken.png"_s;
        writeFile(m_store->coversFolder() + u"/broken.png"_s, "\x89PNG broken");
        QCOMPARE(m_store->coverData(show), std::optional(QByteArray("\x89PNG broken")));
        QCOMPARE(m_store->coverImage(show), std::nullopt); // still embedded when tagging, not shown
        show.coverFile = u"good.png"_s;
        writeFile(m_store->coversFolder() + u"/good.png"_s, encoded("png"));
        QCOMPARE(m_store->coverImage(show).value_or(QImage()).size(), QSize(40, 30));
        // Only a file right in the covers folder is deleted.
        const QString kept = m_store->coversFolder() + u"/kept.png"_s;
        const QString removed = m_store->coversFolder() + u"/removed.png"_s;
        writeFile(kept, "x");
        writeFile(removed, "x");
        writeFile(m_store->showsFile(), "[]");
        for (const QString& name :
            {u"never-there.png"_s, u"../shows.json"_s, u".."_s, QString(), u"removed.png"_s})
            m_store->deleteCoverFile(name);
        m_store->deleteCoverFile(std::nullopt);
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
