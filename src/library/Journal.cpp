#include "library/Journal.h"

#include "id3/FileIO.h"
#include "id3/FileName.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Journal {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr QByteArrayView magic = "Pelamo undo record 1\n";
// A batch's folder is named for the moment it began, in UTC, then a random number.
const QString batchTimeFormat = u"yyyyMMdd-HHmmss-zzz"_s;
const QString recordSuffix = u".undo"_s;
constexpr qint64 megabyte = 1'000'000;

QString recordName(qsizetype index)
{
    return QStringLiteral("%1").arg(index, 6, 10, QLatin1Char('0')) + recordSuffix;
}

QStringList batchFolders(const QString& undoFolder)
{
    QStringList folders = QDir(undoFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (QString& folder : folders)
        folder = undoFolder + u'/' + folder;
    return folders;
}

QStringList records(const QString& batchFolder)
{
    QStringList names = QDir(batchFolder).entryList({u"*"_s + recordSuffix}, QDir::Files, QDir::Name);
    for (QString& name : names)
        name = batchFolder + u'/' + name;
    return names;
}

qint64 folderBytes(const QString& folder)
{
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        bytes += file.size();
    return bytes;
}

// What a record's bytes must hash to, head and tail apart.
QString checkOf(QByteArrayView head, QByteArrayView tail)
{
    return ID3::sha256Hex(head) + ID3::sha256Hex(tail);
}

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + megabyte - 1) / megabyte);
}

// The record's two first lines; the bytes follow them.
std::optional<QJsonObject> header(QFile& file)
{
    if (file.readLine(magic.size() + 1) != magic)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readLine(1 << 20));
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}

std::optional<QString> fileIn(const QJsonObject& header)
{
    const QUrl url(header.value("file"_L1).toString(), QUrl::StrictMode);
    return url.isValid() && url.isLocalFile() ? std::optional(FileName::fromUrl(url)) : std::nullopt;
}

} // namespace

Writer::Writer(QString folder)
    : m_folder(std::move(folder))
{ }

Writer::~Writer()
{
    finish();
}

std::variant<std::unique_ptr<Writer>, QString> Writer::open(const QString& undoFolder, qint64 estimate)
{
    const QString name = QDateTime::currentDateTimeUtc().toString(batchTimeFormat) + u'-'
        + QString::number(QRandomGenerator::global()->bounded(0x10000), 16).rightJustified(4, u'0');
    const QString folder = undoFolder + u'/' + name;
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
        return u"Can't keep an undo record in %1; this batch runs without undo"_s.arg(
            QDir::toNativeSeparators(undoFolder));
    auto writer = std::unique_ptr<Writer>(new Writer(folder));
    // The oldest batches make room for this one while its files are tagged:
    // removing a batch of many records costs as much as writing them did.
    writer->m_pruned = std::async(std::launch::async, [undoFolder, estimate, folder] {
        prune(undoFolder, batchLimit, qMax<qint64>(byteLimit - estimate, 0), folder);
    });
    return writer;
}

QString Writer::recordPath(qsizetype index) const
{
    return m_folder + u'/' + recordName(index);
}

void Writer::keep(qsizetype index, const QString& file, const QString& show, const ID3::Replaced& replaced)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_failure)
            return;
        m_bytes += replaced.oldHead.size() + replaced.oldTail.size();
        if (m_bytes > byteLimit) {
            m_failure = u"The old tags of this batch came to more than %1 MB; it can't be undone"_s.arg(
                megabytes(byteLimit));
            return;
        }
    }
    const QJsonObject header {
        {"file"_L1, FileName::url(file).toString(QUrl::FullyEncoded)},
        {"show"_L1, show},
        {"audioSHA"_L1, replaced.audioSHA},
        {"taggedHead"_L1, ID3::sha256Hex(replaced.newHead)},
        {"taggedTail"_L1, ID3::sha256Hex(replaced.newTail)},
        {"head"_L1, replaced.oldHead.size()},
        {"tail"_L1, replaced.oldTail.size()},
        {"check"_L1, checkOf(replaced.oldHead, replaced.oldTail)},
    };
    const QByteArray lines
        = magic.toByteArray() + QJsonDocument(header).toJson(QJsonDocument::Compact) + '\n';
    // Written under a hidden name and renamed, so a record is whole or absent.
    const QByteArray path = QFile::encodeName(recordPath(index));
    const QByteArray partial = QFile::encodeName(m_folder + u"/."_s + recordName(index));
    ID3::FileIO::FileDescriptor fd(
        ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    const bool written = fd.isOpen()
        && ID3::FileIO::writeAll(fd.get(), {lines, replaced.oldHead, replaced.oldTail}) && fd.close() == 0
        && ::rename(partial.constData(), path.constData()) == 0;
    if (!written) {
        const int error = errno;
        fd.close();
        (void)::unlink(partial.constData());
        const std::lock_guard lock(m_mutex);
        if (!m_failure)
            m_failure = u"Can't keep an undo record in %1: %2; this batch can't be undone"_s.arg(
                QDir::toNativeSeparators(m_folder), ID3::FileIO::errorText(error));
        return;
    }
    const std::lock_guard lock(m_mutex);
    ++m_kept;
}

void Writer::drop(qsizetype index)
{
    if (QFile::remove(recordPath(index))) {
        const std::lock_guard lock(m_mutex);
        --m_kept;
    }
}

std::optional<QString> Writer::finish()
{
    if (m_finished)
        return m_failure;
    m_finished = true;
    m_pruned.wait();
    // A half journal would put back some files and not others: all or nothing.
    if (m_failure || m_kept == 0) {
        QDir(m_folder).removeRecursively();
        return m_failure;
    }
    // The records are not flushed: a flush costs the batch a disk round trip,
    // and a record lost to a power cut only means that file can't be undone.
    // One that was cut short fails its check and touches nothing.
    return std::nullopt;
}

qint64 estimate(const QStringList& files)
{
    qint64 bytes = 0;
    for (const QString& file : files) {
        const int fd = ::open(FileName::encode(file).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            continue;
        char head[ID3::headerSize];
        if (::pread(fd, head, sizeof head, 0) == ID3::headerSize && QByteArrayView(head, 3) == "ID3") {
            bytes += ID3::id3v2TagLength(QByteArrayView(head, sizeof head));
        }
        bytes += ID3::v1Size;
        ::close(fd);
    }
    return bytes;
}

std::optional<QString> tooLarge(qint64 estimate)
{
    if (estimate <= byteLimit)
        return std::nullopt;
    return u"The old tags of this batch come to %1 MB, more than the %2 MB undo keeps; it runs without undo"_s
        .arg(megabytes(estimate), megabytes(byteLimit));
}

QStringList newestBatch(const QString& undoFolder)
{
    QStringList folders = batchFolders(undoFolder);
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder)
        if (QStringList found = records(*folder); !found.isEmpty())
            return found;
    return {};
}

std::optional<Summary> newestSummary(const QString& undoFolder)
{
    const QStringList found = newestBatch(undoFolder);
    if (found.isEmpty())
        return std::nullopt;
    Summary summary;
    summary.files = found.size();
    // The folder's name begins with the moment the batch began, in UTC.
    summary.time = QDateTime::fromString(
        QFileInfo(found.first()).dir().dirName().section(u'-', 0, 2), batchTimeFormat);
    summary.time.setTimeSpec(Qt::UTC);
    QFile file(found.first());
    if (file.open(QIODevice::ReadOnly))
        if (const auto fields = header(file))
            summary.show = fields->value("show"_L1).toString();
    return summary;
}

std::optional<QString> fileOf(const QString& recordPath)
{
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto fields = header(file);
    return fields ? fileIn(*fields) : std::nullopt;
}

std::variant<Entry, QString> read(const QString& recordPath)
{
    const QString damaged
        = u"The undo record %1 is damaged; no file was touched"_s.arg(QDir::toNativeSeparators(recordPath));
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return u"Can't read the undo record %1: %2"_s.arg(
            QDir::toNativeSeparators(recordPath), file.errorString());
    const auto fields = header(file);
    const auto target = fields ? fileIn(*fields) : std::nullopt;
    if (!target)
        return damaged;
    const qint64 head = fields->value("head"_L1).toInteger(-1);
    const qint64 tail = fields->value("tail"_L1).toInteger(-1);
    const QByteArray bytes = file.readAll();
    if (head < 0 || tail < 0 || head + tail != bytes.size()
        || checkOf(QByteArrayView(bytes).first(head), QByteArrayView(bytes).sliced(head))
            != fields->value("check"_L1).toString())
        return damaged;
    Entry entry;
    entry.file = *target;
    entry.show = fields->value("show"_L1).toString();
    entry.original = {bytes.first(head), bytes.sliced(head), fields->value("audioSHA"_L1).toString(),
        fields->value("taggedHead"_L1).toString(), fields->value("taggedTail"_L1).toString()};
    return entry;
}

void spend(const QStringList& reported, qsizetype total)
{
    if (reported.isEmpty())
        return;
    if (reported.size() == total) {
        QDir(QFileInfo(reported.first()).path()).removeRecursively();
        return;
    }
    for (const QString& record : reported)
        QFile::remove(record);
}

void prune(const QString& undoFolder, int batches, qint64 bytes, const QString& spare)
{
    QStringList folders = batchFolders(undoFolder);
    QList<qint64> sizes;
    qint64 total = 0;
    for (const QString& folder : std::as_const(folders)) {
        sizes.append(folderBytes(folder));
        total += sizes.constLast();
    }
    for (qsizetype i = 0; i < folders.size(); ++i) {
        if (folders.size() - i <= batches && total <= bytes)
            break;
        if (folders.at(i) == spare)
            continue;
        QDir(folders.at(i)).removeRecursively();
        total -= sizes.at(i);
    }
}

} // namespace Journal
