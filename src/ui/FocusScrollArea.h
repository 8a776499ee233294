#pragma once

#include <QScrollArea>

// A scroll area that is a stop of the Tab key, for scrolling by keyboard. Its focus
// ring is drawn by a see-through layer on top of the viewport and the scroll bars,
// all the way round; a margin keeps the contents clear of it.
class FocusScrollArea : public QScrollArea
{
public:
    explicit FocusScrollArea(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_ring;
};
