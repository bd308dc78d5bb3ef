#include "store/store_backups.h"

#include "base/app_error.h"
#include "store/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString baseName(const QString &storePath)
{
    return QFileInfo(storePath).completeBaseName();
}

// Newest first: the names sort by their dates.
QFileInfoList copies(const QString &storePath, const QString &folderPath)
{
    const QDir folder(folderPath);
    const QRegularExpression name(QLatin1Char('^') + QRegularExpression::escape(baseName(storePath)) +
                                  QStringLiteral("-\\d{4}-\\d{2}-\\d{2}\\.ini$"));
    QFileInfoList found;
    for (const QFileInfo &entry : folder.entryInfoList({baseName(storePath) + QStringLiteral("-*.ini")},
                                                       QDir::Files | QDir::Hidden, QDir::Name | QDir::Reversed)) {
        if (name.match(entry.fileName()).hasMatch())
            found.append(entry);
    }
    return found;
}

void prune(const QString &storePath, const QString &folder)
{
    QFileInfoList found = copies(storePath, folder);
    qint64 total = 0;
    for (const QFileInfo &copy : std::as_const(found))
        total += copy.size();
    // The oldest go first, until both limits hold.
    while (!found.isEmpty() && (found.size() > StoreBackups::keepCopies || total > StoreBackups::maxTotalBytes)) {
        const QFileInfo oldest = found.takeLast();
        total -= oldest.size();
        QFile::remove(oldest.absoluteFilePath());
    }
}

} // namespace

namespace StoreBackups {

QString folderBeside(const QString &storePath)
{
    return QFileInfo(storePath).absolutePath() + QStringLiteral("/backups/");
}

QString pathFor(const QString &storePath, const QDate &day, const QString &folder)
{
    return (folder.isEmpty() ? folderBeside(storePath) : folder) + baseName(storePath) + QLatin1Char('-') +
           day.toString(Qt::ISODate) + QStringLiteral(".ini");
}

void backUp(const QString &storePath, const QDate &day, const QString &folder)
{
    const QString copiesFolder = folder.isEmpty() ? folderBeside(storePath) : folder;
    const QFileInfo store(storePath);
    const QString copy = pathFor(storePath, day, copiesFolder);
    if (!store.isFile() || store.size() > maxTotalBytes || QFileInfo::exists(copy)) {
        prune(storePath, copiesFolder);
        return;
    }
    QFile file(storePath);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(store.absoluteFilePath())));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(store.absoluteFilePath())));
    if (!QDir().mkpath(copiesFolder) || !Profile::writeWholeFile(copy, bytes))
        throw AppError(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(copy)));
    prune(storePath, copiesFolder);
}

} // namespace StoreBackups
