#include "model/note_list.h"

#include "base/app_error.h"
#include "base/clock.h"
#include "store/note_store.h"
#include "store/profile.h"
#include "store/store_backups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

NoteList::NoteList(QString storePath, QString dataFolder, QObject *parent)
    : QObject(parent)
    , m_storePath(std::move(storePath))
    , m_dataFolder(std::move(dataFolder))
    , m_trash(NoteTrash::pathBeside(m_storePath))
{
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
    Note *note = append(record);
    Q_EMIT added(note);
    noteChanged(note);
    return note;
}

NoteRecord NoteList::take(qsizetype index)
{
    Note *note = m_notes.takeAt(index);
    // Kept as it was, alarm and all, before whoever shows it silences the alarm.
    NoteRecord record = note->record();
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
    for (const QString &folderPath : {m_dataFolder, m_dataFolder + QStringLiteral("backups")}) {
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
    try {
        result = NoteStore::load(m_storePath, m_defaults, eightBitCodePage);
    } catch (const AppError &error) {
        // The store is there but cannot be read (no permission, an I/O error): taking it for empty would
        // let the next save replace every note in it. The run goes on without them, and what the user makes
        // meanwhile is kept in a file of its own (writeRecovered).
        m_storeUnreadable = true;
        Q_EMIT errorRaised(error.message());
        loadTrash(nullptr);
        return {};
    }
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
        backupError = backUpStore();
        NoteStore::save(m_storePath, records);
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
        StoreBackups::backUp(m_storePath, today);
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
            m_storePath + QStringLiteral(".recovered-") + Clock::current().now().toString(QStringLiteral("yyyy-MM-dd"));
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
