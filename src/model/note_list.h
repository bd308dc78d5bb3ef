#pragma once

#include "model/note.h"
#include "store/note_record.h"
#include "store/note_store.h"
#include "store/note_trash.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class StoreWatcher;

// The notes in their order (position + 1 is the note number), and alone what reads and writes them: the
// store, its automatic saves, the temporary files a killed save leaves, the trash of deleted notes and the
// daily backups. Errors that end a command come out as AppError; those of the work it does on its own (an
// automatic save, the trash, a backup) come out through errorRaised, with the texts the error dialog shows.
class NoteList : public QObject {
    Q_OBJECT

public:
    // dataFolder: where this machine's files lie: the trash, "backups/", the files of recovered notes. The store
    // may lie elsewhere (a folder that a file-sync engine shares between machines).
    NoteList(QString storePath, QString dataFolder, QObject *parent = nullptr);
    ~NoteList() override;

    const QList<Note *> &notes() const { return m_notes; }
    qsizetype size() const { return m_notes.size(); }
    Note *at(qsizetype index) const { return m_notes.at(index); }
    qsizetype indexOf(const Note *note) const { return m_notes.indexOf(note); }
    // Every note's record, in order.
    QList<NoteRecord> records() const;

    // What a note falls back to for keys its section lacks; read with the store, the trash and .stc files.
    void setDefaults(const NoteDefaults &defaults) { m_defaults = defaults; }
    const NoteDefaults &defaults() const { return m_defaults; }

    // Appends a note (a new one, or one read from a .stc file) and saves it before long.
    Note *add(const NoteRecord &record);
    // Takes the note out (it is deleted) and keeps it in the trash, then saves at once.
    void remove(Note *note);
    // Every note, as one batch of the trash, so that one restore brings them all back.
    void removeAll();
    // The notes of the last delete still in the trash come back after the others; the store is written at
    // once, then they leave the trash. False when there was nothing to restore or the store's write failed.
    bool restoreDeleted();
    // The trash could be read and holds notes.
    bool canRestore() const { return m_trashUsable && !m_trash.isEmpty(); }

    // Removes what killed saves left in the data folder and its backups: only the program's own temporary
    // names. Only the instance that holds the store may call it, so that no save is in progress.
    void removeStaleTemporaryFiles() const;
    // Reads the store (an 8-bit one in eightBitCodePage) and the trash; the store's notes are there when it
    // returns (added is not emitted for them). Gives the messages of the notes whose colour could not be
    // read. A store that exists but cannot be read is reported and never replaced in this run: the notes
    // of this run go to a file of recovered notes beside it.
    QStringList load(int eightBitCodePage);
    // Saves go to the store once it was read, and to a file of recovered notes beside it when it could not be.
    bool savesEnabled() const { return m_loaded || m_storeUnreadable; }
    bool isStoreUnreadable() const { return m_storeUnreadable; }
    // Where this run keeps its notes because the store could not be read; empty while there is none.
    const QString &recoveredPath() const { return m_recoveredPath; }

    // Rewrites the store from the notes. Throws AppError("Unable to write to <path>").
    void save();
    // The store is shared with other machines: from now on a store that someone else put in its place, and the
    // conflict copies a file-sync engine leaves beside it, are merged into the notes within seconds (see
    // StoreMerge), and a save that finds such a store on disk merges it first instead of overwriting it.
    void startSync();
    // Merges what lies on disk now, if anything came from elsewhere; what cannot be read is reported
    // (storeNotMerged) and tried again a little later.
    void syncWithDisk();
    // The name this machine signs its changes of a note with (see Revision); one of its own per data folder.
    void setMachine(const QString &machine) { m_machine = machine; }
    const QString &machine() const { return m_machine; }
    // Deleted notes that the store remembers, so that other machines delete them too.
    const QList<NoteStore::DeletedNote> &deletedNotes() const { return m_deleted; }
    // The engines' names for the copies they keep when two machines changed the store at once.
    static bool isConflictCopy(const QString &fileName, const QString &storeFileName);

    // Saves when something changed since the last save; a failure is reported once until a save succeeds.
    void saveIfChanged();
    // Runs after every save that saveIfChanged() made; what it throws is reported as the save's failure.
    void setAfterSave(std::function<void()> afterSave) { m_afterSave = std::move(afterSave); }

    // The automatic save comes this long after the last change, but never later than autosaveLimitMs after
    // the first unsaved one, so that a user who types on without a pause is saved too.
    static constexpr int autosaveDelayMs = 2000;
    static constexpr int autosaveLimitMs = 10000;
    void setAutosaveDelays(int delayMs, int limitMs);
    // A change waits for its automatic save.
    bool autosavePending() const { return m_autosave.isActive() || m_autosaveLimit.isActive(); }
    // The program ends: no automatic save any more.
    void stopAutosave();

signals:
    // Emitted once the note is in the list, and once it left it, just before it is deleted.
    void added(Note *note);
    void removed(Note *note);
    // A note's stored property changed.
    void changed(Note *note);
    // The trash changed: what can be restored may have.
    void trashChanged();
    // A failure of the list's own work, to be shown with the error dialog.
    void errorRaised(const QString &message);
    // The store could not be read, and this run's notes went to recoveredPath for the first time.
    void notesRecovered(const QString &storePath, const QString &recoveredPath);
    // A store that someone else put in place of ours (or a conflict copy beside it) cannot be merged yet:
    // reason says why. Told once for each such file; the notes stay as they are.
    void storeNotMerged(const QString &path, const QString &reason);
    // Notes came in from another machine's store.
    void merged();

private:
    static QByteArray digestOf(const QByteArray &bytes);
    Note *append(const NoteRecord &record);
    NoteRecord take(qsizetype index, bool rememberDeleted = true);
    QList<NoteRecord> stamped(QList<NoteRecord> records);
    std::optional<NoteStore::Content> readIncoming(const QString &path, QByteArray *bytes);
    QList<NoteRecord> mergeIn(const QList<NoteStore::Content> &incoming, QList<NoteRecord> local);
    void writeStore(const NoteStore::Content &content);
    void keepAside(const QString &path);
    QString localPath(const QString &suffix) const;
    void noteChanged(Note *note);
    void keepDeleted(const QList<NoteRecord> &records);
    void loadTrash(const QList<NoteRecord> *storeNotes);
    void reportTrashError(const QString &message);
    void writeRecords(QList<NoteRecord> records);
    void writeRecovered(const QList<NoteRecord> &records);
    QString backUpStore();

    QString m_storePath;
    QString m_dataFolder;
    NoteDefaults m_defaults;
    QList<Note *> m_notes;
    QList<NoteRecord> m_lastSaved; // as last read from or written to the store, which revisions count from
    QString m_machine;
    QList<NoteStore::DeletedNote> m_deleted;
    // What this run last read from or wrote to the store, to tell its own saves from someone else's file: the
    // file's digest, not its bytes, which a large store would keep in memory twice.
    QByteArray m_diskDigest;
    NoteStore::Content m_diskContent;
    bool m_syncing = false;
    std::unique_ptr<StoreWatcher> m_watcher;
    QTimer m_syncRetry;
    QSet<QByteArray> m_unmergedShown; // the files that could not be merged and were reported
    int m_codePage = 1252;
    QTimer m_autosave;
    QTimer m_autosaveLimit;
    bool m_autosaveStopped = false;
    bool m_autosaveErrorShown = false;
    std::function<void()> m_afterSave;
    // Saves are refused until the stored notes were read, so a start that failed early, or a store that
    // could not be read, cannot be replaced by an empty one.
    bool m_loaded = false;
    bool m_storeUnreadable = false; // the store exists but could not be read: notes go to m_recoveredPath
    QString m_recoveredPath;
    bool m_recoveredReported = false;
    NoteTrash m_trash;
    // A trash that exists but could not be read is neither written nor restored from in this run.
    bool m_trashUsable = false;
    bool m_trashErrorShown = false;
    QDate m_backupDay; // the day whose copy of the store was made, or failed
    bool m_backupErrorShown = false;
};
