#include "id3/ID3.h"
#include "id3/Text.h"
#include "shows/Show.h"

#include <algorithm>

namespace {

const QString middleDot = QStringLiteral(" \u00b7 ");

bool isBlank(const QString& text)
{
    return ID3::trimSpacesAndLineBreaks(text).isEmpty();
}

} // namespace

const QList<std::pair<QString, QStringList>>& Show::appleCategories()
{
    static const QList<std::pair<QString, QStringList>> categories {
        {"Arts", {"Books", "Design", "Fashion & Beauty", "Food", "Performing Arts", "Visual Arts"}},
        {"Business", {"Careers", "Entrepreneurship", "Investing", "Management", "Marketing", "Non-Profit"}},
        {"Comedy", {"Comedy Interviews", "Improv", "Stand-Up"}},
        {"Education", {"Courses", "How To", "Language Learning", "Self-Improvement"}},
        {"Fiction", {"Comedy Fiction", "Drama", "Science Fiction"}},
        {"Government", {}},
        {"History", {}},
        {"Health & Fitness",
            {"Alternative Health", "Fitness", "Medicine", "Mental Health", "Nutrition", "Sexuality"}},
        {"Kids & Family", {"Education for Kids", "Parenting", "Pets & Animals", "Stories for Kids"}},
        {"Leisure",
            {"Animation & Manga", "Automotive", "Aviation", "Crafts", "Games", "Hobbies", "Home & Garden",
                "Video Games"}},
        {"Music", {"Music Commentary", "Music History", "Music Interviews"}},
        {"News",
            {"Business News", "Daily News", "Entertainment News", "News Commentary", "Politics",
                "Sports News", "Tech News"}},
        {"Religion & Spirituality",
            {"Buddhism", "Christianity", "Hinduism", "Islam", "Judaism", "Religion", "Spirituality"}},
        {"Science",
            {"Astronomy", "Chemistry", "Earth Sciences", "Life Sciences", "Mathematics", "Natural Sciences",
                "Nature", "Physics", "Social Sciences"}},
        {"Society & Culture",
            {"Documentary", "Personal Journals", "Philosophy", "Places & Travel", "Relationships"}},
        {"Sports",
            {"Baseball", "Basketball", "Cricket", "Fantasy Sports", "Football", "Golf", "Hockey", "Rugby",
                "Running", "Soccer", "Swimming", "Tennis", "Volleyball", "Wilderness", "Wrestling"}},
        {"Technology", {}},
        {"True Crime", {}},
        {"TV & Film", {"After Shows", "Film History", "Film Interviews", "Film Reviews", "TV Reviews"}},
    };
    return categories;
}

const QStringList& Show::musicGenres()
{
    static const QStringList genres {"Pop", "Rock", "Hip-Hop", "R&B", "Electronic", "Dance", "Jazz",
        "Classical", "Country", "Folk", "Soul", "Reggae", "Latin", "Soundtrack", "Ambient", "Instrumental",
        "Gospel", "Blues", "Metal", "Alternative", "Indie"};
    return genres;
}

QString Show::prettyCategory(const QString& category)
{
    return QString(category).replace(u'/', QStringLiteral(" \u203a "));
}

QString Show::fit(const QString& text, int width)
{
    QString latin;
    for (const char32_t scalar : ID3::trimSpacesAndLineBreaks(text).toUcs4())
        latin += scalar <= 0xff ? QString(QChar(char16_t(scalar))) : QStringLiteral("?");
    if (characterCount(latin) <= width)
        return latin;
    return firstCharacters(latin, width) + QStringLiteral("\u2026  (cut at %1)").arg(width);
}

QList<Show::Row> Show::id3v1Rows() const
{
    constexpr int fieldWidth = int(ID3::v1FieldWidth);
    QString genreValue = ID3::trimSpaces(genre);
    if (!genreValue.isEmpty() && ID3::genreIndex(genreValue) == ID3::noGenre)
        genreValue = QStringLiteral("\u2014 (\u201c%1\u201d isn't in the old genre list)").arg(genreValue);

    const QString fromEachFile = QStringLiteral(" (first 30 characters)");
    QList<Row> rows {
        {QStringLiteral("Title"),
            titleFromFileName || keepTitle ? titleText() + fromEachFile : fit(title, fieldWidth)},
        {QStringLiteral("Artist"),
            artistFromFileName ? artistText() + fromEachFile : fit(artist, fieldWidth)},
        {QStringLiteral("Album"), fit(album, fieldWidth)},
        {QStringLiteral("Year"),
            autoYear ? QString::number(currentYear()) : firstCharacters(year, ID3::v1YearWidth)},
        {QStringLiteral("Comment"), fit(comment, int(ID3::v1CommentWidth))},
        {QStringLiteral("Genre"), genreValue},
    };
    // ID3v1.1 keeps the track in the byte after the comment, for tracks 1 to 255.
    if (numberTracks)
        rows.append({QStringLiteral("Track"), QStringLiteral("each file's number, 1 to 255")});
    return rows;
}

QString Show::fileTitle() const
{
    if (artistFromFileName)
        return numberTracks ? QStringLiteral("each file's name after its track number and artist")
                            : QStringLiteral("each file's name after its artist");
    return numberTracks ? QStringLiteral("each file's name without its track number")
                        : QStringLiteral("each file's name");
}

QString Show::droppedText(const QStringList& dropped)
{
    // What people call the frames a file is most likely to lose.
    static const QList<std::pair<QString, QString>> words {{QStringLiteral("USLT"), QStringLiteral("lyrics")},
        {QStringLiteral("SYLT"), QStringLiteral("timed lyrics")},
        {QStringLiteral("TSRC"), QStringLiteral("ISRC")},
        {QStringLiteral("UFID"), QStringLiteral("identifier")},
        {QStringLiteral("TXXX"), QStringLiteral("custom texts")},
        {QStringLiteral("RVA2"), QStringLiteral("loudness")},
        {QStringLiteral("TBPM"), QStringLiteral("tempo")}, {QStringLiteral("TKEY"), QStringLiteral("key")},
        {QStringLiteral("POPM"), QStringLiteral("rating")},
        {QStringLiteral("PCNT"), QStringLiteral("play count")},
        {QStringLiteral("CHAP"), QStringLiteral("chapters")},
        {QStringLiteral("CTOC"), QStringLiteral("table of contents")},
        {QStringLiteral("APIC"), QStringLiteral("picture")},
        {QStringLiteral("COMM"), QStringLiteral("comment")},
        {QStringLiteral("TPOS"), QStringLiteral("disc number")},
        {QStringLiteral("PRIV"), QStringLiteral("private data")}};
    QStringList parts;
    for (const QString& named : dropped) {
        const QString id = named.section(u'\u00d7', 0, 0);
        const auto word
            = std::find_if(words.cbegin(), words.cend(), [&](const auto& w) { return w.first == id; });
        parts.append(word == words.cend() ? named : word->second + QStringLiteral(" (") + named + u')');
    }
    return parts.join(QStringLiteral(", "));
}

QString Show::titleText() const
{
    const QString rule = titleFromFileName ? fileTitle() : title;
    if (!keepTitle)
        return rule;
    const QString own = QStringLiteral("each file's own title");
    return isBlank(rule) ? own : own + QStringLiteral(", or else ") + rule;
}

QString Show::artistText() const
{
    const QString named = QStringLiteral("each file's name before \u201c - \u201d");
    if (!artistFromFileName)
        return artist;
    return isBlank(artist) ? named : named + QStringLiteral(", or else ") + artist;
}

QString Show::id3v1Summary() const
{
    QStringList values;
    for (const Row& row : id3v1Rows())
        if (!row.value.isEmpty() && !row.value.startsWith(u'\u2014'))
            values.append(row.value);
    return values.join(middleDot);
}

QString Show::yearNote() const
{
    const QString text = ID3::trimSpacesAndLineBreaks(year);
    if (autoYear || text.isEmpty())
        return {};
    const auto frames = ID3::yearFrames(text);
    const bool wholeYear
        = text.size() == 4 && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
    if (wholeYear)
        return QStringLiteral("A year, for TYER and TDRC.");
    if (frames.first().second == text)
        return QStringLiteral("Neither a year nor a date like 2025-11-03: TYER and TDRC get it as it is.");
    QStringList parts;
    for (const auto& [frameId, value] : frames)
        parts.append(frameId + u' ' + value);
    parts.append(QStringLiteral("TDRC ") + text);
    return (frames.size() > 1 ? QStringLiteral("A date: ") : QStringLiteral("A year and more: "))
        + parts.join(QStringLiteral(", ")) + u'.';
}

QList<Show::Row> Show::writtenRows(const std::optional<ID3::Picture>& cover) const
{
    const bool podcast = kind == Kind::Podcast;
    QList<Row> rows;
    const auto add = [&](const char* label, const QString& value) {
        if (!isBlank(value))
            rows.append({QString::fromUtf8(label), value});
    };
    rows.append({QStringLiteral("Type"), podcast ? QStringLiteral("Podcast") : QStringLiteral("Music")});
    add("Title", titleText());
    add("Artist", artistText());
    add("Album artist", albumArtist);
    add("Album", album);
    add("Track",
        numberTracks ? QStringLiteral("each file's number, of all on its disc (TRCK), and its disc (TPOS)")
                     : QString());
    if (!podcast)
        add("Composer", composer);
    add("Genre", genre);
    add("Year", autoYear ? QStringLiteral("%1 (current year)").arg(currentYear()) : year);
    add("Language", language);
    add("Publisher", publisher);
    add("Copyright", copyright);
    add("Comment", comment);
    if (podcast) {
        add("Category", prettyCategory(category));
        add("Keywords", keywords);
        add("Feed URL", feedURL);
        add("Podcast flag", podcastFlag ? QStringLiteral("yes (PCST)") : QString());
        add("Description", description);
    }
    if (coverFile)
        add("Cover",
            QStringLiteral("front cover image")
                + (cover ? QStringLiteral(", ") + cover->summary() : QString()));
    add("Recording",
        keepTrackInfo
            ? QStringLiteral("each file's own lyrics, ISRC, identifiers, ReplayGain, tempo, key and "
                             "rating, kept (USLT, SYLT, TSRC, UFID, TXXX, RVA2, TBPM, TKEY, POPM, PCNT)")
            : QString());
    add("Chapters", keepChapters ? QStringLiteral("each file's own, kept (CHAP, CTOC)") : QString());
    if (writeID3v1)
        rows.append({QStringLiteral("Older players"), QStringLiteral("ID3v1 \u00b7 ") + id3v1Summary()});
    return rows;
}
