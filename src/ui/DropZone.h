#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QVariantAnimation;

// The dashed target files are dropped on. It knows nothing about tagging: it
// reports the dropped locations and the "Choose Files…" click. While work is
// under way it shows its progress and a "Cancel" button instead, and still
// takes drops.
class DropZone : public QWidget
{
    Q_OBJECT

public:
    explicit DropZone(QWidget* parent = nullptr);

    // Its buttons, Choose Files… and Cancel, in the order Tab visits them.
    QList<QWidget*> buttons() const;
    void setShowName(const QString& name);
    bool targeted() const { return m_targeted; }

    struct Progress
    {
        QString headline; // "Tagging 3 of 20"
        QString detail; // the current file, and what waits behind it
        qsizetype value = 0;
        qsizetype maximum = 0;
    };
    void setProgress(const std::optional<Progress>& progress);
    // On a short pane the zone leaves out its symbol and explanation, so what is
    // below it keeps its room.
    void setCompact(bool compact);
    bool compact() const { return m_compact; }

Q_SIGNALS:
    void dropped(const QList<QUrl>& locations);
    void chooseRequested();
    void cancelRequested();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setTargeted(bool targeted);
    void refresh();
    // What shows: the invitation, or the progress; the invitation without its
    // symbol and explanation when compact.
    void showParts();

    bool m_targeted = false;
    bool m_compact = false;
    qreal m_progress = 0; // 0 idle, 1 targeted; animated between
    QVariantAnimation* m_animation;
    QLabel* m_symbol;
    QLabel* m_headline;
    QLabel* m_explanation;
    QPushButton* m_choose;
    QProgressBar* m_bar;
    QLabel* m_detail;
    QPushButton* m_cancel;
    bool m_busy = false;
};
