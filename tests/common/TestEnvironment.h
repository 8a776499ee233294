#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A private home for one test: HOME and the XDG folders point into a temporary
// folder, so no test reads or writes the real user's library or preferences, and
// the session bus is one where nothing listens, so no portal, file manager or
// desktop theme of the machine's takes part. Create it before anything touches
// QSettings, QStandardPaths or D-Bus.
class TestEnvironment
{
public:
    TestEnvironment();

    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    // The default library folder under this home.
    QString defaultLibrary() const { return m_dir.path() + QStringLiteral("/data/Pelamo"); }
    // The session bus address the test and its programs use unless they start their
    // own: no bus listens there, so nothing is found on it, and nothing is started for
    // it, whatever portal the machine has installed.
    QString sessionBusAddress() const
    {
        return QStringLiteral("unix:path=") + m_dir.path() + QStringLiteral("/runtime/no-session-bus");
    }
    // The environment for a child process, with the same private folders.
    QProcessEnvironment processEnvironment() const;
    // A fresh folder inside the private home for one test function.
    std::unique_ptr<QTemporaryDir> newCase() const
    {
        return std::make_unique<QTemporaryDir>(m_dir.path() + QStringLiteral("/case-XXXXXX"));
    }

private:
    QTemporaryDir m_dir;
};

// Reads a whole file; an empty array when it can't be read.
QByteArray readFile(const QString& path);
// Writes a whole file, creating missing folders; false when it can't.
bool writeFile(const QString& path, const QByteArray& bytes);

inline QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// Copies a fixture to `destination`, creating folders, and makes the copy writable
// (fixtures in the source tree may be read-only). Returns the destination, or an
// empty text when the copy failed.
QString copyFixture(const QString& fixture, const QString& destination);

#ifdef PELAMO_TEST_DATA
// One second of real MPEG audio without any tag, made with lame.
inline QString toneFixture()
{
    return QStringLiteral(PELAMO_TEST_DATA "/batch/short-tone.mp3");
}

// A 1400×1400 gradient as a CMYK JPEG with Adobe's marker, as print tools save
// covers; made with ImageMagick's convert, "-colorspace CMYK -quality 70".
inline QString cmykCoverFixture()
{
    return QStringLiteral(PELAMO_TEST_DATA "/covers/cmyk.jpg");
}
#endif

// What a finished program left: its exit status (-1 when it crashed or timed out)
// and its two streams.
struct ProgramRun
{
    int status = -1;
    QString out;
    QString err;
};

ProgramRun runProgram(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment, const QString& workingDirectory = {}, int timeoutMs = 120000);
