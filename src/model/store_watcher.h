#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Tells when the store's file, or a file beside it, may have been replaced by another program (a file-sync
// engine replaces files by renaming new ones over them, which ends a watch on the file itself, so its folder
// is watched too). Bursts of changes come out as one, a moment after the last; whether anything really
// changed is for the listener to find out. Where the system cannot watch, the file is looked at every
// pollMs instead. Nothing runs while nothing changes.
class StoreWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int settleMs = 300;
    static constexpr int pollMs = 2000;

    explicit StoreWatcher(QString storePath, QObject *parent = nullptr);

    void start();
    void stop();
    bool isPolling() const { return m_poll.isActive(); }

signals:
    void storeMayHaveChanged();

private:
    void noticed();
    void watchFile();

    QString m_storePath;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_poll;
};
