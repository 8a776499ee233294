#include "cli/Output.h"

#include "id3/FileName.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CLI {
namespace {

using namespace Qt::Literals::StringLiterals;

QString field(QStringView label, const QString& value)
{
    return u"\t "_s + label.toString() + u'=' + value;
}

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// A path for scripts: as text, and, when its bytes are not UTF-8, as those
// bytes too, so that the file can be found by them.
QJsonObject pathObject(const QString& path)
{
    QJsonObject object {{u"path"_s, FileName::display(path)}};
    const QByteArray bytes = FileName::encode(path);
    if (QString::fromUtf8(bytes).toUtf8() != bytes)
        object.insert(u"pathBase64"_s, QString::fromLatin1(bytes.toBase64()));
    return object;
}

QJsonObject fieldsObject(const ID3::Fields& fields)
{
    QJsonObject object;
    for (const auto& [name, value] : fields)
        object.insert(name, value);
    return object;
}

} // namespace

QString showLine(const Show& show, Format format)
{
    if (format == Format::Json)
        return json({{u"name"_s, show.name}, {u"kind"_s, Show::kindText(show.kind)}, {u"title"_s, show.title},
            {u"titleFromFileName"_s, show.titleFromFileName}, {u"artist"_s, show.artist},
            {u"album"_s, show.album}, {u"genre"_s, show.genre}, {u"cover"_s, show.coverFile.has_value()}});
    const QString title = show.titleFromFileName ? u"<file name>"_s : show.title;
    return show.name + field(u"title", title) + field(u"artist", show.artist) + field(u"genre", show.genre)
        + field(u"cover", show.coverFile ? u"true"_s : u"false"_s);
}

QString resultLine(const TagResult& result, Format format)
{
    if (format == Format::People)
        return (result.ok ? u"OK  "_s : u"FAIL"_s) + u' ' + FileName::singleLine(result.file) + u" \u2014 "_s
            + FileName::singleLine(result.message);
    QJsonObject object = pathObject(result.file);
    object.insert(u"ok"_s, result.ok);
    object.insert(u"message"_s, result.message);
    object.insert(u"frames"_s, QJsonArray::fromStringList(result.frames));
    object.insert(u"dropped"_s, QJsonArray::fromStringList(result.dropped));
    object.insert(u"title"_s, result.title);
    object.insert(u"artist"_s, result.artist);
    object.insert(u"track"_s, result.track);
    object.insert(u"disc"_s, result.disc);
    return json(object);
}

QString inspectionText(
    const QString& path, const std::variant<ID3::Inspection, ID3::Failure>& inspected, Format format)
{
    const auto* failure = std::get_if<ID3::Failure>(&inspected);
    if (format == Format::Json) {
        QJsonObject object = pathObject(path);
        object.insert(u"ok"_s, !failure);
        if (failure) {
            object.insert(u"message"_s, failure->description);
            return json(object);
        }
        const ID3::Inspection& found = std::get<ID3::Inspection>(inspected);
        QJsonArray tags;
        for (const ID3::InspectedTag& tag : found.tags) {
            QJsonArray frames;
            for (const ID3::InspectedFrame& frame : tag.frames) {
                QJsonObject described = fieldsObject(frame.fields);
                described.insert(u"id"_s, frame.id);
                described.insert(u"size"_s, frame.size);
                frames.append(described);
            }
            tags.append(
                QJsonObject {{u"version"_s, tag.version}, {u"size"_s, tag.size}, {u"frames"_s, frames}});
        }
        object.insert(u"tags"_s, tags);
        object.insert(
            u"id3v1"_s, found.id3v1.isEmpty() ? QJsonValue() : QJsonValue(fieldsObject(found.id3v1)));
        object.insert(u"ape"_s, found.ape);
        object.insert(u"audioSize"_s, found.audioSize);
        object.insert(u"audioSHA256"_s, found.audioSHA);
        return json(object);
    }
    QStringList lines {FileName::singleLine(path)};
    if (failure)
        lines.append(u"  "_s + FileName::singleLine(failure->description));
    else
        lines += ID3::inspectionLines(std::get<ID3::Inspection>(inspected));
    return lines.join(u'\n');
}

TerminalProgress::TerminalProgress(QString verb, const std::function<QStringList()>& files)
    : m_verb(std::move(verb))
{
    if (::isatty(STDERR_FILENO) == 1)
        m_files = files();
    m_clock.start();
    draw();
}

void TerminalProgress::fileDone()
{
    if (m_done < m_files.size()) {
        struct stat status
        {
        };
        if (::stat(FileName::encode(m_files.at(m_done++)).constData(), &status) == 0)
            m_bytes += qint64(status.st_size);
    }
    draw();
}

void TerminalProgress::erase()
{
    if (m_drawn)
        (void)!::write(STDERR_FILENO, "\r\x1b[K", 4);
    m_drawn = false;
}

void TerminalProgress::draw()
{
    if (m_files.isEmpty() || m_done >= m_files.size())
        return;
    const double seconds = double(m_clock.elapsed()) / 1000;
    QString line = u"%1 %2 of %3 \u00b7 %4"_s.arg(m_verb)
                       .arg(m_done + 1)
                       .arg(m_files.size())
                       .arg(FileName::singleLine(QFileInfo(m_files.at(m_done)).fileName()));
    if (m_done > 0 && seconds > 0)
        line += u" \u00b7 %1 MB/s"_s.arg(double(m_bytes) / 1e6 / seconds, 0, 'f', 1);
    winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && line.size() >= size.ws_col)
        line = line.left(size.ws_col - 2) + u'\u2026';
    const QByteArray bytes = "\r\x1b[K" + line.toUtf8();
    (void)!::write(STDERR_FILENO, bytes.constData(), std::size_t(bytes.size()));
    m_drawn = true;
}

} // namespace CLI
