#include "ui/Desktop.h"

#include "id3/FileName.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QImageReader>
#include <QMimeDatabase>
#include <QScreen>
#include <QTreeView>

namespace Desktop {
namespace {

constexpr auto portalService = "org.freedesktop.portal.Desktop";
constexpr auto portalPath = "/org/freedesktop/portal/desktop";
constexpr auto portalSettings = "org.freedesktop.portal.Settings";
constexpr auto appearanceGroup = "org.freedesktop.appearance";
constexpr auto colourSchemeKey = "color-scheme";

// Listens to the portal's settings for the colour scheme, for as long as its owner lives.
class ColourScheme : public QObject
{
    Q_OBJECT

public:
    ColourScheme(QObject* owner, Theme::Appearance unstated, std::function<void(Theme::Appearance)> changed)
        : QObject(owner)
        , m_unstated(unstated)
        , m_changed(std::move(changed))
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        // The slot's argument types must be known to the meta-type system before connecting.
        qRegisterMetaType<QDBusVariant>();
        bus.connect(QString::fromLatin1(portalService), QString::fromLatin1(portalPath),
            QString::fromLatin1(portalSettings), QStringLiteral("SettingChanged"), this,
            SLOT(settingChanged(QString, QString, QDBusVariant)));
        QDBusMessage read = QDBusMessage::createMethodCall(QString::fromLatin1(portalService),
            QString::fromLatin1(portalPath), QString::fromLatin1(portalSettings), QStringLiteral("Read"));
        read << QString::fromLatin1(appearanceGroup) << QString::fromLatin1(colourSchemeKey);
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            const QDBusPendingReply<QDBusVariant> reply = *call;
            if (!reply.isError())
                schemeChanged(reply.value().variant());
            call->deleteLater();
        });
    }

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
    {
        if (group == QLatin1String(appearanceGroup) && key == QLatin1String(colourSchemeKey))
            schemeChanged(value.variant());
    }

private:
    // 1 prefers dark, 2 prefers light, 0 states nothing. Older portals wrap the
    // value in one more variant.
    void schemeChanged(QVariant value)
    {
        if (value.canConvert<QDBusVariant>())
            value = qvariant_cast<QDBusVariant>(value).variant();
        const uint scheme = value.toUInt();
        m_changed(scheme == 1 ? Theme::Appearance::Dark
                : scheme == 2 ? Theme::Appearance::Light
                              : m_unstated);
    }

    Theme::Appearance m_unstated;
    std::function<void(Theme::Appearance)> m_changed;
};

std::optional<QList<QUrl>> s_nextChoice;
std::function<void(const QString&)> s_revealHandler;

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

QString nearestExistingFolder(const QString& path)
{
    QString folder = FileName::isFolder(path) ? path : QFileInfo(path).absolutePath();
    while (!FileName::isFolder(folder) && folder != QStringLiteral("/"))
        folder = QFileInfo(folder).absolutePath();
    return QDir::cleanPath(folder);
}

void openFolder(const QString& path, const std::function<void(const QString&)>& failed)
{
    const QString folder = nearestExistingFolder(path);
    if (!QDesktopServices::openUrl(FileName::url(folder)) && failed)
        failed(folder);
}

// A file dialog that takes files and folders alike: accepting with a folder
// selected answers with that folder instead of opening it.
class FilesAndFoldersDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        const bool allExist = !chosen.isEmpty()
            && std::all_of(
                chosen.cbegin(), chosen.cend(), [](const QString& p) { return QFileInfo::exists(p); });
        if (allExist && std::any_of(chosen.cbegin(), chosen.cend(), [](const QString& p) {
                return QFileInfo(p).isDir();
            })) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

QStringList imageFilters()
{
    QStringList patterns;
    const QMimeDatabase mimes;
    for (const QByteArray& type : QImageReader::supportedMimeTypes())
        for (const QString& suffix : mimes.mimeTypeForName(QString::fromLatin1(type)).suffixes())
            patterns.append(QStringLiteral("*.") + suffix);
    patterns.removeDuplicates();
    return {QStringLiteral("Images (%1)").arg(patterns.join(u' '))};
}

// Qt's own dialog opens with its size, type and date columns too narrow for their
// headings; they fit their text and the name takes the rest.
void fitColumns(QFileDialog& dialog)
{
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 480)));
    auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!details)
        return;
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

} // namespace

QSize room(const QScreen* screen)
{
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    return screen->availableGeometry().size() - QSize(16, 64);
}

void reveal(const QString& path, std::function<void(const QString& folder)> failed)
{
    if (s_revealHandler) {
        s_revealHandler(path);
        return;
    }
    auto bus = QDBusConnection::sessionBus();
    const bool fileManager = FileName::exists(path) && bus.isConnected() && bus.interface()
        && bus.interface()->isServiceRegistered(fileManagerService).value();
    if (!fileManager) {
        openFolder(path, failed);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(fileManagerService,
        QStringLiteral("/org/freedesktop/FileManager1"), fileManagerService, QStringLiteral("ShowItems"));
    call << QStringList {FileName::url(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
        [path, failed = std::move(failed)](QDBusPendingCallWatcher* w) {
            if (w->isError())
                openFolder(path, failed);
            w->deleteLater();
        });
}

QList<QUrl> choose(QWidget* parent, const OpenPanel& panel)
{
    if (s_nextChoice) {
        const QList<QUrl> choice = *s_nextChoice;
        s_nextChoice.reset();
        return choice;
    }
    FilesAndFoldersDialog dialog(parent, panel.message);
    dialog.setObjectName(QStringLiteral("openPanel"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(panel.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    // Only Qt's own dialog can hand back folders and files from one panel.
    dialog.setOption(QFileDialog::DontUseNativeDialog, panel.folders);
    dialog.setLabelText(QFileDialog::Accept, panel.acceptLabel);
    if (dialog.testOption(QFileDialog::DontUseNativeDialog))
        fitColumns(dialog);
    // Name filters ignore letter case here, so "*.mp3" lists "EPISODE.MP3" too.
    if (panel.content == OpenPanel::Content::Mp3)
        dialog.setNameFilter(QStringLiteral("MP3 audio (*.mp3)"));
    else
        dialog.setNameFilters(imageFilters());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    QList<QUrl> urls;
    for (const QString& file : dialog.selectedFiles())
        urls.append(QUrl::fromLocalFile(file));
    return urls;
}

void setNextChoice(std::optional<QList<QUrl>> choice)
{
    s_nextChoice = std::move(choice);
}

void setRevealHandler(std::function<void(const QString&)> handler)
{
    s_revealHandler = std::move(handler);
}

void followColourScheme(
    QObject* owner, Theme::Appearance unstated, std::function<void(Theme::Appearance)> changed)
{
    new ColourScheme(owner, unstated, std::move(changed));
}

} // namespace Desktop

#include "Desktop.moc"
