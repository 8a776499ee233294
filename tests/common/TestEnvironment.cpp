#include "common/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

const char* const variables[][2] = {
    {"HOME", ""},
    {"XDG_DATA_HOME", "/data"},
    {"XDG_CONFIG_HOME", "/config"},
    {"XDG_CACHE_HOME", "/cache"},
    {"XDG_RUNTIME_DIR", "/runtime"},
};

// What the desktop around the tests would otherwise decide: its theme, its light or
// dark setting, and which portal or file manager answers.
const char* const desktopVariables[] = {
    "GTK_THEME",
    "QT_QPA_PLATFORMTHEME",
    "QT_STYLE_OVERRIDE",
    "XDG_CURRENT_DESKTOP",
    "DESKTOP_SESSION",
};

} // namespace

TestEnvironment::TestEnvironment()
{
    for (const auto& [name, suffix] : variables) {
        const QString path = m_dir.path() + QLatin1StringView(suffix);
        QDir().mkpath(path);
        // Qt insists that the runtime folder is private.
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv(name, QFile::encodeName(path));
    }
    for (const char* name : desktopVariables)
        qunsetenv(name);
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBusAddress().toUtf8());
}

QProcessEnvironment TestEnvironment::processEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, suffix] : variables)
        env.insert(QLatin1StringView(name), m_dir.path() + QLatin1StringView(suffix));
    for (const char* name : desktopVariables)
        env.remove(QLatin1StringView(name));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBusAddress());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QString copyFixture(const QString& fixture, const QString& destination)
{
    QDir().mkpath(QFileInfo(destination).absolutePath());
    QFile::remove(destination);
    if (!QFile::copy(fixture, destination))
        return {};
    QFile::setPermissions(destination, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return destination;
}

ProgramRun runProgram(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment, const QString& workingDirectory, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError())};
}
