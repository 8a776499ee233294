#pragma once

#include "id3/ID3.h"
#include "id3/Tags.h"
#include "library/Journal.h"
#include "library/TagResult.h"
#include "shows/Show.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

class QImage;
class QThread;

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

// The show library: owns the ordered list of shows, the selection, the Recent
// list of tagging results and the files waiting for a show, and keeps the shows
// in a folder on disk ("shows.json" next to a "Covers" folder). File-system
// trouble with the library itself never surfaces as an error; the library
// degrades to a smaller or unchanged one instead.
//
// Persistence lives in ShowStore.cpp, the list operations in ShowList.cpp, cover
// files in Covers.cpp (decoding images in CoverImages.cpp, built apart because it
// needs Qt's GUI module), the batch driver in Batch.cpp and the desktop's tagging
// queue in Queue.cpp.
class ShowStore : public QObject
{
    Q_OBJECT

public:
    // Where the first-run library is looked up: "seed-shows.json" and the images it names.
    static inline const QString defaultSeedFolder = QStringLiteral(":/seed");

    // How a library is opened: to be used and kept, or only to be looked at.
    // A library opened for reading is never made, seeded, set aside or saved:
    // a missing or unreadable one has no shows and stays as it is.
    enum class Access { ReadWrite, ReadOnly };

    // Opens the library at `folder`, or at defaultFolder() when none is given;
    // only the default library remembers its selection across runs.
    explicit ShowStore(const std::optional<QString>& folder = std::nullopt,
        const QString& seedFolder = defaultSeedFolder, QObject* parent = nullptr,
        Access access = Access::ReadWrite);
    ~ShowStore() override;

    static QString defaultFolder();

    QString folder() const { return m_folder; }
    QString coversFolder() const;
    // The main window's size and place as the window saved them, kept beside
    // "lastShow" in the preferences.
    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray& geometry);
    // The light or dark choice of View › Appearance, beside "lastShow": "desktop"
    // (follow the desktop, also when nothing is stored), "light" or "dark".
    QString appearance() const;
    void setAppearance(const QString& appearance);

    // The undo journal's folder, "Undo" in the library folder.
    QString undoFolder() const;
    // "Recovery" in the library folder: the ties of recovery copies made where
    // the file system keeps no extended attributes.
    QString tieFolder() const;
    QString showsFile() const;

    const QList<Show>& shows() const { return m_shows; }
    void setShows(const QList<Show>& shows);
    std::optional<QUuid> selection() const { return m_selection; }
    // A new selection is saved with the library, and remembered for the next run.
    void setSelection(const std::optional<QUuid>& selection);
    const QList<QUrl>& pending() const { return m_pending; }
    void setPending(const QList<QUrl>& pending);
    // What was opened with the program beside the pending files but can't be
    // tagged (not MP3), to be named rather than dropped in silence.
    const QList<QUrl>& leftOut() const { return m_leftOut; }
    void setLeftOut(const QList<QUrl>& leftOut);
    // The Recent list: newest first, at most recentLimit entries, never saved.
    const QList<TagResult>& results() const { return m_results; }
    void setResults(const QList<TagResult>& results);
    static constexpr qsizetype recentLimit = 200;

    // Reads "shows.json" again; keeps the current shows when it can't be read.
    void load();
    // Replaces the shows by the seed library; does nothing without a usable seed.
    void seed();
    // Writes "shows.json" atomically and remembers the selection. Failures are silent.
    void save();

    // The list of shows. Every change saves the library.
    std::optional<Show> selected() const;
    // The first show whose name, or else whose title, equals `text` ignoring case.
    std::optional<Show> showNamed(const QString& text) const;
    // `base`, or `base` with the first free number from 2 on, so no show has it.
    QString uniqueName(const QString& base) const;
    Show add();
    void duplicate(const Show& show);
    // Removes the show and its cover file, unless another show still names that file.
    void remove(const Show& show);
    // Replaces the show with the same id in place; does nothing when there is none.
    void update(const Show& show);

    // Cover files in coversFolder(). importCover stores a PNG or JPEG as it is and
    // re-encodes any other readable image as JPEG; it returns the new file's name.
    std::variant<QString, ID3::Failure> importCover(const QString& imagePath, const Show& show) const;
    // A new cover file for the show, made from its cover for players: scaled down
    // to Artwork::playerSide a side at most (never up, never cropped), in sRGB,
    // as JPEG at quality 90. The show's own file stays until it is replaced.
    std::variant<QString, ID3::Failure> importSmallerCover(const Show& show) const;
    std::optional<QByteArray> coverData(const Show& show) const;
    // The same for any library's covers folder, on any thread.
    static std::optional<QByteArray> readCover(const QString& coversFolder, const Show& show);
    std::optional<QImage> coverImage(const Show& show) const;
    // The cover decoded, and what its header says of it, from one read of the file
    // (library/CoverArt.h, where QImage is known).
    struct CoverArt;
    std::optional<CoverArt> coverArt(const Show& show) const;
    void deleteCoverFile(const std::optional<QString>& name) const;

    // Called with each result as soon as its file is done; false stops the
    // batch there, before the next file.
    using ResultHandler = std::function<bool(const TagResult& result)>;

    // Told why a batch runs, or ran, without undo.
    using NoticeHandler = std::function<void(const QString& notice)>;
    // What a batch keeps in the library beside the files it writes.
    struct Keeping
    {
        QString undoFolder; // none: no undo
        QString tieFolder; // none: a recovery copy the file system can't tie stays untied
        NoticeHandler onNotice;
    };

    // Tags every MP3 file named, and those directly inside every folder named, with
    // the show. One result per file tried, in order; the batch also goes to the
    // front of the Recent list. One failing file never stops the batch. What the
    // files lose is kept in the undo journal.
    // A dry run writes nothing: its results say what a real run would do.
    QList<TagResult> tag(const QList<QUrl>& locations, const Show& show, const ResultHandler& onResult = {},
        const NoticeHandler& onNotice = {}, bool dryRun = false);
    // The work of tag() without the store: the files given, with the show and
    // its cover as they were taken. Touches nothing else, so it may run on any
    // thread; onResult is called on the calling thread.
    static QList<TagResult> tagFiles(const QStringList& files, const Show& show,
        const std::optional<QByteArray>& cover, const ResultHandler& onResult = {},
        const Keeping& keeping = {}, const ID3::Hooks& hooks = {}, bool dryRun = false);

    // Puts back every file of the newest batch in the undo journal, and puts
    // the results in front of Recent like a batch's.
    QList<TagResult> undo(const ResultHandler& onResult = {}, bool dryRun = false);
    // The batch undo() would put back, as the journal last read said; the
    // journal is read off this thread, after every batch and when asked.
    const std::optional<Journal::Summary>& undoable() const { return m_undoable; }
    void readUndoable();
    // The work of undo() without the store: the newest batch's records, in the
    // order they are undone, and undoing them. A record reported on is spent.
    static QStringList undoRecords(const QString& undoFolder);
    static QList<TagResult> undoFiles(const QStringList& records, const ResultHandler& onResult = {},
        const QString& tieFolder = {}, const ID3::Hooks& hooks = {}, bool dryRun = false);
    // The files the records put back (a damaged record stands for itself).
    static QStringList undoTargets(const QStringList& records);
    // Called with a folder just before it is listed; a seam for tests.
    using BeforeListing = std::function<void(const QString& folder)>;
    // The files a list of locations stands for, in the order they are tagged.
    static QStringList expand(const QList<QUrl>& locations, const BeforeListing& beforeListing = {});

    // The desktop's tagging queue (Queue.cpp). enqueue() takes the show as it
    // is now, so editing or deleting it later doesn't change the batch. No disk
    // work happens on this thread: the locations are listed and the cover read
    // on a thread of their own at once, and batches run one after the other on
    // a worker thread; each result joins Recent as soon as its file is done.
    struct Tagging
    {
        qsizetype done = 0;
        qsizetype total = 0; // none yet while the files of an undo are looked up
        QString current; // the file being tagged
        qsizetype waiting = 0; // files of the batches queued behind this one
        bool cancelling = false;
        bool undoing = false; // putting back a batch rather than tagging
        qsizetype failed = 0; // of the files done
        qsizetype dropped = 0; // files of queued batches a cancel dropped with this one
        QUuid show; // the show the files are tagged with; none for an undo
        QString showName;
    };
    void enqueue(const QList<QUrl>& locations, const Show& show);
    // Queues undo() behind the batches already queued.
    void enqueueUndo();
    const std::optional<Tagging>& tagging() const { return m_tagging; }

    // What tagging some files with a show would give each file, as a dry run
    // says it, read off this thread; the newest request's comes back.
    struct Preview
    {
        QUuid show;
        QList<QUrl> locations;
        QList<TagResult> results;
        bool operator==(const Preview&) const = default;
    };
    void requestPreview(const QList<QUrl>& locations, const Show& show);
    const std::optional<Preview>& preview() const { return m_preview; }
    // A file's tags as they are, as "pelamo --inspect" prints them, read off this
    // thread; inspected() brings them.
    void inspectFile(const QString& file);
    // How the queue's last finished batch went, as tagging() last was.
    const std::optional<Tagging>& lastBatch() const { return m_lastBatch; }
    // Stops the running batch after the files in progress, which are finished
    // and reported, and drops the queued ones.
    void cancelTagging();
    // Cancels, then waits until the files in progress are done, and for at most
    // `helperBound` until folders still being listed are: for quitting. Nothing
    // comes from the helper threads after it.
    static constexpr std::chrono::milliseconds quitBound {2000};
    void finishTagging(std::chrono::milliseconds helperBound = quitBound);
    // For tests: what runs between the steps of the batches queued from now on.
    struct Seams
    {
        ID3::Hooks rewrite;
        BeforeListing beforeListing;
    };
    void setSeams(const Seams& seams) { m_seams = seams; }

Q_SIGNALS:
    // Emitted after any of shows, selection, results, pending or leftOut took a new value.
    void changed();
    // Emitted whenever tagging() changes.
    void taggingChanged();
    // A batch of the queue runs, or ran, without undo, for this reason.
    void notice(const QString& text);
    // Emitted whenever undoable() changes.
    void undoableChanged();
    // Emitted whenever preview() changes.
    void previewChanged();
    void inspected(const QString& file, const QString& text);

private:
    struct Job
    {
        quint64 number = 0;
        Show show;
        bool undo = false; // puts back the newest batch instead; its records are read when it starts
        Seams seams;
        std::optional<QStringList> files; // known once the locations are listed
        std::optional<QByteArray> cover;
    };
    void listed(quint64 job, const QStringList& files, const std::optional<QByteArray>& cover,
        const QStringList& emptyFolders);
    void startNextJob();
    void filesFound(quint64 batch, const QStringList& files);
    void undoableRead(const std::optional<Journal::Summary>& undoable);
    void fileDone(quint64 batch, const TagResult& result);
    void jobDone(quint64 batch);
    void joinWorker();
    // Runs `work` on a thread of its own, then what it gives back on this one.
    void offThread(std::function<std::function<void()>()> work);
    // Puts a batch's results, given in order, in front of Recent.
    void addRecent(const QList<TagResult>& batch);

    std::optional<QList<Show>> readShowsFile();
    std::variant<QString, ID3::Failure> storeCover(
        const QByteArray& bytes, const QString& extension, const Show& show) const;
    bool keepUnreadableFile();

    QList<Show> m_shows;
    std::optional<QUuid> m_selection;
    QList<QUrl> m_pending;
    QList<QUrl> m_leftOut;
    QList<TagResult> m_results;
    QString m_folder;
    QString m_seedFolder;
    bool m_remembersSelection = false;
    bool m_readOnly = false;
    // Set when "shows.json" exists but could not be decoded: it is set aside
    // before anything is written over it.
    bool m_keepUnreadable = false;

    std::deque<Job> m_jobs;
    quint64 m_jobNumber = 0;
    struct Helpers;
    std::shared_ptr<Helpers> m_helpers; // listing, reading the journal
    QStringList m_running; // the files of the batch on the worker thread
    std::optional<Tagging> m_tagging;
    std::optional<Tagging> m_lastBatch;
    QThread* m_worker = nullptr;
    quint64 m_batch = 0; // the number of the batch on the worker, or of the last one
    std::shared_ptr<std::atomic_bool> m_cancel;
    Seams m_seams;
    std::optional<Journal::Summary> m_undoable;
    std::optional<Preview> m_preview;
    quint64 m_previewNumber = 0;
};
