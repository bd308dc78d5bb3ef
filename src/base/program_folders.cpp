#include "base/program_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryFile>

ProgramFolders ProgramFolders::forExecutable(const QString &executablePath)
{
    const QFileInfo executable(executablePath);
    const QString executableFolder = executable.absolutePath() + QLatin1Char('/');

    ProgramFolders folders;
    // A folder that already holds a store is the data folder even when it cannot be written: its notes
    // are shown, and a save that fails there is reported, rather than starting afresh elsewhere.
    const bool holdsStore = QFileInfo::exists(executableFolder + QLatin1String(storeFileName));
    // An installed program (its resources in ../share/quillet) keeps its notes in the user's data folder,
    // also where its bin folder can be written: by root, or in a prefix of the user's own such as ~/.local.
    const QString installedResources =
        QDir::cleanPath(executableFolder + QStringLiteral("../share/quillet")) + QLatin1Char('/');
    const bool installed = QFileInfo(installedResources).isDir();
    if (holdsStore || (!installed && canCreateFileIn(executableFolder))) {
        folders.dataFolder = executableFolder;
        folders.resourceFolder = executableFolder;
    } else {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        folders.dataFolder = QDir::cleanPath(dataHome + QStringLiteral("/quillet")) + QLatin1Char('/');
        QDir().mkpath(folders.dataFolder);
        folders.resourceFolder = installedResources;
    }
    folders.settingsPath = folders.dataFolder + executable.completeBaseName() + QStringLiteral(".ini");
    folders.storePath = folders.dataFolder + QLatin1String(storeFileName);
    folders.storeFolder = folders.dataFolder;
    return folders;
}

bool ProgramFolders::useStoreFolder(const QString &folder)
{
    if (folder.trimmed().isEmpty())
        return true;
    QString path = folder.trimmed();
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    const QString absolute = QDir::cleanPath(QDir(dataFolder).absoluteFilePath(path)) + QLatin1Char('/');
    if (!QDir().mkpath(absolute))
        return false;
    storeFolder = absolute;
    storePath = storeFolder + QLatin1String(storeFileName);
    return true;
}

QString ProgramFolders::lockPath() const
{
    if (!hasOwnStoreFolder())
        return storePath + QStringLiteral(".lock");
    QString host = QSysInfo::machineHostName();
    host.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return storePath + QLatin1Char('.') + (host.isEmpty() ? QStringLiteral("host") : host) + QStringLiteral(".lock");
}

bool ProgramFolders::canCreateFileIn(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quillet-probe-XXXXXX")));
    return probe.open();
}
