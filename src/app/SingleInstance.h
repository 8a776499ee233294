#pragma once

#include <QList>
#include <QLockFile>
#include <QObject>
#include <QUrl>

class QDeadlineTimer;
class QLocalServer;

// One running Pelamo per library, decided by a lock file: the launch that holds
// it runs and listens on a local socket; any later launch hands its files to
// that one over the socket and quits.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString& libraryFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        Running, // this process is the library's instance
        HandedOver, // a running instance took the files
        NoAnswer, // another process holds the library but never took the files
    };
    // Takes the library's lock and listens, or hands the files (possibly none:
    // "come to the front") to the instance that holds it.
    Claim claim(const QList<QUrl>& files);

    // The socket a library's instance listens on, and the lock beside it: private to the user.
    static QString socketPath(const QString& libraryFolder);
    static QString lockPath(const QString& libraryFolder);

Q_SIGNALS:
    void filesReceived(const QList<QUrl>& files);

private:
    enum class Forward { Taken, NoListener, Unanswered };
    Forward forward(const QList<QUrl>& files, const QDeadlineTimer& deadline);
    bool listen();
    void accept();

    QString m_path;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};
