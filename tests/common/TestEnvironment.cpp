#include "common/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char* const variables[][2] = {
    {"HOME", ""},
    {"XDG_DATA_HOME", "/data"},
    {"XDG_CONFIG_HOME", "/config"},
    {"XDG_CACHE_HOME", "/cache"},
    {"XDG_RUNTIME_DIR", "/runtime"},
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
}

QString TestEnvironment::dataHome() const
{
    return m_dir.path() + QStringLiteral("/data");
}

QString TestEnvironment::configHome() const
{
    return m_dir.path() + QStringLiteral("/config");
}

QString TestEnvironment::defaultLibrary() const
{
    return dataHome() + QStringLiteral("/Pelamo");
}

QProcessEnvironment TestEnvironment::processEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, suffix] : variables)
        env.insert(QLatin1StringView(name), m_dir.path() + QLatin1StringView(suffix));
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
