#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {

// The message: this line, then one encoded URL per line, then an empty line.
const QByteArray greeting = "pelamo-open";
const QByteArray acknowledgement = "ok";
constexpr int timeoutMs = 3000;

} // namespace

SingleInstance::SingleInstance(const QString& libraryFolder, QObject* parent)
    : QObject(parent)
    , m_path(socketPath(libraryFolder))
{ }

QString SingleInstance::socketPath(const QString& libraryFolder)
{
    const QByteArray key
        = QCryptographicHash::hash(QDir::cleanPath(libraryFolder).toUtf8(), QCryptographicHash::Sha1)
              .toHex()
              .left(16);
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/pelamo-") + QString::fromLatin1(key) + QStringLiteral(".sock");
    return QDir::tempPath()
        + QStringLiteral("/pelamo-%1-%2.sock").arg(getuid()).arg(QString::fromLatin1(key));
}

bool SingleInstance::forward(const QList<QUrl>& files)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message = greeting + '\n';
    for (const QUrl& file : files)
        message += file.toEncoded() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Only a running instance that answered has the files.
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    return socket.readLine().trimmed() == acknowledgement;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

bool SingleInstance::claim(const QList<QUrl>& files)
{
    // Two launches at once: one of them wins the socket, the other finds it a
    // moment later. A socket nobody answers on is left over from a crash.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (forward(files))
            return false;
        if (listen())
            return true;
        delete m_server;
        m_server = nullptr;
        QThread::msleep(150);
    }
    QLocalServer::removeServer(m_path);
    return listen();
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
