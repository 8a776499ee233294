#include "id3/FileName.h"

#include <QDir>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace FileName {
namespace {

constexpr char16_t escapeBase = 0xDC00; // U+DC80 + (byte - 0x80)
constexpr char16_t firstEscape = 0xDC80;
constexpr char16_t lastEscape = 0xDCFF;
constexpr char16_t replacement = 0xFFFD;

bool isContinuation(quint8 byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 when the byte
// there starts none (overlong forms, encoded surrogates and values past
// U+10FFFF are not well formed).
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at, char32_t& value)
{
    const auto byte = [&](qsizetype i) { return quint8(bytes.at(at + i)); };
    const quint8 lead = byte(0);
    qsizetype length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        value = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if (!isContinuation(byte(i)))
            return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

bool isEscape(QChar c)
{
    return c.unicode() >= firstEscape && c.unicode() <= lastEscape;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t value = 0;
        const qsizetype length = sequenceLength(bytes, at, value);
        if (length == 0) {
            text.append(QChar(char16_t(escapeBase + quint8(bytes.at(at)))));
            ++at;
            continue;
        }
        if (value < 0x10000) {
            text.append(QChar(char16_t(value)));
        } else {
            text.append(QChar(QChar::highSurrogate(value)));
            text.append(QChar(QChar::lowSurrogate(value)));
        }
        at += length;
    }
    return text;
}

QByteArray encode(const QString& path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype to) {
        if (to > plainFrom)
            bytes.append(QStringView(path).mid(plainFrom, to - plainFrom).toUtf8());
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path.at(i);
        // An escaped byte is a low surrogate standing alone; one that follows a
        // high surrogate is half of a real character.
        const bool paired = i > 0 && path.at(i - 1).isHighSurrogate();
        if (isEscape(c) && !paired) {
            flushPlain(i);
            bytes.append(char(c.unicode() - escapeBase));
            plainFrom = i + 1;
        }
    }
    flushPlain(path.size());
    return bytes;
}

QString display(const QString& path)
{
    QString text = path;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar(replacement);
    }
    return text;
}

QString singleLine(const QString& path)
{
    const QString text = display(path);
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\n':
            line += QStringLiteral("\\n");
            break;
        case u'\r':
            line += QStringLiteral("\\r");
            break;
        case u'\t':
            line += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.unicode() == 0x85)
                line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                line += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                line += c;
        }
    }
    return line;
}

QStringList entries(const QString& folder)
{
    QStringList names;
    struct CloseFolder
    {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    const std::unique_ptr<DIR, CloseFolder> dir(::opendir(encode(folder).constData()));
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            names.append(decode(name));
    }
    return names;
}

QString absolute(const QString& path)
{
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    const std::unique_ptr<char, decltype(&std::free)> current(::getcwd(nullptr, 0), &std::free);
    const QString folder = current ? decode(current.get()) : QStringLiteral("/");
    return QDir::cleanPath(folder + u'/' + path);
}

bool exists(const QString& path)
{
    struct stat status
    {
    };
    return ::stat(encode(path).constData(), &status) == 0;
}

bool isFolder(const QString& path)
{
    struct stat status
    {
    };
    return ::stat(encode(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QUrl url(const QString& path)
{
    return QUrl::fromEncoded("file://" + encode(path).toPercentEncoding("/"), QUrl::StrictMode);
}

QString fromUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return url.toString(QUrl::PreferLocalFile);
    QString path = decode(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    // A location with a host names a network share, as QUrl::toLocalFile has it.
    if (!url.host().isEmpty())
        path = QStringLiteral("//") + url.host() + path;
    return path;
}

} // namespace FileName
