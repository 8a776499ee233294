#pragma once

#include "ui/CoverThumb.h"
#include "ui/ElidedLabel.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>

#include <functional>

class QPlainTextEdit;

// The small painted widgets the show editor is built from. They read their colours
// at paint time, so they follow a change of appearance.

// The rounded, faintly filled box that holds one section of the form.
class SectionBox : public QFrame
{
public:
    explicit SectionBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The editor's text with its line breaks as "\n". Unlike toPlainText(), it keeps
// non-breaking spaces, so editing a stored text changes only what the user changed.
QString plainText(const QPlainTextEdit* editor);

// A plain-text editor of fixed height on a rounded text-background field.
class TextArea : public QFrame
{
public:
    TextArea(int height, QWidget* parent = nullptr);
    QPlainTextEdit* editor() const { return m_editor; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Repaints the field's border when the editor gains or loses focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* m_editor;
};

// The cover thumbnail as a drop target for image files; an accent outline shows
// while a drag with files hovers over it.
class CoverWell : public CoverThumb
{
public:
    CoverWell(qreal side, std::function<void(const QString& path)> dropped, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setTargeted(bool targeted);

    std::function<void(const QString&)> m_dropped;
    bool m_targeted = false;
};

// One choice of a segmented control; the checked one is raised on the shared track.
// Screen readers hear it as a radio button.
class SegmentButton : public QAbstractButton
{
    Q_OBJECT

public:
    SegmentButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The track behind a row of SegmentButtons.
class SegmentTrack : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};
