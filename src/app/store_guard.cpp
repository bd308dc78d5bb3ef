#include "app/store_guard.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

StoreGuard::StoreGuard(const QString &storePath, const QString &lockPath)
    : StoreGuard(storePath, makeLock(lockPath.isEmpty() ? storePath + QStringLiteral(".lock") : lockPath))
{}

StoreGuard::StoreGuard(const QString &storePath, std::unique_ptr<QLockFile> lock)
    : m_storePath(storePath)
    , m_lock(std::move(lock))
    , m_channel(SingleInstance::serverNameFor(storePath))
{}

std::unique_ptr<QLockFile> StoreGuard::makeLock(const QString &lockPath)
{
    auto lock = std::make_unique<QLockFile>(lockPath);
    // Only a lock whose process is gone (a kill -9, a crash) is stale, and that one is taken over at once;
    // a lock held by a live instance never expires, however long that instance runs.
    lock->setStaleLockTime(0);
    return lock;
}

bool StoreGuard::namesNoInstance() const
{
    // An instance writes its process into the lock file as soon as it has made it. A file that names none
    // was left by one that ended in between (a crash, the power lost before the disk had the file's
    // contents); Qt never counts it stale, so without this every later start would be refused.
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock->getLockInfo(&pid, &host, &application))
        return false;
    const QFileInfo file(m_lock->fileName());
    return file.exists() && file.lastModified().msecsTo(QDateTime::currentDateTime()) > unreadableLockAgeMs;
}

StoreGuard::Outcome StoreGuard::claim(const QString &argument, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (m_lock->isLocked() || m_lock->tryLock(0)) {
            m_channel.listen();
            return Outcome::Run;
        }
        if (m_lock->error() != QLockFile::LockFailedError) {
            // No lock can be made beside the store (a folder that cannot be written): nobody can replace the
            // store there either. A running instance still gets the argument; without one, this start runs.
            if (m_channel.sendToRunning(argument, 1000))
                return Outcome::HandedOver;
            m_channel.listen();
            return Outcome::Run;
        }
        if (namesNoInstance()) {
            m_lock->removeStaleLockFile();
            continue;
        }
        // A busy instance (loading many notes) has its socket open but answers late: wait for it.
        if (m_channel.sendToRunning(argument, int(qMax<qint64>(deadline.remainingTime(), 1))))
            return Outcome::HandedOver;
        if (deadline.hasExpired())
            break;
        QThread::msleep(100);
    }
    m_refusal = QStringLiteral("The notes in %1 are in use by another instance of the program that does not answer")
                    .arg(QDir::toNativeSeparators(m_storePath));
    return Outcome::Refused;
}
