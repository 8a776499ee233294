#include "id3/ID3.h"
#include "id3/Text.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <array>
#include <utility>

namespace ID3 {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr char utf16Encoding = 0x01;
constexpr char latin1Encoding = 0x00;
constexpr char frontCover = 0x03;
constexpr std::array<char, 2> byteOrderMark {char(0xFF), char(0xFE)};
constexpr std::array<char, 8> pngSignature {char(0x89), 'P', 'N', 'G', '\r', '\n', char(0x1A), '\n'};
constexpr std::array<char, 4> podcastBody {0, 0, 0, 0};

constexpr std::array<std::pair<QLatin1StringView, QLatin1StringView>, 14> languageCodes {{
    {"en"_L1, "eng"_L1},
    {"english"_L1, "eng"_L1},
    {"es"_L1, "spa"_L1},
    {"spanish"_L1, "spa"_L1},
    {"pt"_L1, "por"_L1},
    {"portuguese"_L1, "por"_L1},
    {"fr"_L1, "fra"_L1},
    {"french"_L1, "fra"_L1},
    {"de"_L1, "deu"_L1},
    {"german"_L1, "deu"_L1},
    {"it"_L1, "ita"_L1},
    {"italian"_L1, "ita"_L1},
    {"nl"_L1, "nld"_L1},
    {"dutch"_L1, "nld"_L1},
}};
constexpr QLatin1StringView fallbackLanguage = "eng"_L1;
constexpr qsizetype languageCodeSize = 3;
// "2025-11-03T09:30": a year, a date, a time of hours and minutes.
constexpr qsizetype yearDigits = 4;
constexpr qsizetype dateLength = 10;
constexpr qsizetype timeLength = 5;

template <std::size_t N> QByteArrayView view(const std::array<char, N>& bytes)
{
    return QByteArrayView(bytes.data(), qsizetype(N));
}

// The frames written from a plain text field, in tag order between TIT2 and TCON.
struct TextField
{
    QLatin1StringView id;
    QString Tags::*field;
};
constexpr std::array<TextField, 8> leadingTexts {{
    {"TIT2"_L1, &Tags::title},
    {"TPE1"_L1, &Tags::artist},
    {"TPE2"_L1, &Tags::albumArtist},
    {"TALB"_L1, &Tags::album},
    {"TRCK"_L1, &Tags::track},
    {"TPOS"_L1, &Tags::disc},
    {"TCOM"_L1, &Tags::composer},
    {"TCON"_L1, &Tags::genre},
}};
constexpr std::array<TextField, 2> rightsTexts {{
    {"TPUB"_L1, &Tags::publisher},
    {"TCOP"_L1, &Tags::copyright},
}};
constexpr std::array<TextField, 3> podcastTexts {{
    {"TDES"_L1, &Tags::description},
    {"TCAT"_L1, &Tags::category},
    {"TKWD"_L1, &Tags::keywords},
}};

class TagBuilder
{
public:
    void add(QLatin1StringView id, const QByteArray& frameBytes)
    {
        m_tag.bytes += frameBytes;
        m_tag.frames += QString(id);
    }
    void addText(QLatin1StringView id, const QString& value)
    {
        const QString text = trimSpacesAndLineBreaks(value);
        if (!text.isEmpty())
            add(id, textFrame(id, text));
    }
    template <std::size_t N> void addTexts(const Tags& tags, const std::array<TextField, N>& fields)
    {
        for (const TextField& field : fields)
            addText(field.id, tags.*field.field);
    }
    BuiltTag take() { return std::move(m_tag); }

private:
    BuiltTag m_tag;
};

} // namespace

// Only the low 32 bits of the value are kept; callers that can exceed them
// (a frame body of 4 GB) produce a frame the read-back check will reject.
QByteArray be32(qint64 value)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[3 - i] = char((value >> (8 * i)) & 0xFF);
    return out;
}

// Seven bits a byte, so no size byte can look like an MPEG sync. Only the low
// 28 bits fit; a larger tag would get a wrong size, which write() refuses.
QByteArray syncsafe(qint64 value)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[3 - i] = char((value >> (7 * i)) & 0x7F);
    return out;
}

QByteArray utf16(const QString& text)
{
    QByteArray out;
    out.reserve(view(byteOrderMark).size() + 2 * text.size());
    out += view(byteOrderMark);
    for (const QChar unit : text) {
        out += char(unit.unicode() & 0xFF);
        out += char(unit.unicode() >> 8);
    }
    return out;
}

QByteArray latin1Bytes(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t scalar : text.toUcs4())
        out += scalar < 0x100 ? char(scalar) : '?';
    return out;
}

QByteArray latin1(const QString& text, qsizetype width)
{
    QByteArray out = latin1Bytes(text).left(width);
    out.append(width - out.size(), '\0');
    return out;
}

QString iso639_2(const QString& language)
{
    const QString key = trimSpaces(language).toLower();
    for (const auto& [name, code] : languageCodes) {
        if (key == name)
            return code;
    }
    // A typed code is used as it is, but only in ASCII: the COMM frame has
    // exactly three bytes for it, and more would shift the rest of the frame.
    const bool ascii = std::all_of(key.cbegin(), key.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (key.size() == languageCodeSize && ascii)
        return key;
    return fallbackLanguage;
}

QByteArray frame(QLatin1StringView id, const QByteArray& body)
{
    QByteArray out;
    out.reserve(frameHeaderSize + body.size());
    out += QByteArrayView(id.data(), id.size());
    out += be32(body.size());
    out += QByteArrayView("\0\0", 2); // frame flags, always zero here
    out += body;
    return out;
}

QByteArray textFrame(QLatin1StringView id, const QString& text)
{
    QByteArray body;
    body += utf16Encoding;
    body += utf16(text);
    return frame(id, body);
}

QByteArray commentFrame(const QString& text, const QString& language)
{
    QByteArray body;
    body += utf16Encoding;
    body += iso639_2(language).toUtf8();
    body += view(byteOrderMark); // short description: empty, with its BOM
    body += QByteArrayView("\0\0", 2); // and its terminator
    body += utf16(text);
    return frame("COMM"_L1, body);
}

QByteArray pictureFrame(const QByteArray& image)
{
    const bool png = image.startsWith(view(pngSignature));
    QByteArray body;
    body.reserve(image.size() + 16);
    body += latin1Encoding;
    body += png ? QByteArrayView("image/png") : QByteArrayView("image/jpeg");
    body += '\0'; // end of the MIME type
    body += frontCover;
    body += '\0'; // empty description, terminated
    body += image;
    return frame("APIC"_L1, body);
}

QList<std::pair<QLatin1StringView, QString>> yearFrames(const QString& text)
{
    if (text.isEmpty())
        return {};
    const bool dated = text.size() > yearDigits && text.at(yearDigits) == u'-'
        && std::all_of(text.cbegin(), text.cbegin() + yearDigits, [](QChar c) { return c.isDigit(); });
    if (!dated)
        return {{"TYER"_L1, text}};
    QList<std::pair<QLatin1StringView, QString>> frames {{"TYER"_L1, text.first(yearDigits)}};
    // "YYYY-MM-DD", then perhaps "THH:MM" and seconds, as ID3v2.4 writes a time.
    const QDate date = QDate::fromString(text.first(qMin(text.size(), dateLength)), Qt::ISODate);
    const QChar after = text.size() > dateLength ? text.at(dateLength) : QChar(u'T');
    if (!date.isValid() || after != u'T')
        return frames;
    frames.append({"TDAT"_L1, date.toString(u"ddMM"_s)});
    const QTime time = QTime::fromString(text.mid(dateLength + 1, timeLength), u"HH:mm"_s);
    if (time.isValid())
        frames.append({"TIME"_L1, time.toString(u"HHmm"_s)});
    return frames;
}

BuiltTag buildFrames(const Tags& tags)
{
    TagBuilder tag;
    const QString year = trimSpacesAndLineBreaks(tags.year);
    for (const auto& [id, text] : yearFrames(year))
        tag.addText(id, text);
    tag.addTexts(tags, leadingTexts);
    tag.addText("TDRC"_L1, year);
    if (!trimSpaces(tags.language).isEmpty())
        tag.addText("TLAN"_L1, iso639_2(tags.language));
    tag.addTexts(tags, rightsTexts);
    const QString comment = trimSpacesAndLineBreaks(tags.comment);
    if (!comment.isEmpty())
        tag.add("COMM"_L1, commentFrame(comment, tags.language));
    tag.addTexts(tags, podcastTexts);
    const QString feed = trimSpacesAndLineBreaks(tags.feedURL);
    if (!feed.isEmpty())
        tag.add("WFED"_L1, frame("WFED"_L1, latin1Encoding + latin1Bytes(feed)));
    if (tags.podcastFlag)
        tag.add("PCST"_L1, frame("PCST"_L1, view(podcastBody).toByteArray()));
    if (tags.cover && !tags.cover->isEmpty())
        tag.add("APIC"_L1, pictureFrame(*tags.cover));
    return tag.take();
}

BuiltTag finishTag(BuiltTag frames, qint64 padding)
{
    const qint64 paddingSize = qMax<qint64>(padding, 0);
    QByteArray out;
    out.reserve(headerSize + frames.bytes.size() + paddingSize);
    out += QByteArrayView("ID3");
    out += char(3); // major version
    out += char(0); // revision
    out += char(0); // flags: no unsynchronisation, extended header or footer
    out += syncsafe(frames.bytes.size() + paddingSize);
    out += frames.bytes;
    out.append(paddingSize, '\0');
    return {out, std::move(frames.frames)};
}

BuiltTag buildTag(const Tags& tags)
{
    return finishTag(buildFrames(tags), tags.padding);
}

} // namespace ID3
