#pragma once

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include <cstdlib>

// The child of `root` with this object name; a test can't go on without it.
template <typename T> T* child(const QObject& root, const char* name)
{
    auto* found = root.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("No %s named %s", T::staticMetaObject.className(), name);
    return found;
}

inline QColor textColour(const QWidget* widget)
{
    return widget->palette().color(QPalette::WindowText);
}

inline int colourDistance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// Drags `data` over `target`; true when the target takes it.
inline bool dragEnter(QWidget* target, const QMimeData& data)
{
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(target, &enter);
    return enter.isAccepted();
}

// Drops `data` on `target` after dragEnter(); true when the target takes it.
inline bool dropOn(QWidget* target, const QMimeData& data)
{
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Drags files over `target` and drops them there; true when both are taken.
inline bool dropUrls(QWidget* target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    return dragEnter(target, data) && dropOn(target, data);
}

inline bool showExposed(QWidget& widget)
{
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}
