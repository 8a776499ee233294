#pragma once

#include <QAccessible>
#include <QList>
#include <QMenu>
#include <QStringList>
#include <QWidget>

namespace AccessibilityWalk {

// What a test names a control by: its object name, or else its class name.
inline QString nameOf(const QObject* object)
{
    return object->objectName().isEmpty() ? QString::fromLatin1(object->metaObject()->className())
                                          : object->objectName();
}

inline QString describe(QAccessibleInterface* node)
{
    return QStringLiteral("%1 (role %2, \"%3\")")
        .arg(node->object() ? nameOf(node->object()) : QStringLiteral("?"))
        .arg(int(node->role()))
        .arg(node->text(QAccessible::Name));
}

// Walks the accessibility tree below `node` as a screen reader would, through
// menus too, and names every node it could not read to the user: an unknown
// role, or a control without a name. Separators may go without one.
inline void collect(QAccessibleInterface* node, QStringList& problems, int depth = 0)
{
    using enum QAccessible::Role;
    // A menu is walked closed too: its items are there for a screen reader to find.
    if (!node || depth > 40 || (node->state().invisible && node->role() != PopupMenu))
        return;
    // Roles the Linux screen-reader bridge has no name for: AT-SPI reads them as "unknown".
    static const QList unknown {NoRole, Grip, Sound, Caret, Indicator, Clock, UserRole};
    // Roles a user acts on, which a screen reader must be able to name.
    static const QList actedOn {PushButton, CheckBox, RadioButton, ComboBox, ButtonMenu, ButtonDropDown, List,
        EditableText, ProgressBar, MenuItem, Slider};
    if (unknown.contains(node->role()))
        problems.append(QStringLiteral("unknown role: ") + describe(node));
    else if (actedOn.contains(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty())
        problems.append(QStringLiteral("no name: ") + describe(node));
    for (int i = 0; i < node->childCount(); ++i)
        collect(node->child(i), problems, depth + 1);
}

inline QStringList problems(QObject* root)
{
    QStringList found;
    collect(QAccessible::queryAccessibleInterface(root), found);
    return found;
}

} // namespace AccessibilityWalk

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
            unnamed.append(AccessibilityWalk::nameOf(widget));
    }
    return unnamed;
}
