#pragma once

#include <QScrollArea>

// A scroll area that is a stop of the Tab key, for scrolling by keyboard: it keeps
// a margin around its viewport where it draws the focus ring, which its contents
// would cover.
class FocusScrollArea : public QScrollArea
{
public:
    explicit FocusScrollArea(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The area's own paint event (paintEvent() is the viewport's): the ring goes
    // in the margin around the viewport.
    bool event(QEvent* event) override;
};
