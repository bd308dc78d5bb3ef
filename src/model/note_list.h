#pragma once

#include "model/note.h"
#include "store/note_record.h"
#include "store/note_trash.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// The notes in their order (position + 1 is the note number), and alone what reads and writes them: the
// store, its automatic saves, the temporary files a killed save leaves, the trash of deleted notes and the
// daily backups. Errors that end a command come out as AppError; those of the work it does on its own (an
// automatic save, the trash, a backup) come out through errorRaised, with the texts the error dialog shows.
class NoteList : public QObject {
    Q_OBJECT

public:
    // dataFolder: where the store and the program's other files lie (and its "backups/").
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

private:
    Note *append(const NoteRecord &record);
    NoteRecord take(qsizetype index);
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
    QList<NoteRecord> m_lastSaved;
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
