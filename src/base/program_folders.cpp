#include "base/program_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
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
    return folders;
}

bool ProgramFolders::canCreateFileIn(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quillet-probe-XXXXXX")));
    return probe.open();
}
