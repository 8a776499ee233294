#include "ui/Accessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QTextDocumentFragment>

namespace {

const char* const linkProperty = "pelamoAccessibleLink";
const char* const namedBoxProperty = "pelamoAccessibleNamedBox";

class LinkInterface : public QAccessibleWidget
{
public:
    explicit LinkInterface(QLabel* label)
        : QAccessibleWidget(label, QAccessible::Link)
    { }

    QString text(QAccessible::Text kind) const override
    {
        const auto* label = static_cast<const QLabel*>(widget());
        if (kind == QAccessible::Name && label->accessibleName().isEmpty())
            return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
        if (kind == QAccessible::Value)
            return url().toString();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        state.focusable = true;
        return state;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            QDesktopServices::openUrl(url());
    }

private:
    QUrl url() const { return widget()->property(linkProperty).toUrl(); }
};

class NamedBoxInterface : public QAccessibleWidget
{
public:
    explicit NamedBoxInterface(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    { }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = box()->view() && box()->view()->isVisible();
        state.hasPopup = true;
        return state;
    }
    QStringList actionNames() const override { return {showMenuAction(), setFocusAction()}; }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* factory(const QString&, QObject* object)
{
    if (auto* label = qobject_cast<QLabel*>(object); label && label->property(linkProperty).isValid())
        return new LinkInterface(label);
    if (auto* box = qobject_cast<QComboBox*>(object); box && box->property(namedBoxProperty).toBool())
        return new NamedBoxInterface(box);
    return nullptr;
}

// An interface Qt made before the widget was marked goes, so the next query makes ours.
template <typename Ours> void forgetEarlier(QWidget* widget)
{
    QAccessibleInterface* earlier = QAccessible::queryAccessibleInterface(widget);
    if (earlier && !dynamic_cast<Ours*>(earlier))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(earlier));
}

void installOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

namespace Accessible {

void markLink(QLabel* label, const QUrl& url)
{
    installOnce();
    label->setProperty(linkProperty, url);
    forgetEarlier<LinkInterface>(label);
}

void keepName(QComboBox* box)
{
    installOnce();
    box->setProperty(namedBoxProperty, true);
    forgetEarlier<NamedBoxInterface>(box);
}

} // namespace Accessible
