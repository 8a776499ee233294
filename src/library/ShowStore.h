#pragma once

#include "shows/Show.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// The show library: owns the ordered list of shows, the selection and the files
// waiting for a show, and keeps the shows in a folder on disk ("shows.json" next
// to a "Covers" folder). File-system trouble never surfaces as an error here; the
// library degrades to a smaller or unchanged one instead.
class ShowStore : public QObject {
    Q_OBJECT

public:
    // Where the first-run library is looked up: "seed-shows.json" and the images it names.
    static inline const QString defaultSeedFolder = QStringLiteral(":/seed");

    // Opens the library at `folder`, or at defaultFolder() when none is given;
    // only the default library remembers its selection across runs.
    explicit ShowStore(const std::optional<QString>& folder = std::nullopt,
        const QString& seedFolder = defaultSeedFolder, QObject* parent = nullptr);

    static QString defaultFolder();

    QString folder() const { return m_folder; }
    QString coversFolder() const;
    QString showsFile() const;

    const QList<Show>& shows() const { return m_shows; }
    void setShows(const QList<Show>& shows);
    std::optional<QUuid> selection() const { return m_selection; }
    void setSelection(const std::optional<QUuid>& selection);
    const QList<QUrl>& pending() const { return m_pending; }
    void setPending(const QList<QUrl>& pending);

    // Reads "shows.json" again; keeps the current shows when it can't be read.
    void load();
    // Replaces the shows by the seed library; does nothing without a usable seed.
    void seed();
    // Writes "shows.json" atomically and remembers the selection. Failures are silent.
    void save();

Q_SIGNALS:
    // Emitted after any of shows, selection or pending took a new value.
    void changed();

private:
    std::optional<QList<Show>> readShowsFile();
    bool keepUnreadableFile();

    QList<Show> m_shows;
    std::optional<QUuid> m_selection;
    QList<QUrl> m_pending;
    QString m_folder;
    QString m_seedFolder;
    bool m_remembersSelection = false;
    // Set when "shows.json" exists but could not be decoded: it is set aside
    // before anything is written over it.
    bool m_keepUnreadable = false;
};
