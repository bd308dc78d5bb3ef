#pragma once

#include "store/note_store.h"

#include <QDateTime>

// Merges the store another machine wrote (through a file-sync engine) into this machine's notes, note by
// note, by their identities and revisions (see Revision):
//  - a note changed on one side only takes that side's version;
//  - a note added on either side stays;
//  - a note deleted on one side and not changed on the other since goes (to the trash);
//  - a note changed on both sides keeps both versions: one under its identity, the other as a new note titled
//    "<title> (conflict)";
//  - a note changed on neither side stays as it is.
// The result is the same on both machines whichever merges first (the version that keeps the identity is
// chosen by the revisions and the content alone), so two machines that merge each other's stores agree at
// once instead of making conflicts of their conflicts.
namespace StoreMerge {

// Marks the other version of a note changed on both sides. The same on every machine, whatever its language,
// as both make the same note.
inline constexpr char conflictSuffix[] = " (conflict)";
// How long a deleted note's identity is kept in the store.
inline constexpr int keepDeletedDays = 90;

struct Result {
    // This machine's notes in their order, then the other's new notes, then the conflict copies.
    NoteStore::Content merged;
    // This machine's notes that the other deleted.
    QList<NoteRecord> removed;
};

Result merge(const NoteStore::Content &local, const NoteStore::Content &other, const QDateTime &now);

// Makes the identities of notes unique: a note with an identity already taken (a section copied by hand, two
// identical notes of an older store) gets one made from the first and its place among them, alike on every
// machine; a note without one gets one made from its content.
void identify(QList<NoteRecord> &notes);

// The same notes and deleted notes, in whatever order: a store that differs only in its order is not written
// again, so that two machines that order their notes differently do not hand the file back and forth.
bool sameContent(const NoteStore::Content &a, const NoteStore::Content &b);

} // namespace StoreMerge
