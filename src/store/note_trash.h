#pragma once

#include "store/note_record.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The deleted notes, kept in "stickies-trash.ini" beside the store so that a delete can be undone. Each note
// is a section like the store's ("Stickie1", "Stickie2", ... oldest first) holding its whole record, then
// "Deleted" (the moment, UTC) and "Batch" (one number per delete command: a close, or one "Delete All").
// Every write keeps each note for at least keepDays days and never more than maxNotes notes, and goes through
// a temporary file, like the store's.
class NoteTrash {
public:
    struct Entry {
        NoteRecord note;
        QDateTime deleted; // UTC
        qint64 batch = 0;

        bool operator==(const Entry &) const = default;
    };

    static constexpr int keepDays = 30;
    static constexpr qsizetype maxNotes = 500;
    static constexpr char fileName[] = "stickies-trash.ini";

    // The trash that belongs to the store at storePath.
    static QString pathBeside(const QString &storePath);

    NoteTrash() = default;
    explicit NoteTrash(QString path);

    // Reads the file; a missing one is an empty trash. A note without a readable "Deleted" counts as deleted
    // now. Throws AppError("Cannot open file <path>") when the file is there but cannot be read.
    void load(const NoteDefaults &defaults, const QDateTime &now);

    const QString &path() const { return m_path; }
    const QList<Entry> &entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }

    // Keeps notes (in their list order) as one new batch deleted at now, and writes the file.
    // Throws AppError("Unable to write to <full path>"); the notes stay in this trash all the same.
    void add(const QList<NoteRecord> &notes, const QDateTime &now);
    // The notes of the newest batch still here, in the order they were kept.
    QList<NoteRecord> lastBatch() const;
    // Takes the newest batch out and writes the file. Throws as add() does.
    void removeLastBatch(const QDateTime &now);
    // Takes out every note equal to one of storeNotes, which a delete or a restore cut short between its two
    // writes leaves in both files, and writes the file when any went. Throws as add() does.
    void dropNotesIn(const QList<NoteRecord> &storeNotes, const QDateTime &now);

private:
    void prune(const QDateTime &now);
    void save(const QDateTime &now);

    QString m_path;
    QList<Entry> m_entries; // oldest first
};
