#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

// A library of the program's own that is loaded the first time one of its functions is needed, so that what it
// pulls in (the sound libraries, the printing support) is not mapped at every start. Once loaded it stays.
class ProgramModule {
public:
    // The function that the module name ("quillet-audio", without the system's suffix) exports as symbol,
    // loaded first when need be. nullptr when the module is in none of folders(), cannot be loaded or lacks the
    // function; errorText then says which and why.
    static QFunctionPointer resolve(const QString &name, const char *symbol, QString *errorText);

    // The folders searched: those of the running executable (foldersFor), unless a test chose others.
    static QStringList folders();
    // Beside the executable (the build folder, a portable copy), then the program's own folder of libraries
    // under the prefix it is installed in.
    static QStringList foldersFor(const QString &executableFolder);
    // Searches these folders instead; an empty list restores the usual ones. For tests.
    static void setFolders(const QStringList &folders);
};
