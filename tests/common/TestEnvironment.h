#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// A private home for one test: HOME and the XDG folders point into a temporary
// folder, so no test reads or writes the real user's library or preferences.
// Create it before anything touches QSettings or QStandardPaths.
class TestEnvironment
{
public:
    TestEnvironment();

    QString home() const { return m_dir.path(); }
    QString dataHome() const;
    QString configHome() const;
    // The default library folder under this home.
    QString defaultLibrary() const;
    // The environment for a child process, with the same private folders.
    QProcessEnvironment processEnvironment() const;

private:
    QTemporaryDir m_dir;
};

// Reads a whole file; an empty array when it can't be read.
QByteArray readFile(const QString& path);
// Writes a whole file, creating missing folders; fails the test on error.
bool writeFile(const QString& path, const QByteArray& bytes);
