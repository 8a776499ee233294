#pragma once

#include <QUuid>
#include <QWidget>

#include <optional>
#include <utility>

class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class ShowStore;

// Asks which show to tag the files waiting in the store's pending list with, and
// names what was opened but can't be tagged. Either button empties both lists,
// which closes the sheet.
class PendingDropSheet : public QWidget
{
    Q_OBJECT

public:
    explicit PendingDropSheet(ShowStore& store, QWidget* parent = nullptr);

    std::optional<QUuid> choice() const;
    static constexpr int listedItems = 8;

public Q_SLOTS:
    void cancel();
    void tag();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    void refreshPicker();
    // Asks the store what the chosen show would give the pending files, once for
    // each show and list of files.
    void requestPreview();
    // What the preview says of one pending file or folder, for its second line.
    QString previewOf(const QUrl& location, bool& trouble) const;

    ShowStore& m_store;
    QLabel* m_title;
    QComboBox* m_picker;
    QVBoxLayout* m_items;
    QLabel* m_leftOut;
    QPushButton* m_tag;
    QList<std::pair<QUuid, QString>> m_entries;
    std::optional<std::pair<QUuid, QList<QUrl>>> m_previewAsked;
};
