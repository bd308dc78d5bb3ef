#pragma once

#include "store/note_record.h"

#include <QList>
#include <QStringList>

// The notes' titles in order: what a failing comparison of whole lists of notes shows a reader at once.
inline QStringList titles(const QList<NoteRecord> &notes)
{
    QStringList result;
    for (const NoteRecord &note : notes)
        result.append(note.title);
    return result;
}
