#include "model/store_watcher.h"

#include <QFileInfo>

StoreWatcher::StoreWatcher(QString storePath, QObject *parent)
    : QObject(parent)
    , m_storePath(std::move(storePath))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &StoreWatcher::storeMayHaveChanged);
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &StoreWatcher::storeMayHaveChanged);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &StoreWatcher::noticed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &StoreWatcher::noticed);
}

void StoreWatcher::start()
{
    if (!m_watcher.addPath(QFileInfo(m_storePath).absolutePath())) {
        // No watch to be had (a file system without notifications, or the system's limit reached).
        m_poll.start();
        return;
    }
    watchFile();
}

void StoreWatcher::stop()
{
    m_settle.stop();
    m_poll.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
}

void StoreWatcher::noticed()
{
    // A file renamed into place is a new file: its watch is made afresh.
    watchFile();
    m_settle.start();
}

void StoreWatcher::watchFile()
{
    if (!m_watcher.files().contains(m_storePath) && QFileInfo::exists(m_storePath))
        m_watcher.addPath(m_storePath);
}
