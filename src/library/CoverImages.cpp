// The cover functions that decode images. They need Qt's GUI module, which the
// command line never loads, so they live apart from the cover files' bookkeeping.
#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

namespace {

constexpr int jpegQuality = 92;

// Decodes any image Qt can read and encodes it as JPEG; empty when it can't.
QByteArray reencodeAsJpeg(const QByteArray& bytes)
{
    QBuffer input;
    input.setData(bytes);
    QImageReader reader(&input);
    reader.setAutoTransform(true);
    const QImage decoded = reader.read();
    if (decoded.isNull())
        return {};
    // JPEG has no transparency: see-through parts land on white rather than black.
    QImage opaque(decoded.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, decoded);

    QByteArray jpeg;
    QBuffer output(&jpeg);
    QImageWriter writer(&output, "jpeg");
    writer.setQuality(jpegQuality);
    return writer.write(opaque) ? jpeg : QByteArray();
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
        bytes = reencodeAsJpeg(bytes);
        if (bytes.isEmpty())
            return ID3::Failure::io(QStringLiteral("That file isn't an image Pelamo can read"));
        extension = QStringLiteral("jpg");
    }

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
    const auto bytes = coverData(show);
    if (!bytes)
        return std::nullopt;
    QImage image = QImage::fromData(*bytes);
    return image.isNull() ? std::nullopt : std::optional(std::move(image));
}
