#pragma once

#include <QAccessible>
#include <QList>
#include <QMenu>
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

namespace AccessibilityWalk {

// Roles the Linux screen-reader bridge has no name for: AT-SPI reads them as "unknown".
inline bool unknownOnLinux(QAccessible::Role role)
{
    using enum QAccessible::Role;
    return QList {NoRole, Grip, Sound, Caret, Indicator, Clock, UserRole}.contains(role);
}

// Roles a user acts on, which a screen reader must be able to name.
inline bool needsName(QAccessible::Role role)
{
    using enum QAccessible::Role;
    return QList {PushButton, CheckBox, RadioButton, ComboBox, ButtonMenu, ButtonDropDown, List, EditableText,
        ProgressBar, MenuItem, Slider}
        .contains(role);
}

inline QString describe(QAccessibleInterface* node)
{
    QObject* object = node->object();
    QString name = object ? object->objectName() : QString();
    if (name.isEmpty())
        name = object ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("?");
    return QStringLiteral("%1 (role %2, \"%3\")")
        .arg(name)
        .arg(int(node->role()))
        .arg(node->text(QAccessible::Name));
}

// Walks the accessibility tree below `node` as a screen reader would, through
// menus too, and names every node it could not read to the user: an unknown
// role, or a control without a name. Separators may go without one.
inline void collect(QAccessibleInterface* node, QStringList& problems, int depth = 0)
{
    // A menu is walked closed too: its items are there for a screen reader to find.
    if (!node || depth > 40 || (node->state().invisible && node->role() != QAccessible::PopupMenu))
        return;
    if (unknownOnLinux(node->role()))
        problems.append(QStringLiteral("unknown role: ") + describe(node));
    else if (needsName(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty())
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
