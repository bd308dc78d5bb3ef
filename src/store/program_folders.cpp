#include "store/program_folders.h"

#include "store/note_store.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Permission bits say little (root may write anywhere but on a read-only mount, ACLs add rules of their
// own), so the folder counts as writable only when a file can really be made in it.
bool canCreateFileIn(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral(".quillet-probe-XXXXXX"));
    return probe.open();
}

} // namespace

ProgramFolders ProgramFolders::forExecutable(const QString &executablePath)
{
    const QFileInfo executable(executablePath);
    const QString executableFolder = executable.absolutePath() + QLatin1Char('/');

    ProgramFolders folders;
    // A folder that already holds a store is the data folder even when it cannot be written: its notes
    // are shown, and a save that fails there is reported, rather than starting afresh elsewhere.
    const bool holdsStore = QFileInfo::exists(executableFolder + QLatin1String(NoteStore::storeFileName));
    if (holdsStore || canCreateFileIn(executableFolder)) {
        folders.dataFolder = executableFolder;
        folders.resourceFolder = executableFolder;
    } else {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        folders.dataFolder = QDir::cleanPath(dataHome + QStringLiteral("/quillet")) + QLatin1Char('/');
        QDir().mkpath(folders.dataFolder);
        folders.resourceFolder =
            QDir::cleanPath(executableFolder + QStringLiteral("../share/quillet")) + QLatin1Char('/');
    }
    folders.settingsPath = folders.dataFolder + executable.completeBaseName() + QStringLiteral(".ini");
    folders.storePath = folders.dataFolder + QLatin1String(NoteStore::storeFileName);
    return folders;
}
