#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class QLocalServer;

// One running Pelamo per library: a later launch hands its files to the running
// program over a local socket and quits.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString& libraryFolder, QObject* parent = nullptr);

    // Hands the files (possibly none: "come to the front") to a running instance;
    // true when one took them.
    bool forward(const QList<QUrl>& files);
    // Becomes the running instance; false if the socket can't be made.
    bool listen();
    // Forwards when another instance runs, else listens. True when this process
    // should go on as the running instance.
    bool claim(const QList<QUrl>& files);

    // The socket a library's instance listens on: private to the user.
    static QString socketPath(const QString& libraryFolder);

Q_SIGNALS:
    void filesReceived(const QList<QUrl>& files);

private:
    void accept();

    QString m_path;
    QLocalServer* m_server = nullptr;
};
