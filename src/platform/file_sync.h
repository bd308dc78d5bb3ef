#pragma once

#include <QString>

class QFileDevice;

// Writing a file so that it survives a power cut: the bytes reach the disk before the file replaces another,
// and the replacement is one step that leaves either the old file or the new one.
namespace FileSync {

// Flushes the open file's bytes to the disk; false when the system reports a failure.
bool toDisk(QFileDevice &file);
// Renames from over to, replacing to whole in one step; false (and both files as they were) on failure.
bool replace(const QString &from, const QString &to);

} // namespace FileSync
