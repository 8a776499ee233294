#pragma once

#include <QLabel>
#include <QPushButton>

// A one-line label that gives up width by eliding its end ("…") instead of widening
// what holds it; the whole text shows in its tooltip when it is cut.
class ElidedLabel : public QLabel
{
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;
    bool isElided() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// A push button whose text is cut with "…" when the button is given less width
// than the text needs; its tooltip should then tell the whole of it.
class ElidedButton : public QPushButton
{
public:
    // A push button won't give up width by default; this one may, down to its first word.
    explicit ElidedButton(QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;
    // The text as it is drawn at the button's width, cut or whole.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
