#pragma once

#include "id3/ID3.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

// The undo journal: for every file a batch replaced, the bytes around its audio
// that the new file no longer holds, with the digests that tie them to the file
// as it was written. Never audio: the files themselves hold that.
//
// Each batch is a folder in the library's "Undo" folder, named so that names
// sort oldest first, with one record file per file replaced.
namespace Journal {

inline constexpr int batchLimit = 10;
inline constexpr qint64 byteLimit = 500'000'000;

// What a record holds.
struct Entry
{
    QString file;
    QString show; // the show's name at tagging time
    ID3::Original original;
};

// One batch's records as its files are replaced. keep() and drop() may be
// called from several threads at once, each file by one of them.
class Writer
{
public:
    // Makes the batch's folder, and drops the oldest batches so that with this
    // one at most batchLimit remain, holding at most byteLimit with the bytes
    // estimated for this one. On failure, the sentence a person reads.
    static std::variant<std::unique_ptr<Writer>, QString> open(const QString& undoFolder, qint64 estimate);
    ~Writer();

    void keep(qsizetype index, const QString& file, const QString& show, const ID3::Replaced& replaced);
    // The file was not replaced after all.
    void drop(qsizetype index);
    // Returns what went wrong for the person to read, if anything did; a
    // batch that can't be undone leaves no folder.
    std::optional<QString> finish();

private:
    explicit Writer(QString folder);
    QString recordPath(qsizetype index) const;

    QString m_folder;
    std::mutex m_mutex;
    qint64 m_bytes = 0;
    qsizetype m_kept = 0;
    std::optional<QString> m_failure;
    bool m_finished = false;
    std::future<void> m_pruned;
};

// What a batch's old tags will take, from the files' headers, before it starts.
qint64 estimate(const QStringList& files);
// The sentence telling that a batch will run without undo, or nothing.
std::optional<QString> tooLarge(qint64 estimate);

// The newest batch that has records: its record files in the order they were kept.
QStringList newestBatch(const QString& undoFolder);
// What a batch in the journal is, in a few words: how many files it holds, the
// show they were tagged with, and when it began.
struct Summary
{
    qsizetype files = 0;
    QString show;
    QDateTime time;
    bool operator==(const Summary&) const = default;
};
// The newest batch's summary, reading one record's first lines only.
std::optional<Summary> newestSummary(const QString& undoFolder);
// The file a record is for, read from the record's first lines only.
std::optional<QString> fileOf(const QString& recordPath);
// A whole record, or the sentence saying why it can't be used.
std::variant<Entry, QString> read(const QString& recordPath);
// Every record reported on is spent, put back or not, so that the next undo
// reaches the batch before: a batch whose `total` records were all reported
// goes whole, a stopped one keeps the rest for later.
void spend(const QStringList& reported, qsizetype total);
// Drops the oldest batches, all but `spare`, until at most `batches` remain and
// they hold at most `bytes`.
void prune(
    const QString& undoFolder, int batches = batchLimit, qint64 bytes = byteLimit, const QString& spare = {});

} // namespace Journal
