#include "id3/FileName.h"
#include "id3/Inspect.h"
#include "library/ShowStore.h"

#include <QFileInfo>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <numeric>
#include <thread>

// What the helper threads share with the store: a helper hands its result over
// only while the store is there to take it.
struct ShowStore::Helpers
{
    std::mutex mutex;
    std::condition_variable finished;
    ShowStore* store = nullptr;
    int running = 0;
};

ShowStore::~ShowStore()
{
    finishTagging();
}

void ShowStore::offThread(std::function<std::function<void()>()> work)
{
    if (!m_helpers) {
        m_helpers = std::make_shared<Helpers>();
        m_helpers->store = this;
    }
    {
        const std::lock_guard lock(m_helpers->mutex);
        ++m_helpers->running;
    }
    // Detached: a helper waiting on a folder that never answers must not hold
    // up quitting. It keeps the shared part alive, and finds the store gone.
    std::thread([helpers = m_helpers, work = std::move(work)] {
        std::function<void()> deliver = work();
        const std::lock_guard lock(helpers->mutex);
        if (helpers->store)
            QMetaObject::invokeMethod(helpers->store, std::move(deliver), Qt::QueuedConnection);
        --helpers->running;
        helpers->finished.notify_all();
    }).detach();
}

void ShowStore::enqueue(const QList<QUrl>& locations, const Show& show)
{
    const quint64 number = ++m_jobNumber;
    m_jobs.push_back({number, show, false, m_seams, std::nullopt, std::nullopt});
    // Listing folders and reading the cover wait on the disk, which may be slow
    // or far away: never here. The batch takes its turn once they are known.
    offThread(
        [this, number, locations, folder = coversFolder(), show, beforeListing = m_seams.beforeListing] {
            QStringList files;
            QStringList emptyFolders;
            for (const QUrl& location : locations) {
                const QStringList found = expand({location}, beforeListing);
                if (found.isEmpty() && FileName::isFolder(FileName::fromUrl(location)))
                    emptyFolders.append(FileName::fromUrl(location));
                files += found;
            }
            const std::optional<QByteArray> cover = readCover(folder, show);
            return [this, number, files, cover, emptyFolders] { listed(number, files, cover, emptyFolders); };
        });
    startNextJob();
    Q_EMIT taggingChanged();
}

void ShowStore::listed(quint64 job, const QStringList& files, const std::optional<QByteArray>& cover,
    const QStringList& emptyFolders)
{
    // A job cancelled meanwhile is gone; one that holds no MP3 file is dropped.
    const auto found
        = std::find_if(m_jobs.begin(), m_jobs.end(), [job](const Job& j) { return j.number == job; });
    if (found == m_jobs.end())
        return;
    // A folder with nothing to tag is named in Recent, not passed over in silence.
    QList<TagResult> notes;
    for (const QString& folder : emptyFolders) {
        TagResult note;
        note.file = folder;
        note.show = found->show.name;
        note.note = true;
        note.message = QStringLiteral("No MP3 files in ")
            + FileName::singleLine(QFileInfo(folder.endsWith(u'/') ? folder.chopped(1) : folder).fileName());
        notes.append(note);
    }
    if (!notes.isEmpty())
        addRecent(notes);
    if (files.isEmpty())
        m_jobs.erase(found);
    else
        *found = {found->number, found->show, false, found->seams, files, cover};
    startNextJob();
    Q_EMIT taggingChanged();
}

void ShowStore::enqueueUndo()
{
    // Its records are read when its turn comes: the batches queued before it change the journal.
    m_jobs.push_back({++m_jobNumber, Show(), true, m_seams, std::nullopt, std::nullopt});
    startNextJob();
    Q_EMIT taggingChanged();
}

void ShowStore::startNextJob()
{
    const auto waiting = [this](qsizetype skip) {
        return std::accumulate(m_jobs.cbegin() + skip, m_jobs.cend(), qsizetype(0),
            [](qsizetype sum, const Job& queued) { return sum + (queued.files ? queued.files->size() : 0); });
    };
    if (m_worker) {
        m_tagging->waiting = waiting(0);
        return;
    }
    if (m_jobs.empty()) {
        m_tagging.reset();
        return;
    }
    // Batches run in the order they came: one still being listed holds up those
    // behind it, and the window says it is tagging, not yet how many.
    if (!m_jobs.front().undo && !m_jobs.front().files) {
        const Show& show = m_jobs.front().show;
        m_tagging = Tagging {0, 0, QString(), waiting(1), false, false, 0, 0, show.id, show.name};
        return;
    }
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_running = job.files.value_or(QStringList());
    m_tagging = Tagging {0, m_running.size(), m_running.value(0), waiting(0), false, job.undo, 0, 0,
        job.undo ? QUuid() : job.show.id, job.undo ? QString() : job.show.name};

    // The worker touches nothing of the store: it has its own copy of the job,
    // and what it finds and does comes back to this thread as queued calls.
    // Every call carries the batch's number: one that arrives after its batch
    // was joined (quitting joins at once) must not count in the next.
    const quint64 batch = ++m_batch;
    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_worker = QThread::create(
        [this, batch, job = std::move(job), cancel = m_cancel, folder = undoFolder(), ties = tieFolder()] {
            const auto report = [this, batch, &cancel](const TagResult& result) {
                QMetaObject::invokeMethod(
                    this, [this, batch, result] { fileDone(batch, result); }, Qt::QueuedConnection);
                return !cancel->load();
            };
            if (job.undo) {
                const QStringList records = undoRecords(folder);
                const QStringList files = undoTargets(records);
                QMetaObject::invokeMethod(
                    this, [this, batch, files] { filesFound(batch, files); }, Qt::QueuedConnection);
                if (!records.isEmpty())
                    undoFiles(records, report, ties, job.seams.rewrite);
            } else {
                const auto tell = [this, batch](const QString& text) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, batch, text] {
                            if (batch == m_batch)
                                Q_EMIT notice(text);
                        },
                        Qt::QueuedConnection);
                };
                tagFiles(*job.files, job.show, job.cover, report, {folder, ties, tell}, job.seams.rewrite);
            }
            // What Undo Last Batch now stands for, read here while the disk is warm.
            const std::optional<Journal::Summary> undoable = Journal::newestSummary(folder);
            QMetaObject::invokeMethod(
                this, [this, undoable] { undoableRead(undoable); }, Qt::QueuedConnection);
        });
    connect(
        m_worker, &QThread::finished, this, [this, batch] { jobDone(batch); }, Qt::QueuedConnection);
    m_worker->start();
}

void ShowStore::requestPreview(const QList<QUrl>& locations, const Show& show)
{
    const quint64 number = ++m_previewNumber;
    offThread([this, number, locations, folder = coversFolder(), show] {
        const QList<TagResult> results
            = tagFiles(expand(locations), show, readCover(folder, show), {}, Keeping(), {}, true);
        return [this, number, preview = Preview {show.id, locations, results}] {
            // Only the newest request's answer counts: the show may have changed since.
            if (number != m_previewNumber || m_preview == preview)
                return;
            m_preview = preview;
            Q_EMIT previewChanged();
        };
    });
}

void ShowStore::inspectFile(const QString& file)
{
    offThread([this, file] {
        const auto found = ID3::inspect(file);
        const QString text = std::holds_alternative<ID3::Inspection>(found)
            ? ID3::inspectionLines(std::get<ID3::Inspection>(found)).join(u'\n')
            : std::get<ID3::Failure>(found).description;
        return [this, file, text] { Q_EMIT inspected(file, text); };
    });
}

void ShowStore::readUndoable()
{
    offThread([this, folder = undoFolder()] {
        const std::optional<Journal::Summary> undoable = Journal::newestSummary(folder);
        return [this, undoable] { undoableRead(undoable); };
    });
}

void ShowStore::undoableRead(const std::optional<Journal::Summary>& undoable)
{
    if (m_undoable == undoable)
        return;
    m_undoable = undoable;
    Q_EMIT undoableChanged();
}

void ShowStore::filesFound(quint64 batch, const QStringList& files)
{
    if (batch != m_batch || !m_tagging)
        return;
    m_running = files;
    m_tagging->total = files.size();
    m_tagging->current = files.value(0);
    Q_EMIT taggingChanged();
}

void ShowStore::fileDone(quint64 batch, const TagResult& result)
{
    // A file of an earlier batch was still tagged: it belongs in Recent, not in this batch's count.
    addRecent({result});
    if (batch == m_batch && m_tagging && m_tagging->done < m_tagging->total) {
        ++m_tagging->done;
        m_tagging->failed += result.ok ? 0 : 1;
        if (m_tagging->done < m_tagging->total)
            m_tagging->current = m_running.at(m_tagging->done);
        Q_EMIT taggingChanged();
    }
}

void ShowStore::jobDone(quint64 batch)
{
    if (!m_worker || batch != m_batch)
        return;
    // An undo that found nothing to put back leaves the last batch's figures as they were.
    if (m_tagging && m_tagging->total > 0)
        m_lastBatch = m_tagging;
    joinWorker();
    startNextJob();
    Q_EMIT taggingChanged();
}

void ShowStore::joinWorker()
{
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_running.clear();
    m_tagging.reset();
}

void ShowStore::cancelTagging()
{
    m_jobs.clear();
    if (!m_worker) {
        // Only files still being listed: nothing has started.
        if (m_tagging) {
            m_tagging.reset();
            Q_EMIT taggingChanged();
        }
        return;
    }
    m_cancel->store(true);
    m_tagging->cancelling = true;
    m_tagging->dropped = m_tagging->waiting;
    m_tagging->waiting = 0;
    Q_EMIT taggingChanged();
}

void ShowStore::finishTagging(std::chrono::milliseconds helperBound)
{
    cancelTagging();
    // The files in progress finish whole: the rename happens or it doesn't.
    if (m_worker)
        joinWorker();
    // A folder being listed may sit on a network that no longer answers: its
    // helper gets a while to end, then is left behind with nothing to report to.
    if (m_helpers) {
        std::unique_lock lock(m_helpers->mutex);
        m_helpers->finished.wait_for(lock, helperBound, [this] { return m_helpers->running == 0; });
        m_helpers->store = nullptr;
    }
    // Helpers started from now on report through a part of their own.
    m_helpers.reset();
}
