#include "model/note_list.h"

#include "base/app_error.h"
#include "base/clock.h"
#include "model/store_watcher.h"
#include "store/note_store.h"
#include "store/profile.h"
#include "store/revision.h"
#include "store/store_backups.h"
#include "store/store_merge.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

#include <utility>

NoteList::NoteList(QString storePath, QString dataFolder, QObject *parent)
    : QObject(parent)
    , m_storePath(std::move(storePath))
    , m_dataFolder(std::move(dataFolder))
    , m_trash(m_dataFolder + QLatin1String(NoteTrash::fileName))
{
    // Two program folders on one machine are two machines to the store: each counts its own changes.
    const QByteArray seed = QSysInfo::machineUniqueId() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n' +
                            QFileInfo(m_dataFolder).absoluteFilePath().toUtf8();
    m_machine = QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex().left(8));
    m_syncRetry.setSingleShot(true);
    m_syncRetry.setInterval(3000);
    connect(&m_syncRetry, &QTimer::timeout, this, &NoteList::syncWithDisk);
    for (QTimer *timer : {&m_autosave, &m_autosaveLimit}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &NoteList::saveIfChanged);
    }
    setAutosaveDelays(autosaveDelayMs, autosaveLimitMs);
}

NoteList::~NoteList() = default;

void NoteList::setAutosaveDelays(int delayMs, int limitMs)
{
    m_autosave.setInterval(delayMs);
    m_autosaveLimit.setInterval(limitMs);
}

void NoteList::stopAutosave()
{
    m_autosaveStopped = true;
    m_autosave.stop();
    m_autosaveLimit.stop();
}

QList<NoteRecord> NoteList::records() const
{
    QList<NoteRecord> records;
    records.reserve(m_notes.size());
    for (const Note *note : m_notes)
        records.append(note->record());
    return records;
}

Note *NoteList::append(const NoteRecord &record)
{
    auto *note = new Note(record, this);
    connect(note, &Note::changed, this, [this, note] { noteChanged(note); });
    m_notes.append(note);
    return note;
}

Note *NoteList::add(const NoteRecord &record)
{
    // A new note, or a copy read from a .stc file: a note of its own, whatever it was before.
    NoteRecord fresh = record;
    fresh.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    fresh.revision.clear();
    Note *note = append(fresh);
    Q_EMIT added(note);
    noteChanged(note);
    return note;
}

NoteRecord NoteList::take(qsizetype index, bool rememberDeleted)
{
    Note *note = m_notes.takeAt(index);
    // Kept as it was, alarm and all, before whoever shows it silences the alarm.
    NoteRecord record = note->record();
    // The store remembers the delete, so that a machine that shares it deletes the note too, unless it changed
    // the note since the version it was deleted in.
    if (rememberDeleted && !record.id.isEmpty())
        m_deleted.append({record.id, record.revision, Clock::current().now().toUTC()});
    Q_EMIT removed(note);
    delete note;
    return record;
}

void NoteList::remove(Note *note)
{
    const qsizetype index = m_notes.indexOf(note);
    if (index >= 0)
        keepDeleted({take(index)});
}

void NoteList::removeAll()
{
    // From the last note to the first, as the trash keeps them in list order.
    QList<NoteRecord> batch;
    while (!m_notes.isEmpty())
        batch.prepend(take(m_notes.size() - 1));
    keepDeleted(batch);
}

void NoteList::noteChanged(Note *note)
{
    Q_EMIT changed(note);
    if (!savesEnabled() || m_autosaveStopped)
        return;
    m_autosave.start();
    if (!m_autosaveLimit.isActive())
        m_autosaveLimit.start();
}

void NoteList::keepDeleted(const QList<NoteRecord> &records)
{
    if (records.isEmpty())
        return;
    // The trash first, then the store at once: a crash between the two writes leaves the notes in both
    // files, which the next start sorts out, and never in neither.
    if (m_trashUsable) {
        try {
            m_trash.add(records, Clock::current().now());
            m_trashErrorShown = false;
        } catch (const AppError &error) {
            reportTrashError(error.message());
        }
        Q_EMIT trashChanged();
    }
    saveIfChanged();
}

bool NoteList::restoreDeleted()
{
    if (!canRestore())
        return false;
    for (const NoteRecord &record : m_trash.lastBatch())
        Q_EMIT added(append(record));
    // The store first, then the trash: a crash between the two leaves the notes in both files, and the next
    // start takes them out of the trash. While the store cannot be saved they stay in the trash; while it
    // cannot be read they go to the file of recovered notes.
    if (savesEnabled()) {
        m_autosave.stop();
        m_autosaveLimit.stop();
        try {
            writeRecords(records());
        } catch (const AppError &error) {
            Q_EMIT errorRaised(error.message());
            return false;
        }
    }
    try {
        m_trash.removeLastBatch(Clock::current().now());
    } catch (const AppError &error) {
        reportTrashError(error.message());
    }
    Q_EMIT trashChanged();
    return true;
}

void NoteList::reportTrashError(const QString &message)
{
    // A trash that cannot be written (a full disk) is reported once; the deletes go on all the same.
    if (m_trashErrorShown)
        return;
    m_trashErrorShown = true;
    Q_EMIT errorRaised(message);
}

void NoteList::loadTrash(const QList<NoteRecord> *storeNotes)
{
    const QDateTime now = Clock::current().now();
    try {
        m_trash.load(m_defaults, now);
        m_trashUsable = true;
        // Without the store's notes (it could not be read) there is nothing to compare the trash with.
        if (storeNotes)
            m_trash.dropNotesIn(*storeNotes, now);
    } catch (const AppError &error) {
        reportTrashError(error.message());
    }
    Q_EMIT trashChanged();
}

void NoteList::removeStaleTemporaryFiles() const
{
    // A kill during a save can leave the temporary file that was about to replace the store (or another of
    // the program's files); the old file is still whole, so the leftover only takes room. Only names of the
    // program's own go: a user's "stickies.ini.bak001" stays.
    QStringList folders{m_dataFolder, m_dataFolder + QStringLiteral("backups")};
    const QString storeFolder = QFileInfo(m_storePath).absolutePath();
    if (QDir(storeFolder) != QDir(m_dataFolder))
        folders.append(storeFolder);
    for (const QString &folderPath : std::as_const(folders)) {
        const QDir folder(folderPath);
        for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden)) {
            if (Profile::isLeftoverTemporary(entry))
                QFile::remove(folder.filePath(entry));
        }
    }
}

QStringList NoteList::load(int eightBitCodePage)
{
    NoteStore::LoadResult result;
    std::optional<QByteArray> bytes;
    try {
        result = NoteStore::load(m_storePath, m_defaults, eightBitCodePage, &bytes);
    } catch (const AppError &error) {
        // The store is there but cannot be read (no permission, an I/O error): taking it for empty would
        // let the next save replace every note in it. The run goes on without them, and what the user makes
        // meanwhile is kept in a file of its own (writeRecovered).
        m_storeUnreadable = true;
        Q_EMIT errorRaised(error.message());
        loadTrash(nullptr);
        return {};
    }
    m_codePage = eightBitCodePage;
    StoreMerge::identify(result.notes);
    m_deleted = result.deleted;
    m_diskContent = result;
    // The digest is of the very bytes parsed: read again, the file could already be one that a sync engine put
    // in its place, which would then count as read and never be merged.
    if (bytes)
        m_diskDigest = digestOf(*bytes);
    loadTrash(&result.notes);
    m_lastSaved = result.notes;
    m_notes.reserve(result.notes.size());
    for (const NoteRecord &record : std::as_const(result.notes))
        append(record);
    m_loaded = true;
    return result.errors;
}

void NoteList::save()
{
    if (savesEnabled())
        writeRecords(records());
}

void NoteList::saveIfChanged()
{
    m_autosave.stop();
    m_autosaveLimit.stop();
    if (!savesEnabled())
        return;
    QList<NoteRecord> current = records();
    if (current == m_lastSaved)
        return;
    try {
        writeRecords(std::move(current));
        if (m_afterSave)
            m_afterSave();
    } catch (const AppError &error) {
        // An automatic save that keeps failing (a full disk) is reported once, not every two seconds.
        if (!m_autosaveErrorShown) {
            m_autosaveErrorShown = true;
            Q_EMIT errorRaised(error.message());
        }
    }
}

void NoteList::writeRecords(QList<NoteRecord> records)
{
    QString backupError;
    if (m_storeUnreadable) {
        writeRecovered(records);
    } else {
        records = stamped(std::move(records));
        // A store that came in since this run last read or wrote it holds another machine's changes, which
        // this save would otherwise overwrite.
        if (m_syncing) {
            QByteArray bytes;
            try {
                if (const std::optional<NoteStore::Content> incoming = readIncoming(m_storePath, &bytes))
                    records = mergeIn({*incoming}, std::move(records));
            } catch (const AppError &error) {
                keepAside(m_storePath);
                Q_EMIT storeNotMerged(m_storePath, error.message());
            }
        }
        backupError = backUpStore();
        // Notes here again (restored, or changed since their delete elsewhere) are no longer deleted.
        QSet<QString> present;
        for (const NoteRecord &record : std::as_const(records))
            present.insert(record.id);
        const QDateTime oldest = Clock::current().now().toUTC().addDays(-StoreMerge::keepDeletedDays);
        m_deleted.removeIf([&](const NoteStore::DeletedNote &deleted) {
            return present.contains(deleted.id) || deleted.when < oldest;
        });
        writeStore({records, m_deleted});
    }
    m_lastSaved = std::move(records);
    m_autosaveErrorShown = false;
    // Told once the notes are safe: the error dialog's own loop must not run while the save waits.
    if (!backupError.isEmpty())
        Q_EMIT errorRaised(backupError);
}

QString NoteList::backUpStore()
{
    // Only a store this run has read is copied: one that could not be read is never written, nor copied.
    const QDate today = Clock::current().now().date();
    if (!m_loaded || m_backupDay == today)
        return {};
    m_backupDay = today;
    try {
        StoreBackups::backUp(m_storePath, today, m_dataFolder + QStringLiteral("backups/"));
    } catch (const AppError &error) {
        // A folder of backups that cannot be written would otherwise ask every day; once a run is enough.
        if (!m_backupErrorShown) {
            m_backupErrorShown = true;
            return error.message();
        }
        qWarning("quillet: %s", qPrintable(error.message()));
    }
    return {};
}

void NoteList::writeRecovered(const QList<NoteRecord> &records)
{
    // The store that could not be read is never replaced in this run. The notes made meanwhile go to a file
    // of their own beside it, named once per run so that an earlier run's file is never overwritten, and
    // the user is told once where they are.
    if (m_recoveredPath.isEmpty()) {
        if (records.isEmpty())
            return;
        const QString stem =
            localPath(QStringLiteral(".recovered-") + Clock::current().now().toString(QStringLiteral("yyyy-MM-dd")));
        m_recoveredPath = stem;
        for (int n = 2; QFileInfo::exists(m_recoveredPath) || QFileInfo(m_recoveredPath).isSymLink(); ++n)
            m_recoveredPath = stem + QLatin1Char('-') + QString::number(n);
    }
    NoteStore::save(m_recoveredPath, records);
    if (!m_recoveredReported) {
        m_recoveredReported = true;
        Q_EMIT notesRecovered(m_storePath, m_recoveredPath);
    }
}

QString NoteList::localPath(const QString &suffix) const
{
    return m_dataFolder + QFileInfo(m_storePath).fileName() + suffix;
}

QList<NoteRecord> NoteList::stamped(QList<NoteRecord> records)
{
    // A note's revision advances once for each save that finds it changed, counted from what the store held.
    QHash<QString, const NoteRecord *> before;
    for (const NoteRecord &record : std::as_const(m_lastSaved))
        before.insert(record.id, &record);
    StoreMerge::identify(records);
    for (qsizetype i = 0; i < records.size(); ++i) {
        NoteRecord &record = records[i];
        const NoteRecord *was = before.value(record.id);
        NoteRecord unchanged = record;
        if (was)
            unchanged.revision = was->revision;
        if (!was || unchanged != *was)
            record.revision = Revision::fromString(record.revision).advanced(m_machine).toString();
        if (i < m_notes.size())
            m_notes[i]->setIdentity(record.id, record.revision);
    }
    return records;
}

void NoteList::writeStore(const NoteStore::Content &content)
{
    const QByteArray bytes = NoteStore::contentBytes(content);
    if (!Profile::writeWholeFile(m_storePath, bytes)) {
        throw AppError(QStringLiteral("Unable to write to %1")
                           .arg(QDir::toNativeSeparators(QFileInfo(m_storePath).absoluteFilePath())));
    }
    m_diskDigest = digestOf(bytes);
    m_diskContent = content;
}

QByteArray NoteList::digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool NoteList::isConflictCopy(const QString &fileName, const QString &storeFileName)
{
    const QString stem = QRegularExpression::escape(QFileInfo(storeFileName).completeBaseName());
    const QString suffix = QRegularExpression::escape(QLatin1Char('.') + QFileInfo(storeFileName).suffix());
    static const QString patterns =
        QStringLiteral("^(?:%1\\.sync-conflict-[^/]*|%1 \\([^/]*conflicted copy[^/]*\\))%2$");
    return QRegularExpression(patterns.arg(stem, suffix), QRegularExpression::CaseInsensitiveOption)
        .match(fileName)
        .hasMatch();
}

std::optional<NoteStore::Content> NoteList::readIncoming(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() > Profile::maxFileBytes || !file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file %1").arg(shown));
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot open file %1").arg(shown));
    // This run's own save, or the store as this run read it: nothing came in.
    if (path == m_storePath && digestOf(*bytes) == m_diskDigest)
        return std::nullopt;
    const Profile profile = Profile::fromBytesInCodePage(*bytes, m_codePage, path);
    if (const QString reason = NoteStore::incompleteReason(*bytes, profile); !reason.isEmpty())
        throw AppError(reason);
    NoteStore::LoadResult result = NoteStore::read(profile, m_defaults);
    StoreMerge::identify(result.notes);
    if (path == m_storePath) {
        m_diskDigest = digestOf(*bytes);
        m_diskContent = result;
    }
    return NoteStore::Content(result);
}

QList<NoteRecord> NoteList::mergeIn(const QList<NoteStore::Content> &incoming, QList<NoteRecord> local)
{
    const QDateTime now = Clock::current().now().toUTC();
    NoteStore::Content merged{std::move(local), m_deleted};
    QList<NoteRecord> removed;
    for (const NoteStore::Content &other : incoming) {
        StoreMerge::Result result = StoreMerge::merge(merged, other, now);
        merged = std::move(result.merged);
        removed += result.removed;
    }
    // The notes the other machine deleted leave the list, into the trash; changed ones take the other
    // version, new ones come in after the others: the merged order is the list's order.
    QList<NoteRecord> trashed;
    for (const NoteRecord &gone : std::as_const(removed)) {
        for (qsizetype i = 0; i < m_notes.size(); ++i) {
            if (m_notes[i]->id() == gone.id) {
                trashed.append(take(i, false));
                break;
            }
        }
    }
    QHash<QString, Note *> byId;
    for (Note *note : std::as_const(m_notes))
        byId.insert(note->id(), note);
    for (const NoteRecord &record : std::as_const(merged.notes)) {
        if (Note *note = byId.value(record.id)) {
            if (note->record() != record)
                note->replace(record);
        } else {
            Q_EMIT added(append(record));
        }
    }
    m_deleted = merged.deleted;
    if (!trashed.isEmpty() && m_trashUsable) {
        try {
            m_trash.add(trashed, Clock::current().now());
        } catch (const AppError &error) {
            reportTrashError(error.message());
        }
        Q_EMIT trashChanged();
    }
    Q_EMIT this->merged();
    return merged.notes;
}

void NoteList::keepAside(const QString &path)
{
    // A file that cannot be merged is not thrown away by the save that replaces it: a copy stays on this
    // machine.
    const QString stem =
        localPath(QStringLiteral(".unmerged-") + Clock::current().now().toString(QStringLiteral("yyyy-MM-dd")));
    QString copy = stem;
    for (int n = 2; QFileInfo::exists(copy); ++n)
        copy = stem + QLatin1Char('-') + QString::number(n);
    QFile::copy(path, copy);
}

void NoteList::startSync()
{
    if (m_syncing)
        return;
    m_syncing = true;
    m_watcher = std::make_unique<StoreWatcher>(m_storePath);
    connect(m_watcher.get(), &StoreWatcher::storeMayHaveChanged, this, &NoteList::syncWithDisk);
    m_watcher->start();
    // What came in while the program was starting.
    syncWithDisk();
}

void NoteList::syncWithDisk()
{
    if (!m_syncing || !m_loaded || m_storeUnreadable || m_autosaveStopped)
        return;
    QList<NoteStore::Content> incoming;
    QStringList copies;
    const auto report = [this](const QString &path, const QByteArray &bytes, const QString &reason) {
        // Told once for each file; tried again when it changes, and a little later in case it settles.
        m_syncRetry.start();
        if (m_unmergedShown.contains(path.toUtf8() + '\n' + bytes))
            return;
        m_unmergedShown.insert(path.toUtf8() + '\n' + bytes);
        Q_EMIT storeNotMerged(path, reason);
    };
    QByteArray bytes;
    try {
        if (std::optional<NoteStore::Content> store = readIncoming(m_storePath, &bytes))
            incoming.append(std::move(*store));
    } catch (const AppError &error) {
        report(m_storePath, bytes, error.message());
        return;
    }
    const QDir folder = QFileInfo(m_storePath).absoluteDir();
    const QString storeName = QFileInfo(m_storePath).fileName();
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (!isConflictCopy(name, storeName))
            continue;
        QByteArray copyBytes;
        try {
            if (std::optional<NoteStore::Content> copy = readIncoming(folder.filePath(name), &copyBytes)) {
                incoming.append(std::move(*copy));
                copies.append(folder.filePath(name));
            }
        } catch (const AppError &error) {
            report(folder.filePath(name), copyBytes, error.message());
        }
    }
    if (incoming.isEmpty())
        return;
    const QList<NoteRecord> notes = mergeIn(incoming, stamped(records()));
    m_lastSaved = records();
    // Written back only when the other side lacks something, so that two machines do not hand the file
    // back and forth; then the engine's copies have served.
    try {
        if (!StoreMerge::sameContent({notes, m_deleted}, m_diskContent)) {
            m_autosave.stop();
            m_autosaveLimit.stop();
            writeStore({m_lastSaved, m_deleted});
        }
        for (const QString &copy : std::as_const(copies))
            QFile::remove(copy);
    } catch (const AppError &error) {
        Q_EMIT errorRaised(error.message());
    }
}
