#include "platform/file_sync.h"

#include <QDir>
#include <QFileDevice>

#include <io.h>
#include <windows.h>

namespace FileSync {

bool toDisk(QFileDevice &file)
{
    return file.flush() && ::_commit(file.handle()) == 0;
}

bool replace(const QString &from, const QString &to)
{
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    return MoveFileExW(reinterpret_cast<const wchar_t *>(source.utf16()),
                       reinterpret_cast<const wchar_t *>(target.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace FileSync
