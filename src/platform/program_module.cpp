#include "platform/program_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QStringList folderOverride;

} // namespace

QFunctionPointer ProgramModule::resolve(const QString &name, const char *symbol, QString *errorText)
{
    const QString fileName = name + QStringLiteral(QUILLET_MODULE_SUFFIX);
    const QStringList searched = folders();
    for (const QString &folder : searched) {
        const QString path = QDir(folder).filePath(fileName);
        if (!QFileInfo(path).isFile())
            continue;
        // Never unloaded: objects the module made may outlive any one caller, and Qt keeps one handle per file,
        // so loading again costs nothing.
        QLibrary library(path);
        QFunctionPointer function = library.load() ? library.resolve(symbol) : nullptr;
        if (!function && errorText)
            *errorText = library.errorString();
        return function;
    }
    if (errorText)
        *errorText =
            QStringLiteral("%1 is in none of the folders %2").arg(fileName, searched.join(QStringLiteral(", ")));
    return nullptr;
}

QStringList ProgramModule::folders()
{
    return folderOverride.isEmpty() ? foldersFor(QCoreApplication::applicationDirPath()) : folderOverride;
}

QStringList ProgramModule::foldersFor(const QString &executableFolder)
{
    // The installed layout is known relative to the executable only, so that the program can move as a whole.
    return {executableFolder, QDir::cleanPath(executableFolder + QStringLiteral("/" QUILLET_MODULE_FOLDER))};
}

void ProgramModule::setFolders(const QStringList &folders)
{
    folderOverride = folders;
}
