#pragma once

// What the benchmarks share: a program folder in a temporary one, counting a process's wake-ups, and a main that
// keeps every start's desktop entries out of the real home.
#include "base/program_folders.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

// A portable program folder at path: the store, the settings and the resources all in it.
inline ProgramFolders foldersIn(const QString &path)
{
    ProgramFolders folders;
    folders.dataFolder = path + QLatin1Char('/');
    folders.resourceFolder = folders.dataFolder;
    folders.settingsPath = folders.dataFolder + QStringLiteral("quillet.ini");
    folders.storePath = folders.dataFolder + QStringLiteral("stickies.ini");
    return folders;
}

// Copies the program into folder with the modules it loads once it plays a sound or prints; the names of the
// files copied.
inline QStringList copyProgram(const QString &folder)
{
    QStringList names{QStringLiteral("quillet")};
    QFile::copy(QStringLiteral(QUILLET_BINARY), QDir(folder).filePath(names.constFirst()));
    for (const QString &module : QStringLiteral(QUILLET_MODULES).split(QLatin1Char(','))) {
        names.append(QFileInfo(module).fileName());
        QFile::copy(module, QDir(folder).filePath(names.constLast()));
    }
    return names;
}

// Context switches of every thread of a process: each one is a wake-up.
inline qint64 contextSwitches(qint64 pid)
{
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.contains("ctxt_switches"))
                total += line.split(':').value(1).trimmed().toLongLong();
        }
    }
    return total;
}

// Wake-ups per second of the running program pid over the next ten seconds.
inline double wakeUpsPerSecond(qint64 pid)
{
    const qint64 before = contextSwitches(pid);
    QThread::sleep(10);
    return double(contextSwitches(pid) - before) / 10.0;
}

// The same, the program ended after.
inline double wakeUpsPerSecondThenEnd(QProcess &program)
{
    const double wakeUps = wakeUpsPerSecond(program.processId());
    program.terminate();
    program.waitForFinished(20000);
    return wakeUps;
}

// Runs the registered benchmarks in an application whose start-at-logon entry and file type, and those of
// every program it starts, go to a folder of the run's own.
inline int runBenchmarks(int argc, char **argv, void (*prepare)() = nullptr)
{
    QTemporaryDir desktop;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(desktop.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(desktop.filePath(QStringLiteral("data"))));
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    if (prepare)
        prepare();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
