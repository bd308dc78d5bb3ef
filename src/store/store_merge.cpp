#include "store/store_merge.h"

#include "store/profile.h"
#include "store/revision.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

using NoteStore::Content;
using NoteStore::DeletedNote;

QByteArray recordBytes(const NoteRecord &record)
{
    Profile profile;
    record.write(profile, QStringLiteral("Stickie"));
    return profile.toBytes();
}

Revision revisionOf(const NoteRecord &record)
{
    return Revision::fromString(record.revision);
}

// Which of two versions changed apart keeps the note's identity: the one with more changes, then by the
// revision's and the content's text, so that both machines choose alike.
bool keepsIdentity(const NoteRecord &a, const NoteRecord &b)
{
    const qint64 totalA = revisionOf(a).total();
    const qint64 totalB = revisionOf(b).total();
    if (totalA != totalB)
        return totalA > totalB;
    if (a.revision != b.revision)
        return a.revision > b.revision;
    return recordBytes(a) > recordBytes(b);
}

// The other version of a note changed on both sides, as a note of its own. Its identity comes from the
// version itself, so both machines make the same note, and a second merge finds it there already.
NoteRecord conflictCopy(const NoteRecord &version)
{
    NoteRecord copy = version;
    copy.title += QLatin1String(StoreMerge::conflictSuffix);
    copy.id = QString::fromLatin1(
        QCryptographicHash::hash(version.id.toUtf8() + '\n' + recordBytes(version), QCryptographicHash::Sha1)
            .toHex()
            .left(32));
    return copy;
}

QHash<QString, qsizetype> indexById(const QList<NoteRecord> &notes)
{
    QHash<QString, qsizetype> index;
    for (qsizetype i = 0; i < notes.size(); ++i)
        index.insert(notes[i].id, i);
    return index;
}

// Both sides' deleted notes, each identity once with every change either side saw; those past keepDeletedDays
// are forgotten.
QHash<QString, DeletedNote> joinDeleted(const Content &local, const Content &other, const QDateTime &now)
{
    QHash<QString, DeletedNote> deleted;
    const QDateTime oldest = now.addDays(-StoreMerge::keepDeletedDays);
    for (const QList<DeletedNote> *side : {&local.deleted, &other.deleted}) {
        for (const DeletedNote &note : *side) {
            if (note.when < oldest)
                continue;
            auto it = deleted.find(note.id);
            if (it == deleted.end()) {
                deleted.insert(note.id, note);
                continue;
            }
            it->revision = Revision::fromString(it->revision).joined(Revision::fromString(note.revision)).toString();
            it->when = std::max(it->when, note.when);
        }
    }
    return deleted;
}

// The note was deleted with every change this version holds: it goes.
bool deletedSince(const NoteRecord &note, const QHash<QString, DeletedNote> &deleted)
{
    const auto it = deleted.constFind(note.id);
    if (it == deleted.cend())
        return false;
    const Revision::Order order = revisionOf(note).compare(Revision::fromString(it->revision));
    return order == Revision::Order::Same || order == Revision::Order::Before;
}

} // namespace

namespace StoreMerge {

Result merge(const Content &local, const Content &other, const QDateTime &now)
{
    Result result;
    QHash<QString, DeletedNote> deleted = joinDeleted(local, other, now);
    const QHash<QString, qsizetype> otherIndex = indexById(other.notes);
    const QHash<QString, qsizetype> localIndex = indexById(local.notes);
    QList<NoteRecord> conflicts;

    for (const NoteRecord &mine : local.notes) {
        const auto found = otherIndex.constFind(mine.id);
        if (found == otherIndex.cend()) {
            // Not there: deleted there (when the delete saw every change made here), or new here.
            if (deletedSince(mine, deleted))
                result.removed.append(mine);
            else
                result.merged.notes.append(mine);
            continue;
        }
        const NoteRecord &theirs = other.notes[*found];
        const Revision::Order order = revisionOf(mine).compare(revisionOf(theirs));
        if (order == Revision::Order::After || (order == Revision::Order::Same && mine == theirs)) {
            result.merged.notes.append(mine);
        } else if (order == Revision::Order::Before) {
            result.merged.notes.append(theirs);
        } else if (order == Revision::Order::Same && mine.revision.isEmpty() && theirs.revision.isEmpty()) {
            // Changed by no machine since the older program wrote it: the versions differ only in what each
            // machine's defaults filled in for keys the older store lacked (the path of the alarm sound).
            result.merged.notes.append(keepsIdentity(mine, theirs) ? mine : theirs);
        } else {
            // Changed on both sides (or two machines that took the same name, with the same count): nothing
            // typed on either may be lost.
            const bool mineKeeps = keepsIdentity(mine, theirs);
            NoteRecord kept = mineKeeps ? mine : theirs;
            kept.revision = revisionOf(mine).joined(revisionOf(theirs)).toString();
            result.merged.notes.append(kept);
            conflicts.append(conflictCopy(mineKeeps ? theirs : mine));
        }
    }
    for (const NoteRecord &theirs : other.notes) {
        if (!localIndex.contains(theirs.id) && !deletedSince(theirs, deleted))
            result.merged.notes.append(theirs);
    }
    // A conflict that an earlier merge (here or there) made already is there as a note.
    const QHash<QString, qsizetype> mergedIndex = indexById(result.merged.notes);
    for (const NoteRecord &copy : std::as_const(conflicts)) {
        if (!mergedIndex.contains(copy.id))
            result.merged.notes.append(copy);
    }
    // A note that is here outlived its delete: it was changed since, or restored.
    for (const NoteRecord &note : std::as_const(result.merged.notes))
        deleted.remove(note.id);
    result.merged.deleted = deleted.values();
    std::sort(result.merged.deleted.begin(), result.merged.deleted.end(),
              [](const DeletedNote &a, const DeletedNote &b) { return a.id < b.id; });
    return result;
}

void identify(QList<NoteRecord> &notes)
{
    QSet<QString> taken;
    for (NoteRecord &note : notes) {
        for (int n = 0; note.id.isEmpty() || taken.contains(note.id); ++n) {
            const QByteArray seed =
                (note.id.isEmpty() ? recordBytes(note) : note.id.toUtf8()) + '#' + QByteArray::number(n);
            note.id = QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex().left(32));
        }
        taken.insert(note.id);
    }
}

bool sameContent(const Content &a, const Content &b)
{
    if (a.notes.size() != b.notes.size() || a.deleted.size() != b.deleted.size())
        return false;
    const QHash<QString, qsizetype> bIndex = indexById(b.notes);
    for (const NoteRecord &note : a.notes) {
        const auto found = bIndex.constFind(note.id);
        if (found == bIndex.cend() || b.notes[*found] != note)
            return false;
    }
    for (const DeletedNote &note : a.deleted) {
        if (std::none_of(b.deleted.cbegin(), b.deleted.cend(),
                         [&](const DeletedNote &d) { return d.id == note.id && d.revision == note.revision; }))
            return false;
    }
    return true;
}

} // namespace StoreMerge
