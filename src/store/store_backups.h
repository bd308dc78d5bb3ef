#pragma once

#include <QDate>
#include <QString>

// Daily copies of the store in "backups/" beside it, named "stickies-YYYY-MM-DD.ini" after the day they were
// taken: the store as it was before that day's first save. The newest keepCopies copies are kept, fewer when
// they would take more than maxTotalBytes together. Only files named exactly so are ever deleted.
namespace StoreBackups {

inline constexpr int keepCopies = 7;
inline constexpr qint64 maxTotalBytes = qint64(50) * 1024 * 1024;

// The folder of the copies of the store at storePath; ends with '/'.
QString folderBeside(const QString &storePath);
// The copy of that store taken on day, in folder (folderBeside(storePath) when empty).
QString pathFor(const QString &storePath, const QDate &day, const QString &folder = {});

// Copies the store's bytes to the copy of day, unless that copy exists already, then drops the copies beyond
// the limits. Nothing is copied when there is no store, or when it alone is over maxTotalBytes.
// Throws AppError("Cannot open file <store>") or AppError("Unable to write to <copy>").
// The copies go to folder, when given: a store in a shared folder keeps them on this machine.
void backUp(const QString &storePath, const QDate &day, const QString &folder = {});

} // namespace StoreBackups
