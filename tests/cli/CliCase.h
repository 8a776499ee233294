#pragma once

#include "common/LibraryTestKit.h"

#include <QProcess>

#include <optional>

// A private home, a fresh folder for each test function and a library in it, where the
// real program runs.
struct CliCase
{
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    QString m_library;

    void newCase()
    {
        m_case = m_env->newCase();
        m_library = m_case->filePath(QStringLiteral("library"));
    }

    ProgramRun pelamo(QStringList arguments) const
    {
        return runPelamo(*m_env, arguments << QStringLiteral("--library") << m_library, m_case->path());
    }

    QString tone(const QString& name) const { return copyFixture(toneFixture(), m_case->filePath(name)); }
};

#ifdef PELAMO_OLDTAGS_TOOL
// Debian's interpreter, which has python3-mutagen; another python3 may come first on PATH.
inline const QString python = QStringLiteral("/usr/bin/python3");

// Runs oldtags.py, which gives a file old tags or reads them; the arguments after the tool's name.
inline ProgramRun oldTags(const QStringList& arguments)
{
    const QStringList command = QStringList {QStringLiteral(PELAMO_OLDTAGS_TOOL)} + arguments;
    return runProgram(python, command, QProcessEnvironment::systemEnvironment());
}
#endif
