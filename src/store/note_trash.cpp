#include "store/note_trash.h"

#include "store/profile.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

const QString notePrefix = QStringLiteral("Stickie");
const QString deletedKey = QStringLiteral("Deleted");
const QString batchKey = QStringLiteral("Batch");

// The "StickieN" sections in number order; other sections (a hand-made header, a typo) are no notes.
QStringList noteSections(const Profile &profile)
{
    QList<std::pair<qint64, QString>> numbered;
    for (const QString &name : profile.sections()) {
        if (!name.startsWith(notePrefix, Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const qint64 number = QStringView(name).sliced(notePrefix.size()).toLongLong(&ok);
        if (ok && number > 0)
            numbered.append({number, name});
    }
    std::sort(numbered.begin(), numbered.end());
    QStringList names;
    for (const auto &[number, name] : numbered)
        names.append(name);
    return names;
}

// Enough of a record to find its equals among thousands of notes without comparing every pair.
size_t recordHash(const NoteRecord &note)
{
    return qHashMulti(0, note.title, note.left, note.top, note.width, note.height, note.text);
}

} // namespace

QString NoteTrash::pathBeside(const QString &storePath)
{
    return QFileInfo(storePath).absolutePath() + QLatin1Char('/') + QLatin1String(fileName);
}

NoteTrash::NoteTrash(QString path)
    : m_path(std::move(path))
{}

void NoteTrash::load(const NoteDefaults &defaults, const QDateTime &now)
{
    m_entries.clear();
    const Profile profile = Profile::load(m_path);
    for (const QString &section : noteSections(profile)) {
        Entry entry;
        entry.note = NoteRecord::read(profile, section, defaults);
        entry.deleted = QDateTime::fromString(profile.readString(section, deletedKey), Qt::ISODate);
        // A note whose moment was lost is not dropped: its thirty days start now.
        if (!entry.deleted.isValid())
            entry.deleted = now;
        entry.deleted = entry.deleted.toUTC();
        entry.batch = profile.readString(section, batchKey).toLongLong();
        m_entries.append(std::move(entry));
    }
}

void NoteTrash::add(const QList<NoteRecord> &notes, const QDateTime &now)
{
    if (notes.isEmpty())
        return;
    qint64 batch = 0;
    for (const Entry &entry : std::as_const(m_entries))
        batch = std::max(batch, entry.batch);
    ++batch;
    for (const NoteRecord &note : notes)
        m_entries.append({note, now.toUTC(), batch});
    save(now);
}

QList<NoteRecord> NoteTrash::lastBatch() const
{
    QList<NoteRecord> notes;
    if (m_entries.isEmpty())
        return notes;
    const qint64 batch = m_entries.last().batch;
    for (const Entry &entry : m_entries) {
        if (entry.batch == batch)
            notes.append(entry.note);
    }
    return notes;
}

void NoteTrash::removeLastBatch(const QDateTime &now)
{
    if (m_entries.isEmpty())
        return;
    const qint64 batch = m_entries.last().batch;
    m_entries.removeIf([batch](const Entry &entry) { return entry.batch == batch; });
    save(now);
}

void NoteTrash::dropNotesIn(const QList<NoteRecord> &storeNotes, const QDateTime &now)
{
    if (m_entries.isEmpty())
        return;
    QMultiHash<size_t, const NoteRecord *> stored;
    for (const NoteRecord &note : storeNotes)
        stored.insert(recordHash(note), &note);
    const qsizetype removed = m_entries.removeIf([&stored](const Entry &entry) {
        const auto candidates = stored.equal_range(recordHash(entry.note));
        return std::any_of(candidates.first, candidates.second,
                           [&entry](const NoteRecord *note) { return *note == entry.note; });
    });
    if (removed > 0)
        save(now);
}

void NoteTrash::prune(const QDateTime &now)
{
    const QDateTime oldest = now.toUTC().addDays(-keepDays);
    m_entries.removeIf([&oldest](const Entry &entry) { return entry.deleted < oldest; });
    // The file is kept in the order of deletion, so the first notes are the oldest ones.
    if (m_entries.size() > maxNotes)
        m_entries.remove(0, m_entries.size() - maxNotes);
}

void NoteTrash::save(const QDateTime &now)
{
    prune(now);
    // Built fresh rather than edited, so the sections of restored and expired notes vanish.
    Profile profile(m_path);
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        const QString section = notePrefix + QString::number(i + 1);
        entry.note.write(profile, section);
        profile.writeString(section, deletedKey, entry.deleted.toUTC().toString(Qt::ISODate));
        profile.writeString(section, batchKey, QString::number(entry.batch));
    }
    profile.save();
}
