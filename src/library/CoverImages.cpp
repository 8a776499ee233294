// The cover functions that decode images. They need Qt's GUI module, which the
// command line never loads, so they live apart from the cover files' bookkeeping.
#include "library/CoverArt.h"
#include "library/ShowStore.h"
#include "shows/Artwork.h"
#include "shows/Uuid.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

namespace {

constexpr int importQuality = 92;
constexpr int playerQuality = 90;

QImage decoded(const QByteArray& bytes)
{
    QBuffer input;
    input.setData(bytes);
    QImageReader reader(&input);
    reader.setAutoTransform(true);
    return reader.read();
}

// The image as JPEG: see-through parts land on white rather than black, as
// JPEG has no transparency. Empty when it can't be encoded.
QByteArray jpeg(const QImage& image, int quality)
{
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, image);

    QByteArray bytes;
    QBuffer output(&bytes);
    QImageWriter writer(&output, "jpeg");
    writer.setQuality(quality);
    return writer.write(opaque) ? bytes : QByteArray();
}

} // namespace

std::variant<QString, ID3::Failure> ShowStore::importCover(const QString& imagePath, const Show& show) const
{
    const QString fileName = QFileInfo(imagePath).fileName();
    QFile source(imagePath);
    if (!QFileInfo(imagePath).isFile() || !source.open(QIODevice::ReadOnly))
        return ID3::Failure::io(
            QStringLiteral("Can't read %1: %2")
                .arg(fileName,
                    QFileInfo(imagePath).isDir() ? QStringLiteral("It is a folder") : source.errorString()));
    QByteArray bytes = source.readAll();

    // Only the first bytes decide; PNG and JPEG files are stored without decoding.
    QString extension;
    if (bytes.startsWith("\x89PNG")) {
        extension = QStringLiteral("png");
    } else if (bytes.startsWith("\xff\xd8\xff")) {
        extension = QStringLiteral("jpg");
    } else {
        const QImage image = decoded(bytes);
        bytes = image.isNull() ? QByteArray() : jpeg(image, importQuality);
        if (bytes.isEmpty())
            return ID3::Failure::io(QStringLiteral("That file isn't an image Pelamo can read"));
        extension = QStringLiteral("jpg");
    }
    return storeCover(bytes, extension, show);
}

std::variant<QString, ID3::Failure> ShowStore::importSmallerCover(const Show& show) const
{
    const auto bytes = coverData(show);
    QImage image = bytes ? decoded(*bytes) : QImage();
    if (image.isNull())
        return ID3::Failure::io(QStringLiteral("The cover can't be read; choose the image again"));
    // Colours as players show them: a CMYK picture arrives in RGB, a profile's
    // colours become sRGB's.
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    if (qMax(image.width(), image.height()) > Artwork::playerSide)
        image = image.scaled(
            Artwork::playerSide, Artwork::playerSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QByteArray smaller = jpeg(image, playerQuality);
    if (smaller.isEmpty())
        return ID3::Failure::io(QStringLiteral("The smaller cover can't be made"));
    return storeCover(smaller, QStringLiteral("jpg"), show);
}

std::variant<QString, ID3::Failure> ShowStore::storeCover(
    const QByteArray& bytes, const QString& extension, const Show& show) const
{
    const QString name
        = Uuid::text(show.id) + u'-' + Uuid::text(QUuid::createUuid()).left(6) + u'.' + extension;
    // All or nothing, so a failed import leaves no half-written image behind.
    QDir().mkpath(coversFolder());
    QSaveFile file(coversFolder() + u'/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return ID3::Failure::io(QStringLiteral("Can't write %1: %2").arg(name, file.errorString()));
    return name;
}

std::optional<QImage> ShowStore::coverImage(const Show& show) const
{
    auto art = coverArt(show);
    return art ? std::move(art->image) : std::nullopt;
}

std::optional<ShowStore::CoverArt> ShowStore::coverArt(const Show& show) const
{
    const auto bytes = coverData(show);
    if (!bytes)
        return std::nullopt;
    QImage image = QImage::fromData(*bytes);
    return CoverArt {image.isNull() ? std::nullopt : std::optional(std::move(image)), ID3::pictureOf(*bytes)};
}
