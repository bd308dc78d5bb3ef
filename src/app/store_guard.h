#pragma once

#include "app/single_instance.h"

#include <QLockFile>
#include <QString>

#include <memory>

// One full instance per store. The instance that runs holds a lock file beside the store for as long as
// it lives and listens on the store's channel; a later start on the same store hands its argument over
// and ends, waiting for a busy first instance (one still loading its notes) to answer. Whichever way a
// start is made (another HOME, no XDG_RUNTIME_DIR), it never runs as a second instance on a locked store,
// as the one that exits last would overwrite the other's edits.
class StoreGuard {
public:
    enum class Outcome {
        Run,        // this start holds the store: it runs
        HandedOver, // the running instance took the argument: this start ends
        Refused,    // another instance holds the store and did not answer: this start ends, refusal() says why
    };

    static constexpr int defaultWaitMs = 30000;
    // A lock file that names no process and is older than this is taken over.
    static constexpr int unreadableLockAgeMs = 5000;

    // lockPath: the lock file, by default "<store>.lock".
    explicit StoreGuard(const QString &storePath, const QString &lockPath = {});
    // With a lock made by makeLock, which may have been taken already (on another thread, while the start did
    // other work): the guard keeps it.
    StoreGuard(const QString &storePath, std::unique_ptr<QLockFile> lock);

    // The store's lock file, not yet taken; only a lock whose process is gone counts as stale.
    static std::unique_ptr<QLockFile> makeLock(const QString &lockPath);

    Outcome claim(const QString &argument, int waitMs = defaultWaitMs);
    QString refusal() const { return m_refusal; }
    SingleInstance &channel() { return m_channel; }

private:
    bool namesNoInstance() const;

    QString m_storePath;
    std::unique_ptr<QLockFile> m_lock;
    SingleInstance m_channel;
    QString m_refusal;
};
