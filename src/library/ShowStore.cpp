#include "library/ShowStore.h"

#include "shows/Uuid.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString showsFileName = QStringLiteral("shows.json");
const QString lastShowKey = QStringLiteral("lastShow");
const QString windowGeometryKey = QStringLiteral("mainWindowGeometry");
const QString appearanceKey = QStringLiteral("appearance");

QSettings preferences()
{
    return QSettings(QStringLiteral("Vantorel"), QStringLiteral("Pelamo"));
}

// Qt's JSON reader decodes a string without escapes as UTF-8 on its own, and so
// drops a U+FEFF that opens it as if it were a byte order mark. Inside strings
// every raw U+FEFF is therefore spelled as an escape before parsing; elsewhere
// the text is left as it is, so a file that was not valid JSON still is not.
QByteArray escapeZeroWidthNoBreakSpaces(const QByteArray& json)
{
    static constexpr QByteArrayView raw("\xEF\xBB\xBF");
    if (!json.contains(raw))
        return json;
    QByteArray escaped;
    escaped.reserve(json.size() + json.count(raw) * 3);
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (inString && c == '\\' && i + 1 < json.size()) {
            // The escaped byte goes along unread: after a backslash U+FEFF stays
            // the invalid escape it was.
            escaped.append(c).append(json.at(++i));
            continue;
        }
        if (inString && QByteArrayView(json).sliced(i).startsWith(raw)) {
            escaped.append("\\ufeff");
            i += raw.size() - 1;
            continue;
        }
        if (c == '"')
            inString = !inString;
        escaped.append(c);
    }
    return escaped;
}

// The whole array or nothing: one element that is not an object rejects the file.
std::optional<QList<Show>> decodeShows(const QByteArray& json)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(escapeZeroWidthNoBreakSpaces(json), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<Show> shows;
    shows.reserve(array.size());
    for (const QJsonValue& element : array) {
        auto show = Show::fromJson(element);
        if (!show)
            return std::nullopt;
        shows.append(std::move(*show));
    }
    return shows;
}

} // namespace

ShowStore::ShowStore(
    const std::optional<QString>& folder, const QString& seedFolder, QObject* parent, Access access)
    : QObject(parent)
    , m_folder(QFileInfo(folder.value_or(defaultFolder())).absoluteFilePath())
    , m_seedFolder(seedFolder)
    , m_remembersSelection(!folder)
    , m_readOnly(access == Access::ReadOnly)
{
    if (!m_readOnly)
        QDir().mkpath(coversFolder());

    if (auto shows = readShowsFile())
        m_shows = std::move(*shows);
    if (m_shows.isEmpty() && !m_readOnly)
        seed();

    if (m_remembersSelection)
        m_selection = Uuid::parse(preferences().value(lastShowKey).toString());
    const bool known = m_selection
        && std::any_of(m_shows.cbegin(), m_shows.cend(), [&](const Show& s) { return s.id == *m_selection; });
    if (!known)
        m_selection = m_shows.isEmpty() ? std::nullopt : std::optional(m_shows.first().id);
}

QString ShowStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Pelamo");
}

QString ShowStore::coversFolder() const
{
    return m_folder + QStringLiteral("/Covers");
}

QByteArray ShowStore::windowGeometry() const
{
    return preferences().value(windowGeometryKey).toByteArray();
}

void ShowStore::setWindowGeometry(const QByteArray& geometry)
{
    preferences().setValue(windowGeometryKey, geometry);
}

QString ShowStore::appearance() const
{
    const QString stored = preferences().value(appearanceKey).toString();
    return stored == QStringLiteral("light") || stored == QStringLiteral("dark") ? stored
                                                                                 : QStringLiteral("desktop");
}

void ShowStore::setAppearance(const QString& appearance)
{
    preferences().setValue(appearanceKey, appearance);
}

QString ShowStore::undoFolder() const
{
    return m_folder + QStringLiteral("/Undo");
}

QString ShowStore::tieFolder() const
{
    return m_folder + QStringLiteral("/Recovery");
}

QString ShowStore::showsFile() const
{
    return m_folder + u'/' + showsFileName;
}

void ShowStore::setShows(const QList<Show>& shows)
{
    if (m_shows == shows)
        return;
    m_shows = shows;
    Q_EMIT changed();
}

void ShowStore::setSelection(const std::optional<QUuid>& selection)
{
    if (m_selection == selection)
        return;
    m_selection = selection;
    // Remembered at once, whoever chose it: the list, the editor, the drop sheet.
    save();
    Q_EMIT changed();
}

void ShowStore::setResults(const QList<TagResult>& results)
{
    if (m_results == results)
        return;
    m_results = results;
    Q_EMIT changed();
}

void ShowStore::setLeftOut(const QList<QUrl>& leftOut)
{
    if (m_leftOut == leftOut)
        return;
    m_leftOut = leftOut;
    Q_EMIT changed();
}

void ShowStore::setPending(const QList<QUrl>& pending)
{
    if (m_pending == pending)
        return;
    m_pending = pending;
    Q_EMIT changed();
}

std::optional<QList<Show>> ShowStore::readShowsFile()
{
    QFile file(showsFile());
    if (!file.exists())
        return std::nullopt;
    std::optional<QList<Show>> shows;
    if (file.open(QIODevice::ReadOnly))
        shows = decodeShows(file.readAll());
    if (!shows)
        m_keepUnreadable = true;
    return shows;
}

void ShowStore::load()
{
    if (auto shows = readShowsFile())
        setShows(*shows);
}

void ShowStore::seed()
{
    QFile seedFile(m_seedFolder + QStringLiteral("/seed-shows.json"));
    if (!seedFile.open(QIODevice::ReadOnly))
        return;
    auto shows = decodeShows(seedFile.readAll());
    if (!shows)
        return;

    for (Show& show : *shows) {
        if (!show.coverFile)
            continue;
        const QFileInfo resource(m_seedFolder + u'/' + *show.coverFile);
        if (!resource.isFile())
            continue;
        const QString name = Uuid::text(show.id) + u'.' + resource.suffix();
        const QString destination = coversFolder() + u'/' + name;
        QFile::remove(destination);
        // Compiled-in resources report read-only permissions, which a copy would inherit.
        if (QFile::copy(resource.filePath(), destination))
            QFile::setPermissions(destination,
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                    | QFileDevice::ReadOther);
        show.coverFile = name;
    }
    setShows(*shows);
    save();
}

void ShowStore::save()
{
    if (m_readOnly)
        return;
    QJsonArray array;
    for (const Show& show : std::as_const(m_shows))
        array.append(show.toJson());
    const QByteArray json = QJsonDocument(array).toJson(QJsonDocument::Indented);

    if (!m_keepUnreadable || keepUnreadableFile()) {
        // A library folder removed while the program runs is made again, rather
        // than every later change being lost.
        QDir().mkpath(coversFolder());
        QSaveFile file(showsFile());
        if (file.open(QIODevice::WriteOnly) && file.write(json) == json.size())
            file.commit();
    }

    if (m_remembersSelection && m_selection)
        preferences().setValue(lastShowKey, Uuid::text(*m_selection));
}

// Moves a "shows.json" that could not be decoded out of the way under a name that
// says what it is, never over an earlier kept copy. Returns whether writing a new
// "shows.json" is now safe.
bool ShowStore::keepUnreadableFile()
{
    const QString original = showsFile();
    if (!QFileInfo::exists(original) && !QFileInfo(original).isSymLink()) {
        m_keepUnreadable = false;
        return true;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = original + QStringLiteral(".unreadable-") + stamp;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString kept = attempt == 1 ? base : base + u'-' + QString::number(attempt);
        if (QFileInfo::exists(kept) || QFileInfo(kept).isSymLink())
            continue;
        if (QFile::rename(original, kept)) {
            m_keepUnreadable = false;
            return true;
        }
        return false;
    }
    return false;
}
