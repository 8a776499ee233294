#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

// The controls under `root` that a keyboard reaches but a screen reader can't
// name: what it would read for them is empty. By object name, or class name.
inline QStringList unnamedControls(QWidget* root)
{
    QStringList unnamed;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(root))
            continue;
        const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed.append(widget->objectName().isEmpty()
                    ? QString::fromLatin1(widget->metaObject()->className())
                    : widget->objectName());
    }
    return unnamed;
}
