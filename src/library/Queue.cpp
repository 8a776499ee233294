#include "library/ShowStore.h"

#include <QThread>

ShowStore::~ShowStore()
{
    finishTagging();
}

void ShowStore::enqueue(const QList<QUrl>& locations, const Show& show)
{
    QStringList files = expand(locations);
    if (files.isEmpty())
        return;
    m_jobs.push_back({std::move(files), show, coverData(show), false, {}, m_hooks});
    if (m_tagging)
        m_tagging->waiting += m_jobs.back().files.size();
    startNextJob();
    Q_EMIT taggingChanged();
}

void ShowStore::enqueueUndo()
{
    // Taken when its turn comes: the batches queued before it change the journal.
    m_jobs.push_back({{}, Show(), std::nullopt, true, {}, m_hooks});
    startNextJob();
    Q_EMIT taggingChanged();
}

void ShowStore::startNextJob()
{
    if (m_worker || m_jobs.empty())
        return;
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    if (job.undo) {
        job.undoRecords = undoRecords(undoFolder());
        job.files = undoTargets(job.undoRecords);
        if (job.files.isEmpty()) {
            startNextJob();
            return;
        }
    }
    m_running = job.files;
    qsizetype waiting = 0;
    for (const Job& queued : m_jobs)
        waiting += queued.files.size();
    m_tagging = Tagging {0, m_running.size(), m_running.first(), waiting, false, job.undo, 0};

    // The worker touches nothing of the store: it has its own copy of the job,
    // and each result comes back to this thread as a queued call.
    // Every call carries the batch's number: one that arrives after its batch
    // was joined (quitting joins at once) must not count in the next.
    const quint64 batch = ++m_batch;
    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_worker = QThread::create([this, batch, job = std::move(job), cancel = m_cancel, folder = undoFolder()] {
        const auto report = [this, batch, &cancel](const TagResult& result) {
            QMetaObject::invokeMethod(
                this, [this, batch, result] { fileDone(batch, result); }, Qt::QueuedConnection);
            return !cancel->load();
        };
        if (job.undo) {
            undoFiles(job.undoRecords, report, job.hooks);
            return;
        }
        const auto tell = [this, batch](const QString& text) {
            QMetaObject::invokeMethod(
                this,
                [this, batch, text] {
                    if (batch == m_batch)
                        Q_EMIT notice(text);
                },
                Qt::QueuedConnection);
        };
        tagFiles(job.files, job.show, job.cover, report, {folder, tell}, job.hooks);
    });
    connect(
        m_worker, &QThread::finished, this, [this, batch] { jobDone(batch); }, Qt::QueuedConnection);
    m_worker->start();
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
    if (!m_tagging)
        return;
    m_cancel->store(true);
    m_tagging->cancelling = true;
    m_tagging->waiting = 0;
    Q_EMIT taggingChanged();
}

void ShowStore::finishTagging()
{
    cancelTagging();
    if (!m_worker)
        return;
    // The files in progress finish whole: the rename happens or it doesn't.
    joinWorker();
}
