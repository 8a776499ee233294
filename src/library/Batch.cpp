#include "id3/FileName.h"
#include "id3/ID3.h"
#include "library/Journal.h"
#include "library/Release.h"
#include "library/ShowStore.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <future>

namespace {

QString pathOf(const QUrl& location)
{
    const QString path = FileName::fromUrl(location);
    return location.isLocalFile() ? FileName::absolute(path) : path;
}

// A folder's MP3 entries, hidden ones included, whatever bytes their names
// hold, sorted by their path's Unicode scalar values after canonical
// composition: "A.mp3" before "a.mp3", and "Episode 10.mp3" before
// "Episode 2.mp3". Pelamo's own temporary files are not the user's.
QStringList mp3Entries(const QString& folder)
{
    struct Entry
    {
        QList<uint> key;
        QString path;
    };
    QList<Entry> entries;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString& name : FileName::entries(folder)) {
        if (QFileInfo(name).suffix().toLower() != QStringLiteral("mp3") || ID3::isTemporaryName(name))
            continue;
        const QString path = prefix + name;
        entries.append({path.normalized(QString::NormalizationForm_C).toUcs4(), path});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    QStringList paths;
    paths.reserve(entries.size());
    for (Entry& entry : entries)
        paths.append(std::move(entry.path));
    return paths;
}

struct FileIdentity
{
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat status
    {
    };
    if (::stat(FileName::encode(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity {status.st_dev, status.st_ino};
}

struct Tagged
{
    TagResult result;
    QString folder; // whose entries still need flushing, when the file was written
    bool untouched = false; // the file provably kept its old content
};

// What a rewrite that went through says, with what it met on the way: a file
// whose first reads disagreed, a stray copy it left alone.
QString doneMessage(QString text, const ID3::Outcome& outcome)
{
    const QString separator = QStringLiteral(" \u00b7 ");
    if (outcome.readAgain)
        text += separator
            + QStringLiteral("read again: the disk or file system returned different bytes the first time");
    if (!outcome.strayCopy.isEmpty())
        text += separator + outcome.strayCopy
            + QStringLiteral(" left alone: it is not this file's recovery copy");
    return text;
}

Tagged tagOne(const QString& file, const Show& show, const std::optional<QByteArray>& cover,
    const std::optional<Show::Track>& track, const ID3::KeepReplaced& keep, const ID3::Options& options)
{
    const auto written = ID3::write(show.tags(file, cover, track), file, options, keep);
    Tagged tagged;
    TagResult& result = tagged.result;
    result.file = file;
    result.show = show.name;
    if (const auto* outcome = std::get_if<ID3::Outcome>(&written)) {
        result.ok = true;
        const QString frames = outcome->frames.join(u' ');
        if (options.dryRun)
            result.message = QStringLiteral("Would tag \u00b7 ") + frames
                + (outcome->dropped.isEmpty()
                        ? QString()
                        : QStringLiteral(" \u00b7 drops ") + outcome->dropped.join(u' '));
        else
            result.message = doneMessage(
                QStringLiteral("Tagged \u00b7 ") + frames + QStringLiteral(" \u00b7 audio untouched"),
                *outcome);
        result.frames = outcome->frames;
        result.dropped = outcome->dropped;
        result.title = outcome->title;
        result.artist = outcome->artist;
        result.track = outcome->track;
        result.disc = outcome->disc;
        tagged.folder = outcome->folder;
    } else {
        const auto& failure = std::get<ID3::Failure>(written);
        result.message = failure.description;
        tagged.untouched = !failure.touched;
    }
    return tagged;
}

Tagged restoreOne(const QString& record, const QString& file, const ID3::Options& options)
{
    Tagged tagged;
    TagResult& result = tagged.result;
    result.file = file;
    auto entry = Journal::read(record);
    if (const auto* damage = std::get_if<QString>(&entry)) {
        result.message = *damage;
        return tagged;
    }
    const Journal::Entry& found = std::get<Journal::Entry>(entry);
    result.show = found.show;
    const auto restored = ID3::restore(found.original, found.file, options);
    if (const auto* outcome = std::get_if<ID3::Outcome>(&restored)) {
        result.ok = true;
        result.message = options.dryRun
            ? QStringLiteral("Would put back as it was before tagging")
            : doneMessage(QStringLiteral("Put back as it was before tagging"), *outcome);
        tagged.folder = outcome->folder;
    } else {
        result.message = std::get<ID3::Failure>(restored).description;
    }
    return tagged;
}

// The work a batch does on one file, given its place in the batch.
using Work = std::function<Tagged(qsizetype index, const QString& file)>;

// How many files a batch has in flight: while some wait for the disk to flush
// them, others are read, copied and checked. Small files gain most (200 files
// of 1 MB: 0.57 s with four, 0.73 s with two); large ones wait for the pool's
// buffers, two files' worth, so the memory stays the same.
constexpr std::size_t filesInFlight = 4;

// Runs the work over the files, a few in flight at a time; results still come
// one by one, in order, on the calling thread.
QList<TagResult> runBatch(
    const QStringList& files, const Work& work, const ShowStore::ResultHandler& onResult, bool dryRun)
{
    // What a run that was killed left in these folders goes before new work
    // starts; a dry run leaves every folder as it is.
    QSet<QString> folders;
    for (const QString& file : files)
        folders.insert(QFileInfo(file).path());
    if (!dryRun)
        for (const QString& folder : std::as_const(folders))
            ID3::removeLeftovers(folder);

    struct InFlight
    {
        std::optional<FileIdentity> identity;
        std::future<Tagged> result;
    };
    std::deque<InFlight> inFlight;
    qsizetype next = 0;
    bool stopped = false;
    // Starts the next file unless enough are in flight or the same file, under
    // another name, is: it is never written twice at once.
    const auto launchNext = [&] {
        if (stopped || next >= files.size() || inFlight.size() >= filesInFlight)
            return false;
        const QString& file = files.at(next);
        std::optional<FileIdentity> identity = identityOf(file);
        if (identity && std::any_of(inFlight.cbegin(), inFlight.cend(), [&](const InFlight& other) {
                return other.identity == identity;
            }))
            return false;
        inFlight.push_back({identity,
            std::async(std::launch::async, [&work, index = next, file] { return work(index, file); })});
        ++next;
        return true;
    };

    QList<TagResult> batch;
    QSet<QString> written;
    while (launchNext()) { }
    while (!inFlight.empty()) {
        Tagged tagged = inFlight.front().result.get();
        inFlight.pop_front();
        if (tagged.result.ok && !dryRun)
            written.insert(tagged.folder);
        batch.append(std::move(tagged.result));
        // Once stopped, the files still in flight are finished and reported too.
        if (onResult && !onResult(batch.constLast()))
            stopped = true;
        while (launchNext()) { }
    }
    // The new names become durable together, once for each folder.
    for (const QString& folder : std::as_const(written))
        ID3::syncFolder(folder);
    return batch;
}

} // namespace

QStringList ShowStore::expand(const QList<QUrl>& locations, const BeforeListing& beforeListing)
{
    QStringList files;
    for (const QUrl& location : locations) {
        const QString path = pathOf(location);
        if (!FileName::isFolder(path)) {
            files.append(path);
            continue;
        }
        if (beforeListing)
            beforeListing(path);
        QStringList found = mp3Entries(path);
        // An album folder of disc folders stands for their files, disc by disc.
        if (found.isEmpty())
            for (const QString& disc : Release::discFolders(path))
                found += mp3Entries(disc);
        files += found;
    }
    return files;
}

QList<TagResult> ShowStore::tag(const QList<QUrl>& locations, const Show& show, const ResultHandler& onResult,
    const NoticeHandler& onNotice, bool dryRun)
{
    const Keeping keeping = dryRun ? Keeping() : Keeping {undoFolder(), tieFolder(), onNotice};
    const QList<TagResult> batch
        = tagFiles(expand(locations), show, coverData(show), onResult, keeping, {}, dryRun);
    if (!dryRun)
        addRecent(batch);
    return batch;
}

QList<TagResult> ShowStore::undo(const ResultHandler& onResult, bool dryRun)
{
    const QList<TagResult> batch = undoFiles(undoRecords(undoFolder()), onResult, tieFolder(), {}, dryRun);
    if (!dryRun)
        addRecent(batch);
    return batch;
}

void ShowStore::addRecent(const QList<TagResult>& batch)
{
    QList<TagResult> recent(batch.crbegin(), batch.crend());
    recent += m_results;
    if (recent.size() > recentLimit)
        recent.resize(recentLimit);
    setResults(recent);
}

QList<TagResult> ShowStore::tagFiles(const QStringList& files, const Show& show,
    const std::optional<QByteArray>& cover, const ResultHandler& onResult, const Keeping& keeping,
    const ID3::Hooks& hooks, bool dryRun)
{
    const auto notify = [&keeping](const QString& notice) {
        if (keeping.onNotice)
            keeping.onNotice(notice);
    };
    std::unique_ptr<Journal::Writer> journal;
    if (!keeping.undoFolder.isEmpty()) {
        const qint64 estimate = Journal::estimate(files);
        if (const auto tooLarge = Journal::tooLarge(estimate)) {
            notify(*tooLarge);
        } else {
            auto opened = Journal::Writer::open(keeping.undoFolder, estimate);
            if (const auto* failure = std::get_if<QString>(&opened))
                notify(*failure);
            else
                journal = std::move(std::get<std::unique_ptr<Journal::Writer>>(opened));
        }
    }

    const QList<std::optional<Show::Track>> tracks = show.numberTracks
        ? Release::places(files, &mp3Entries)
        : QList<std::optional<Show::Track>>(files.size());
    const auto work = [&](qsizetype index, const QString& file) {
        ID3::KeepReplaced keep;
        if (journal)
            keep = [&](const ID3::Replaced& replaced) { journal->keep(index, file, show.name, replaced); };
        Tagged tagged = tagOne(file, show, cover, tracks.at(index), keep,
            {ID3::FolderSync::Later, keeping.tieFolder, hooks, dryRun});
        // A record for a file that kept its old content would put back nothing; one
        // whose write in place failed halfway still serves to put it back.
        if (journal && tagged.untouched)
            journal->drop(index);
        return tagged;
    };
    QList<TagResult> batch = runBatch(files, work, onResult, dryRun);
    if (journal)
        if (const auto failure = journal->finish())
            notify(*failure);
    return batch;
}

QStringList ShowStore::undoRecords(const QString& undoFolder)
{
    QStringList records = Journal::newestBatch(undoFolder);
    // Newest first: a file tagged twice in the batch goes back through both.
    std::reverse(records.begin(), records.end());
    return records;
}

QStringList ShowStore::undoTargets(const QStringList& records)
{
    QStringList files;
    for (const QString& record : records)
        files.append(Journal::fileOf(record).value_or(record));
    return files;
}

QList<TagResult> ShowStore::undoFiles(const QStringList& records, const ResultHandler& onResult,
    const QString& tieFolder, const ID3::Hooks& hooks, bool dryRun)
{
    const QStringList files = undoTargets(records);
    const ID3::Options options {ID3::FolderSync::Later, tieFolder, hooks, dryRun};
    QList<TagResult> batch = runBatch(
        files,
        [&](qsizetype index, const QString& file) { return restoreOne(records.at(index), file, options); },
        onResult, dryRun);
    if (!dryRun)
        Journal::spend(records.first(batch.size()), records.size());
    return batch;
}
