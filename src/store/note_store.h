#pragma once

#include "store/note_record.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>

#include <optional>

class Profile;

// The note store (stickies.ini: section "Stickies" with "Total", then sections "Stickie1".."StickieN")
// and single-note files (.stc: one section "Stickie").
namespace NoteStore {

// A note deleted on some machine, kept in the store's section "Deleted Notes" as "<id>=<when, UTC> <revision>",
// so that another machine that shares the store deletes it too instead of taking it for a note added there.
struct DeletedNote {
    QString id;
    QString revision; // the note's revision when it was deleted
    QDateTime when;   // UTC

    bool operator==(const DeletedNote &) const = default;
};

// Everything a store holds.
struct Content {
    QList<NoteRecord> notes;
    QList<DeletedNote> deleted;

    bool operator==(const Content &) const = default;
};

struct LoadResult : Content {
    QStringList errors; // messages for the error dialog, one per note whose colour could not be read
};

// Reads the store. A missing file gives no notes; a "Total" that is missing, not a number or negative counts
// every note section present.
// Notes 1..Total are read; a missing section within that range gives a note with every default, but no
// default notes are made past the highest "StickieN" section present, so a huge "Total" cannot create
// millions of empty notes; at most 1,000 such default notes are made in all, further missing sections are
// skipped. Sections numbered above "Total" follow as further notes, in number order.
// A note without "Id" (written by the older program) gets an identity made from its section's stored keys.
// A store that is not UTF-8 was written by the older program in the system's 8-bit code page, which is read as
// eightBitCodePage (see Settings::codePageOf).
// Throws AppError("Cannot open file <path>") when the store exists but cannot be read. fileBytes, when given,
// receives the bytes read, or nothing when there was no store.
LoadResult load(const QString &path, const NoteDefaults &defaults, int eightBitCodePage = 1252,
                std::optional<QByteArray> *fileBytes = nullptr);
// The same reading of a store already parsed.
LoadResult read(const Profile &profile, const NoteDefaults &defaults);
// A file that someone else put in the store's place (a file-sync engine) is only taken when it is whole: a
// section "Stickies" whose "Total" counts exactly its note sections, and a last line that ends. Otherwise it
// says what is wrong, for the message that the file could not be merged yet.
QString incompleteReason(const QByteArray &bytes, const Profile &profile);

// The store's content for these notes, as save() writes it.
QByteArray toBytes(const QList<NoteRecord> &notes);
QByteArray contentBytes(const Content &content);
// Rewrites the store whole (no section of a former note survives), atomically.
// Throws AppError("Unable to write to <full path>").
void save(const QString &path, const QList<NoteRecord> &notes);
// The same for a whole content, deleted notes included.
void saveContent(const QString &path, const Content &content);

// Reads a .stc file's section "Stickie" (a missing file or section gives every default). Throws
// AppError("Cannot open file <path>") for a file that exists but cannot be read, or is no regular file.
NoteRecord loadStickieFile(const QString &path, const NoteDefaults &defaults, QString *colorError = nullptr,
                           int eightBitCodePage = 1252);
// Writes a .stc file whole, replacing any existing file. The note's identity stays behind: a .stc file opened
// is a new note. Throws AppError("Unable to write to <full path>").
void saveStickieFile(const QString &path, const NoteRecord &note);

} // namespace NoteStore
