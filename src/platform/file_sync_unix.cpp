#include "platform/file_sync.h"

#include <QFile>
#include <QFileDevice>

#include <cstdio>
#include <unistd.h>

namespace FileSync {

bool toDisk(QFileDevice &file)
{
    return file.flush() && ::fsync(file.handle()) == 0;
}

bool replace(const QString &from, const QString &to)
{
    // rename(2) replaces an existing target atomically, which QFile::rename refuses to do.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace FileSync
