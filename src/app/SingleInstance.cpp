#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {

// The message: this line, then one encoded URL per line, then an empty line.
const QByteArray greeting = "pelamo-open";
const QByteArray acknowledgement = "ok";
// How long a launch waits for the instance that holds the lock to answer: it
// listens as soon as it has the lock, and reads the files once its window is up.
constexpr int answerMs = 20000;
constexpr int connectMs = 1000;
constexpr int pollMs = 50;
const QString socketSuffix = QStringLiteral(".sock");
const QString lockSuffix = QStringLiteral(".lock");

} // namespace

SingleInstance::SingleInstance(const QString& libraryFolder, QObject* parent)
    : QObject(parent)
    , m_path(socketPath(libraryFolder))
    , m_lock(lockPath(libraryFolder))
{
    // The instance holds its lock as long as it runs: only a lock whose process
    // is gone is stale, however old it is.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    // The socket goes before the lock: a launch that takes the lock next must
    // not find its new socket removed by this one's close.
    delete m_server;
    m_server = nullptr;
    m_lock.unlock();
}

QString SingleInstance::socketPath(const QString& libraryFolder)
{
    const QByteArray key
        = QCryptographicHash::hash(QDir::cleanPath(libraryFolder).toUtf8(), QCryptographicHash::Sha1)
              .toHex()
              .left(16);
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/pelamo-") + QString::fromLatin1(key) + socketSuffix;
    return QDir::tempPath() + QStringLiteral("/pelamo-%1-%2").arg(getuid()).arg(QString::fromLatin1(key))
        + socketSuffix;
}

QString SingleInstance::lockPath(const QString& libraryFolder)
{
    return socketPath(libraryFolder).chopped(socketSuffix.size()) + lockSuffix;
}

SingleInstance::Claim SingleInstance::claim(const QList<QUrl>& files)
{
    const QDeadlineTimer deadline(answerMs);
    for (;;) {
        if (m_lock.tryLock(0)) {
            // Without a socket this is still the instance; later launches then wait in vain.
            listen();
            return Claim::Running;
        }
        const Forward forwarded = forward(files, deadline);
        if (forwarded == Forward::Taken)
            return Claim::HandedOver;
        // A lock that can't be made at all (no runtime folder to write) decides nothing.
        if (m_lock.error() != QLockFile::LockFailedError && forwarded == Forward::NoListener) {
            listen();
            return Claim::Running;
        }
        // Files sent but not taken: sending them again could deliver them twice.
        if (forwarded == Forward::Unanswered || deadline.hasExpired())
            return Claim::NoAnswer;
        // The holder is starting and not listening yet, or has just died.
        QThread::msleep(pollMs);
    }
}

SingleInstance::Forward SingleInstance::forward(const QList<QUrl>& files, const QDeadlineTimer& deadline)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(connectMs))
        return Forward::NoListener;
    QByteArray message = greeting + '\n';
    for (const QUrl& file : files)
        message += file.toEncoded() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(connectMs))
        return Forward::NoListener;
    // Only a running instance that answered has the files. One that closed the
    // connection instead is going away: its lock is free in a moment.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
            return socket.state() == QLocalSocket::ConnectedState ? Forward::Unanswered : Forward::NoListener;
    }
    return socket.readLine().trimmed() == acknowledgement ? Forward::Taken : Forward::Unanswered;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    // Qt makes the socket in a private folder and renames it over the path, so
    // a socket left by a crash is simply replaced.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Wait for the whole message: it ends with an empty line.
            if (!socket->bytesAvailable() || !socket->peek(socket->bytesAvailable()).endsWith("\n\n"))
                return;
            const QList<QByteArray> lines = socket->readAll().split('\n');
            if (lines.value(0) != greeting)
                return;
            QList<QUrl> files;
            for (qsizetype i = 1; i < lines.size(); ++i)
                if (!lines.at(i).isEmpty())
                    files.append(QUrl::fromEncoded(lines.at(i)));
            socket->write(acknowledgement + '\n');
            socket->flush();
            Q_EMIT filesReceived(files);
        });
    }
}
